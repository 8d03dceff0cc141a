// The daily reminder's units: their text checked by systemd itself, what cannot be written,
// and installing and removing them with systemctl replaced by a script that logs or fails.
#include "platform/reminder_timer.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "platform/posix/notice_state.h"
#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik::test {

namespace {

QByteArray fileText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeExecutable(const QString& path, const QByteArray& text) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
  file.close();
  QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

}  // namespace

class ReminderTimerTest : public QObject {
  Q_OBJECT

 private slots:
  // systemd-analyze reads the units as the user manager would: a start directory and a
  // program path with blanks, umlauts and %, the start directory also with a backslash, quotes
  // and a $.
  void unitsPassSystemdsOwnCheck() {
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) QSKIP("systemd-analyze is missing");
    TempDir dir("tavik-units");
    const QString base = QString::fromStdString(dir.path());
    const QString start = base + QStringLiteral("/Termine von Jürgen 100% \\ \"Ä\" $HOME");
    const QString programFolder = base + QStringLiteral("/Programme für 100% Tavik");
    QVERIFY(QDir().mkpath(start));
    QVERIFY(QDir().mkpath(programFolder));
    const QString program = programFolder + QStringLiteral("/tavik");
    writeExecutable(program, "#!/bin/sh\nexit 0\n");
    QString why;
    const std::optional<QByteArray> service =
        reminderServiceText(program, start.toUtf8().toStdString(), why);
    QVERIFY2(service, qPrintable(why));
    QCOMPARE(*service,
             QByteArray("[Unit]\n"
                        "Description=Tavik!: tägliche Erinnerung\n"
                        "\n"
                        "[Service]\n"
                        "Type=oneshot\n"
                        "WorkingDirectory=") +
                 (base + QStringLiteral("/Termine von Jürgen 100%% \\ \"Ä\" $HOME")).toUtf8() +
                 "\nExecStart=\"" +
                 (base + QStringLiteral("/Programme für 100%% Tavik/tavik")).toUtf8() +
                 "\" --notify\n");
    const QByteArray timer = reminderTimerText(QTime(7, 5));
    QCOMPARE(timer, QByteArray("[Unit]\n"
                               "Description=Tavik!: tägliche Erinnerung um 07:05\n"
                               "\n"
                               "[Timer]\n"
                               "OnCalendar=*-*-* 07:05:00\n"
                               "Persistent=true\n"
                               "\n"
                               "[Install]\n"
                               "WantedBy=timers.target\n"));

    const QString units = base + QStringLiteral("/units");
    QVERIFY(QDir().mkpath(units));
    {
      QFile s(units + QStringLiteral("/tavik-remind-test.service"));
      QVERIFY(s.open(QIODevice::WriteOnly));
      s.write(*service);
      QFile t(units + QStringLiteral("/tavik-remind-test.timer"));
      QVERIFY(t.open(QIODevice::WriteOnly));
      t.write(timer);
    }
    // A user manager of its own, offline: it needs a runtime directory, nothing else.
    const QString runtime = base + QStringLiteral("/runtime");
    QVERIFY(QDir().mkpath(runtime));
    QProcess verify;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    verify.setProcessEnvironment(env);
    verify.setWorkingDirectory(units);
    verify.start(analyze, {QStringLiteral("verify"), QStringLiteral("--user"),
                           QStringLiteral("--man=no"), QStringLiteral("./tavik-remind-test.timer"),
                           QStringLiteral("./tavik-remind-test.service")});
    QVERIFY(verify.waitForFinished(60000));
    const QString said =
        QString::fromLocal8Bit(verify.readAllStandardError() + verify.readAllStandardOutput());
    QVERIFY2(verify.exitCode() == 0 && said.trimmed().isEmpty(), qPrintable(said));

