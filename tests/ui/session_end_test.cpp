// The session ends around a run: the session manager's save request, an ending signal, a
// failed write then, and the exit handler's save without Qt.
#include "app/session_end.h"

#include <QLineEdit>
#include <QSessionManager>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <filesystem>

#include "app/pages/options_page.h"
#include "platform/posix/ini_user_store.h"
#include "platform/posix/instance_lock.h"
#include "tests/ui/window_world.h"

namespace tavik::test {

namespace {

const EventFixture kKept{QDate(1970, 12, 20), "Geburtstag"};
const EventFixture kExpired{QDate(2006, 11, 1), "Abgelaufen", false, true};
const EventFixture kAdded{QDate(1980, 1, 1), "Neu"};

std::string imagesOf(const std::vector<EventFixture>& events) {
  std::string bytes;
  for (const EventFixture& e : events) {
    const RecordImage image = encodeRecord(makeEvent(e));
    bytes.append(image.begin(), image.end());
  }
  return bytes;
}

// A run whose first rebuild has dropped the expired event and whose look-ahead is now 45 days,
// all in memory; the files are as they were at start.
struct ChangedRun {
  ChangedRun() {
    w.setSetting("heutebox", 0);
    w.setSetting("autoclose", 0);
    w.writeEvents({kExpired, kKept});
    oldData = readFile(w.path(kDataFileName));
    w.create();
    w.showMain();
    w.main().optionsPage->Edit1->setText(QStringLiteral("45"));
    w.main().optionsPage->Edit1Exit();
    w.main().holidaySelection().bytes[0] = 1;
  }
  std::string settingsText() const { return readFile(w.store->filePath()); }
  void expectWritten(const std::vector<EventFixture>& events) const {
    QCOMPARE(readFile(w.path(kDataFileName)), imagesOf(events));
    QVERIFY2(settingsText().find("anzdays=45\n") != std::string::npos, settingsText().c_str());
    QCOMPARE(readFile(w.path(kHolidayFileName)), std::string("\1") + std::string(50, '\0'));
  }

  WindowWorld w;
  std::string oldData;
};

// Runs the event loop until `done` or five seconds have passed.
template <typename Done>
bool waitFor(Done done) {
  for (int i = 0; i < 500 && !done(); ++i) QTest::qWait(10);
  return done();
}

}  // namespace

class SessionEndTest : public QObject {
  Q_OBJECT

 private slots:
  // The save request writes all three stores and asks nothing; the window stays open, and its
  // close writes again what changed since. After the close a request writes nothing.
  void sessionManagerSaveKeepsTheWindowOpen() {
    ChangedRun run;
    InstanceLock lock;
    SessionEnd end(run.w.main(), run.w.files, lock, run.w.store->filePath());
    auto* manager = qApp->findChild<QSessionManager*>();
    QVERIFY(manager != nullptr);
    emit qApp->commitDataRequest(*manager);
    run.expectWritten({kKept});
    QVERIFY(run.w.main().isVisible());
    QVERIFY(run.w.messages.boxes.empty());

    run.w.main().table().storeRecord(1, makeEvent(kAdded));  // the slot the expired event left
    QVERIFY(run.w.main().close());
    run.expectWritten({kAdded, kKept});

    writeFile(run.w.path(kDataFileName), run.oldData);
    emit qApp->commitDataRequest(*manager);
    QCOMPARE(readFile(run.w.path(kDataFileName)), run.oldData);
  }

  // A failed write gives its text and no box; the data file stays, the window stays open.
  void failedSessionManagerSaveAsksNothing() {
    ChangedRun run;
    run.w.files.failAt(FakeFiles::Op::Write, 1, ENOSPC);
    QCOMPARE(run.w.main().saveForSessionManager(), std::string("Zu wenig Speicherplatz."));
    QVERIFY(run.w.messages.boxes.empty());
    QVERIFY(run.w.main().isVisible());
    QCOMPARE(readFile(run.w.path(kDataFileName)), run.oldData);
  }

  // The exit handler's save fails the same way: its text; the settings file, written first
  // through the same file calls, is new, the data file old.
  void failedSaveBeforeExitKeepsTheOldFile() {
    ChangedRun run;
    IniUserStore settings(run.w.files, run.w.store->filePath(), IniUserStore::Writes::Allowed);
    run.w.files.failAt(FakeFiles::Op::Sync, 2, EIO);
    QCOMPARE(run.w.main().runFiles().saveAtExit(run.w.files, settings),
             std::string("E/A-Fehler 5."));
    QVERIFY(run.settingsText().find("anzdays=45\n") != std::string::npos);
    QCOMPARE(readFile(run.w.path(kDataFileName)), run.oldData);
    QVERIFY(run.w.messages.boxes.empty());
  }

