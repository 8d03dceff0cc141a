// Running the calendar sync in the background of the window program.
#include "app/calendar_sync.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QHostAddress>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <exception>
#include <mutex>

#include "platform/password_store.h"
#include "platform/qt_seams.h"

namespace tavik {

namespace {

QString withFullStop(QString text) {
  if (!text.isEmpty() && !text.endsWith(u'.') && !text.endsWith(u'?') && !text.endsWith(u'!')) {
    text += u'.';
  }
  return text;
}

// The mass-deletion question as a statement for a status line.
QString withoutQuestion(const QString& question) {
  QString text = question;
  const QString asked = QStringLiteral(" Trotzdem abgleichen?");
  if (text.endsWith(asked)) text.chop(asked.size());
  return withFullStop(text);
}

std::optional<QString> askPasswordInDialog(QWidget* parent, const QString& account) {
  bool ok = false;
  const QString password = QInputDialog::getText(
      parent, QString::fromUtf8(kApplicationTitle),
      QStringLiteral("Der Schlüsselbund des Desktops ist nicht erreichbar.\nPasswort für %1:")
          .arg(account),
      QLineEdit::Password, QString(), &ok);
  if (!ok) return std::nullopt;
  return password;
}

bool askYesNoInBox(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kApplicationTitle), question,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

QString serverAddressRefusal(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return QStringLiteral("Bitte eine Serveradresse eingeben.");
  const QUrl url(trimmed, QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || url.host().isEmpty() ||
      (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
    return QStringLiteral("Die Serveradresse ist keine gültige Adresse; sie beginnt mit https://.");
  }
  if (scheme == QLatin1String("http")) {
    const QString host = url.host();
    const QHostAddress address(host);
    const bool loopback = host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
                          (!address.isNull() && address.isLoopback());
    if (!loopback) {
      return QStringLiteral(
          "Unverschlüsselt (http://) wird nur mit diesem Rechner abgeglichen. Bitte eine "
          "Adresse mit https:// eingeben.");
    }
  }
  return {};
}

bool syncWanted(const CalDavAccount& account) {
  return account.configured();
}

// Hands results from the worker back to a CalendarSync that may have gone meanwhile.
struct WorkerReturn {
  std::mutex mutex;
  CalendarSync* target = nullptr;
};

CalendarSync::CalendarSync(UserStore& userStore, EventTable& table, std::string startDirectory,
                           QObject* parent)
    : QObject(parent),
      askPassword(askPasswordInDialog),
      askYesNo(askYesNoInBox),
      m_userStore(userStore),
      m_table(table),
      m_startDirectory(std::move(startDirectory)),
      m_account(readCalDavAccount(userStore)) {
  std::string kept;
  if (m_userStore.readText(kCalDavStatusName, kept) == UserStore::Read::Value) {
    m_status = QString::fromStdString(kept);
  }
}

CalendarSync::~CalendarSync() {
  if (m_return) {
    const std::lock_guard lock(m_return->mutex);
    m_return->target = nullptr;
  }
  if (m_abandoned) m_abandoned->store(true);
  if (m_thread == nullptr) return;
  // Ends the worker's event loops, the one a request waits in too: the request is cut.
  m_thread->quit();
  // A sync that does not end within its time limit keeps its thread: destroying a running
  // thread would end the process at once.
  if (m_thread->wait(kCloseSyncLimitMs)) {
    delete m_worker;
    delete m_thread;
  }
}

QString CalendarSync::setAccount(const CalDavAccount& account, const QString& password) {
  CalDavAccount taken{QString::fromStdString(account.url).trimmed().toStdString(), account.user};
  const QString refusal = serverAddressRefusal(QString::fromStdString(taken.url));
  if (!refusal.isEmpty()) return refusal;
  QString known = password.isEmpty() ? m_password : password;
  if (!(taken == m_account)) {
    try {
      saveCalDavAccount(m_userStore, taken);
    } catch (const std::exception& e) {
      return withFullStop(QString::fromStdString(e.what()));
    }
    const bool sameServer =
        taken.user == m_account.user && QUrl(QString::fromStdString(taken.url)).host() ==
                                            QUrl(QString::fromStdString(m_account.url)).host();
    if (!sameServer && password.isEmpty()) known.clear();
    m_account = taken;
    m_askedThisRun = false;
  } else if (password.isEmpty() || password == m_password) {
    return {};
  }
  m_password = known;
  if (!known.isEmpty()) {
    ensurePasswordStore();
    m_passwords->write(
        passwordKey(QString::fromStdString(m_account.user), QString::fromStdString(m_account.url)),
        known);
  }
  return {};
}

void CalendarSync::syncAfterFirstPaint(QWidget& widget) {
  if (!syncWanted(m_account)) return;
  m_watched = &widget;
  widget.installEventFilter(this);
}

bool CalendarSync::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_watched && event->type() == QEvent::Paint) {
    watched->removeEventFilter(this);
    m_watched = nullptr;
    // After the paint has reached the screen: timers come after the flush of this paint.
    QTimer::singleShot(0, this, [this] { syncNow(Trigger::Start); });
  }
  return QObject::eventFilter(watched, event);
}

void CalendarSync::setStatus(const QString& status, bool keep) {
  m_status = status;
  if (keep) {
    m_userStore.writeText(kCalDavStatusName, status.toStdString());
    m_userStore.sync();
  }
  emit statusChanged(status);
}

void CalendarSync::setRunning(bool running) {
  if (m_running == running) return;
  m_running = running;
  emit runningChanged(running);
}

void CalendarSync::ensurePasswordStore() {
  if (m_passwords == nullptr) m_passwords = new PasswordStore(this, keychainTimeoutMs);
}

void CalendarSync::syncNow(Trigger trigger) {
  if (m_running || !syncWanted(m_account) || !runner) return;
  if (tableLoaded && !tableLoaded()) {
    // A table not read whole would look to the sync as if events had been deleted here.
    setStatus(
        QStringLiteral("Kalender-Abgleich übersprungen: Die Datendatei wurde nicht "
                       "vollständig gelesen."));
    return;
  }
  setRunning(true);
  if (trigger != Trigger::Close) setStatus(QStringLiteral("Kalender-Abgleich läuft …"));
  withPassword(trigger, [this, trigger](const std::optional<QString>& password) {
    if (!password) {
      setRunning(false);
      setStatus(QStringLiteral("Kalender-Abgleich übersprungen: kein Passwort."));
      return;
    }
    startSync(trigger, *password, false);
  });
}

void CalendarSync::withPassword(Trigger trigger,
                                const std::function<void(const std::optional<QString>&)>& then) {
  if (!m_password.isEmpty()) {
    then(m_password);
    return;
  }
  const QString key =
      passwordKey(QString::fromStdString(m_account.user), QString::fromStdString(m_account.url));
  ensurePasswordStore();
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = connect(
      m_passwords, &PasswordStore::answered, this,
      [this, trigger, key, then, connection](PasswordStore::Job job, const QString& answeredKey,
                                             const PasswordAnswer& answer) {
        if (job != PasswordStore::Job::Read || answeredKey != key) return;
        disconnect(*connection);
        if (answer.status == PasswordStatus::Done) {
          m_password = answer.password;
          then(m_password);
          return;
        }
        // Asked once per run, and never at the close, where nobody may be there to answer.
        if (trigger == Trigger::Close || m_askedThisRun || !askPassword) {
          then(std::nullopt);
          return;
        }
        m_askedThisRun = true;
        const std::optional<QString> typed =
            askPassword(window, QStringLiteral("%1 bei %2")
                                    .arg(QString::fromStdString(m_account.user),
                                         QString::fromStdString(m_account.url)));
        if (!typed) {
          then(std::nullopt);
          return;
        }
        m_password = *typed;
        if (answer.status == PasswordStatus::NotFound) m_passwords->write(key, m_password);
        then(m_password);
      });
  m_passwords->read(key);
}

void CalendarSync::startSync(Trigger trigger, const QString& password, bool allowMassDeletion) {
  m_abandoned = std::make_shared<std::atomic_bool>(false);
  auto request = std::make_shared<SyncRequest>();
  request->account = m_account;
  request->password = password.toStdString();
  request->startDirectory = m_startDirectory;
  request->table = m_table;
  request->allowMassDeletion = allowMassDeletion;
  request->timeoutMs = trigger == Trigger::Close ? closeLimitMs : kServerTimeoutMs;
  request->abandoned = m_abandoned;
  const SyncRunner run = runner;
  inWorker<SyncOutcome>([run, request] { return run(*request); },
                        [this, trigger, password, abandoned = m_abandoned](const SyncOutcome& o) {
                          // A close that stopped waiting has saved the table already.
                          if (abandoned->load()) return;
                          finishSync(trigger, password, o);
                        });
}

void CalendarSync::finishSync(Trigger trigger, const QString& password,
                              const SyncOutcome& outcome) {
  if (outcome.kind == SyncOutcome::Kind::MassDeletion) {
    const QString question = QString::fromStdString(outcome.text);
    if (trigger == Trigger::Button && askYesNo && askYesNo(window, question)) {
      startSync(trigger, password, true);
      return;
    }
    setRunning(false);
    if (trigger == Trigger::Button) {
      setStatus(QStringLiteral("Kalender-Abgleich abgebrochen; nichts wurde geändert."));
    } else {
      setStatus(QStringLiteral("Kalender-Abgleich angehalten: %1 Bitte mit „Jetzt abgleichen“ "
                               "bestätigen.")
                    .arg(withoutQuestion(question)));
    }
    return;
  }
  setRunning(false);
  // A failed sync may have done part of its work: that part is kept as a whole one is.
  if (outcome.apply || outcome.commit) {
    const bool changed = outcome.apply && outcome.apply(m_table);
    const QString failure = saveTable ? saveTable(changed) : QString();
    if (!failure.isEmpty()) {
      // The sync state stays as it was, so the next sync sees what was sent again.
      setStatus(QStringLiteral("Kalender-Abgleich: %1").arg(failure));
      return;
    }
    try {
      if (outcome.commit) outcome.commit();
    } catch (const std::exception& e) {
      setStatus(QStringLiteral("Kalender-Abgleich: Der Stand des Abgleichs konnte nicht "
                               "gespeichert werden (%1).")
                    .arg(QString::fromStdString(e.what())));
      return;
    }
  }
  if (outcome.kind == SyncOutcome::Kind::Failed) {
    setStatus(QStringLiteral("Kalender-Abgleich fehlgeschlagen: %1")
                  .arg(withFullStop(QString::fromStdString(outcome.text))));
    return;
  }
  setStatus(QStringLiteral("Zuletzt abgeglichen: %1 – %2")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm")),
                     QString::fromStdString(outcome.text)),
            true);
}

