// What the program hands the desktop: the notification's texts and the autostart entry, read
// back by the desktop's own tools.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "platform/autostart.h"
#include "platform/desktop_notification.h"
#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik::test {

namespace {

QStringList numberedLines(int count) {
  QStringList lines;
  for (int i = 1; i <= count; ++i) lines << QStringLiteral("Noch %1").arg(i);
  return lines;
}

// A program that notes where it runs and how it was called.
void writeProbe(const QString& path, const QString& record) {
  QFile probe(path);
  QVERIFY(probe.open(QIODevice::WriteOnly));
  probe.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n%s\\n' \"$PWD\" \"$0\" > '%1'\n")
                  .arg(record)
                  .toUtf8());
  probe.close();
  QVERIFY(probe.setPermissions(probe.permissions() | QFile::ExeOwner));
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void notificationTexts() {
    const QString heute = QStringLiteral("Heute               15.12.1970   Geburtstag");
    const QString missed = QStringLiteral("Vor   3 Tagen  12.12.1970   Verpasst");
    QCOMPARE(todayNotification({missed, heute}),
             (DesktopNotification{QStringLiteral("Heute"), missed + u'\n' + heute}));
    QCOMPARE(todayNotification({missed}), (DesktopNotification{QStringLiteral("Tavik!"), missed}));
    // "Heute" heads a line of today only at its start, or after a round anniversary's mark.
    QCOMPARE(todayNotification({QStringLiteral("Noch   3 Tage  18.12.1970   Heute")}).summary,
             QStringLiteral("Tavik!"));
    QCOMPARE(todayNotification({QStringLiteral("★ Heute – Anna – wird 50")}).summary,
             QStringLiteral("Heute"));
    QCOMPARE(todayNotification({QStringLiteral("★ In 3 Tagen, Mo 18.12. – Heute")}).summary,
             QStringLiteral("Tavik!"));
    QCOMPARE(todayNotification(numberedLines(10)).body, numberedLines(10).join(u'\n'));
    QCOMPARE(todayNotification(numberedLines(13)).body,
             numberedLines(10).join(u'\n') + QStringLiteral("\n… und 3 weitere"));
  }

  // A program and a start directory with blanks and the characters the Exec line must quote;
  // GLib reads the entry and starts the program in the start directory. (GLib refuses a
  // program path with a "%" however it is written: it looks for the path with "%%" in it.)
  void entryIsReadAndRunByTheDesktop() {
    TempDir dir{"tavik-autostart"};
    const QString base = QString::fromStdString(dir.path());
    const QString bin = base + QStringLiteral("/bin dir $HOME \"x\" `y` \\z");
    const QString start = base + QStringLiteral("/Tavik Daten 100% \\");
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(start));
    const QString program = bin + QStringLiteral("/tavik");
    const QString record = base + QStringLiteral("/ran");
    writeProbe(program, record);
    const QString entry = base + QStringLiteral("/tavik.desktop");
    {
      QFile file(entry);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(autostartEntryText(program, start));
    }
    const QByteArray text = autostartEntryText(program, start);
    for (const char* line :
         {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Tavik!\n", "\nIcon=tavik\n",
          "\nTerminal=false\n", "\nX-GNOME-Autostart-enabled=true\n", "\nComment="}) {
      QVERIFY2(text.contains(line), line);
    }
    QVERIFY(!text.contains("X-GNOME-Autostart-Phase"));
    QVERIFY(text.contains(
        ("\nPath=" + QString(start).replace(u'\\', QStringLiteral("\\\\")) + "\n").toUtf8()));
    QVERIFY(text.contains("\nExec=\""));

    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validate.isEmpty()) QSKIP("desktop-file-validate is not installed");
    QProcess check;
    check.start(validate, {entry});
    QVERIFY(check.waitForFinished());
    QCOMPARE(check.readAllStandardOutput() + check.readAllStandardError(), QByteArray());
    QCOMPARE(check.exitCode(), 0);

    // Python's GLib bindings, the system's Python (a user's own may lack them).
    QProcess glib;
    glib.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import sys\n"
                               "from gi.repository import Gio\n"
                               "app = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])\n"
                               "assert app is not None, 'refused'\n"
                               "assert app.launch([], None)\n"),
                entry});
    QVERIFY(glib.waitForFinished());
    QCOMPARE(glib.readAllStandardError(), QByteArray());
    QCOMPARE(glib.exitCode(), 0);
    const auto ran = [&record] {
      QFile file(record);
      return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QTRY_COMPARE(ran(), start + u'\n' + program + u'\n');
  }

  // The desktop runs only entries that are UTF-8 text: for a start directory named otherwise
  // the entry is refused with the reason, and nothing is created.
  void startDirectoryThatIsNotUtf8IsRefused() {
    TempDir dir{"tavik-autostart"};
    const QString folder = QString::fromStdString(dir.path()) + QStringLiteral("/autostart");
    FakeFiles files;
    AutostartEntry entry(files, folder + QStringLiteral("/tavik.desktop"),
                         QStringLiteral("/usr/bin/tavik"), "/home/greta/lat\xe4n1");
    QString shown;
    try {
      entry.setEnabled(true);
    } catch (const Failure& failure) {
      shown = QString::fromStdString(failure.userMessage());
    }
    QCOMPARE(shown,
             QStringLiteral("Der Autostart kann nicht eingerichtet werden, weil der Name des "
                            "Startverzeichnisses keine gültige UTF-8-Zeichenfolge ist."));
    QVERIFY(!entry.enabled());
    QVERIFY(!QFileInfo::exists(folder));
  }

  void entryStateComesFromTheFile() {
    TempDir dir{"tavik-autostart"};
    const QString path = QString::fromStdString(dir.path()) + QStringLiteral("/a b/tavik.desktop");
    FakeFiles files;
    AutostartEntry entry(files, path, QStringLiteral("/opt/t avik/tavik"), "/d");
    QVERIFY(!entry.enabled());
    entry.setEnabled(true);
    QVERIFY(entry.enabled());
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(),
             autostartEntryText(QStringLiteral("/opt/t avik/tavik"), QStringLiteral("/d")));
    written.close();
    QVERIFY(
        QDir(QFileInfo(path).path())
            .entryList({QStringLiteral("*.tmp")}, QDir::AllEntries | QDir::System | QDir::Hidden)
            .isEmpty());

    struct Case {
      const char* text;
      bool enabled;
    } const cases[] = {
        {"[Desktop Entry]\nExec=x\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\n", false},
        {"[Desktop Entry]\nHidden=false\n", true},
        {"[Desktop Entry]\nX-Hidden=true\n", true},
        {"[Other Group]\nHidden=true\n", true},
        {"", true},
    };
    for (const Case& c : cases) {
      QVERIFY(written.open(QIODevice::WriteOnly | QIODevice::Truncate));
      written.write(c.text);
      written.close();
      QVERIFY2(entry.enabled() == c.enabled, c.text);
    }
    entry.setEnabled(false);
    QVERIFY(!QFile::exists(path));
    entry.setEnabled(false);  // already off
    QVERIFY(!entry.enabled());
  }
};

}  // namespace tavik::test

QTEST_GUILESS_MAIN(tavik::test::DesktopTest)
#include "desktop_test.moc"