  // The session-end saves write the events when the settings cannot be written or read: the
  // exit handler's with a settings path that cannot be made or that is a folder, the signal's
  // with QSettings' file replaced by a folder.
  void unwritableSettingsStillSaveTheEventsAtTheEnd_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("exit handler, settings path below a file") << 0;
    QTest::newRow("exit handler, settings file is a folder") << 1;
    QTest::newRow("signal, settings file is a folder") << 2;
  }
  void unwritableSettingsStillSaveTheEventsAtTheEnd() {
    QFETCH(int, way);
    ChangedRun run;
    InstanceLock lock;
    const std::string settingsFile = run.w.store->filePath();
    if (way == 0) {
      SessionEnd end(run.w.main(), run.w.files, lock, run.w.path(kDataFileName) + "/x.conf");
      end.saveBeforeExit();
    } else {
      std::filesystem::remove(settingsFile);
      std::filesystem::create_directory(settingsFile);
      if (way == 1) {
        SessionEnd end(run.w.main(), run.w.files, lock, settingsFile);
        end.saveBeforeExit();
      } else {
        QSignalSpy closed(&run.w.main(), &MainWindow::closed);
        run.w.main().endSession();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(run.w.main().endFailure(),
                 std::string("Konnte Daten für 'anzdays' nicht setzen."));
      }
    }
    QCOMPARE(readFile(run.w.path(kDataFileName)), imagesOf({kKept}));
    QCOMPARE(readFile(run.w.path(kHolidayFileName)), std::string("\1") + std::string(50, '\0'));
    QVERIFY(run.w.messages.boxes.empty());
  }

  // An ending signal closes the run at once without a question; more signals change nothing.
  void signalClosesWithoutQuestions() {
    ChangedRun run;
    InstanceLock lock;
    SessionEnd end(run.w.main(), run.w.files, lock, run.w.store->filePath());
    QSignalSpy closed(&run.w.main(), &MainWindow::closed);
    for (const int number : {SIGTERM, SIGINT}) {
      std::raise(number);
      QVERIFY(waitFor([&] { return closed.count() > 0; }));
    }
    std::raise(SIGHUP);
    QTest::qWait(50);
    QCOMPARE(closed.count(), 1);
    run.expectWritten({kKept});
    QVERIFY(!run.w.main().isVisible());
    QVERIFY(run.w.messages.boxes.empty());
    QVERIFY(run.w.main().endFailure().empty());
  }

  // A write that fails as the session ends: no box; the settings (written first) are there,
  // the data file and the holiday file are as they were, and the failure is kept for the exit.
  void failedWriteAtSessionEnd() {
    ChangedRun run;
    QSignalSpy closed(&run.w.main(), &MainWindow::closed);
    run.w.files.failAt(FakeFiles::Op::Rename, 1, EIO);
    run.w.main().endSession();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(run.w.main().endFailure(), std::string("E/A-Fehler 5."));
    QVERIFY(run.w.messages.boxes.empty());
    QCOMPARE(readFile(run.w.path(kDataFileName)), run.oldData);
    QCOMPARE(readFile(run.w.path(kHolidayFileName)), std::string(51, '\0'));
    QVERIFY(run.settingsText().find("anzdays=45\n") != std::string::npos);
  }

  // The session ends while a failed close shows its error: the stores are written once more
  // without the question, and the run ends.
  void sessionEndsDuringAFailedClose() {
    ChangedRun run;
    QSignalSpy closed(&run.w.main(), &MainWindow::closed);
    run.w.files.failAt(FakeFiles::Op::Open, 1, EACCES);
    bool ended = false;
    run.w.messages.whileOpen = [&] {
      if (ended) return;
      ended = true;
      run.w.main().endSession();
    };
    QVERIFY(run.w.main().close());
    QCOMPARE(run.w.messages.texts(), QStringList{"Dateizugriff verweigert."});
    QCOMPARE(closed.count(), 1);
    run.expectWritten({kKept});
  }

  // The exit handler's save: the stores as a close writes them, the settings through the
  // file calls alone, the lock let go; once only, and not at all after a close.
  void saveBeforeExitWritesOnce() {
    ChangedRun run;
    InstanceLock lock;
    const std::string lockPath = run.w.path(kLockFileName);
    QCOMPARE(lock.acquire(lockPath), InstanceLock::Result::Locked);
    {
      SessionEnd end(run.w.main(), run.w.files, lock, run.w.store->filePath());
      end.saveBeforeExit();
      run.expectWritten({kKept});
      InstanceLock next;
      QCOMPARE(next.acquire(lockPath), InstanceLock::Result::Locked);

      writeFile(run.w.path(kDataFileName), run.oldData);
      end.saveBeforeExit();
      QCOMPARE(readFile(run.w.path(kDataFileName)), run.oldData);
    }

    ChangedRun closedRun;
    QVERIFY(closedRun.w.main().close());
    writeFile(closedRun.w.path(kDataFileName), closedRun.oldData);
    SessionEnd end(closedRun.w.main(), closedRun.w.files, lock, closedRun.w.store->filePath());
    end.saveBeforeExit();
    QCOMPARE(readFile(closedRun.w.path(kDataFileName)), closedRun.oldData);
  }

  // The session manager's last word ("die") reaches Qt as a Quit event, which closes the
  // windows: the close runs as the user's would. Last here, as it ends the application's loop.
  void quitEventRunsTheClose() {
    ChangedRun run;
    QSignalSpy closed(&run.w.main(), &MainWindow::closed);
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    QCOMPARE(closed.count(), 1);
    run.expectWritten({kKept});
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::SessionEndTest)
#include "session_end_test.moc"
