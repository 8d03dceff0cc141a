// The main window: start-up, header, activation, page changes, "?", auto-exit and close.
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStackedLayout>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <filesystem>
#include <future>

#include "app/late_page.h"
#include "app/pages/about_page.h"
#include "app/pages/editor_page.h"
#include "app/pages/export_page.h"
#include "app/pages/import_page.h"
#include "app/pages/options_page.h"
#include "dates/countdown.h"
#include "dialogs/edit.h"
#include "dialogs/firedays.h"
#include "platform/posix/instance_lock.h"
#include "platform/single_instance.h"
#include "store/settings_store.h"
#include "tests/ui/window_world.h"

namespace tavik::test {

namespace {

QString todayLine(const char* rest) {
  return QStringLiteral("Heute") + QString(15, u' ') + QString::fromUtf8(rest);
}

std::string zeros(std::size_t n) {
  return std::string(n, '\0');
}

std::string image(const EventRecord& record) {
  const RecordImage bytes = encodeRecord(record);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartWithoutFiles() {
    WindowWorld w;
    w.create();
    MainWindow& m = w.main();

    QCOMPARE(w.storedSetting("anzdays").toInt(), 30);
    QCOMPARE(w.storedSetting("autoclose").toInt(), 30);
    QCOMPARE(w.storedSetting("heutebox").toInt(), 1);
    QCOMPARE(w.storedSetting("prior").toInt(), 0);
    QVERIFY(fileExists(w.path(kDataFileName)));
    QCOMPARE(readFile(w.path(kDataFileName)).size(), 0u);
    QVERIFY(!fileExists(w.path(kHolidayFileName)));

    QCOMPARE(m.windowTitle(), QStringLiteral("Tavik! v4.5"));
    QCOMPARE(control<QLineEdit>(m, "Edit1")->text(), QStringLiteral("30"));
    QCOMPARE(control<QLineEdit>(m, "Edit2")->text(), QStringLiteral("30"));
    // Nothing to remind of yet: the window waits for the user instead of closing itself.
    QCOMPARE(control<QPushButton>(m, "Button1")->text(), QStringLiteral("Exit"));
    QVERIFY(control<QCheckBox>(m, "CheckBox1")->isChecked());
    QVERIFY(control<QCheckBox>(m, "CheckBox3")->isChecked());
    QCOMPARE(m.optionsPage->priorityHandling(), 0);
    QCOMPARE(control<QLabel>(m, "Label3")->text(), QStringLiteral("30"));
    QCOMPARE(control<QLabel>(m, "Label5")->text(), QStringLiteral("Tavik! v4.5.1 - #20060402"));
    QCOMPARE(control<QLabel>(m, "Label11")->text(), QStringLiteral("Tavik! v4.5"));
    QVERIFY(!m.autoExitRunning());
    const QStringList tabs = {"Tavik!", "Editor", "Optionen", "Import", "Export", "About"};
    for (int i = 0; i < tabs.size(); ++i) QCOMPARE(m.TabbedNotebook1->tabText(i), tabs[i]);

    w.showMain();
    QCOMPARE(readFile(w.path(kHolidayFileName)), zeros(51));
    auto* grid = control<QTableView>(m, "StringGrid1");
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(grid->model()->columnCount(), 3);
    for (int column = 0; column < 3; ++column) QVERIFY(cellText(grid, 0, column).isEmpty());
    auto* lines = control<QListView>(m, "ListBox1");
    QCOMPARE(lines->model()->rowCount(), 1);
    QCOMPARE(cellText(lines, 0, 0), QString::fromUtf8(tavik::kEmptyWindowLine));
    QVERIFY(!control<QCheckBox>(m, "CheckBox2")->isChecked());
    QVERIFY(!control<QPushButton>(m, "Button9")->isEnabled());
    QVERIFY(w.messages.boxes.empty());
    QCOMPARE(w.todayBoxShown, 0);
  }

  // A table without any event says how to begin and stays open; one whose events all lie
  // outside the days shown keeps its empty-window line, no hint, and closes itself as ever.
  void emptyTableShowsHowToBegin_data() {
    QTest::addColumn<bool>("withEvent");
    QTest::addColumn<bool>("hint");
    QTest::newRow("no event at all") << false << true;
    QTest::newRow("none in the days shown") << true << false;
  }
  void emptyTableShowsHowToBegin() {
    QFETCH(bool, withEvent);
    QFETCH(bool, hint);
    WindowWorld w;
    w.setSetting("autoclose", 5);
    if (withEvent) w.writeEvents({{QDate(1970, 6, 1), "Sommerfest"}});
    w.create();
    MainWindow& m = w.main();
    QCOMPARE(m.autoExitRunning(), withEvent);
    QCOMPARE(control<QPushButton>(m, "Button1")->text(),
             withEvent ? QStringLiteral("Exit (5)") : QStringLiteral("Exit"));
    QSignalSpy closed(&m, &MainWindow::closed);
    m.Timer1->setInterval(1);
    w.showMain();

    auto* label = control<QLabel>(m, "emptyTableHint");
    QCOMPARE(label->isVisible(), hint);
    QCOMPARE(
        label->text(),
        QStringLiteral("Noch keine Ereignisse eingetragen.\n\nAuf der Seite „Editor“ legen Sie "
                       "mit „neuen Eintrag zufügen“ ein Ereignis an, oder Sie übernehmen "
                       "Geburtstage aus einem Adressbuch auf der Seite „Import“."));
    auto* lines = control<QListView>(m, "ListBox1");
    QCOMPARE(lines->model()->rowCount(), 1);
    QCOMPARE(cellText(lines, 0, 0), QString::fromUtf8(tavik::kEmptyWindowLine));
    // The auto-exit setting itself is kept, shown on the options page and stored at close.
    QCOMPARE(control<QLineEdit>(m, "Edit2")->text(), QStringLiteral("5"));
    QVERIFY(control<QCheckBox>(m, "CheckBox1")->isChecked());

    QTest::qWait(200);
    QCOMPARE(m.isVisible(), !withEvent);
    QCOMPARE(closed.count(), withEvent ? 1 : 0);
    if (!withEvent) {
      QVERIFY(m.close());
      QCOMPARE(w.storedSetting("autoclose").toInt(), 5);
    }
  }

  // The first event, made on another page, takes the hint away when the user comes back; the
  // countdown the page change stopped stays off.
  void firstEventTakesTheHintAway() {
    WindowWorld w;
    w.create();
    MainWindow& m = w.main();
    w.showMain();
    auto* label = control<QLabel>(m, "emptyTableHint");
    QVERIFY(label->isVisible());
    m.TabbedNotebook1->setCurrentIndex(kEditorPage);
    m.table().storeRecord(1, makeEvent({QDate(1970, 12, 20), "Geburtstag"}));
    m.TabbedNotebook1->setCurrentIndex(kCountdownPage);
    QVERIFY(!label->isVisible());
    QCOMPARE(cellText(control<QTableView>(m, "StringGrid1"), 0, 2), QStringLiteral("Geburtstag"));
    QVERIFY(!m.autoExitRunning());
  }

  // A value of the wrong type stops the creation steps: the controls keep their design texts,
  // no countdown runs, and the data file that was never read is not written over at close.
  void wrongSettingsTypeSkipsTheRestOfStartUp() {
    WindowWorld w;
    w.setSetting("heutebox", QStringLiteral("viel"));
    w.writeEvents({{QDate(1970, 12, 15), "Geburtstag"}});
    const std::string dataBefore = readFile(w.path(kDataFileName));
    w.create();
    MainWindow& m = w.main();

    QCOMPARE(w.messages.texts(), QStringList{"Ungültiger Datentyp für 'heutebox'."});
    QCOMPARE(w.messages.boxes[0].kind, FakeMessages::Box::Error);
    QCOMPARE(m.windowTitle(), QStringLiteral("TITELLEISTE"));
    QCOMPARE(control<QLabel>(m, "Label1")->text(), QStringLiteral("Wochentag"));
    QCOMPARE(control<QLabel>(m, "Label2")->text(), QStringLiteral("20.01.2001"));
    QCOMPARE(control<QLabel>(m, "Label3")->text(), QStringLiteral("99"));
    QCOMPARE(control<QLineEdit>(m, "Edit1")->text(), QStringLiteral("0"));
    QCOMPARE(control<QLineEdit>(m, "Edit2")->text(), QStringLiteral("33"));
    QCOMPARE(control<QPushButton>(m, "Button1")->text(), QStringLiteral("Exit"));
    QVERIFY(!m.autoExitRunning());
    QCOMPARE(m.table().usedCount(), 0);

    QVERIFY(m.close());
    QCOMPARE(readFile(w.path(kDataFileName)), dataBefore);
    QCOMPARE(w.storedSetting("heutebox").toInt(), 1);
  }

  void header_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("shortDate");
    QTest::addColumn<QString>("shownDate");
    QTest::addColumn<QString>("weekday");
    QTest::newRow("two-digit year") << QDate(2026, 12, 8) << "08.12.26"
                                    << "08.12.2026"
                                    << "Dienstag";
    QTest::newRow("ten characters") << QDate(2026, 12, 8) << "08.12.2026"
                                    << "08.12.2026"
                                    << "Dienstag";
    QTest::newRow("nine characters") << QDate(2026, 12, 8) << "8.12.2026"
                                     << "8.12.2026"
                                     << "Dienstag";
    QTest::newRow("saturday") << QDate(2006, 12, 16) << "16.12.06"
                              << "16.12.2006"
                              << "Sonnabend";
    QTest::newRow("sunday") << QDate(2006, 12, 17) << "17.12.06"
                            << "17.12.2006"
                            << "Sonntag";
  }
  void header() {
    QFETCH(QDate, date);
    QFETCH(QString, shortDate);
    WindowWorld w;
    w.clock.date = date;
    w.clock.shortDateText = shortDate;
    w.create();
    QTEST(control<QLabel>(w.main(), "Label2")->text(), "shownDate");
    QTEST(control<QLabel>(w.main(), "Label1")->text(), "weekday");
  }

