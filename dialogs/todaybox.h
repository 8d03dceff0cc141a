// The today box: a small green window listing today's events and, on request, those of high
// priority. Its list is filled by the countdown rebuild; the main window shows it.
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace tavik {

inline constexpr const char* kTodayBoxTitle = "Heutige Ereignisse";
inline constexpr const char* kTodayBoxPriorityTitle =
    "Heutige Ereignisse und Ereignisse hoher Priorität";

class TForm4 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm4(QWidget* parent = nullptr);

  // Replaces the list; the lines come in list order.
  void setLines(const QStringList& lines);
  QStringList lines() const;

  QLabel* Image1;
  QListWidget* ListBox1;
  QPushButton* Button1;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace tavik