void CalendarSync::syncBeforeClose() {
  const int limitMs = closeLimitMs;
  if (!syncWanted(m_account)) return;
  QElapsedTimer clock;
  clock.start();
  const auto waitWhileRunning = [&] {
    const qint64 left = limitMs - clock.elapsed();
    if (!m_running || left <= 0) return;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &CalendarSync::runningChanged, &loop, [&loop](bool running) {
      if (!running) loop.quit();
    });
    deadline.start(static_cast<int>(left));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  };
  waitWhileRunning();
  if (!m_running) {
    syncNow(Trigger::Close);
    waitWhileRunning();
  }
  if (m_running) {
    // The table is saved now without what this sync would bring; the next run syncs again.
    // Ending the worker's event loops cuts the request under way, and the abandoned server
    // refuses the next ones.
    if (m_abandoned) m_abandoned->store(true);
    if (m_thread != nullptr) m_thread->quit();
    setRunning(false);
  }
}

void CalendarSync::findCalendars() {
  if (m_busy || !discover) return;
  m_busy = true;
  setStatus(QStringLiteral("Kalender werden gesucht …"));
  withPassword(Trigger::Button, [this](const std::optional<QString>& password) {
    const DiscoveryRunner run = discover;
    inWorker<DiscoveryOutcome>(
        [run, account = m_account, typed = password.value_or(QString()).toStdString()] {
          return run(account, typed);
        },
        [this](const DiscoveryOutcome& found) {
          m_busy = false;
          if (!found.ok) {
            setStatus(QStringLiteral("Kalendersuche fehlgeschlagen: %1")
                          .arg(withFullStop(QString::fromStdString(found.reason))));
            return;
          }
          QStringList urls;
          QStringList names;
          for (const FoundCalendar& c : found.calendars) {
            urls << QString::fromStdString(c.url);
            names << QString::fromStdString(c.name);
          }
          setStatus(found.calendars.empty()
                        ? QStringLiteral("Kein Kalender gefunden.")
                        : QStringLiteral("Kalender gefunden: %1.").arg(found.calendars.size()));
          emit calendarsFound(urls, names);
        });
  });
}

