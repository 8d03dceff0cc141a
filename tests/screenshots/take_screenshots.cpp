// Shows every page, the today box and the quick-help window with sample events and photographs
// the screen after each step (ImageMagick's `import`), for looking at the layout under Xvfb.
// Usage: tavik_screenshots OUTPUT_DIR [WIDTHxHEIGHT], the second the main window's size.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/main_window.h"
#include "app/pages/editor_page.h"
#include "app/pages/export_page.h"
#include "app/pages/import_page.h"
#include "app/pages/sync_page.h"
#include "app/program.h"
#include "app/translations.h"
#include "dialogs/edit.h"
#include "dialogs/firedays.h"
#include "dialogs/help.h"
#include "dialogs/todaybox.h"
#include "platform/posix/posix_files.h"
#include "platform/qsettings_user_store.h"
#include "platform/qt_seams.h"
#include "store/data_file.h"
#include "store/event_text.h"

namespace {

using namespace tavik;

QString g_out;

void shoot(const QString& name) {
  for (int i = 0; i < 10; ++i) {
    QCoreApplication::processEvents();
    QTest::qWait(50);
  }
  const QString file = g_out + QLatin1Char('/') + name + QStringLiteral(".png");
  if (QProcess::execute(QStringLiteral("import"), {"-window", "root", file}) != 0) {
    std::fprintf(stderr, "import failed for %s\n", qPrintable(file));
  }
}

void writeSampleFiles(const QString& dir) {
  const QDate today = QDate::currentDate();
  struct Sample {
    QDate date;
    const char* text;
    bool jubilee;
  } const samples[] = {
      {today.addYears(-36), "Geburtstag Anna", true},
      {today.addDays(1).addYears(-10), "Hochzeitstag", true},
      {today.addDays(-1), "Zahnarzt", false},
      {today.addDays(5), "Abgabe Steuererklärung", false},
      {today.addDays(23).addYears(-80), "Geburtstag Opa Heinrich", true},
      {today.addDays(2).addYears(-30), "Ayşe Yılmaz", true},
      {today.addDays(2).addYears(-45), "Дмитрий Шостакович", true},
      {today.addDays(8), "Αλέξανδρος Παπαδόπουλος", false},
      {today.addDays(12).addYears(-5), "王小明 生日", true},
  };
  QFile data(dir + QLatin1Char('/') + QLatin1String(kDataFileName));
  data.open(QIODevice::WriteOnly);
  for (const Sample& s : samples) {
    EventRecord r;
    r.date = toDouble(*makeDayNumber(s.date.year(), s.date.month(), s.date.day()));
    setEventText(r, s.text);
    r.computeJubilee = s.jubilee ? 1 : 0;
    const RecordImage image = encodeRecord(r);
    data.write(reinterpret_cast<const char*>(image.data()), image.size());
  }
  QByteArray holidays(51, '\0');
  holidays[0] = 1;
  for (int i = 1; i <= 15; ++i) holidays[i] = 1;
  for (int i = 21; i <= 30; ++i) holidays[i] = 1;
  QFile ini(dir + QLatin1Char('/') + QLatin1String(kHolidayFileName));
  ini.open(QIODevice::WriteOnly);
  ini.write(holidays);
  for (const QString& name : QDir(QStringLiteral(TAVIK_HELP_DIR)).entryList({"*.txt"})) {
    QFile::copy(QStringLiteral(TAVIK_HELP_DIR "/") + name, dir + QLatin1Char('/') + name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR [WIDTHxHEIGHT]\n", argv[0]);
    return 2;
  }
  g_out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  installGermanTranslations(app);

  QTemporaryDir start;
  QTemporaryDir config;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
  // The autostart entry, too, is looked for there and not in the user's folder.
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("HOLVENTARIS"),
                QStringLiteral("Tavik! v4.x"));
    s.setValue(QStringLiteral("heutebox"), 0);
    s.setValue(QStringLiteral("prior"), 2);
    // The main window at a size kept from an earlier start.
    if (argc == 3) s.setValue(QStringLiteral("windowsize"), QString::fromLocal8Bit(argv[2]));
  }
  writeSampleFiles(start.path());

  PosixFiles files;
  QSettingsUserStore store;
  QtMessages messages;
  QtFileDialogs dialogs;
  QtShell shell;
  SystemClock clock;
  Platform platform{files, store, messages, dialogs, shell, clock};
  Program program(platform, QFile::encodeName(start.path()).toStdString());
  program.create();
  MainWindow& main = program.mainWindow();
  main.show();
  shoot(QStringLiteral("page0-countdown"));

