// The options page: look-ahead days, auto-exit seconds, today box, holidays, high priority,
// the start at login, the desktop notification and anniversaries in words.
#pragma once

#include <QWidget>
#include <functional>

#include "store/typs.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace tavik {

class AutostartEntry;
class Messages;
class ReminderTimer;

inline constexpr const char* kLookAheadRangeMessage =
    "Anzahl der Tage für Berechung muss zwischen 1 und 99 liegen!";
inline constexpr const char* kAutoExitRangeMessage =
    "Zeit bis zum Beenden von 5 bis 240 Sekunden möglich!";

// The whole number a field's text begins with: leading blanks, an optional sign, digits up to
// the first other character; 0 when there is no number.
int leadingNumber(const QString& text);

class OptionsPage : public QWidget {
  Q_OBJECT

 public:
  // The page changes `settings` and byte 0 of `holidays` in memory only; the start at login
  // shows and changes `autostart` at once, the daily reminder `reminder`.
  OptionsPage(Settings& settings, HolidaySelection& holidays, Messages& messages,
              AutostartEntry& autostart, ReminderTimer& reminder, QWidget* parent = nullptr);

  // Called by Edit1Exit after `anzdays` has been taken: the main window shows the days and
  // rebuilds the countdown view.
  std::function<void()> lookAheadChanged;
  // Button10Click: the main window rebuilds the view and shows the today box as a test.
  std::function<void()> testTodayBox;
  // Button9Click: runs the holiday selection dialog modally.
  std::function<void()> chooseHolidays;
  // Called by inWordsClick after `inworten` has been taken: the main window rebuilds the view.
  std::function<void()> inWordsChanged;

  // Sets CheckBox2 from byte 0 of the holiday record (its click rule runs when that changes
  // its state), then enables Button9 exactly when byte 0 is set.
  void showHolidaySwitch();
  // The item index of RadioGroup2; -1 while none is chosen.
  int priorityHandling() const;
  // Chooses item `index` of RadioGroup2 (its click rule runs); none for an index outside 0..2.
  void setPriorityHandling(int index);
  // Enables Edit2 with the window background, or disables it on grey.
  void setEdit2Enabled(bool enabled);

  void Edit1Change();
  void Edit1Exit();
  void Edit2Change();
  void Edit2Exit();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();
  void CheckBox4Click();
  void CheckBox5Click();
  void inWordsClick();
  void RadioGroup2Click();
  // Installs or removes the daily reminder; a failure is told under the row.
  void remindBoxClick();
  // A changed time is installed at once when the reminder is on.
  void remindTimeExit();
  void Button9Click();
  void Button10Click();

  QGroupBox* GroupBox3;
  QLabel* StaticText5;
  QLineEdit* Edit1;
  QCheckBox* CheckBox1;
  QLineEdit* Edit2;
  QLabel* StaticText6;
  QCheckBox* CheckBox3;
  QPushButton* Button10;
  QCheckBox* CheckBox2;
  QPushButton* Button9;
  QCheckBox* CheckBox4;
  QCheckBox* CheckBox5;
  QCheckBox* remindBox;
  QTimeEdit* remindTime;
  QLabel* remindError;  // hidden while nothing failed
  QCheckBox* inWordsBox;
  QGroupBox* RadioGroup2;
  QButtonGroup* RadioGroup2Items;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Settings& m_settings;
  HolidaySelection& m_holidays;
  Messages& m_messages;
  AutostartEntry& m_autostart;
  ReminderTimer& m_reminder;

  // Shows the reminder as its timer file has it.
  void showReminder();
  bool m_leaving = false;
};

}  // namespace tavik
