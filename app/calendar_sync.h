// The calendar sync's place in the window program: when it runs (after the first paint, on the
// button, at close), in a worker thread of its own, one at a time; the password; and its status.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/event_table.h"
#include "store/settings_store.h"

class QThread;
class QWidget;

namespace tavik {

class PasswordStore;
struct PasswordAnswer;
struct WorkerReturn;

// The per-user store's text with the last successful sync's line, kept across starts.
inline constexpr const char* kCalDavStatusName = "caldavstatus";
inline constexpr int kCloseSyncLimitMs = 5000;
inline constexpr int kServerTimeoutMs = 30000;

// Why `url` may not be used as the server's address, in German with its full stop; empty when
// it may. Only https, or plain http to this machine (a loopback address).
QString serverAddressRefusal(const QString& url);

// Whether the start of a run syncs at all: only with a calendar set.
bool syncWanted(const CalDavAccount& account);

// What one sync in the worker gets: copies, never the live table.
struct SyncRequest {
  CalDavAccount account;
  std::string password;
  std::string startDirectory;
  EventTable table;
  bool allowMassDeletion = false;
  int timeoutMs = kServerTimeoutMs;
  // Set when nobody waits for the answer any more (a close that ran out of time).
  std::shared_ptr<std::atomic_bool> abandoned;
};

struct SyncOutcome {
  enum class Kind { Done, Failed, MassDeletion };
  Kind kind = Kind::Failed;
  // Done: the summary ("3 neu, 1 geändert, 0 Konflikte"); Failed: the reason; MassDeletion:
  // the question ("Auf dem Server fehlen 412 von 415 Ereignissen. Trotzdem abgleichen?").
  std::string text;
  // Brings what came from the server into the live table, on the window's thread; returns
  // whether the table changed. Empty when nothing is to be brought. A failed sync may bring
  // the part it did.
  std::function<bool(EventTable&)> apply;
  // Writes what the sync agreed with the server (the sync state), once the table has been
  // saved; throws Failure.
  std::function<void()> commit;
};

// A calendar the user's account holds.
struct FoundCalendar {
  std::string url;
  std::string name;
};

struct DiscoveryOutcome {
  bool ok = false;
  std::string reason;  // when not ok
  std::vector<FoundCalendar> calendars;
};

// The work done in the worker thread; each creates its network objects there and blocks.
using SyncRunner = std::function<SyncOutcome(const SyncRequest&)>;
using DiscoveryRunner = std::function<DiscoveryOutcome(const CalDavAccount&, const std::string&)>;
// Makes a calendar named `name` in the account; the outcome lists it alone when made.
using CalendarMaker = std::function<DiscoveryOutcome(const CalDavAccount&, const std::string&,
                                                     const std::string& name)>;

// The program's own work behind the seams above: the CalDAV client and the sync engine. Each
// catches what it throws and gives it as the outcome's reason.
SyncOutcome runCalendarSync(const SyncRequest& request);
DiscoveryOutcome runDiscovery(const CalDavAccount& account, const std::string& password);
DiscoveryOutcome runMakeCalendar(const CalDavAccount& account, const std::string& password,
                                 const std::string& name);

// The sync state file of `startDirectory`: ${XDG_STATE_HOME:-~/.local/state}/tavik/ and a name
// made from the directory's canonical path; nullopt without a home.
std::optional<std::string> syncStatePath(const std::string& startDirectory);

// `tavik --sync`: takes the lock of `startDirectory` (refused while a window holds it), reads
// the password from the file TAVIK_PASSWORD_FILE names or else the keychain (never asks),
// loads, syncs and saves, and prints one summary line on `out`. Failures go to `err` with
// their reason. Returns the exit code, 0 or 1. Needs a QCoreApplication, no display.
int runSyncCommand(const std::string& startDirectory, std::FILE* out, std::FILE* err);

// Runs the syncs of one window program. Nothing of the network or the keychain is created
// until the first sync or search: a run without a calendar set creates none.
class CalendarSync : public QObject {
  Q_OBJECT

