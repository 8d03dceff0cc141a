// The quick-help window: one help text file per topic, looked up in the start directory, else
// among the help texts delivered with the program.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <string>

#include "dialogs/quick_help.h"

class QLabel;
class QPlainTextEdit;

namespace tavik {

class Files;

inline constexpr const char* kHelpNotFound = "Hilfedatei nicht gefunden!";

// Heights for a memo showing `displayedLines` lines at `linePitch` pixels each. At the design
// pitch of 15 pixels the memo is 15 per line plus 10 and at most 287, and the window (frame
// included) is 49 more than the memo; another pitch scales the 10, 287 and 49 with it. The
// memo never gets less than `minimumPadding` beyond its lines, so its frame never hides text.
struct HelpHeights {
  int memo = 0;
  int window = 0;
};
HelpHeights fitHelpHeights(int displayedLines, int linePitch, int minimumPadding = 0);

// Where a quick-help window of `help` size goes beside the window it helps, both with their
// frames, on a screen whose free area is `screen`: right of `helped` when it fits there, else
// left of it, else wherever it covers the least of it. Level with its top as far as the screen
// allows, and always on the screen (at its top left corner when larger than the screen).
QPoint quickHelpPosition(const QRect& screen, const QRect& helped, QSize help);

// The directory of the help texts delivered with the running program: share/tavik/help of its
// installation (../../share/tavik/help from libexec/tavik/), or help/ beside it in a build tree.
// Empty when there is none.
std::string deliveredHelpDirectory();

class TForm5 : public QWidget, public QuickHelp {
  Q_OBJECT

 public:
  // `startDirectory` is where the help files are looked up, whatever the current directory is
  // later; a topic without a file there is read from `deliveredDirectory` (none when empty).
  // The names are in bytes, as the system gives them; they need not be UTF-8.
  TForm5(Files& files, std::string startDirectory,
         std::string deliveredDirectory = deliveredHelpDirectory(), QWidget* parent = nullptr);

  void showQuickHelp(const QString& topic, const QWidget* helped) override;
  void hideQuickHelp() override;
  bool quickHelpVisible() const override;

  // Loads the current topic's file into the memo and fits the heights; runs at every
  // activation of the window.
  void FormActivate();

  // The file the current topic is read from.
  std::string helpFilePath() const;
  // The number of lines the memo shows, wrapped lines counted once per displayed line.
  int displayedLineCount() const;
  // The height of one line of the memo in pixels.
  int linePitch() const;

  QLabel* Label1;
  QPlainTextEdit* Memo1;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fitHeights();
  void layoutChildren();

  Files& m_files;
  std::string m_startDirectory;
  std::string m_deliveredDirectory;
};

}  // namespace tavik
