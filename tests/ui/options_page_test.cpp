// The options page: field rules, leave rules with their messages, check boxes, today box test.
#include "app/pages/options_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <cerrno>
#include <filesystem>

#include "platform/autostart.h"
#include "platform/reminder_timer.h"
#include "tests/ui/window_world.h"

namespace tavik::test {

namespace {

// Leaving a field for another control, as the tab key does.
void leave(QLineEdit* field) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(field, &out);
}

}  // namespace

class OptionsPageTest : public QObject {
  Q_OBJECT

 private slots:
  void fieldsKeepOnlyTheLeadingNumber_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("days: three digits at most") << "Edit1"
                                                << "1234"
                                                << "123";
    QTest::newRow("days: letter ends the number") << "Edit1"
                                                  << "12x"
                                                  << "12";
    QTest::newRow("days: empty") << "Edit1"
                                 << ""
                                 << "0";
    QTest::newRow("days: leading blanks") << "Edit1"
                                          << "  7"
                                          << "7";
    QTest::newRow("days: no number") << "Edit1"
                                     << "abc"
                                     << "0";
    QTest::newRow("days: sign") << "Edit1"
                                << "-5"
                                << "-5";
    QTest::newRow("seconds: four digits at most") << "Edit2"
                                                  << "12345"
                                                  << "1234";
    QTest::newRow("seconds: letter ends the number") << "Edit2"
                                                     << "9s"
                                                     << "9";
  }
  void fieldsKeepOnlyTheLeadingNumber() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    WindowWorld w;
    w.create();
    auto* edit = control<QLineEdit>(w.main(), qPrintable(field));
    edit->setText(typed);
    QTEST(edit->text(), "kept");
  }

  void typingIsFilteredKeyByKey() {
    WindowWorld w;
    w.create();
    auto* edit = control<QLineEdit>(w.main(), "Edit1");
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QStringLiteral("0"));
    QTest::keyClicks(edit, QStringLiteral("12x4"));
    QCOMPARE(edit->text(), QStringLiteral("124"));
  }

  void leavingTheDaysField_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("taken");
    QTest::newRow("0") << "0" << true << 30;
    QTest::newRow("100") << "100" << true << 30;
    QTest::newRow("1234 becomes 123") << "1234" << true << 30;
    QTest::newRow("-5") << "-5" << true << 30;
    QTest::newRow("1") << "1" << false << 1;
    QTest::newRow("99") << "99" << false << 99;
  }
  void leavingTheDaysField() {
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    QFETCH(int, taken);
    WindowWorld w;
    w.setSetting("heutebox", 0);
    w.writeEvents({{QDate(2007, 2, 20), "In 67 Tagen"}});
    w.create();
    w.showMain();
    w.main().TabbedNotebook1->setCurrentIndex(kOptionsPage);
    auto* edit = control<QLineEdit>(w.main(), "Edit1");
    edit->setFocus();
    edit->setText(typed);
    control<QCheckBox>(w.main(), "CheckBox3")->setFocus();
    leave(edit);

    const QStringList expected =
        refused ? QStringList{QString::fromUtf8(kLookAheadRangeMessage)} : QStringList{};
    QCOMPARE(w.messages.texts(), expected);
    if (refused) QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->text(), QString::number(taken));
    QCOMPARE(int(w.main().settings().anzdays), taken);
    QCOMPARE(control<QLabel>(w.main(), "Label3")->text(), QString::number(taken));
    // The view was rebuilt with the new window: the event 67 days ahead shows from 67 days on.
    const int rows = control<QTableView>(w.main(), "StringGrid1")->model()->rowCount() - 1;
    QCOMPARE(rows, taken >= 67 ? 1 : 0);
  }

  void leavingTheSecondsField_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("taken");
    QTest::newRow("4") << "4" << true << 30;
    QTest::newRow("5") << "5" << false << 5;
    QTest::newRow("240") << "240" << false << 240;
    QTest::newRow("241") << "241" << true << 30;
  }
  void leavingTheSecondsField() {
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    QFETCH(int, taken);
    WindowWorld w;
    w.create();
    auto* edit = control<QLineEdit>(w.main(), "Edit2");
    edit->setText(typed);
    leave(edit);
    const QStringList expected =
        refused ? QStringList{QString::fromUtf8(kAutoExitRangeMessage)} : QStringList{};
    QCOMPARE(w.messages.texts(), expected);
    QCOMPARE(edit->text(), QString::number(taken));
    QCOMPARE(int(w.main().settings().autoclose), taken);
    // The running countdown is not touched.
    QCOMPARE(w.main().secondsLeft(), 30);
  }

  // Switching the box off greys the seconds and ends the countdown for the next start only.
  void autoExitSwitch() {
    WindowWorld w;
    w.writeEvents({{QDate(1970, 6, 1), "Sommerfest"}});  // an empty table never counts down
    w.create();
    auto* on = control<QCheckBox>(w.main(), "CheckBox1");
    auto* seconds = control<QLineEdit>(w.main(), "Edit2");
    const QColor enabledBackground = seconds->palette().color(QPalette::Base);
    on->setChecked(false);
    QCOMPARE(seconds->text(), QStringLiteral("0"));
    QVERIFY(!seconds->isEnabled());
    QVERIFY(seconds->palette().color(QPalette::Base) != enabledBackground);
    QCOMPARE(int(w.main().settings().autoclose), 0);
    QVERIFY(w.main().autoExitRunning());

    on->setChecked(true);
    QCOMPARE(seconds->text(), QStringLiteral("30"));
    QVERIFY(seconds->isEnabled());
    QCOMPARE(seconds->palette().color(QPalette::Base), enabledBackground);
    QCOMPARE(int(w.main().settings().autoclose), 30);
  }

  void noCountdownWhenSwitchedOff() {
    WindowWorld w;
    w.setSetting("autoclose", 0);
    w.create();
    QVERIFY(!w.main().autoExitRunning());
    QVERIFY(!control<QCheckBox>(w.main(), "CheckBox1")->isChecked());
    QVERIFY(!control<QLineEdit>(w.main(), "Edit2")->isEnabled());
    QCOMPARE(control<QPushButton>(w.main(), "Button1")->text(), QStringLiteral("Exit"));
  }

  // Switching holidays off disables the choice; the chosen days stay as they were.
  void holidaySwitch() {
    WindowWorld w;
    std::string selection(51, '\0');
    selection[0] = 1;
    selection[5] = 1;
    writeFile(w.path(kHolidayFileName), selection);
    w.create();
    w.showMain();
    auto* compute = control<QCheckBox>(w.main(), "CheckBox2");
    auto* choose = control<QPushButton>(w.main(), "Button9");
    QVERIFY(compute->isChecked());
    QVERIFY(choose->isEnabled());
    compute->setChecked(false);
    QVERIFY(!choose->isEnabled());
    QCOMPARE(int(w.main().holidaySelection().bytes[0]), 0);
    QCOMPARE(int(w.main().holidaySelection().bytes[5]), 1);
  }

  // The box shows the entry as it is when the page is built, and changes it at once.
  void startAtLogin() {
    WindowWorld w;
    const std::string entry = w.config.path() + "/autostart/tavik.desktop";
    w.create();
    auto* box = control<QCheckBox>(w.main(), "CheckBox4");
    QVERIFY(!box->isChecked());
    QCOMPARE(box->text(), QStringLiteral("Automatisch beim Anmelden starten"));
    QCOMPARE(box->statusTip(), QStringLiteral("Tavik! beim Anmelden am Desktop starten"));
    box->setChecked(true);
    QCOMPARE(readFile(entry), autostartEntryText(autostartProgram(), w.startPath()).toStdString());
    QVERIFY(w.messages.boxes.empty());

    // Later starts read the entry the first one wrote.
    WindowWorld again;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(w.config.path()));
    again.create();
    auto* shown = control<QCheckBox>(again.main(), "CheckBox4");
    QVERIFY(shown->isChecked());
    shown->setChecked(false);
    QVERIFY(!fileExists(entry));

    writeFile(entry, "[Desktop Entry]\nType=Application\nExec=tavik\nHidden=true\n");
    WindowWorld hidden;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(w.config.path()));
    hidden.create();
    QVERIFY(!control<QCheckBox>(hidden.main(), "CheckBox4")->isChecked());
  }

  // A failure shows the file error, and the box shows the entry as it then is.
  void startAtLoginFailures_data() {
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::newRow("folder may not be written") << false << int(FakeFiles::Op::Open) << EACCES
                                               << QStringLiteral("Dateizugriff verweigert.");
    QTest::newRow("disk full") << false << int(FakeFiles::Op::Write) << ENOSPC
                               << QStringLiteral("Zu wenig Speicherplatz.");
    QTest::newRow("entry may not be removed") << true << int(FakeFiles::Op::Remove) << EACCES
                                              << QStringLiteral("Dateizugriff verweigert.");
  }
  void startAtLoginFailures() {
    QFETCH(bool, existing);
    QFETCH(int, op);
    QFETCH(int, error);
    QFETCH(QString, message);
    WindowWorld w;
    const std::string entry = w.config.path() + "/autostart/tavik.desktop";
    const std::string old = "[Desktop Entry]\nType=Application\nExec=alt\n";
    if (existing) {
      std::filesystem::create_directories(w.config.path() + "/autostart");
      writeFile(entry, old);
    }
    w.create();
    auto* box = control<QCheckBox>(w.main(), "CheckBox4");
    QCOMPARE(box->isChecked(), existing);
    w.files.failAt(static_cast<FakeFiles::Op>(op), 1, error);
    box->setChecked(!existing);
    QCOMPARE(w.messages.texts(), QStringList{message});
    QCOMPARE(int(w.messages.boxes[0].kind), int(FakeMessages::Box::Error));
    QCOMPARE(box->isChecked(), existing);
    QCOMPARE(fileExists(entry), existing);
    if (existing) QCOMPARE(readFile(entry), old);
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(entry).parent_path())) {
      QVERIFY2(e.path().extension() != ".tmp", e.path().c_str());
    }
  }

  // The reminder row: off at 09:00 on a first start, named for screen readers, reached by Tab
  // after the notification switch.
  void dailyReminderRow() {
    WindowWorld w;
    w.create();
    auto* box = control<QCheckBox>(w.main(), "remindBox");
    auto* time = control<QTimeEdit>(w.main(), "remindTime");
    QCOMPARE(box->text(), QStringLiteral("Täglich erinnern um"));
    QVERIFY(!box->isChecked());
    QCOMPARE(time->time(), QTime(9, 0));
    QCOMPARE(time->displayFormat(), QStringLiteral("HH:mm"));
    QCOMPARE(time->accessibleName(), QStringLiteral("Uhrzeit der täglichen Erinnerung"));
    QVERIFY(!control<QLabel>(w.main(), "remindError")->isVisibleTo(w.main().optionsPage));
    QStringList order;
    for (QWidget* c = w.main().nextInFocusChain(); c != &w.main(); c = c->nextInFocusChain()) {
      if ((c->focusPolicy() & Qt::TabFocus) && !c->objectName().isEmpty()) order << c->objectName();
    }
    const qsizetype at = order.indexOf(QStringLiteral("CheckBox5"));
    QVERIFY(at >= 0);
    QCOMPARE(order.mid(at, 4), (QStringList{"CheckBox5", "inWordsBox", "remindBox", "remindTime"}));
  }

  // Ticking installs the timer at the time shown, a new time is installed when the field is
  // left, unticking removes it; a later start shows the installed time.
  void dailyReminderFollowsTheTimer() {
    WindowWorld w;
    w.create();
    QStringList calls;
    w.main().reminderTimer().systemctl = [&calls](const QStringList& args) {
      calls << args.join(u' ');
      return QString();
    };
    const QString timerFile = w.main().reminderTimer().timerPath();
    auto* box = control<QCheckBox>(w.main(), "remindBox");
    auto* time = control<QTimeEdit>(w.main(), "remindTime");
    time->setTime(QTime(7, 30));
    box->setChecked(true);
    QVERIFY(readFile(timerFile.toStdString()).find("OnCalendar=*-*-* 07:30:00\n") !=
            std::string::npos);
    QVERIFY(calls.contains(QStringLiteral("daemon-reload")));
    time->setTime(QTime(20, 15));
    emit time->editingFinished();
    QCOMPARE(w.main().reminderTimer().installedTime(), QTime(20, 15));

    // A later start in the same directory.
    w.program.reset();
    w.create();
    w.main().reminderTimer().systemctl = [](const QStringList&) { return QString(); };
    box = control<QCheckBox>(w.main(), "remindBox");
    QVERIFY(box->isChecked());
    QCOMPARE(control<QTimeEdit>(w.main(), "remindTime")->time(), QTime(20, 15));

    box->setChecked(false);
    QVERIFY(!fileExists(timerFile.toStdString()));
    QVERIFY(w.messages.boxes.empty());
  }

  // Without a user manager the page says why under the row, whole, and the box stays off; a
  // later success takes the message away.
  void dailyReminderFailureIsToldOnThePage() {
    WindowWorld w;
    w.create();
    // As long as systemctl's reasons get: the message wraps over several lines.
    QString failure = QStringLiteral(
        "Failed to connect to bus: No medium found (the user manager of this session could not "
        "be reached over its private socket or the session bus)");
    w.main().reminderTimer().systemctl = [&failure](const QStringList&) { return failure; };
    auto* box = control<QCheckBox>(w.main(), "remindBox");
    auto* error = control<QLabel>(w.main(), "remindError");
    w.showMain();
    w.main().TabbedNotebook1->setCurrentIndex(kOptionsPage);
    box->setChecked(true);
    WindowWorld::settle();
    QVERIFY(!box->isChecked());
    QVERIFY(error->isVisibleTo(w.main().optionsPage));
    // Every line of the message shows; the window grew for it.
    QVERIFY(error->height() >= error->heightForWidth(error->width()));
    OptionsPage& page = *w.main().optionsPage;
    QVERIFY(page.height() >= page.minimumSizeHint().height());
    QCOMPARE(error->text(), QStringLiteral("Die tägliche Erinnerung konnte nicht eingerichtet "
                                           "werden: ") +
                                failure + u'.');
    QVERIFY(!fileExists(w.main().reminderTimer().timerPath().toStdString()));
    QVERIFY(w.messages.boxes.empty());
    failure.clear();
    box->setChecked(true);
    QVERIFY(box->isChecked());
    QVERIFY(!error->isVisibleTo(w.main().optionsPage));
  }

  void notificationSwitch() {
    WindowWorld w;
    w.setSetting("notify", 0);
    w.create();
    auto* box = control<QCheckBox>(w.main(), "CheckBox5");
    QCOMPARE(box->text(), QStringLiteral("Heutige Ereignisse als Benachrichtigung melden"));
    QCOMPARE(
        box->statusTip(),
        QStringLiteral("Die heutigen Ereignisse zusätzlich als Nachricht des Desktops anzeigen"));
    QVERIFY(!box->isChecked());
    box->setChecked(true);
    QCOMPARE(int(w.main().settings().notify), 1);
    QVERIFY(w.main().close());
    QCOMPARE(w.storedSetting("notify").toInt(), 1);
  }

  // Anniversaries in words: the box shows the stored value, and a change rebuilds the grid at
  // once and is stored at the end. The start's first rebuild stays the start's.
  void inWordsSwitch() {
    WindowWorld w;
    w.setSetting("notify", 1);
    w.writeEvents({{.date = QDate(1956, 12, 15), .text = "Anna", .jubilee = true, .kind = 1},
                   {.date = QDate(1981, 12, 20), .text = "Eltern", .jubilee = true, .kind = 2}});
    w.create();
    auto* box = control<QCheckBox>(w.main(), "inWordsBox");
    QCOMPARE(box->text(), QStringLiteral("Jubiläen in Worten"));
    QVERIFY(!box->statusTip().isEmpty());
    QVERIFY(!box->isChecked());
    w.showMain();
    auto* grid = control<QTableView>(w.main(), "StringGrid1");
    QCOMPARE(cellText(grid, 0, 2), QStringLiteral("Anna (50)"));
    QCOMPARE(cellText(grid, 1, 2), QStringLiteral("Eltern (25)"));
    box->setChecked(true);
    QCOMPARE(int(w.main().settings().inworten), 1);
    QCOMPARE(cellText(grid, 0, 2), QStringLiteral("Anna – wird 50"));
    QCOMPARE(cellText(grid, 1, 2), QStringLiteral("Eltern – 25. Hochzeitstag (Silberhochzeit)"));
    QVERIFY(w.main().close());
    QCOMPARE(w.storedSetting("inworten").toInt(), 1);

    WindowWorld again;
    again.setSetting("inworten", 1);
    again.setSetting("notify", 1);
    again.writeEvents({{.date = QDate(1956, 12, 15), .text = "Anna", .jubilee = true, .kind = 1}});
    again.create();
    QVERIFY(control<QCheckBox>(again.main(), "inWordsBox")->isChecked());
    again.showMain();
    QCOMPARE(again.todayBoxShown, 1);
    QCOMPARE(again.notifications.size(), std::size_t{1});
    QCOMPARE(again.notifications[0].body, QStringLiteral("★ Heute – Anna – wird 50"));
  }

  void todayBoxAndPriorityChoices() {
    WindowWorld w;
    w.setSetting("heutebox", 1);
    w.create();
    auto* show = control<QCheckBox>(w.main(), "CheckBox3");
    show->setChecked(false);
    QCOMPARE(int(w.main().settings().heutebox), 0);
    w.main().optionsPage->setPriorityHandling(2);
    QCOMPARE(int(w.main().settings().prior), 2);
  }

  // The test button shows the box also when it is empty, titled by the priority handling.
  void testButtonTitles() {
    WindowWorld w;
    w.create();
    auto* test = control<QPushButton>(w.main(), "Button10");
    for (int handling : {2, 0, 2, 1}) {
      w.main().optionsPage->setPriorityHandling(handling);
      test->click();
    }
    const QString both = QString::fromUtf8(kTodayBoxPriorityTitle);
    const QString plain = QString::fromUtf8(kTodayBoxTitle);
    QCOMPARE(w.todayBoxTitles, (QStringList{both, plain, both, plain}));
    QCOMPARE(w.todayBoxLines, QStringList{});
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::OptionsPageTest)
#include "options_page_test.moc"