  void popupsAndTodayBoxAtStart_data() {
    QTest::addColumn<int>("prior");
    QTest::addColumn<QStringList>("popups");
    QTest::addColumn<QStringList>("todayBox");
    const QString birthday = todayLine("15.12.1970   Geburtstag");
    const QString meeting = QStringLiteral("Noch   5 Tage  20.12.2006   Treffen");
    QTest::newRow("ignore") << 0 << QStringList{} << QStringList{birthday};
    QTest::newRow("popup") << 1 << QStringList{birthday} << QStringList{birthday};
    QTest::newRow("today box") << 2 << QStringList{} << QStringList{birthday, meeting};
  }
  void popupsAndTodayBoxAtStart() {
    QFETCH(int, prior);
    WindowWorld w;
    w.setSetting("prior", prior);
    w.writeEvents(
        {{QDate(1970, 12, 15), "Geburtstag", true}, {QDate(2006, 12, 20), "Treffen", true}});
    w.create();
    QSize mark;
    w.whileTodayBoxOpen = [&] { mark = w.todayBox().Image1->pixmap().size(); };
    w.showMain();
    QTEST(w.messages.texts(), "popups");
    QCOMPARE(w.todayBoxShown, 1);
    QVERIFY2(mark.width() >= 32 && mark.height() >= 32, "the box shows its mark");
    QTEST(w.todayBoxLines, "todayBox");
    QCOMPARE(w.todayBoxTitles, QStringList{"Heutige Ereignisse"});

    // The popups come once per start, the today box once per activation.
    w.main().TabbedNotebook1->setCurrentIndex(kEditorPage);
    w.main().TabbedNotebook1->setCurrentIndex(kCountdownPage);
    WindowWorld::settle();
    QTEST(w.messages.texts(), "popups");
    QCOMPARE(w.todayBoxShown, 1);
    // The grid: a row per event with day text, date and event text, then one empty row.
    auto* grid = control<QTableView>(w.main(), "StringGrid1");
    QCOMPARE(grid->model()->rowCount(), 3);
    QStringList cells;
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) cells << cellText(grid, row, column);
    }
    const QStringList expected = {QStringLiteral("Heute") + QString(15, u' '),
                                  "15.12.1970",
                                  "Geburtstag",
                                  "Noch   5 Tage  ",
                                  "20.12.2006",
                                  "Treffen",
                                  "",
                                  "",
                                  ""};
    QCOMPARE(cells, expected);
  }

  void noTodayBoxWhenSwitchedOffOrEmpty_data() {
    QTest::addColumn<int>("heutebox");
    QTest::addColumn<QDate>("eventDate");
    QTest::newRow("switched off") << 0 << QDate(1970, 12, 15);
    QTest::newRow("nothing today") << 1 << QDate(1970, 12, 18);
  }
  void noTodayBoxWhenSwitchedOffOrEmpty() {
    QFETCH(int, heutebox);
    QFETCH(QDate, eventDate);
    WindowWorld w;
    w.setSetting("heutebox", heutebox);
    w.writeEvents({{eventDate, "Ereignis"}});
    w.create();
    w.showMain();
    QCOMPARE(w.todayBoxShown, 0);
    QCOMPARE(control<QListView>(w.main(), "ListBox1")->model()->rowCount(), 1);
  }

  // A holiday file that cannot be read skips the rest of the activation.
  // Shown on 10 December, started on the 15th: the days between are listed first, the today
  // box comes up for them, every rebuild of the run keeps them, and the close stores today.
  void missedDaysAreListedUntilTheClose() {
    WindowWorld w;
    w.setSetting("lastshown", QStringLiteral("2006-12-10"));
    w.writeEvents({{QDate(1970, 12, 12), "Verpasst"}, {QDate(1970, 12, 20), "Bald"}});
    w.create();
    w.showMain();
    const QString missed = QStringLiteral("Vor   3 Tagen  12.12.1970   Verpasst");
    QCOMPARE(w.todayBoxShown, 1);
    QCOMPARE(w.todayBoxLines, QStringList{missed});
    auto* grid = control<QTableView>(w.main(), "StringGrid1");
    QCOMPARE(cellText(grid, 0, 0), QStringLiteral("Vor   3 Tagen  "));
    QCOMPARE(cellText(grid, 1, 2), QStringLiteral("Bald"));

    w.main().TabbedNotebook1->setCurrentIndex(kEditorPage);
    w.main().TabbedNotebook1->setCurrentIndex(kCountdownPage);
    QCOMPARE(cellText(grid, 0, 2), QStringLiteral("Verpasst"));
    QCOMPARE(w.storedSetting("lastshown").toString(), QStringLiteral("2006-12-10"));
    QVERIFY(w.main().close());
    QCOMPARE(w.storedSetting("lastshown").toString(), QStringLiteral("2006-12-15"));
    QCOMPARE(w.storedSetting("notify").toInt(), 1);
  }

  // Without a rebuild (here: a broken holiday file) the stored date stays as it was.
  void noRebuildKeepsTheStoredDate() {
    WindowWorld w;
    w.setSetting("lastshown", QStringLiteral("2006-12-10"));
    writeFile(w.path(kHolidayFileName), "kurz");
    w.create();
    w.showMain();
    QVERIFY(w.main().close());
    QCOMPARE(w.storedSetting("lastshown").toString(), QStringLiteral("2006-12-10"));
  }

  void notificationAfterTheFirstRebuild_data() {
    QTest::addColumn<int>("notify");
    QTest::addColumn<int>("heutebox");
    QTest::addColumn<bool>("withToday");
    QTest::addColumn<bool>("sent");
    QTest::newRow("on") << 1 << 1 << true << true;
    QTest::newRow("without the today box") << 1 << 0 << true << true;
    QTest::newRow("off") << 0 << 1 << true << false;
    QTest::newRow("nothing to tell") << 1 << 1 << false << false;
  }
  void notificationAfterTheFirstRebuild() {
    QFETCH(int, notify);
    QFETCH(int, heutebox);
    QFETCH(bool, withToday);
    QFETCH(bool, sent);
    WindowWorld w;
    w.setSetting("notify", notify);
    w.setSetting("heutebox", heutebox);
    w.setSetting("prior", 2);
    std::vector<EventFixture> events = {{QDate(1970, 12, 20), "Unwichtig"}};
    if (withToday) {
      events.push_back({QDate(1970, 12, 15), "Geburtstag"});
      events.push_back({QDate(1970, 12, 18), "Wichtig", true});
    }
    w.writeEvents(events);
    w.create();
    QCOMPARE(control<QCheckBox>(w.main(), "CheckBox5")->isChecked(), notify == 1);
    w.showMain();
    w.main().TabbedNotebook1->setCurrentIndex(kEditorPage);
    w.main().TabbedNotebook1->setCurrentIndex(kCountdownPage);
    control<QPushButton>(w.main(), "Button10")->click();
    const std::vector<DesktopNotification> want =
        sent ? std::vector<DesktopNotification>{{QStringLiteral("Heute"),
                                                 QStringLiteral("Heute – Geburtstag\n"
                                                                "In 3 Tagen, Mo 18.12. – Wichtig")}}
             : std::vector<DesktopNotification>{};
    QVERIFY(w.notifications == want);
  }

  // Starts later the same day say only what is new; another day says it all again. The today
  // box shows every line at every start.
  void notificationSaysEachLineOnceADay() {
    WindowWorld w;
    w.setSetting("notify", 1);
    w.writeEvents({{QDate(1970, 12, 15), "Anna"}});
    const auto start = [&w] {
      w.notifications.clear();
      w.todayBoxShown = 0;
      w.program.reset();
      w.create();
      w.showMain();
      WindowWorld::settle();
    };
    start();
    QCOMPARE(w.notifications.size(), std::size_t{1});
    start();
    QVERIFY(w.notifications.empty());
    QCOMPARE(w.todayBoxShown, 1);
    w.writeEvents({{QDate(1970, 12, 15), "Anna"}, {QDate(1980, 12, 15), "Ben"}});
    start();
    const std::vector<DesktopNotification> onlyBen = {
        {QStringLiteral("Heute"), QStringLiteral("Heute – Ben")}};
    QVERIFY(w.notifications == onlyBen);
    w.clock.date = QDate(2007, 12, 15);
    start();
    QCOMPARE(w.notifications.size(), std::size_t{1});
    QVERIFY(w.notifications[0].body.contains(QStringLiteral("Anna")));
    QVERIFY(w.notifications[0].body.contains(QStringLiteral("Ben")));
  }

  // Texts in other scripts reach the popup, the today box, the grid and the notification whole.
  void textsInAnyScriptReachEveryOutput() {
    WindowWorld w;
    w.setSetting("prior", 1);
    w.setSetting("notify", 1);
    w.writeEvents({{.date = QDate(1970, 12, 15), .highPriority = true, .unicode = "Ayşe Yılmaz"},
                   {.date = QDate(1980, 12, 15), .unicode = "Дмитрий Шостакович"}});
    w.create();
    w.showMain();
    const QString ayse = todayLine("15.12.1970   Ayşe Yılmaz");
    const QString dmitri = todayLine("15.12.1980   Дмитрий Шостакович");
    QCOMPARE(w.messages.texts(), QStringList{ayse});
    QCOMPARE(w.todayBoxLines, (QStringList{ayse, dmitri}));
    auto* grid = control<QTableView>(w.main(), "StringGrid1");
    QCOMPARE(cellText(grid, 1, 2), QStringLiteral("Дмитрий Шостакович"));
    WindowWorld::settle();
    QCOMPARE(w.notifications.size(), std::size_t{1});
    QCOMPARE(w.notifications[0].body,
             QStringLiteral("Heute – Ayşe Yılmaz\nHeute – Дмитрий Шостакович"));
  }

  // A text from a foreign data file can hold any byte: in the notification a line break would
  // forge a line and a NUL end the body early, so each control shows as U+FFFD. The table
  // keeps the bytes.
  void notificationShowsControlsInTextsAsReplacements() {
    WindowWorld w;
    w.setSetting("notify", 1);
    const char raw[] = "Feier\r\nHeute  15.12.1970   Falsch\0Ende\x1B[1m\x7F\x9D";
    const std::string text(raw, sizeof raw - 1);
    EventRecord record = makeEvent({QDate(1970, 12, 15)});
    record.setText(text);
    writeFile(w.path(kDataFileName), image(record));
    w.create();
    w.showMain();
    w.main().TabbedNotebook1->setCurrentIndex(kEditorPage);
    w.main().TabbedNotebook1->setCurrentIndex(kCountdownPage);
    control<QPushButton>(w.main(), "Button10")->click();
    const QString r(QChar(0xFFFD));
    const std::vector<DesktopNotification> want = {
        {QStringLiteral("Heute"), QStringLiteral("Heute – Feier") + r + r +
                                      QStringLiteral("Heute  15.12.1970   Falsch") + r +
                                      QStringLiteral("Ende") + r + QStringLiteral("[1m") + r + r}};
    QVERIFY(w.notifications == want);
    QCOMPARE(w.main().table().record(1).text(), text);
  }

  void brokenHolidayFileSkipsTheActivation() {
    WindowWorld w;
    w.writeEvents({{QDate(1970, 12, 15), "Geburtstag"}});
    writeFile(w.path(kHolidayFileName), zeros(10));
    w.create();
    w.showMain();
    QCOMPARE(w.messages.texts(), QStringList{"Versuch hinter dem Dateiende zu lesen."});
    QCOMPARE(control<QListView>(w.main(), "ListBox1")->model()->rowCount(), 0);
    QCOMPARE(w.todayBoxShown, 0);
  }

  void pageChangeStopsTheCountdownForGood() {
    WindowWorld w;
    w.writeEvents({{QDate(1970, 6, 1), "Sommerfest"}});
    w.create();
    MainWindow& m = w.main();
    auto* exit = control<QPushButton>(m, "Button1");
    QCOMPARE(exit->text(), QStringLiteral("Exit (30)"));
    m.TabbedNotebook1->setCurrentIndex(kEditorPage);
    QVERIFY(!m.autoExitRunning());
    QVERIFY(exit->isHidden());
    m.TabbedNotebook1->setCurrentIndex(kCountdownPage);
    QVERIFY(!exit->isHidden());
    QCOMPARE(exit->text(), QStringLiteral("Exit"));
    QVERIFY(!m.autoExitRunning());
  }

  void helpButtonStopsTheCountdownAndPicksTheTopic() {
    WindowWorld w;
    w.writeEvents({{QDate(1970, 6, 1), "Sommerfest"}});
    w.create();
    MainWindow& m = w.main();
    auto* help = control<QPushButton>(m, "BitBtn2");
    QCOMPARE(help->text(), QStringLiteral("?"));
    QVERIFY(m.autoExitRunning());
    help->click();
    QVERIFY(!m.autoExitRunning());
    QCOMPARE(control<QPushButton>(m, "Button1")->text(), QStringLiteral("Exit"));
    QVERIFY(w.quickHelp().isVisible());

    const char* topics[] = {"Hauptfenster",  "Editorfenster", "Optionenfenster",
                            "Importfenster", "Exportfenster", "Aboutfenster"};
    for (int page = 0; page < 6; ++page) {
      m.TabbedNotebook1->setCurrentIndex(page);
      help->click();
      const QString topic = QString::fromUtf8(topics[page]);
      QCOMPARE(control<QLabel>(w.quickHelp(), "Label1")->text(), topic);
      QCOMPARE(w.quickHelp().helpFilePath(), w.path(topics[page]) + ".txt");
    }
  }

  // Coming back from the quick-help window re-reads the holiday file and hides the window,
  // without a today box; coming back from a modal today box is no activation.
  void onlyAReturnFromQuickHelpActivates() {
    WindowWorld w;
    w.writeEvents({{QDate(1970, 12, 15), "Geburtstag"}});
    int selectionsShown = 0;
    w.create();
    w.main().setHolidayDialog([] {}, [&](const HolidaySelection&) { ++selectionsShown; });
    w.showMain();
    QCOMPARE(w.todayBoxShown, 1);
    QCOMPARE(selectionsShown, 1);
    auto* holidays = control<QCheckBox>(w.main(), "CheckBox2");
    QVERIFY(!holidays->isChecked());

    control<QPushButton>(w.main(), "BitBtn2")->click();
    QVERIFY(QTest::qWaitForWindowActive(&w.quickHelp()));
    writeFile(w.path(kHolidayFileName), std::string("\1").append(zeros(50)));
    w.main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.main()));
    WindowWorld::settle();
    QVERIFY(!w.quickHelp().isVisible());
    QVERIFY(holidays->isChecked());
    QCOMPARE(selectionsShown, 2);
    QCOMPARE(w.todayBoxShown, 1);

    writeFile(w.path(kHolidayFileName), zeros(51));
    control<QPushButton>(w.main(), "Button10")->click();
    QCOMPARE(w.todayBoxShown, 2);
    w.main().activateWindow();
    WindowWorld::settle();
    QVERIFY(holidays->isChecked());
    QCOMPARE(selectionsShown, 2);
  }

  void holidayButtonRunsTheDialog() {
    WindowWorld w;
    writeFile(w.path(kHolidayFileName), std::string("\1").append(zeros(50)));
    int runs = 0;
    w.create();
    w.main().setHolidayDialog([&] { ++runs; }, [](const HolidaySelection&) {});
    w.showMain();
    auto* choose = control<QPushButton>(w.main(), "Button9");
    QVERIFY(choose->isEnabled());
    choose->click();
    QCOMPARE(runs, 1);
  }

  // The countdown closes the program while the today box is open, with the close steps.
  void timerClosesWhileTodayBoxIsOpen() {
    WindowWorld w;
    w.setSetting("autoclose", 5);
    w.writeEvents(
        {{QDate(1970, 12, 15), "Geburtstag"}, {QDate(2006, 12, 1), "Abgelaufen", false, true}});
    w.create();
    QSignalSpy closed(&w.main(), &MainWindow::closed);
    w.main().Timer1->setInterval(1);
    bool closedWhileOpen = false;
    w.whileTodayBoxOpen = [&] {
      (void)QTest::qWaitFor([&] { return !w.main().isVisible(); }, 5000);
      closedWhileOpen = !w.main().isVisible() && !w.todayBox().isVisible();
    };
    w.showMain();
    QCOMPARE(w.todayBoxShown, 1);
    QVERIFY(closedWhileOpen);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(w.storedSetting("autoclose").toInt(), 5);
    QCOMPARE(readFile(w.path(kDataFileName)).size(), kRecordSize);
    QCOMPARE(readFile(w.path(kHolidayFileName)), zeros(51));
  }

  // A failed save shows the error and asks; "Abbrechen" keeps the window open with the
  // settings written and the holiday file not, "OK" ends without writing the rest.
  void failedSaveAsksAndKeepsTheWindowOpen() {
    WindowWorld w;
    w.writeEvents({{QDate(1970, 12, 15), "Geburtstag"}});
    const std::string dataBefore = readFile(w.path(kDataFileName));
    w.setSetting("heutebox", 0);
    w.create();
    QSignalSpy closed(&w.main(), &MainWindow::closed);
    w.showMain();
    auto* days = control<QLineEdit>(w.main(), "Edit1");
    days->setText(QStringLiteral("45"));
    w.main().optionsPage->Edit1Exit();
    control<QCheckBox>(w.main(), "CheckBox2")->setChecked(true);

    w.files.failAt(FakeFiles::Op::Open, 1, EACCES);
    w.messages.answers = {false};
    QVERIFY(!w.main().close());
    QVERIFY(w.main().isVisible());
    QCOMPARE(w.messages.texts(),
             (QStringList{"Dateizugriff verweigert.", QString::fromUtf8(kCloseAnywayQuestion)}));
    QCOMPARE(w.messages.boxes[0].kind, FakeMessages::Box::Error);
    QCOMPARE(w.messages.boxes[1].kind, FakeMessages::Box::Confirm);
    QVERIFY(w.messages.boxes[1].cancelIsDefault);
    QCOMPARE(w.storedSetting("anzdays").toInt(), 45);
    QCOMPARE(readFile(w.path(kHolidayFileName)), zeros(51));
    QCOMPARE(closed.count(), 0);

    w.files.failAt(FakeFiles::Op::Open, 1, EACCES);
    w.messages.answers = {true};
    QVERIFY(w.main().close());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(readFile(w.path(kDataFileName)), dataBefore);
    QCOMPARE(readFile(w.path(kHolidayFileName)), zeros(51));
  }

  // A settings folder that cannot be written: its failure shows and the window stays open as
  // after any failed close, but the events and the holiday file are written all the same.
  void unwritableSettingsStillSaveTheEvents() {
    const EventFixture added{QDate(1980, 1, 1), "Neu"};
    WindowWorld w;
    w.setSetting("heutebox", 0);
    w.writeEvents({{QDate(1970, 12, 15), "Geburtstag"}});
    const std::string newData = readFile(w.path(kDataFileName)) + image(makeEvent(added));
    w.create();
    w.showMain();
    w.main().table().storeRecord(2, makeEvent(added));
    control<QCheckBox>(w.main(), "CheckBox2")->setChecked(true);
    // A folder where the settings file was: nothing can replace it.
    const std::string settingsFile = w.store->filePath();
    std::filesystem::remove(settingsFile);
    std::filesystem::create_directory(settingsFile);

    w.messages.answers = {false};
    QVERIFY(!w.main().close());
    QVERIFY(w.main().isVisible());
    QCOMPARE(w.messages.texts(), (QStringList{"Konnte Daten für 'anzdays' nicht setzen.",
                                              QString::fromUtf8(kCloseAnywayQuestion)}));
    QCOMPARE(readFile(w.path(kDataFileName)), newData);
    QCOMPARE(readFile(w.path(kHolidayFileName)), std::string("\1").append(zeros(50)));
  }

  // A fault while saving leaves the files that were not yet replaced as they were and no
  // temporary file; the next close writes everything.
  void faultDuringCloseLosesNothing_data() {
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("dataReplaced");
    const int write = static_cast<int>(FakeFiles::Op::Write);
    QTest::newRow("disk full at the first record")
        << write << 1 << ENOSPC << "Zu wenig Speicherplatz." << false;
    QTest::newRow("disk full at the last record")
        << write << 2 << ENOSPC << "Zu wenig Speicherplatz." << false;
    QTest::newRow("data file not synced")
        << static_cast<int>(FakeFiles::Op::Sync) << 1 << EIO << "E/A-Fehler 5." << false;
    QTest::newRow("data file not replaced")
        << static_cast<int>(FakeFiles::Op::Rename) << 1 << EXDEV << "E/A-Fehler 18." << false;
    QTest::newRow("disk full in the holiday file")
        << write << 3 << ENOSPC << "Zu wenig Speicherplatz." << true;
  }
  void faultDuringCloseLosesNothing() {
    QFETCH(int, op);
    QFETCH(int, nth);
    QFETCH(int, errorNumber);
    QFETCH(QString, text);
    QFETCH(bool, dataReplaced);
    const EventFixture birthday{QDate(1970, 12, 15), "Geburtstag"};
    const EventFixture added{QDate(1980, 1, 1), "Neu"};
    WindowWorld w;
    w.setSetting("heutebox", 0);
    w.writeEvents({birthday});
    const std::string oldData = readFile(w.path(kDataFileName));
    const std::string newData = oldData + image(makeEvent(added));
    w.create();
    w.showMain();
    w.main().table().storeRecord(2, makeEvent(added));
    control<QCheckBox>(w.main(), "CheckBox2")->setChecked(true);

    w.files.failAt(static_cast<FakeFiles::Op>(op), nth, errorNumber);
    w.messages.answers = {false};
    QVERIFY(!w.main().close());
    QVERIFY(w.main().isVisible());
    QCOMPARE(w.messages.texts(), (QStringList{text, QString::fromUtf8(kCloseAnywayQuestion)}));
    QCOMPARE(readFile(w.path(kDataFileName)), dataReplaced ? newData : oldData);
    QCOMPARE(readFile(w.path(kHolidayFileName)), zeros(51));
    for (const auto& entry : std::filesystem::directory_iterator(w.startDir.path())) {
      QVERIFY2(entry.path().extension() != ".tmp", entry.path().c_str());
    }

    QVERIFY(w.main().close());
    QCOMPARE(readFile(w.path(kDataFileName)), newData);
    QCOMPARE(readFile(w.path(kHolidayFileName)), std::string("\1").append(zeros(50)));
  }

  // A directory in place of the data file: start-up and close say so, and it stays.
  void dataFileIsADirectory() {
    WindowWorld w;
    QVERIFY(std::filesystem::create_directory(w.path(kDataFileName)));
    w.create();
    QCOMPARE(w.messages.texts(), QStringList{"Dateizugriff verweigert."});
    QCOMPARE(w.main().windowTitle(), QStringLiteral("TITELLEISTE"));
    QVERIFY(w.main().close());
    QCOMPARE(w.messages.texts(),
             (QStringList{"Dateizugriff verweigert.", "Dateizugriff verweigert.",
                          QString::fromUtf8(kCloseAnywayQuestion)}));
    QVERIFY(std::filesystem::is_directory(w.path(kDataFileName)));
  }

  // The Import, Export and About pages are built at creation only when their sizes are not
  // kept for this display setup; otherwise when first shown. Either way the window gets the
  // same size, at each font size, and a kept size of another font is not taken. (The offscreen
  // screen is 800 pixels wide; sizes wider than the screen are never kept, so the larger font
  // stays below that.)
  void latePagesKeepTheWindowSize() {
    const QFont appFont = QApplication::font();
    TempDir shared("tavik-ui-shared-cache");
    for (const int points : {9, 11}) {
      QFont font = appFont;
      font.setPointSize(points);
      QApplication::setFont(font);

      WindowWorld allAtStart;
      allAtStart.create();
      const QSize expected = allAtStart.main().size();
      QVERIFY(allAtStart.main().aboutPage != nullptr);

      // The first start under this font with the shared cache builds every page and keeps
      // their sizes; the one kept for the other font does not fit.
      WindowWorld first;
      first.cacheHome = shared.path();
      first.create();
      QCOMPARE(first.main().size(), expected);
      QVERIFY(first.main().importPage != nullptr);
      const std::string kept = readFile(shared.file("tavik/page-sizes"));

      WindowWorld later;
      later.cacheHome = shared.path();
      later.create();
      MainWindow& m = later.main();
      QCOMPARE(m.size(), expected);
      QVERIFY(m.importPage == nullptr && m.exportPage == nullptr && m.aboutPage == nullptr);
      later.showMain();
      // Each is there and shown as soon as its page is chosen.
      m.TabbedNotebook1->setCurrentIndex(kImportPage);
      QVERIFY(m.importPage != nullptr && m.importPage->isVisible());
      m.TabbedNotebook1->setCurrentIndex(kExportPage);
      QVERIFY(m.exportPage != nullptr && m.exportPage->isVisible());
      m.TabbedNotebook1->setCurrentIndex(kAboutPage);
      QVERIFY(m.aboutPage != nullptr && m.aboutPage->isVisible());
      QCOMPARE(m.size(), expected);
      // Built late, the pages measured what was kept, so nothing was mended.
      QCOMPARE(readFile(shared.file("tavik/page-sizes")), kept);
      QCOMPARE(control<QLabel>(m, "Label5")->text(), QStringLiteral("Tavik! v4.5.1 - #20060402"));
      QCOMPARE(control<QLabel>(m, "Label11")->text(), QStringLiteral("Tavik! v4.5"));
    }
    QApplication::setFont(appFont);
  }

  // The page-size cache is a file anyone can spoil: only what the writer wrote, for the same
  // display setup and sizes a screen of 1920x1080 can show, is taken; anything else counts as
  // no sizes kept.
  void pageSizesCacheTakesOnlyItsOwnFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = "300 200 16 -1 301 199 1920 1080 302 198 100 50";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("description only") << QByteArray("setup\n");
    QTest::newRow("another setup") << "other\n" + good + "\n";
    QTest::newRow("too few numbers")
        << QByteArray("setup\n300 200 300 200 300 200 300 200 300 200 300\n");
    QTest::newRow("too many numbers") << "setup\n" + good + " 12\n";
    QTest::newRow("not a number") << QByteArray(
        "setup\n300 200 300 200 300 200 300 200 300 x 300 200\n");
    QTest::newRow("double blank") << QByteArray(
        "setup\n300 200 300 200 300 200 300 200 300  300 200\n");
    QTest::newRow("wider than the screen")
        << QByteArray("setup\n1921 200 300 200 300 200 300 200 300 200 300 200\n");
    QTest::newRow("taller than the screen")
        << QByteArray("setup\n300 200 300 200 300 200 300 1081 300 200 300 200\n");
    QTest::newRow("a huge window") << QByteArray(
        "setup\n30000 30000 30000 30000 30000 30000 30000 30000 30000 30000 30000 30000\n");
    QTest::newRow("below the smallest side")
        << QByteArray("setup\n300 200 300 200 300 200 300 200 300 200 15 200\n");
    QTest::newRow("zero") << QByteArray("setup\n300 0 300 200 300 200 300 200 300 200 300 200\n");
    QTest::newRow("below -1") << QByteArray(
        "setup\n300 200 300 200 300 200 300 200 300 200 300 -2\n");
    QTest::newRow("beyond int") << QByteArray(
        "setup\n300 200 300 200 300 200 300 200 300 200 300 99999999999\n");
    QTest::newRow("binary") << QByteArray("setup\n\0\xff\xfe 1 2\n", 14);
    QTest::newRow("longer than 4 KB")
        << "setup\n" + good + "\n" + QByteArray(kMostPageSizesBytes, ' ');
  }
  void pageSizesCacheTakesOnlyItsOwnFile() {
    QFETCH(QByteArray, bytes);
    const QSize screen(1920, 1080);
    TempDir dir("tavik-ui-page-sizes");
    const QString file = QString::fromStdString(dir.file("page-sizes"));
    QVERIFY(!readPageSizes(file, QStringLiteral("setup"), screen));
    writeFile(file.toStdString(), std::string_view(bytes.constData(), bytes.size()));
    QVERIFY(!readPageSizes(file, QStringLiteral("setup"), screen));

    PageSizes sizes;
    for (int p = 0; p < PageSizes::kPages; ++p) {
      sizes.hint[p] = QSize(300 + p, 200 - p);
      sizes.minimum[p] = p == 0 ? QSize() : QSize(1920, 16);  // an invalid size as Qt gives it
    }
    writePageSizes(file, QStringLiteral("setup"), sizes);
    QVERIFY(readPageSizes(file, QStringLiteral("setup"), screen) == sizes);
    QVERIFY(!readPageSizes(file, QStringLiteral("other"), screen));
    QVERIFY(!readPageSizes(file, QStringLiteral("setup"), QSize(1919, 1080)));
  }

  // Only a regular file is read: a FIFO in its place neither hangs the start nor counts, nor
  // do a symbolic link (even to a good file) or a directory.
  void pageSizesCacheReadsOnlyARegularFile() {
    const QSize screen(1920, 1080);
    TempDir dir("tavik-ui-page-sizes");
    PageSizes sizes;
    for (int p = 0; p < PageSizes::kPages; ++p) sizes.hint[p] = sizes.minimum[p] = QSize(300, 200);
    const QString good = QString::fromStdString(dir.file("good"));
    writePageSizes(good, QStringLiteral("setup"), sizes);
    QVERIFY(readPageSizes(good, QStringLiteral("setup"), screen) == sizes);

    const std::string fifo = dir.file("fifo");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    QVERIFY(!readPageSizes(QString::fromStdString(fifo), QStringLiteral("setup"), screen));
    const std::string link = dir.file("link");
    QCOMPARE(::symlink(good.toStdString().c_str(), link.c_str()), 0);
    QVERIFY(!readPageSizes(QString::fromStdString(link), QStringLiteral("setup"), screen));
    const std::string folder = dir.file("folder");
    QCOMPARE(::mkdir(folder.c_str(), 0700), 0);
    QVERIFY(!readPageSizes(QString::fromStdString(folder), QStringLiteral("setup"), screen));
  }

  // Sizes in the cache for the very display setup, but larger than the screen, are not taken:
  // the window keeps the size of one built without a cache, and the pages are built and
  // measured anew.
  void oversizedPageSizesCacheIsNotTaken() {
    WindowWorld first;
    first.create();
    const QSize expected = first.main().size();
    const std::string cache = first.cacheHome + "/tavik/page-sizes";
    std::string kept = readFile(cache);
    const std::size_t lineEnd = kept.find('\n');
    QVERIFY(lineEnd != std::string::npos);
    kept.resize(lineEnd + 1);
    for (int i = 0; i < 4 * PageSizes::kPages; ++i)
      kept += i + 1 < 4 * PageSizes::kPages ? "30000 " : "30000\n";
    writeFile(cache, kept);

    WindowWorld later;
    later.cacheHome = first.cacheHome;
    later.create();
    QCOMPARE(later.main().size(), expected);
    QVERIFY(later.main().importPage != nullptr);
    QVERIFY(readFile(cache) != kept);
  }

  // A page built late keeps its controls between visits, and the Tab key goes through the
  // controls in the same order as with the page built at creation.
  void latePageKeepsStateAndTabOrder() {
    const auto tabOrder = [](QWidget& window) {
      QStringList names;
      for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus) names << w->objectName();
      }
      return names;
    };
    WindowWorld allAtStart;
    allAtStart.create();
    WindowWorld later;
    later.cacheHome = allAtStart.cacheHome;
    later.create();
    MainWindow& m = later.main();
    QVERIFY(m.importPage == nullptr);
    later.showMain();
    m.TabbedNotebook1->setCurrentIndex(kImportPage);
    control<QLineEdit>(m, "Edit3")->setText(QStringLiteral("/tmp/termine.csv"));
    m.TabbedNotebook1->setCurrentIndex(kAboutPage);
    m.TabbedNotebook1->setCurrentIndex(kExportPage);
    m.TabbedNotebook1->setCurrentIndex(kImportPage);
    QCOMPARE(control<QLineEdit>(m, "Edit3")->text(), QStringLiteral("/tmp/termine.csv"));
    QCOMPARE(tabOrder(m), tabOrder(allAtStart.main()));
  }

  // Ctrl+Tab from a control of the options page puts the focus on the same control of the
  // Import page whether that page was built at creation or is built by this change of page.
  void keyboardIntoLatePageFocusesItsFirstControl() {
    const auto focusAfterCtrlTab = [](WindowWorld& w) {
      w.showMain();
      MainWindow& m = w.main();
      m.activateWindow();
      if (!QTest::qWaitForWindowActive(&m)) return QStringLiteral("window not active");
      m.TabbedNotebook1->setCurrentIndex(kOptionsPage);
      QLineEdit* days = control<QLineEdit>(m, "Edit1");
      days->setFocus();
      QTest::keyClick(days, Qt::Key_Tab, Qt::ControlModifier);
      const QWidget* focus = QApplication::focusWidget();
      const QString name =
          m.currentPage() == kImportPage && focus ? focus->objectName() : QString();
      m.hide();
      return name;
    };
    WindowWorld allAtStart;
    allAtStart.create();
    const QString expected = focusAfterCtrlTab(allAtStart);
    QCOMPARE(expected, QStringLiteral("Edit3"));
    WindowWorld later;
    later.cacheHome = allAtStart.cacheHome;
    later.create();
    QVERIFY(later.main().importPage == nullptr);
    QCOMPARE(focusAfterCtrlTab(later), expected);
  }

  // A second start asks the first to show its window; only when that gets no answer is the
  // user told. The first start never asks anybody.
  void secondRunInTheSameDirectoryIsRefused_data() {
    QTest::addColumn<bool>("asking");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("claim");
    QTest::addColumn<QStringList>("boxes");
    const QStringList running{"Tavik! läuft bereits in diesem Verzeichnis."};
    QTest::newRow("shown by the first") << true << true << int(StartClaim::Shown) << QStringList();
    QTest::newRow("no answer") << true << false << int(StartClaim::Refused) << running;
    QTest::newRow("nobody to ask") << false << false << int(StartClaim::Refused) << running;
  }
  void secondRunInTheSameDirectoryIsRefused() {
    QFETCH(bool, asking);
    QFETCH(bool, answered);
    TempDir dir("tavik-lock");
    const std::string start = dir.path();
    FakeMessages firstMessages;
    FakeMessages secondMessages;
    int asked = 0;
    const std::function<bool()> ask = [&] {
      ++asked;
      return answered;
    };
    {
      InstanceLock first;
      QCOMPARE(claimStartDirectory(first, start, firstMessages, ask), StartClaim::Locked);
      QCOMPARE(asked, 0);
      InstanceLock second;
      QTEST(int(claimStartDirectory(second, start, secondMessages,
                                    asking ? ask : std::function<bool()>())),
            "claim");
      QCOMPARE(asked, asking ? 1 : 0);
      QTEST(secondMessages.texts(), "boxes");
      QVERIFY(firstMessages.boxes.empty());
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
      }
      QCOMPARE(names, std::vector<std::string>{"tavik!4.lock"});
    }
    InstanceLock later;
    QCOMPARE(claimStartDirectory(later, start, firstMessages, ask), StartClaim::Locked);
    QVERIFY(firstMessages.boxes.empty());
  }

  // Through the socket, as from a second start: the window comes back from the task bar, and
  // its auto-exit countdown stops for good.
  void showRequestBringsTheWindowBack() {
    TempDir runtime("tavik-runtime");
    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", runtimeBefore); });
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    WindowWorld w;
    w.setSetting("heutebox", 0);
    w.writeEvents({{QDate(1970, 12, 15), "Geburtstag"}});
    w.create();
    MainWindow& m = w.main();
    w.showMain();
    QVERIFY(m.autoExitRunning());
    m.showMinimized();
    QVERIFY(m.isMinimized());

    const QString path = instanceSocketPath(w.startDir.path());
    ShowRequests requests;
    connect(&requests, &ShowRequests::showRequested, &m, &MainWindow::showOnRequest);
    QVERIFY(requests.listen(path));
    std::future<bool> asked =
        std::async(std::launch::async, [&] { return askRunningInstanceToShow(path); });
    QVERIFY(QTest::qWaitFor(
        [&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        5000));
    QVERIFY(asked.get());
    QVERIFY(m.isVisible());
    QVERIFY(!m.isMinimized());
    QVERIFY(!m.autoExitRunning());
    QCOMPARE(control<QPushButton>(m, "Button1")->text(), QStringLiteral("Exit"));
    QTest::qWait(50);
    QVERIFY(m.isVisible());
    QCOMPARE(w.messages.boxes.size(), 0u);

    // After the close nothing is shown again.
    QVERIFY(m.close());
    m.showOnRequest();
    QVERIFY(!m.isVisible());
  }

  // A lock that cannot be had (here a link planted in its place) stops the start with a reason.
  void startStopsWhenTheLockCannotBeTaken() {
    TempDir dir("tavik-lock");
    QVERIFY(::symlink(dir.file("elsewhere").c_str(), dir.file(kLockFileName).c_str()) == 0);
    FakeMessages messages;
    InstanceLock lock;
    QCOMPARE(claimStartDirectory(lock, dir.path(), messages, [] { return true; }),
             StartClaim::Refused);
    QCOMPARE(messages.texts(),
             QStringList{"Die Sperrdatei 'tavik!4.lock' im Startverzeichnis kann nicht geöffnet "
                         "werden (E/A-Fehler 40). Tavik! wird nicht gestartet, damit kein zweiter "
                         "Lauf die gespeicherten Daten überschreibt."});
    QCOMPARE(messages.boxes[0].kind, FakeMessages::Box::Error);
    QVERIFY(!fileExists(dir.file("elsewhere")));
  }

  // The window grows with a longer list: every list grows with it, and the size it was left
  // at is there again at the next start.
  void windowGrowsAndKeepsItsSize() {
    WindowWorld w;
    w.create();
    MainWindow& m = w.main();
    QVERIFY(m.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(m.maximumSize().width() > m.minimumSize().width());
    QVERIFY(m.maximumSize().height() > m.minimumSize().height());
    const QSize defaultSize = m.size();
    QCOMPARE(m.minimumSize(), defaultSize);
    w.showMain();

    // The import list shows once a file is read; here it is shown without one.
    m.importPage->findChild<QStackedLayout*>()->setCurrentWidget(m.importPage->Panel1);
    QList<QWidget*> lists = {control<QTableView>(m, "StringGrid1"), m.editor->ListBox2,
                             m.importPage->CheckListBox1, m.exportPage->CheckListBox2};
    QList<QSize> before;
    for (int page = 0; page < m.TabbedNotebook1->count(); ++page) {
      m.TabbedNotebook1->setCurrentIndex(page);
      w.settle();
    }
    for (QWidget* list : lists) before << list->size();
    const QSize grown = defaultSize + QSize(150, 200);
    m.resize(grown);
    for (int page = 0; page < m.TabbedNotebook1->count(); ++page) {
      m.TabbedNotebook1->setCurrentIndex(page);
      w.settle();
    }
    QCOMPARE(m.size(), grown);
    for (int i = 0; i < lists.size(); ++i) {
      QVERIFY2(lists[i]->width() > before[i].width() && lists[i]->height() > before[i].height(),
               qPrintable(lists[i]->objectName()));
    }

    QVERIFY(m.close());
    QCOMPARE(w.storedSetting("windowsize").toString(),
             QStringLiteral("%1x%2").arg(grown.width()).arg(grown.height()));
  }

  // What was kept, against the default size and the offscreen screen: too small grows to the
  // default size, too large shrinks to the screen, anything else leaves the default size.
  void keptSizeIsFittedToTheScreen_data() {
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("want");  // "default", "screen" or WxH
    QTest::addColumn<bool>("maximized");
    QTest::newRow("none") << QString() << "default" << false;
    QTest::newRow("grown") << "700x500"
                           << "700x500" << false;
    QTest::newRow("maximised") << "700x500-max"
                               << "700x500" << true;
    QTest::newRow("smaller than the default") << "10x10"
                                              << "default" << false;
    QTest::newRow("larger than the screen") << "99999x99999"
                                            << "screen" << false;
    QTest::newRow("far too many digits") << "12345678901x500"
                                         << "default" << false;
    QTest::newRow("signed") << "-700x500"
                            << "default" << false;
    QTest::newRow("not a size") << "groß"
                                << "default" << false;
    QTest::newRow("one side") << "700"
                              << "default" << false;
  }
  void keptSizeIsFittedToTheScreen() {
    QFETCH(QString, kept);
    QFETCH(QString, want);
    QFETCH(bool, maximized);
    WindowWorld w;
    if (!kept.isNull()) w.setSetting("windowsize", kept);
    w.create();
    MainWindow& m = w.main();
    QSize expected;
    if (want == QLatin1String("default")) {
      expected = m.minimumSize();
    } else if (want == QLatin1String("screen")) {
      expected = m.screen()->availableGeometry().size();
    } else {
      const QStringList sides = want.split(u'x');
      expected = QSize(sides[0].toInt(), sides[1].toInt());
    }
    QCOMPARE(m.isMaximized() ? m.normalGeometry().size() : m.size(), expected);
    QCOMPARE(bool(m.windowState() & Qt::WindowMaximized), maximized);
  }

  // Only the main window can be maximised; the dialogs keep the size they are laid out for.
  void dialogsOfferNoMaximise() {
    WindowWorld w;
    w.create();
    const QList<QWidget*> dialogs = {&w.program->editDialog(), &w.program->holidayDialog(),
                                     &w.todayBox(), &w.quickHelp()};
    for (QWidget* dialog : dialogs) {
      QVERIFY2(!(dialog->windowFlags() & Qt::WindowMaximizeButtonHint),
               qPrintable(dialog->objectName()));
    }
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::MainWindowTest)
#include "main_window_test.moc"
