// The calendar sync's work in the worker thread, and `tavik --sync`: the CalDAV client and the
// sync engine put together.

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <system_error>

#include "app/calendar_sync.h"
#include "platform/caldav_client.h"
#include "platform/password_store.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/notice_state.h"
#include "platform/posix/posix_files.h"
#include "platform/qsettings_user_store.h"
#include "store/failure.h"
#include "store/run_files.h"
#include "sync/calendar_sync.h"
#include "sync/sync_state.h"

namespace tavik {

namespace {

QString qText(const std::string& text) {
  return QString::fromStdString(text);
}

std::chrono::milliseconds timeoutOf(int ms) {
  return std::chrono::milliseconds(ms);
}

// The server as the sync sees it, until nobody waits for the answer any more (a close that
// ran out of time): from then on each call fails at once, so that the worker ends after the
// one request under way.
class AbandonableServer : public CalendarServer {
 public:
  AbandonableServer(CalendarServer& server, std::shared_ptr<std::atomic_bool> abandoned)
      : m_server(server), m_abandoned(std::move(abandoned)) {}

  ServerListing changesSince(const std::string& syncToken) override {
    check();
    return m_server.changesSince(syncToken);
  }
  std::vector<ServerResource> fetch(const std::vector<std::string>& hrefs) override {
    check();
    return m_server.fetch(hrefs);
  }
  std::string put(const std::string& href, const std::string& calendarData,
                  const std::string& ifMatch) override {
    check();
    return m_server.put(href, calendarData, ifMatch);
  }
  void remove(const std::string& href, const std::string& ifMatch) override {
    check();
    m_server.remove(href, ifMatch);
  }
  std::string hrefFor(const std::string& uid) const override { return m_server.hrefFor(uid); }

 private:
  void check() const {
    if (m_abandoned && m_abandoned->load()) {
      throw ServerError(ServerFault::Timeout, "Der Abgleich wurde beim Beenden abgebrochen");
    }
  }

