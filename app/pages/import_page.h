// The Import page: choose a file, list the events read from it, add the ticked ones to the table.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "exchange/import_candidate.h"
#include "platform/seams.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedLayout;

namespace tavik {

class EventTable;
class Files;
struct ImportResult;

class ImportPage : public QWidget {
  Q_OBJECT

 public:
  // The page adds to `table` and reaches files, boxes and dialogs through `platform`; both
  // outlive the page.
  ImportPage(EventTable& table, Platform& platform, QWidget* parent = nullptr);
  ~ImportPage() override;

  // The candidates the list's lines stand for, in list order.
  const std::vector<OTdaten>& candidates() const { return m_candidates; }

  // A file is being read; its result comes with readFinished.
  bool isReading() const { return m_read != nullptr; }
  // Abandons the read in progress: its result is never shown. The reader thread stops at its
  // next file call or runs on, detached, to the end of its parse; it never keeps the process
  // alive.
  void cancelRead();
  // Makes the files a read goes through, used by the reader thread alone; real files when
  // empty.
  std::function<std::shared_ptr<Files>()> makeReaderFiles;

  QLabel* StaticText7;
  QLineEdit* Edit3;
  QPushButton* Button5;
  QLabel* Label6;
  QLabel* Label7;
  QFrame* Panel1;
  QLabel* StaticText8;
  QLabel* Label4;
  QListWidget* CheckListBox1;
  QPushButton* Button7;
  QPushButton* Button8;
  QPushButton* Button6;
  // The open dialog's filter, entry and file, kept between uses.
  FileDialogSetup OpenDialog1;

 public slots:
  // Empties the list, then runs the open dialog; its end reads the file (OpenDialog1Close).
  void Button5Click();
  // A file selected while the dialog is open becomes the file to read.
  void OpenDialog1SelectionChange(const QString& path);
  // The dialog closed: a confirmed file becomes the file to read; confirmed or cancelled, the
  // file named in Edit3 is read.
  void OpenDialog1Close(const std::optional<QString>& confirmed);
  // Shows the status panel for good and reads the file.
  void Timer2Timer();
  // Starts reading the file named in Edit3 on a thread of its own, cancelling a read in
  // progress; the page shows it is busy. When it is done the candidates are listed, "Import !"
  // is enabled only when the read ended cleanly, and readFinished follows.
  void readImportFile();
  // Empties the list and releases its candidates.
  void clearImportList();
  void Button7Click();
  void Button8Click();
  // Stores the ticked candidates into free slots and reports how many; those that found no
  // slot stay listed.
  void Button6Click();

 signals:
  void readFinished();

 private:
  struct Read;
  void startRead(bool answerTavik3);
  void readDone(const std::shared_ptr<Read>& read, ImportResult& result,
                const std::optional<std::string>& tavik3Asked);
  // Cancels the read in progress without touching a control.
  void abandonRead();
  void setBusy(bool busy);
  void setAllChecks(bool checked);
  // Lists `candidates`, those whose entry in `ticks` is true ticked.
  void listCandidates(std::vector<OTdaten> candidates, const std::vector<bool>& ticks);

  EventTable& m_table;
  Platform& m_platform;
  QStackedLayout* m_infoOrPanel;
  std::vector<OTdaten> m_candidates;  // a line's item data is its index here
  std::shared_ptr<Read> m_read;       // the read in progress, shared with its thread
};

}  // namespace tavik
