// The holiday selection dialog: presets, click rules and the bytes they write.
#include "dialogs/firedays.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <set>

#include "dialogs/quick_help.h"
#include "platform/posix/posix_files.h"
#include "store/settings_store.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_fakes.h"

using tavik::HolidaySelection;
using tavik::TForm3;

using tavik::test::FakeQuickHelp;

namespace {

// A selection whose bytes outside the two lists are set, so that a stray write shows.
HolidaySelection foreignBytes() {
  HolidaySelection s;
  s.bytes[0] = 1;
  for (int b = 16; b <= 20; ++b) s.bytes[static_cast<std::size_t>(b)] = 7;
  for (int b = 32; b <= 50; ++b) s.bytes[static_cast<std::size_t>(b)] = 9;
  return s;
}

void verifyForeignBytesKept(const HolidaySelection& s) {
  QCOMPARE(s.bytes[0], 1);
  for (int b = 16; b <= 20; ++b) QCOMPARE(s.bytes[static_cast<std::size_t>(b)], 7);
  for (int b = 32; b <= 50; ++b) QCOMPARE(s.bytes[static_cast<std::size_t>(b)], 9);
}

std::set<int> checkedRows(const QListWidget* list) {
  std::set<int> rows;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->checkState() == Qt::Checked) rows.insert(i);
  }
  return rows;
}

// The rows whose bytes (from `first`) are 1; every other byte of the list must be 0.
std::set<int> rowsSetInBytes(const HolidaySelection& s, int first, int count) {
  std::set<int> rows;
  for (int i = 0; i < count; ++i) {
    const int b = s.bytes[static_cast<std::size_t>(first + i)];
    if (b == 1) rows.insert(i);
    if (b != 0 && b != 1) rows.insert(-1);
  }
  return rows;
}

QString rowsText(const std::set<int>& rows) {
  QStringList out;
  for (int r : rows) out << QString::number(r);
  return out.join(u' ');
}