void CalendarSync::createCalendar() {
  if (m_busy || !makeCalendar) return;
  m_busy = true;
  withPassword(Trigger::Button, [this](const std::optional<QString>& password) {
    const CalendarMaker make = makeCalendar;
    inWorker<DiscoveryOutcome>(
        [make, account = m_account, typed = password.value_or(QString()).toStdString()] {
          return make(account, typed, "Tavik!");
        },
        [this](const DiscoveryOutcome& made) {
          m_busy = false;
          if (!made.ok || made.calendars.empty()) {
            setStatus(QStringLiteral("Der Kalender konnte nicht angelegt werden: %1")
                          .arg(withFullStop(QString::fromStdString(made.reason))));
            return;
          }
          setStatus(QStringLiteral("Kalender „Tavik!“ angelegt."));
          emit calendarMade(QString::fromStdString(made.calendars.front().url));
        });
  });
}

void CalendarSync::ensureThread() {
  if (m_thread != nullptr) {
    // Ended by a close that ran out of time, and the window stayed open after all.
    if (!m_thread->isRunning()) {
      m_thread->wait();
      m_thread->start();
    }
    return;
  }
  m_return = std::make_shared<WorkerReturn>();
  m_return->target = this;
  m_thread = new QThread;
  m_thread->setObjectName(QStringLiteral("calendar-sync"));
  m_worker = new QObject;
  m_worker->moveToThread(m_thread);
  m_thread->start();
}

template <typename Result>
void CalendarSync::inWorker(std::function<Result()> work, std::function<void(const Result&)> done) {
  ensureThread();
  QMetaObject::invokeMethod(
      m_worker,
      [back = m_return, work = std::move(work), done = std::move(done)] {
        auto result = std::make_shared<Result>(work());
        const std::lock_guard lock(back->mutex);
        if (back->target == nullptr) return;
        QMetaObject::invokeMethod(
            back->target, [done, result] { done(*result); }, Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

}  // namespace tavik