 public:
  enum class Trigger { Start, Button, Close };

  CalendarSync(UserStore& userStore, EventTable& table, std::string startDirectory,
               QObject* parent = nullptr);
  ~CalendarSync() override;

  // Seams: the work in the worker (the window program gives runCalendarSync, runDiscovery and
  // runMakeCalendar), the keychain's time limit, and the two questions.
  SyncRunner runner;
  DiscoveryRunner discover;
  CalendarMaker makeCalendar;
  int keychainTimeoutMs = 10000;
  // Asks for the password (no Secret Service); nullopt when the user cancelled.
  std::function<std::optional<QString>(QWidget*, const QString& account)> askPassword;
  // Asks the mass-deletion question with Ja and Nein, Nein the default.
  std::function<bool(QWidget*, const QString& question)> askYesNo;
  // The parent of the questions.
  QPointer<QWidget> window;

  // Whether the table is whole, read from the data file: only then may it be synced.
  std::function<bool()> tableLoaded;
  // Saves the table after a sync (whether it changed: what was sent must be on disk before the
  // sync state says so) and rebuilds the view when `changed`. Returns the failure text, empty
  // when saved.
  std::function<QString(bool changed)> saveTable;

  // The account as stored.
  const CalDavAccount& account() const { return m_account; }
  // Takes `account` (stored now) and `password` (to the keychain when not empty; kept in
  // memory for this run either way). A password known for the same user stays known when only
  // the address changes (a calendar chosen on the same server). Returns the refusal text, empty
  // when taken.
  QString setAccount(const CalDavAccount& account, const QString& password);

  // Watches `widget` and syncs once it has been painted the first time, if a calendar is set.
  void syncAfterFirstPaint(QWidget& widget);
  // Starts a sync unless one runs; the password comes from memory or the keychain.
  void syncNow(Trigger trigger);
  // The close: waits for a running sync, then syncs once more, together at most
  // `closeLimitMs`; what is not done by then is left for the next run, and a result that
  // comes later is dropped.
  void syncBeforeClose();
  int closeLimitMs = kCloseSyncLimitMs;
  // Searches the calendars of the account; `calendarsFound` or `statusChanged` answers.
  void findCalendars();
  // Makes the calendar "Tavik!" where the account's calendars live; `calendarMade` answers
  // with its URL.
  void createCalendar();

  bool running() const { return m_running; }
  // Whether anything of the sync exists yet: the worker thread or the keychain.
  bool started() const { return m_thread != nullptr || m_passwords != nullptr; }
  const QString& status() const { return m_status; }

 signals:
  void statusChanged(const QString& status);
  void runningChanged(bool running);
  void calendarsFound(const QStringList& urls, const QStringList& names);
  void calendarMade(const QString& url);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void setStatus(const QString& status, bool keep = false);
  void setRunning(bool running);
  void ensurePasswordStore();
  // Calls `then` with this run's password, the keychain's, or one asked for; nullopt when
  // there is none.
  void withPassword(Trigger trigger,
                    const std::function<void(const std::optional<QString>&)>& then);
  void startSync(Trigger trigger, const QString& password, bool allowMassDeletion);
  void finishSync(Trigger trigger, const QString& password, const SyncOutcome& outcome);
  void ensureThread();
  // Runs `work` in the worker thread and `done` with its result here, unless this is gone.
  template <typename Result>
  void inWorker(std::function<Result()> work, std::function<void(const Result&)> done);

  UserStore& m_userStore;
  EventTable& m_table;
  std::string m_startDirectory;
  CalDavAccount m_account;
  QString m_password;  // this run's, when known
  bool m_askedThisRun = false;
  bool m_running = false;
  bool m_busy = false;  // a search runs
  QString m_status;
  QPointer<QWidget> m_watched;
  QThread* m_thread = nullptr;
  QObject* m_worker = nullptr;  // lives in m_thread
  PasswordStore* m_passwords = nullptr;
  std::shared_ptr<std::atomic_bool> m_abandoned;
  std::shared_ptr<WorkerReturn> m_return;
};

}  // namespace tavik