// Clicks an item's check box as the user would.
void clickCheckBox(QListWidget* list, int row) {
  const QRect r = list->visualItemRect(list->item(row));
  const int indicator = list->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, list);
  const QPoint at(r.left() + 3 + indicator / 2, r.center().y());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class FiredaysTest : public QObject {
  Q_OBJECT

 private:
  FakeQuickHelp help;

 private slots:
  void init() { help = {}; }

  void listsShowTheEntriesInByteOrder() {
    HolidaySelection s;
    TForm3 form(s, help);
    QCOMPARE(form.windowTitle(), QStringLiteral("Feiertage auswählen"));
    QCOMPARE(form.CheckListBox1->count(), 15);
    QCOMPARE(form.CheckListBox2->count(), 11);
    QCOMPARE(form.CheckListBox1->item(8)->text(), QStringLiteral("Mariä Himmelfahrt (15.8)"));
    QCOMPARE(form.CheckListBox1->item(12)->text(), QStringLiteral("Buß- und Bettag (variabel)"));
    QCOMPARE(form.CheckListBox2->item(5)->text(), QStringLiteral("Kindertag (1.6)"));
    QCOMPARE(form.CheckListBox2->item(9)->text(), QStringLiteral("Silvester (31.12)"));
    QCOMPARE(form.CheckListBox2->item(10)->text(), QStringLiteral("Weltkindertag (20.9)"));
    QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("Aktuelle Einstellung"));
    QCOMPARE(form.ComboBox1->count(), 17);
    QCOMPARE(form.ComboBox2->currentText(), QStringLiteral("Aktuelle Einstellung"));
    QCOMPARE(form.ComboBox2->count(), 4);
  }

  void statePresets_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("rows");
    // The right list starts with Ostersonntag (3) alone; Frauentag is 1, Weltkindertag 10.
    QTest::addColumn<QString>("otherRows");
    // Statewide public holidays as of the current holiday laws.
    QTest::newRow("BW") << "Baden-Würtemberg"
                        << "0 1 2 3 4 5 6 7 9 11 13 14"
                        << "3";
    QTest::newRow("BY") << "Bayern"
                        << "0 1 2 3 4 5 6 7 8 9 11 13 14"
                        << "3";
    QTest::newRow("BE") << "Berlin"
                        << "0 2 3 4 5 6 9 13 14"
                        << "1 3";
    QTest::newRow("BB") << "Brandenburg"
                        << "0 2 3 4 5 6 9 10 13 14"
                        << "3";
    QTest::newRow("HB") << "Bremen"
                        << "0 2 3 4 5 6 9 10 13 14"
                        << "3";
    QTest::newRow("HH") << "Hamburg"
                        << "0 2 3 4 5 6 9 10 13 14"
                        << "3";
    QTest::newRow("HE") << "Hessen"
                        << "0 2 3 4 5 6 7 9 13 14"
                        << "3";
    QTest::newRow("MV") << "Mecklenburg-Vorpommern"
                        << "0 2 3 4 5 6 9 10 13 14"
                        << "1 3";
    QTest::newRow("NI") << "Niedersachsen"
                        << "0 2 3 4 5 6 9 10 13 14"
                        << "3";
    QTest::newRow("NW") << "Nordrhein-Westfalen"
                        << "0 2 3 4 5 6 7 9 11 13 14"
                        << "3";
    QTest::newRow("RP") << "Rheinland-Pfalz"
                        << "0 2 3 4 5 6 7 9 11 13 14"
                        << "3";
    QTest::newRow("SL") << "Saarland"
                        << "0 2 3 4 5 6 7 8 9 11 13 14"
                        << "3";
    QTest::newRow("SN") << "Sachsen"
                        << "0 2 3 4 5 6 7 9 10 12 13 14"
                        << "3";
    QTest::newRow("ST") << "Sachsen-Anhalt"
                        << "0 1 2 3 4 5 6 9 10 13 14"
                        << "3";
    QTest::newRow("SH") << "Schleswig-Holstein"
                        << "0 2 3 4 5 6 9 10 13 14"
                        << "3";
    QTest::newRow("TH") << "Thüringen"
                        << "0 2 3 4 5 6 7 9 10 13 14"
                        << "3 10";
  }

  void statePresets() {
    QFETCH(QString, state);
    QFETCH(QString, rows);
    QFETCH(QString, otherRows);
    HolidaySelection s = foreignBytes();
    // Start from the opposite of most presets so that every row has to be written.
    for (int b = 1; b <= 15; ++b) s.bytes[static_cast<std::size_t>(b)] = b % 2;
    s.bytes[24] = 1;
    TForm3 form(s, help);

    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(state));

    QCOMPARE(rowsText(checkedRows(form.CheckListBox1)), rows);
    QCOMPARE(rowsText(rowsSetInBytes(s, 1, 15)), rows);
    QCOMPARE(rowsText(checkedRows(form.CheckListBox2)), otherRows);
    QCOMPARE(rowsText(rowsSetInBytes(s, 21, 11)), otherRows);
    QCOMPARE(form.ComboBox1->currentText(), state);
    verifyForeignBytesKept(s);
  }

  void bavariaWritesAllFifteenBytes() {
    HolidaySelection s;
    TForm3 form(s, help);
    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Bayern")));
    for (int b = 1; b <= 15; ++b) {
      QCOMPARE(s.bytes[static_cast<std::size_t>(b)], (b == 11 || b == 13) ? 0 : 1);
    }
  }

  void otherDayPresets_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("rows");
    QTest::newRow("all") << "Alle"
                         << "0 1 2 3 4 5 6 7 8 9 10";
    QTest::newRow("none") << "Nichts"
                          << "";
    QTest::newRow("for men") << "(für Männer)"
                             << "0 1 2 5 8";
  }

  void otherDayPresets() {
    QFETCH(QString, entry);
    QFETCH(QString, rows);
    HolidaySelection s = foreignBytes();
    for (int b = 21; b <= 31; ++b) s.bytes[static_cast<std::size_t>(b)] = (b + 1) % 2;
    TForm3 form(s, help);
    form.showSelection();

    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(entry));

    QCOMPARE(rowsText(checkedRows(form.CheckListBox2)), rows);
    QCOMPARE(rowsText(rowsSetInBytes(s, 21, 11)), rows);
    verifyForeignBytesKept(s);
  }

  void currentSettingChangesNothing() {
    HolidaySelection s = foreignBytes();
    s.bytes[3] = 1;
    s.bytes[22] = 1;
    TForm3 form(s, help);
    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Berlin")));
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("Alle")));
    const HolidaySelection before = s;
    form.ComboBox1->setCurrentIndex(0);
    form.ComboBox2->setCurrentIndex(0);
    QVERIFY(s == before);
  }

  void typingIntoThePresetBoxes() {
    HolidaySelection s = foreignBytes();
    for (int b = 1; b <= 15; ++b) s.bytes[static_cast<std::size_t>(b)] = 1;
    for (int b = 21; b <= 31; ++b) s.bytes[static_cast<std::size_t>(b)] = 1;
    TForm3 form(s, help);

    form.ComboBox1->lineEdit()->clear();
    QTest::keyClicks(form.ComboBox1->lineEdit(), "Bay");
    QCOMPARE(rowsText(rowsSetInBytes(s, 1, 15)),
             QStringLiteral("0 1 2 3 4 5 6 7 8 9 10 11 12 13 14"));
    QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("Bay"));

    form.ComboBox2->lineEdit()->clear();
    QTest::keyClicks(form.ComboBox2->lineEdit(), "x");
    QVERIFY(checkedRows(form.CheckListBox2).empty());
    QVERIFY(rowsSetInBytes(s, 21, 11).empty());
    QCOMPARE(form.ComboBox2->currentText(), QStringLiteral("x"));
    QCOMPARE(form.ComboBox2->count(), 4);
    verifyForeignBytesKept(s);
  }

  void clicksWriteTheirByteAndResetOnlyTheLeftBox() {
    HolidaySelection s = foreignBytes();
    TForm3 form(s, help);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Sachsen")));
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("Alle")));
    HolidaySelection want = s;

    clickCheckBox(form.CheckListBox1, 8);  // Mariä Himmelfahrt
    want.bytes[9] = 1;
    QVERIFY(s == want);
    QCOMPARE(form.CheckListBox1->item(8)->checkState(), Qt::Checked);
    QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("Aktuelle Einstellung"));

    clickCheckBox(form.CheckListBox2, 6);  // Weltaidstag
    want.bytes[27] = 0;
    QVERIFY(s == want);
    QCOMPARE(form.ComboBox2->currentText(), QStringLiteral("Alle"));

    // A click on a name only selects it.
    QTest::mouseClick(form.CheckListBox1->viewport(), Qt::LeftButton, Qt::NoModifier,
                      form.CheckListBox1->visualItemRect(form.CheckListBox1->item(0)).center());
    QVERIFY(s == want);
  }

  void keyboardToggleWritesItsByte() {
    HolidaySelection s = foreignBytes();
    TForm3 form(s, help);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Berlin")));
    form.CheckListBox1->setFocus();
    form.CheckListBox1->setCurrentRow(10);
    QTest::keyClick(form.CheckListBox1, Qt::Key_Space);
    QCOMPARE(form.CheckListBox1->item(10)->checkState(), Qt::Checked);
    QCOMPARE(s.bytes[11], 1);
    QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("Aktuelle Einstellung"));

    form.CheckListBox2->setFocus();
    form.CheckListBox2->setCurrentRow(3);
    QTest::keyClick(form.CheckListBox2, Qt::Key_Space);
    QCOMPARE(s.bytes[24], 1);
    verifyForeignBytesKept(s);
  }

  void pickingTheShownEntryAgainRestoresItsPreset() {
    HolidaySelection s;
    TForm3 form(s, help);
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("Alle")));
    form.CheckListBox2->item(4)->setCheckState(Qt::Unchecked);
    QCOMPARE(s.bytes[25], 0);
    emit form.ComboBox2->activated(form.ComboBox2->currentIndex());
    QCOMPARE(s.bytes[25], 1);
    QCOMPARE(checkedRows(form.CheckListBox2).size(), std::size_t{11});
  }

  void showSelectionSetsMarksWithoutWriting() {
    HolidaySelection s = foreignBytes();
    s.bytes[1] = 1;
    s.bytes[15] = 2;  // a foreign file may hold other values than 1
    s.bytes[30] = 1;
    TForm3 form(s, help);
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("Alle")));
    s.bytes[21] = 0;
    s.bytes[22] = 0;
    s.bytes[31] = 2;  // Weltkindertag's byte was reserved before: only 1 counts
    const HolidaySelection before = s;

    form.showSelection();

    QVERIFY(s == before);
    QCOMPARE(rowsText(checkedRows(form.CheckListBox1)), QStringLiteral("0 14"));
    QCOMPARE(rowsText(checkedRows(form.CheckListBox2)), QStringLiteral("2 3 4 5 6 7 8 9"));
  }

  void rightPresetsAfterAStatePreset() {
    HolidaySelection s;
    TForm3 form(s, help);
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("Nichts")));
    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Berlin")));
    QCOMPARE(rowsText(rowsSetInBytes(s, 21, 11)), QStringLiteral("1"));
    QCOMPARE(form.ComboBox2->currentText(), QStringLiteral("Nichts"));
    // Picking the shown "Nichts" again clears what the state preset added.
    emit form.ComboBox2->activated(form.ComboBox2->currentIndex());
    QVERIFY(rowsSetInBytes(s, 21, 11).empty());

    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Thüringen")));
    QCOMPARE(rowsText(rowsSetInBytes(s, 21, 11)), QStringLiteral("10"));
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("(für Männer)")));
    QCOMPARE(rowsText(rowsSetInBytes(s, 21, 11)), QStringLiteral("0 1 2 5 8"));
    form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("Alle")));
    form.ComboBox1->setCurrentIndex(
        form.ComboBox1->findText(QStringLiteral("Mecklenburg-Vorpommern")));
    QCOMPARE(checkedRows(form.CheckListBox2).size(), std::size_t{11});
    QCOMPARE(rowsSetInBytes(s, 21, 11).size(), std::size_t{11});
  }

  // A holiday file written before Weltkindertag existed: 51 bytes, 0 from byte 31 on.
  void olderFileShowsWeltkindertagOffAndKeepsItsLength() {
    tavik::test::TempDir dir;
    const std::string path = dir.file("tavik!4.ini");
    std::string image(51, '\0');
    image[0] = 1;
    image[2] = 1;
    for (int b = 21; b <= 30; ++b) image[static_cast<std::size_t>(b)] = 1;
    tavik::test::writeFile(path, image);
    tavik::PosixFiles files;
    HolidaySelection s;
    TForm3 form(s, help);

    tavik::loadHolidaySelection(files, path, s);
    form.showSelection();
    QCOMPARE(rowsText(checkedRows(form.CheckListBox1)), QStringLiteral("1"));
    QCOMPARE(rowsText(checkedRows(form.CheckListBox2)), QStringLiteral("0 1 2 3 4 5 6 7 8 9"));

    form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Thüringen")));
    tavik::saveHolidaySelection(files, path, s);
    std::string want = image;
    want[2] = 0;
    for (int b : {1, 3, 4, 5, 6, 7, 8, 10, 11, 14, 15, 31}) want[static_cast<std::size_t>(b)] = 1;
    QCOMPARE(tavik::test::readFile(path), want);
  }

  void everyWayOutKeepsTheChanges() {
    HolidaySelection s;
    TForm3 form(s, help);
    QTimer::singleShot(0, &form, [&] {
      form.ComboBox2->setCurrentIndex(form.ComboBox2->findText(QStringLiteral("(für Männer)")));
      form.close();
    });
    QCOMPARE(form.exec(), TForm3::kResultClosed);
    QCOMPARE(rowsText(rowsSetInBytes(s, 21, 11)), QStringLiteral("0 1 2 5 8"));

    QTimer::singleShot(0, &form, [&] {
      form.ComboBox1->setCurrentIndex(form.ComboBox1->findText(QStringLiteral("Hessen")));
      QTest::keyClick(&form, Qt::Key_Escape);
      QVERIFY(form.isVisible());
      form.Button1->click();
    });
    QCOMPARE(form.exec(), TForm3::kResultOk);
    QCOMPARE(s.bytes[8], 1);
    QCOMPARE(s.bytes[0], 0);
  }

  void helpButtonAndActivation() {
    HolidaySelection s;
    TForm3 form(s, help);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QVERIFY(help.hides >= 1);
    form.BitBtn2->click();
    QCOMPARE(help.shown, QStringList{QStringLiteral("Feiertagewahl")});
  }

  void keyboardOrder() {
    HolidaySelection s;
    TForm3 form(s, help);
    QStringList order;
    QWidget* w = form.ComboBox1;
    do {
      order << w->objectName();
      do {
        w = w->nextInFocusChain();
      } while ((!(w->focusPolicy() & Qt::TabFocus) || w->objectName().isEmpty()) &&
               w != form.ComboBox1);
    } while (w != form.ComboBox1);
    QCOMPARE(order, (QStringList{"ComboBox1", "CheckListBox1", "ComboBox2", "CheckListBox2",
                                 "Button1", "BitBtn2"}));
  }
};

QTEST_MAIN(FiredaysTest)
#include "firedays_test.moc"
