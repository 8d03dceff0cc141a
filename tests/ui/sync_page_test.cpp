// The page "Abgleich" and when the window syncs: its controls, the address refused before
// anything is sent, nothing of the sync without a calendar, the sync after the first paint,
// at the button and at the close, and what a sync's outcome does to the window. The work in
// the worker is replaced here; the real server is in the end-to-end test.
#include "app/pages/sync_page.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/calendar_sync.h"
#include "tests/support/radicale_server.h"
#include "tests/ui/window_world.h"

namespace tavik::test {

namespace {

constexpr const char* kLocalCalendar = "http://127.0.0.1:5232/anna/geburtstage/";

// Counts the syncs the window starts and answers each with the next of `outcomes` (the last
// one again when they run out).
struct FakeWork {
  std::atomic_int runs{0};
  std::atomic_bool lastAllowedMassDeletion{false};
  std::vector<SyncOutcome> outcomes{SyncOutcome{SyncOutcome::Kind::Done, "0 neu", {}, {}}};

  SyncRunner runner() {
    return [this](const SyncRequest& request) {
      lastAllowedMassDeletion = request.allowMassDeletion;
      const int n = runs++;
      return outcomes[std::min<std::size_t>(n, outcomes.size() - 1)];
    };
  }
};

// Processes events until `done` holds or two seconds have passed.
template <typename Done>
bool waitFor(Done done) {
  return QTest::qWaitFor(done, 2000);
}

void useWork(WindowWorld& w, FakeWork& work) {
  CalendarSync& sync = *w.main().calendarSync;
  sync.runner = work.runner();
  sync.keychainTimeoutMs = 200;
  sync.askPassword = [](QWidget*, const QString&) { return std::optional<QString>("geheim"); };
}

void pressSyncNow(WindowWorld& w, const QString& url) {
  w.main().TabbedNotebook1->setCurrentIndex(kSyncPage);
  control<QLineEdit>(w.main(), "CalDavUrlEdit")->setText(url);
  control<QLineEdit>(w.main(), "CalDavUserEdit")->setText(QStringLiteral("anna"));
  control<QLineEdit>(w.main(), "CalDavPasswordEdit")->setText(QStringLiteral("geheim"));
  QTest::mouseClick(control<QPushButton>(w.main(), "SyncNowButton"), Qt::LeftButton);
}

// Every calendar resource Radicale keeps, joined.
std::string serverCopy(const RadicaleServer& server) {
  std::string all;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(server.storageFolder())) {
    if (entry.path().extension() != ".ics") continue;
    std::ifstream in(entry.path());
    std::ostringstream text;
    text << in.rdbuf();
    all += text.str();
  }
  return all;
}

}  // namespace

class SyncPageTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsAreLabelledAndInKeyboardOrder() {
    WindowWorld w;
    w.create();
    QCOMPARE(w.main().TabbedNotebook1->tabText(kSyncPage), QStringLiteral("Abgleich"));
    auto* group = w.main().syncPage->SyncGroup;
    QCOMPARE(group->title().trimmed(), QStringLiteral("Kalender-Abgleich (CalDAV)"));
    const struct {
      const char* label;
      const char* field;
      const char* text;
    } rows[] = {{"CalDavUrlLabel", "CalDavUrlEdit", "Serveradresse:"},
                {"CalDavUserLabel", "CalDavUserEdit", "Benutzername:"},
                {"CalDavPasswordLabel", "CalDavPasswordEdit", "Passwort:"},
                {"CalendarLabel", "CalendarBox", "Kalender:"}};
    for (const auto& row : rows) {
      auto* label = control<QLabel>(w.main(), row.label);
      QWidget* field = control<QWidget>(w.main(), row.field);
      QCOMPARE(label->text(), QString::fromUtf8(row.text));
      QCOMPARE(label->buddy(), field);
      QCOMPARE(field->accessibleName() + u':', QString::fromUtf8(row.text));
      QVERIFY(label->accessibleName().isEmpty());
    }
    auto* password = control<QLineEdit>(w.main(), "CalDavPasswordEdit");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QVERIFY(!control<QLineEdit>(w.main(), "CalDavUrlEdit")->placeholderText().isEmpty());
    QCOMPARE(control<QPushButton>(w.main(), "FindCalendarsButton")->text(),
             QStringLiteral("Kalender suchen"));
    QCOMPARE(control<QPushButton>(w.main(), "SyncNowButton")->text(),
             QStringLiteral("Jetzt abgleichen"));