  const char* const pages[] = {"page1-editor", "page2-options", "page3-import",
                               "page4-export", "page5-about",   "page6-sync"};
  for (int page = 1; page <= 6; ++page) {
    main.TabbedNotebook1->setCurrentIndex(page);
    shoot(QString::fromUtf8(pages[page - 1]));
  }
  // The sync page filled in, with calendars found and a status line.
  main.TabbedNotebook1->setCurrentIndex(kSyncPage);
  main.syncPage->showAccount(QStringLiteral("https://cloud.example.de/remote.php/dav"),
                             QStringLiteral("anna"));
  main.syncPage->CalDavPasswordEdit->setText(QStringLiteral("geheim"));
  main.syncPage->showCalendars({QStringLiteral("https://cloud.example.de/remote.php/dav/"
                                               "calendars/anna/geburtstage/")},
                               {QStringLiteral("Geburtstage")});
  main.syncPage->showStatus(
      QStringLiteral("Zuletzt abgeglichen: 10.12.2026 08:14 – 3 neu, 1 geändert, 0 Konflikte"));
  shoot(QStringLiteral("page6-sync-filled"));
  // The Import page after reading an address book, as the file dialog leaves it.
  {
    QFile cards(start.path() + QStringLiteral("/kontakte.vcf"));
    cards.open(QIODevice::WriteOnly);
    cards.write(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Johnny Appleseed\r\n"
        "BDAY;X-APPLE-OMIT-YEAR=1604:1604-06-20\r\nitem1.X-ABDATE:2001-05-12\r\n"
        "item1.X-ABLABEL:_$!<Anniversary>!$_\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Greta M\xC3\xBCller\r\nBDAY:--0414\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=41=6E=64=72=C3="
        "A9"
        "\r\nBDAY:1980-02-29\r\nX-EVOLUTION-DEATHDATE:2020-11-02\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ohne Datum\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;;\r\nBDAY:1970-01-01\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Alt\r\nBDAY;VALUE=text:um 1800\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\nBDAY:1990-12-10\r\nEND:VCARD\r\n");
  }
  main.TabbedNotebook1->setCurrentIndex(3);
  main.importPage->Edit3->setText(start.path() + QStringLiteral("/kontakte.vcf"));
  main.importPage->Timer2Timer();
  shoot(QStringLiteral("page3-import-vcard"));
  main.TabbedNotebook1->setCurrentIndex(4);
  main.exportPage->RadioGroup3Items->button(4)->setChecked(true);
  shoot(QStringLiteral("page4-export-ics"));

  main.TabbedNotebook1->setCurrentIndex(kOptionsPage);
  QTimer::singleShot(300, &main, [&] {
    shoot(QStringLiteral("todaybox"));
    program.todayBox().accept();
  });
  main.showTodayBoxTest();

  // The two dialogs, opened the way the user opens them.
  main.TabbedNotebook1->setCurrentIndex(kEditorPage);
  QTimer::singleShot(300, &main, [&] {
    program.editDialog().Edit1->setText(QStringLiteral("Ayşe Yılmaz – Дмитрий"));
    program.editDialog().kindBox->setCurrentIndex(2);
    program.editDialog().leadDaysBox->setValue(7);
    shoot(QStringLiteral("edit-dialog"));
    // Cancelling the add shows its message; close that too.
    QTimer::singleShot(300, &main, [] {
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    program.editDialog().reject();
  });
  main.editor->Button2Click();
  QTimer::singleShot(300, &main, [&] {
    shoot(QStringLiteral("holiday-dialog"));
    program.holidayDialog().findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
    shoot(QStringLiteral("holiday-dialog-quickhelp"));
    program.quickHelp().hideQuickHelp();
    program.holidayDialog().accept();
  });
  program.holidayDialog().exec();

  main.TabbedNotebook1->setCurrentIndex(kCountdownPage);
  main.BitBtn2->click();
  shoot(QStringLiteral("quickhelp-main"));
  program.quickHelp().showQuickHelp(QStringLiteral("Feiertagewahl"), &main);
  shoot(QStringLiteral("quickhelp-holidays"));
  program.quickHelp().showQuickHelp(QStringLiteral("Fehlt"), &main);
  shoot(QStringLiteral("quickhelp-missing"));
  return 0;
}