    // The check itself tells a wrong ExecStart: an escaped quote in an executable's name.
    QByteArray broken = *service;
    broken.replace("/tavik\"", "/ta\\\"vik\"");
    {
      QFile s(units + QStringLiteral("/tavik-remind-test.service"));
      QVERIFY(s.open(QIODevice::WriteOnly | QIODevice::Truncate));
      s.write(broken);
    }
    verify.start(analyze,
                 {QStringLiteral("verify"), QStringLiteral("--user"), QStringLiteral("--man=no"),
                  QStringLiteral("./tavik-remind-test.service")});
    QVERIFY(verify.waitForFinished(60000));
    QVERIFY(verify.exitCode() != 0);
  }

  void whatSystemdCannotHoldIsRefused_data() {
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("directoryRefused");
    const QString tavik = QStringLiteral("/usr/bin/tavik");
    QTest::newRow("not UTF-8") << QByteArray("/home/a/Termine \xff") << tavik << true;
    QTest::newRow("trailing blank") << QByteArray("/home/a/Termine ") << tavik << true;
    QTest::newRow("trailing backslash") << QByteArray("/home/a/Termine\\") << tavik << true;
    QTest::newRow("line break") << QByteArray("/home/a/Ter\nmine") << tavik << true;
    QTest::newRow("relative") << QByteArray("Termine") << tavik << true;
    QTest::newRow("program with a quote") << QByteArray("/home/a") << "/opt/t\"/tavik" << false;
    QTest::newRow("program with a backslash") << QByteArray("/home/a") << "/opt/t\\/tavik" << false;
    QTest::newRow("program with an apostrophe")
        << QByteArray("/home/a") << "/opt/t'/tavik" << false;
  }
  void whatSystemdCannotHoldIsRefused() {
    QFETCH(QByteArray, directory);
    QFETCH(QString, program);
    QFETCH(bool, directoryRefused);
    QString why;
    QVERIFY(!reminderServiceText(program, directory.toStdString(), why));
    QCOMPARE(why.startsWith(QStringLiteral("Der Name des Startverzeichnisses")), directoryRefused);
    QVERIFY(!why.isEmpty());
  }

  void timeReadsBack() {
    for (const QTime time : {QTime(0, 0), QTime(9, 0), QTime(23, 59)}) {
      QCOMPARE(reminderTimeOf(reminderTimerText(time)), time);
    }
    QCOMPARE(reminderTimeOf("[Timer]\nOnCalendar=daily\n"), std::nullopt);
    QCOMPARE(reminderTimeOf("OnCalendar=*-*-* 25:00:00\n"), std::nullopt);
  }

  // Installed with systemctl answering: both units, then reload, enable and (re)start; a new
  // time rewrites the timer; removed: disable, both files and the wants link gone, reload.
  void installChangeAndRemove() {
    World w;
    w.systemctl("exit 0");
    ReminderTimer timer = w.timer();
    QCOMPARE(timer.installedTime(), std::nullopt);
    timer.install(QTime(9, 0));
    QCOMPARE(timer.installedTime(), QTime(9, 0));
    QVERIFY(fileText(timer.servicePath()).contains("ExecStart=\"/usr/bin/tavik\" --notify\n"));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(w.units).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
    const QString name = reminderUnitName(w.start.path());
    QCOMPARE(w.calls(), QStringList({"--user daemon-reload", "--user enable " + name + ".timer",
                                     "--user restart " + name + ".timer"}));
    timer.install(QTime(18, 30));
    QCOMPARE(timer.installedTime(), QTime(18, 30));
    QVERIFY(fileText(timer.timerPath()).contains("OnCalendar=*-*-* 18:30:00\n"));
    QVERIFY(QDir().mkpath(w.units + QStringLiteral("/timers.target.wants")));
    QVERIFY(QFile::link(timer.timerPath(),
                        w.units + QStringLiteral("/timers.target.wants/") + name + ".timer"));
    w.clearCalls();
    timer.remove();
    QCOMPARE(timer.installedTime(), std::nullopt);
    QVERIFY(!QFile::exists(timer.servicePath()));
    QVERIFY(QDir(w.units + QStringLiteral("/timers.target.wants")).isEmpty());
    QCOMPARE(w.calls(),
             QStringList({"--user disable --now " + name + ".timer", "--user daemon-reload"}));
  }

  // No user manager (systemctl fails) or no systemctl at all: a failure with the reason,
  // nothing left behind; removing still removes the files.
  void failuresLeaveNothingBehind_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("message");
    QTest::newRow("no user manager")
        << "echo 'Failed to connect to bus: No medium found' >&2; exit 1"
        << "Die tägliche Erinnerung konnte nicht eingerichtet werden: Failed to connect to bus: "
           "No medium found.";
    QTest::newRow("enable fails")
        << "case \"$2\" in enable) echo 'Unit file is masked.' >&2; exit 1;; esac; exit 0"
        << "Die tägliche Erinnerung konnte nicht eingerichtet werden: Unit file is masked.";
    QTest::newRow("no systemctl") << QString()
                                  << "Die tägliche Erinnerung konnte nicht eingerichtet werden: "
                                     "systemctl wurde nicht gefunden.";
  }
  void failuresLeaveNothingBehind() {
    QFETCH(QString, script);
    QFETCH(QString, message);
    World w;
    if (!script.isNull()) w.systemctl(script.toUtf8());
    ReminderTimer timer = w.timer();
    try {
      timer.install(QTime(9, 0));
      QFAIL("installed");
    } catch (const Failure& failure) {
      QCOMPARE(QString::fromStdString(failure.userMessage()), message);
    }
    QCOMPARE(timer.installedTime(), std::nullopt);
    QVERIFY(!QFile::exists(timer.servicePath()));

    // Files another run left are removed whatever systemctl says.
    World answering;
    answering.systemctl("exit 0");
    answering.timer().install(QTime(9, 0));
    ReminderTimer left(answering.files, answering.units, QStringLiteral("/usr/bin/tavik"),
                       answering.start.path());
    QVERIFY(left.installedTime());
    if (!script.isNull()) answering.systemctl(script.toUtf8());
    if (script.isNull()) qputenv("PATH", QFile::encodeName(answering.bin + "/none"));
    left.remove();
    QCOMPARE(left.installedTime(), std::nullopt);
  }

  void unitFileThatCannotBeRemovedIsTold() {
    World w;
    w.systemctl("exit 0");
    ReminderTimer timer = w.timer();
    timer.install(QTime(9, 0));
    w.files.failAt(FakeFiles::Op::Remove, 1, EACCES);
    try {
      timer.remove();
      QFAIL("removed");
    } catch (const Failure& failure) {
      QVERIFY(QString::fromStdString(failure.userMessage())
                  .startsWith(QString::fromUtf8(kReminderRemoveFailed).arg(QString())));
    }
    QVERIFY(timer.installedTime());
  }

 private:
  // A start directory, a unit folder and a bin folder that PATH names alone.
  struct World {
    World() {
      units = QString::fromStdString(home.path()) + QStringLiteral("/config/systemd/user");
      bin = QString::fromStdString(home.path()) + QStringLiteral("/bin");
      QDir().mkpath(bin);
      qputenv("PATH", QFile::encodeName(bin));
    }
    // systemctl as a script that logs its arguments, then runs `body`.
    void systemctl(const QByteArray& body) {
      writeExecutable(
          bin + QStringLiteral("/systemctl"),
          "#!/bin/sh\necho \"$*\" >>'" + QFile::encodeName(bin) + "/calls'\n" + body + "\n");
    }
    QStringList calls() const {
      return QString::fromUtf8(fileText(bin + QStringLiteral("/calls")))
          .split(u'\n', Qt::SkipEmptyParts);
    }
    void clearCalls() { QFile::remove(bin + QStringLiteral("/calls")); }
    ReminderTimer timer() {
      return ReminderTimer(files, units, QStringLiteral("/usr/bin/tavik"), start.path());
    }

    TempDir home{"tavik-remind"};
    TempDir start{"tavik-remind-start"};
    FakeFiles files;
    QString units;
    QString bin;
  };
};

}  // namespace tavik::test

QTEST_GUILESS_MAIN(tavik::test::ReminderTimerTest)
#include "reminder_timer_test.moc"
