// The page "Abgleich": the calendar server's address, user and password, the search for
// calendars, the sync on demand and the sync's status line. It only shows and asks; the main
// window runs the work.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavik {

inline constexpr const char* kNewCalendarEntry = "Neuer Kalender „Tavik!“";

class SyncPage : public QWidget {
  Q_OBJECT

 public:
  explicit SyncPage(QWidget* parent = nullptr);

  // "Kalender suchen" and "Jetzt abgleichen" were pressed.
  std::function<void()> findCalendars;
  std::function<void()> syncNow;
  // A found calendar was chosen (its URL is in the address field now).
  std::function<void(const QString& url)> calendarChosen;
  // The entry for a new calendar was chosen.
  std::function<void()> newCalendarChosen;

  // Fills the address and user fields, as stored.
  void showAccount(const QString& url, const QString& user);
  // Offers the calendars found (URL and name each) and a new one; none is chosen unless one
  // is the address in the field.
  void showCalendars(const QStringList& urls, const QStringList& names);
  void showStatus(const QString& status);
  // While a sync runs, "Jetzt abgleichen" is off.
  void showRunning(bool running);

  QString url() const;
  QString user() const;
  QString password() const;

  QGroupBox* SyncGroup;
  QLabel* CalDavUrlLabel;
  QLineEdit* CalDavUrlEdit;
  QLabel* CalDavUserLabel;
  QLineEdit* CalDavUserEdit;
  QLabel* CalDavPasswordLabel;
  QLineEdit* CalDavPasswordEdit;
  QPushButton* FindCalendarsButton;
  QLabel* CalendarLabel;
  QComboBox* CalendarBox;
  QPushButton* SyncNowButton;
  QLabel* SyncStatusLabel;

 private:
  void calendarIndexChanged(int index);
};

}  // namespace tavik
