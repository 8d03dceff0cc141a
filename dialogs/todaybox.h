// The today box: a small green window listing today's events and, on request, those of high
// priority. Its list is filled by the countdown rebuild; the main window shows it.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace tavik {

inline constexpr const char* kTodayBoxTitle = "Heutige Ereignisse";
inline constexpr const char* kTodayBoxPriorityTitle =
    "Heutige Ereignisse und Ereignisse hoher Priorität";

// One line of the box: the countdown line as it stands, and its three columns (day text without
// its trailing blanks, date, text); a line whose columns are all empty shows whole.
struct TodayBoxLine {
  QString line;
  QString day;
  QString date;
  QString text;
};

class TodayColumnsDelegate;

class TForm4 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm4(QWidget* parent = nullptr);

  // Replaces the list; the lines come in list order. Their columns line up as in the
  // countdown grid, each as wide as its widest entry; the items keep the whole lines.
  void setLines(const QList<TodayBoxLine>& lines);
  QStringList lines() const;

  QLabel* Image1;
  QListWidget* ListBox1;
  QPushButton* Button1;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TodayColumnsDelegate* m_columns;
};

}  // namespace tavik