    // The tab key walks the fields from top to bottom.
    const QStringList expected = {"CalDavUrlEdit",       "CalDavUserEdit", "CalDavPasswordEdit",
                                  "FindCalendarsButton", "CalendarBox",    "SyncNowButton"};
    QStringList order;
    QWidget* at = control<QWidget>(w.main(), "CalDavUrlEdit");
    for (int guard = 0; guard < 200 && order.size() < expected.size(); ++guard) {
      if (group->isAncestorOf(at) && (at->focusPolicy() & Qt::TabFocus)) {
        order << at->objectName();
      }
      at = at->nextInFocusChain();
    }
    QCOMPARE(order, expected);
  }

  // Nothing is stored and nothing is sent for an address that may not be used.
  void addressIsCheckedBeforeAnythingIsSent_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("refusal");
    const QString plain = QStringLiteral(
        "Unverschlüsselt (http://) wird nur mit diesem Rechner abgeglichen. Bitte eine Adresse "
        "mit https:// eingeben.");
    const QString invalid =
        QStringLiteral("Die Serveradresse ist keine gültige Adresse; sie beginnt mit https://.");
    QTest::newRow("empty") << "  " << QStringLiteral("Bitte eine Serveradresse eingeben.");
    QTest::newRow("http to another host") << "http://cloud.example.de/remote.php/dav" << plain;
    QTest::newRow("http to a private address") << "http://192.168.1.5:5232/anna/cal/" << plain;
    QTest::newRow("no scheme") << "cloud.example.de/remote.php/dav" << invalid;
    QTest::newRow("other scheme") << "ftp://cloud.example.de/" << invalid;
    QTest::newRow("https") << "https://cloud.example.de/remote.php/dav" << QString();
    QTest::newRow("http to 127.0.0.1") << kLocalCalendar << QString();
    QTest::newRow("http to ::1") << "http://[::1]:5232/anna/cal/" << QString();
    QTest::newRow("http to localhost") << "http://localhost:5232/anna/cal/" << QString();
  }
  void addressIsCheckedBeforeAnythingIsSent() {
    QFETCH(QString, url);
    QFETCH(QString, refusal);
    WindowWorld w;
    w.create();
    FakeWork work;
    useWork(w, work);
    pressSyncNow(w, url);
    if (!refusal.isEmpty()) {
      QCOMPARE(w.messages.texts(), QStringList{refusal});
      QVERIFY(!w.storedSetting(kCalDavUrlName).isValid());
      QTest::qWait(50);
      QCOMPARE(work.runs.load(), 0);
      QVERIFY(!w.main().calendarSync->started());
      return;
    }
    QVERIFY(w.messages.boxes.empty());
    QCOMPARE(w.storedSetting(kCalDavUrlName).toString(), url.trimmed());
    QCOMPARE(w.storedSetting(kCalDavUserName).toString(), QStringLiteral("anna"));
    QVERIFY(waitFor([&] { return work.runs == 1; }));
  }

  // The start of a run without a calendar creates nothing of the sync; with one, the sync
  // starts only once the window has been painted.
  void startSyncsOnlyWithACalendarAndAfterThePaint() {
    for (const bool withCalendar : {false, true}) {
      WindowWorld w;
      if (withCalendar) w.setSetting(kCalDavUrlName, QString::fromUtf8(kLocalCalendar));
      w.create();
      FakeWork work;
      useWork(w, work);
      QVERIFY(!w.main().calendarSync->started());
      w.main().show();
      QVERIFY(QTest::qWaitForWindowExposed(&w.main()));
      if (withCalendar) {
        QVERIFY(waitFor([&] { return work.runs == 1; }));
        QVERIFY(w.main().calendarSync->started());
      } else {
        QTest::qWait(100);
        QCOMPARE(work.runs.load(), 0);
        QVERIFY(!w.main().calendarSync->started());
      }
      QVERIFY(w.messages.boxes.empty());
    }
  }

  // A failing sync at start says why in the status bar and on the page, never in a box.
  void failureAtStartIsAStatusLine() {
    WindowWorld w;
    w.setSetting(kCalDavUrlName, QString::fromUtf8(kLocalCalendar));
    w.create();
    FakeWork work;
    work.outcomes = {{SyncOutcome::Kind::Failed, "Keine Verbindung zum Server", {}, {}}};
    useWork(w, work);
    w.showMain();
    const QString expected =
        QStringLiteral("Kalender-Abgleich fehlgeschlagen: Keine Verbindung zum Server.");
    QVERIFY(waitFor([&] { return w.main().StatusBar1->currentMessage() == expected; }));
    QCOMPARE(control<QLabel>(w.main(), "SyncStatusLabel")->text(), expected);
    QVERIFY(w.messages.boxes.empty());
  }

  // A sync that changed the table: the table is saved before the sync state is written, the
  // countdown shows the change, and the status line (kept for the next start) says so.
  void changedTableIsSavedThenCommittedAndShown() {
    WindowWorld w;
    w.setSetting(kCalDavUrlName, QString::fromUtf8(kLocalCalendar));
    w.clock.date = QDate(2026, 12, 10);
    w.create();
    FakeWork work;
    bool committedAfterSave = false;
    const std::string dataPath = w.path(kDataFileName);
    SyncOutcome outcome{SyncOutcome::Kind::Done, "1 neu, 0 geändert, 0 Konflikte", {}, {}};
    outcome.apply = [](EventTable& table) {
      table.placeRecord(1, makeEvent({QDate(2026, 12, 12), "Vom Server"}));
      return true;
    };
    outcome.commit = [&] { committedAfterSave = readFile(dataPath).size() == kRecordSize; };
    work.outcomes = {outcome};
    useWork(w, work);
    w.showMain();
    QVERIFY(waitFor([&] { return !w.main().calendarSync->running() && work.runs == 1; }));
    QVERIFY(committedAfterSave);
    auto* grid = control<QTableView>(w.main(), "StringGrid1");
    const auto shown = [grid] {
      for (int row = 0; row < grid->model()->rowCount(); ++row) {
        if (cellText(grid, row, 2) == QStringLiteral("Vom Server")) return true;
      }
      return false;
    };
    QVERIFY(waitFor(shown));
    const QString status = w.main().StatusBar1->currentMessage();
    QVERIFY2(status.startsWith(QStringLiteral("Zuletzt abgeglichen: ")) &&
                 status.endsWith(QStringLiteral(" – 1 neu, 0 geändert, 0 Konflikte")),
             qPrintable(status));
    QCOMPARE(w.storedSetting(kCalDavStatusName).toString(), status);
  }

  // Many deletions: the button asks (Nein the default) and syncs again only on Ja; the start
  // never asks and says on the status line why it stopped.
  void massDeletionIsAskedOnlyOnTheButton() {
    const std::string question =
        "Auf dem Server fehlen 412 von 415 Ereignissen. Trotzdem abgleichen?";
    for (const bool yes : {false, true}) {
      WindowWorld w;
      w.create();
      FakeWork work;
      work.outcomes = {{SyncOutcome::Kind::MassDeletion, question, {}, {}},
                       {SyncOutcome::Kind::Done, "0 neu, 0 geändert, 0 Konflikte", {}, {}}};
      useWork(w, work);
      QStringList asked;
      w.main().calendarSync->askYesNo = [&](QWidget*, const QString& text) {
        asked << text;
        return yes;
      };
      pressSyncNow(w, QString::fromUtf8(kLocalCalendar));
      QVERIFY(waitFor([&] { return !w.main().calendarSync->running() && work.runs >= 1; }));
      QCOMPARE(asked, QStringList{QString::fromStdString(question)});
      QCOMPARE(work.runs.load(), yes ? 2 : 1);
      QCOMPARE(work.lastAllowedMassDeletion.load(), yes);
      if (!yes) {
        QCOMPARE(w.main().StatusBar1->currentMessage(),
                 QStringLiteral("Kalender-Abgleich abgebrochen; nichts wurde geändert."));
      }
    }

    WindowWorld w;
    w.setSetting(kCalDavUrlName, QString::fromUtf8(kLocalCalendar));
    w.create();
    FakeWork work;
    work.outcomes = {{SyncOutcome::Kind::MassDeletion, question, {}, {}}};
    useWork(w, work);
    bool asked = false;
    w.main().calendarSync->askYesNo = [&](QWidget*, const QString&) { return asked = true; };
    w.showMain();
    QVERIFY(waitFor([&] { return work.runs == 1 && !w.main().calendarSync->running(); }));
    QVERIFY(!asked);
    QCOMPARE(w.main().StatusBar1->currentMessage(),
             QStringLiteral("Kalender-Abgleich angehalten: Auf dem Server fehlen 412 von 415 "
                            "Ereignissen. Bitte mit „Jetzt abgleichen“ bestätigen."));
  }

  // A server that does not answer holds the close up no longer than its limit; the table is
  // written without the sync, and what the sync brings later is dropped.
  void closeWaitsNoLongerThanItsLimit() {
    WindowWorld w;
    w.setSetting(kCalDavUrlName, QString::fromUtf8(kLocalCalendar));
    w.writeEvents({{QDate(2006, 12, 20), "Hier"}});
    w.create();
    QSemaphore release;
    std::atomic_int runs{0};
    std::atomic_bool applied{false};
    FakeWork unused;
    useWork(w, unused);
    CalendarSync& sync = *w.main().calendarSync;
    sync.runner = [&](const SyncRequest&) {
      ++runs;
      release.acquire();
      SyncOutcome late{SyncOutcome::Kind::Done, "0 neu", {}, {}};
      late.apply = [&](EventTable&) { return applied = true; };
      return late;
    };
    sync.closeLimitMs = 300;
    w.showMain();
    QVERIFY(waitFor([&] { return runs == 1; }));
    w.main().close();
    QVERIFY(w.main().runFiles().closed());
    QCOMPARE(readFile(w.path(kDataFileName)).size(), kRecordSize);
    release.release(2);
    QTest::qWait(100);
    QVERIFY(!applied);
  }

  // The close sends what changed in this run before it writes the stores; a session that ends
  // (a signal) writes them at once.
  void closeSyncsBeforeTheStoresButNotWhenTheSessionEnds() {
    for (const bool sessionEnds : {false, true}) {
      WindowWorld w;
      w.setSetting(kCalDavUrlName, QString::fromUtf8(kLocalCalendar));
      w.writeEvents({{QDate(2006, 12, 20), "Hier"}});
      w.create();
      FakeWork work;
      useWork(w, work);
      const std::string dataPath = w.path(kDataFileName);
      std::vector<std::pair<int, std::size_t>> seen;  // events sent, data file's size then
      SyncRunner counted = work.runner();
      w.main().calendarSync->runner = [&](const SyncRequest& request) {
        seen.emplace_back(request.table.usedCount(), readFile(dataPath).size());
        return counted(request);
      };
      w.showMain();
      QVERIFY(waitFor([&] { return work.runs == 1 && !w.main().calendarSync->running(); }));
      seen.clear();
      w.main().table().placeRecord(2, makeEvent({QDate(2006, 12, 21), "Neu hier"}));
      if (sessionEnds) {
        w.main().endSession();
      } else {
        w.main().close();
      }
      QVERIFY(w.main().runFiles().closed());
      QCOMPARE(readFile(dataPath).size(), 2 * kRecordSize);
      if (sessionEnds) {
        QVERIFY(seen.empty());
      } else {
        // The close sync saw both events while the data file still held the one.
        QCOMPARE(seen, (std::vector<std::pair<int, std::size_t>>{{2, kRecordSize}}));
      }
    }
  }

  // Set up through the page against a real server: search, choose the calendar, sync, change
  // an event, sync again; the server's copy has the change.
  void setUpThroughThePageAndSyncWithRadicale() {
    RadicaleServer server;
    if (!server.running()) QSKIP(server.skipReason().c_str());
    server.makeCollection("geburtstage");
    TempDir state("tavik-ui-state");
    WindowWorld w;
    // After the world, which points the state folder into its own directory.
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(state.path()));
    w.clock.date = QDate(2026, 12, 10);
    w.writeEvents({{QDate(2026, 12, 12), "Anna"}});
    w.create();
    CalendarSync& sync = *w.main().calendarSync;
    sync.runner = runCalendarSync;
    sync.discover = runDiscovery;
    sync.makeCalendar = runMakeCalendar;
    sync.keychainTimeoutMs = 200;
    w.showMain();
    w.main().TabbedNotebook1->setCurrentIndex(kSyncPage);
    control<QLineEdit>(w.main(), "CalDavUrlEdit")
        ->setText(QString::fromStdString(server.baseUrl()));
    control<QLineEdit>(w.main(), "CalDavUserEdit")->setText(QString::fromStdString(server.user()));
    control<QLineEdit>(w.main(), "CalDavPasswordEdit")
        ->setText(QString::fromStdString(server.password()));
    QTest::mouseClick(control<QPushButton>(w.main(), "FindCalendarsButton"), Qt::LeftButton);
    auto* box = control<QComboBox>(w.main(), "CalendarBox");
    QVERIFY(QTest::qWaitFor([box] { return box->isEnabled(); }, 30000));
    const QString calendar = QString::fromStdString(server.collectionUrl("geburtstage"));
    const int found = box->findData(calendar);
    QVERIFY2(found >= 0, qPrintable(w.main().syncPage->SyncStatusLabel->text()));
    QCOMPARE(box->itemText(box->count() - 1), QString::fromUtf8(kNewCalendarEntry));
    box->setCurrentIndex(found);
    QCOMPARE(control<QLineEdit>(w.main(), "CalDavUrlEdit")->text(), calendar);
    QCOMPARE(w.storedSetting(kCalDavUrlName).toString(), calendar);

    auto* syncNow = control<QPushButton>(w.main(), "SyncNowButton");
    const auto syncAndWait = [&] {
      QTest::mouseClick(syncNow, Qt::LeftButton);
      return QTest::qWaitFor([&] { return !sync.running(); }, 30000);
    };
    QVERIFY(syncAndWait());
    QVERIFY2(sync.status().startsWith(QStringLiteral("Zuletzt abgeglichen: ")),
             qPrintable(sync.status()));
    QVERIFY(serverCopy(server).find("SUMMARY:Anna") != std::string::npos);

    EventRecord changed = w.main().table().record(1);
    setEventText(changed, "Anna Schmidt");
    w.main().table().storeRecord(1, changed);
    QVERIFY(syncAndWait());
    QVERIFY2(sync.status().endsWith(
                 QStringLiteral(" – 0 neu, 0 geändert, 0 Konflikte; auf dem Server 1 geschrieben")),
             qPrintable(sync.status()));
    const std::string copy = serverCopy(server);
    QVERIFY(copy.find("SUMMARY:Anna Schmidt") != std::string::npos);

    // A new calendar, after the question; it becomes the one synced.
    box->setCurrentIndex(box->count() - 1);
    QCOMPARE(w.messages.texts(),
             QStringList{QStringLiteral("Auf dem Server einen neuen Kalender „Tavik!“ anlegen?")});
    auto* address = control<QLineEdit>(w.main(), "CalDavUrlEdit");
    QVERIFY2(
        QTest::qWaitFor([&] { return address->text().endsWith(QStringLiteral("/tavik/")); }, 30000),
        qPrintable(sync.status()));
    QCOMPARE(w.storedSetting(kCalDavUrlName).toString(), address->text());
    QVERIFY(QTest::qWaitFor([&] { return box->findData(address->text()) >= 0; }, 30000));
    QCOMPARE(box->currentIndex(), box->findData(address->text()));
    w.messages.boxes.clear();
    const std::optional<std::string> statePath = syncStatePath(w.startDir.path());
    QVERIFY(statePath && statePath->starts_with(state.path() + "/tavik/sync-"));
    QVERIFY(!readFile(*statePath).empty());
    QVERIFY(w.messages.boxes.empty());
  }

  // A server that takes the connection and never answers: the close still ends within its
  // limit, the window goes without waiting for the request's own timeout, and nothing of the
  // sync is left running.
  void serverThatNeverAnswersHoldsNothingUp() {
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QElapsedTimer clock;
    {
      WindowWorld w;
      w.writeEvents({{QDate(2006, 12, 20), "Hier"}});
      w.create();
      CalendarSync& sync = *w.main().calendarSync;
      sync.runner = runCalendarSync;
      sync.closeLimitMs = 300;
      const QString url =
          QStringLiteral("http://127.0.0.1:%1/anna/tavik/").arg(silent.serverPort());
      w.showMain();
      pressSyncNow(w, url);
      QVERIFY(waitFor([&] { return silent.hasPendingConnections(); }));
      QVERIFY(sync.running());
      clock.start();
      w.main().close();
      QVERIFY(w.main().runFiles().closed());
      QCOMPARE(readFile(w.path(kDataFileName)).size(), kRecordSize);
    }
    // The request's own timeout is 30 seconds, and a worker that did not end would be waited
    // for kCloseSyncLimitMs (5 s) and then left running: the close's 300 ms and the cut
    // request stay well below both.
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::SyncPageTest)
#include "sync_page_test.moc"