  CalendarServer& m_server;
  std::shared_ptr<std::atomic_bool> m_abandoned;
};

}  // namespace

std::optional<std::string> syncStatePath(const std::string& startDirectory) {
  return stateFilePath(startDirectory, "sync");
}

SyncOutcome runCalendarSync(const SyncRequest& request) {
  SyncOutcome outcome;
  const std::optional<std::string> statePath = syncStatePath(request.startDirectory);
  if (!statePath) {
    outcome.text = "Es gibt keinen Ordner für den Stand des Abgleichs (HOME ist nicht gesetzt)";
    return outcome;
  }
  try {
    PosixFiles files;
    const SyncState state = loadSyncState(files, *statePath);
    CalDavServer caldav(QUrl(qText(request.account.url)), qText(request.account.user),
                        qText(request.password), timeoutOf(request.timeoutMs));
    AbandonableServer server(caldav, request.abandoned);
    SyncOptions options;
    options.collection = request.account.url;
    const QDate today = QDate::currentDate();
    options.today = makeDayNumber(today.year(), today.month(), today.day()).value_or(DayNumber{});
    options.nowUnixSeconds = QDateTime::currentSecsSinceEpoch();
    options.confirmed = request.allowMassDeletion;
    auto snapshot = std::make_shared<const EventTable>(request.table);
    auto result = std::make_shared<SyncResult>(syncCalendar(*snapshot, state, server, options));
    if (!result->question.empty()) {
      outcome.kind = SyncOutcome::Kind::MassDeletion;
      outcome.text = result->question;
      return outcome;
    }
    if (result->error.empty()) {
      outcome.kind = SyncOutcome::Kind::Done;
      outcome.text = syncSummary(result->report);
    } else {
      outcome.text = result->error;
    }
    auto agreed = std::make_shared<SyncState>();
    outcome.apply = [snapshot, result, agreed](EventTable& live) {
      *agreed = applySync(live, *snapshot, *result);
      return result->report.tableChanged;
    };
    outcome.commit = [agreed, path = *statePath] {
      if (const std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0) {
        if (const int failure = makeFolders(path.substr(0, slash))) throw FileError(failure);
      }
      PosixFiles stateFiles;
      saveSyncState(stateFiles, path, *agreed);
    };
  } catch (const ServerError& e) {
    outcome.text = e.what();
  } catch (const Failure& e) {
    outcome.text = e.what();
  } catch (const std::exception& e) {
    outcome.text = e.what();
  }
  return outcome;
}

DiscoveryOutcome runDiscovery(const CalDavAccount& account, const std::string& password) {
  DiscoveryOutcome outcome;
  try {
    const Discovery found = discoverCalendars(QUrl(qText(account.url)), qText(account.user),
                                              qText(password), timeoutOf(kServerTimeoutMs));
    for (const DiscoveredCalendar& c : found.calendars) {
      outcome.calendars.push_back({c.url.toString().toStdString(), c.displayName.toStdString()});
    }
    outcome.ok = true;
  } catch (const std::exception& e) {
    outcome.reason = e.what();
  }
  return outcome;
}

DiscoveryOutcome runMakeCalendar(const CalDavAccount& account, const std::string& password,
                                 const std::string& name) {
  DiscoveryOutcome outcome;
  try {
    const Discovery found = discoverCalendars(QUrl(qText(account.url)), qText(account.user),
                                              qText(password), timeoutOf(kServerTimeoutMs));
    if (found.home.isEmpty()) {
      outcome.reason = "Der Server nennt keinen Ort für neue Kalender";
      return outcome;
    }
    const QUrl made = makeCalendar(found.home, qText(name), qText(account.user), qText(password),
                                   timeoutOf(kServerTimeoutMs));
    outcome.calendars.push_back({made.toString().toStdString(), name});
    outcome.ok = true;
  } catch (const std::exception& e) {
    outcome.reason = e.what();
  }
  return outcome;
}

int runSyncCommand(const std::string& startDirectory, std::FILE* out, std::FILE* err) {
  const auto fail = [err](const QString& text) {
    std::fputs(("tavik: " + text + "\n").toUtf8().constData(), err);
    return 1;
  };
  InstanceLock lock;
  switch (lock.acquire(startDirectory + "/" + kLockFileName)) {
    case InstanceLock::Result::Locked:
    case InstanceLock::Result::Unavailable:  // nobody may write here; the save will say so
      break;
    case InstanceLock::Result::HeldByOther:
      return fail(QStringLiteral(
          "Der Abgleich ist nicht möglich, solange Tavik! in diesem Verzeichnis geöffnet ist."));
    case InstanceLock::Result::Failed:
      return fail(
          QStringLiteral("Die Sperrdatei '%1' kann nicht geöffnet werden (%2).")
              .arg(QString::fromUtf8(kLockFileName), qText(fileErrorText(lock.errorNumber()))));
  }
  QSettingsUserStore userStore;
  const CalDavAccount account = readCalDavAccount(userStore);
  if (!syncWanted(account)) {
    return fail(
        QStringLiteral("Es ist kein Kalender für den Abgleich eingerichtet (Seite "
                       "„Abgleich“ im Programmfenster)."));
  }
  if (const QString refusal = serverAddressRefusal(qText(account.url)); !refusal.isEmpty()) {
    return fail(refusal);
  }

  std::string password;
  if (const char* file = std::getenv(kPasswordFileVariable); file != nullptr && *file != '\0') {
    std::string error;
    const std::optional<std::string> read = readPasswordFile(file, error);
    if (!read) return fail(qText(error) + u'.');
    password = *read;
  } else {
    PasswordStore store;
    const PasswordAnswer answer =
        store.readNow(passwordKey(qText(account.user), qText(account.url)));
    if (answer.status != PasswordStatus::Done) {
      return fail(QStringLiteral("Kein Passwort: Der Schlüsselbund des Desktops hat keines "
                                 "(%1), und %2 ist nicht gesetzt.")
                      .arg(answer.status == PasswordStatus::NotFound
                               ? QStringLiteral("nicht gespeichert")
                               : answer.reason,
                           QString::fromUtf8(kPasswordFileVariable)));
    }
    password = answer.password.toStdString();
  }

  PosixFiles files;
  RunFiles run(startDirectory);
  try {
    run.load(files, userStore);
  } catch (const Failure& e) {
    return fail(qText(e.userMessage()));
  }
  SyncRequest request;
  request.account = account;
  request.password = password;
  request.startDirectory = startDirectory;
  request.table = run.table();
  const SyncOutcome outcome = runCalendarSync(request);
  if (outcome.kind == SyncOutcome::Kind::MassDeletion) {
    return fail(qText(outcome.text) +
                QStringLiteral(" Nicht abgeglichen; bestätigen Sie den Abgleich im Programmfenster "
                               "mit „Jetzt abgleichen“."));
  }
  if (outcome.apply || outcome.commit) {
    if (outcome.apply) outcome.apply(run.table());
    try {
      run.save(files, userStore);
      if (outcome.commit) outcome.commit();
    } catch (const Failure& e) {
      return fail(qText(e.userMessage()));
    }
  }
  if (outcome.kind == SyncOutcome::Kind::Failed) {
    QString reason = qText(outcome.text);
    if (!reason.endsWith(u'.')) reason += u'.';
    return fail(QStringLiteral("Abgleich fehlgeschlagen: %1").arg(reason));
  }
  const QString line =
      QStringLiteral("Abgeglichen mit %1: %2\n").arg(qText(account.url), qText(outcome.text));
  std::fputs(line.toUtf8().constData(), out);
  return std::fflush(out) == 0 ? 0 : 1;
}

}  // namespace tavik
