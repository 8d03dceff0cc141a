// The daily reminder: a systemd user timer that runs `tavik --notify` in a start directory.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTime>
#include <functional>
#include <optional>
#include <string>

namespace tavik {

class Files;

// The reminder's time when none is set yet.
inline constexpr int kDefaultReminderHour = 9;

// Why a reminder could not be set up or removed; %1 the reason, with its full stop added.
inline constexpr const char* kReminderSetUpFailed =
    "Die tägliche Erinnerung konnte nicht eingerichtet werden: %1";
inline constexpr const char* kReminderRemoveFailed =
    "Die tägliche Erinnerung konnte nicht entfernt werden: %1";

// ${XDG_CONFIG_HOME:-$HOME/.config}/systemd/user
QString systemdUserFolder();

// "tavik-remind-<directoryKey of the canonical start directory>", the name of both units.
QString reminderUnitName(const std::string& startDirectory);

// The service unit: Type=oneshot, WorkingDirectory= the start directory (only % is special
// there, and doubled), ExecStart= the program quoted with % doubled, then --notify. Nullopt,
// with `why` set, for what systemd cannot hold: a start directory that is not UTF-8, not
// absolute, holds a control character or ends in a blank or a backslash, or a program whose
// path holds a backslash or a quote (systemd refuses those in an executable's name).
std::optional<QByteArray> reminderServiceText(const QString& program,
                                              const std::string& startDirectory, QString& why);
// The timer unit: OnCalendar=*-*-* HH:MM:00 at `time`, Persistent=true (a start missed while
// the computer was off or asleep is made up at once), wanted by timers.target.
QByteArray reminderTimerText(QTime time);
// The time of a timer unit's OnCalendar=*-*-* HH:MM:00 line; nullopt when there is none.
std::optional<QTime> reminderTimeOf(const QByteArray& timerText);

// One `systemctl --user ARGS...` call; empty when it succeeded, else the reason (the tool's
// first error line, or that it is missing or did not answer in time).
using SystemctlCall = std::function<QString(const QStringList& args)>;
QString runSystemctl(const QStringList& args);

class ReminderTimer {
 public:
  // `folder` holds the units; `program` is the front program `tavik`; `startDirectory` the
  // directory's name in bytes.
  ReminderTimer(Files& files, QString folder, QString program, std::string startDirectory);

  // The time of the installed timer, when its file is there; 09:00 for one whose time cannot
  // be read.
  std::optional<QTime> installedTime() const;

  // Writes both units crash-safely (the folder created 0700), reloads the user manager, enables
  // the timer and (re)starts it, so that a changed time holds at once. On any failure what was
  // written is removed again and Failure is thrown with the kReminderSetUpFailed text.
  void install(QTime time);
  // Stops and disables the timer where a user manager runs, removes both units and the
  // timer's link in timers.target.wants; a manager that cannot be reached is no failure, since
  // without the files nothing is started. Throws Failure (kReminderRemoveFailed) when a file
  // cannot be removed.
  void remove();

  // The systemctl calls; tests replace them.
  SystemctlCall systemctl = runSystemctl;

  QString timerPath() const;
  QString servicePath() const;

 private:
  void removeFiles();

  Files& m_files;
  QString m_folder;
  QString m_program;
  std::string m_startDirectory;
  QString m_name;
};

}  // namespace tavik
