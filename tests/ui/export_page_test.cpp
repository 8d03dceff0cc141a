// The Export page: the list of stored events, the count line, the format choice and the export.
#include "app/pages/export_page.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <cerrno>
#include <string>
#include <vector>

#include "exchange/import_reader.h"
#include "platform/qt_seams.h"
#include "store/day_number.h"
#include "store/event_table.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "store/settings_store.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_fakes.h"
#include "tests/ui/check_list_helpers.h"

namespace tavik {
namespace {

using test::lines;
using test::NoUserStore;
using test::tickedCount;
using test::whenDialogOpens;

EventRecord eventOn(int year, int month, int day, std::string_view text) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(year, month, day));
  r.setText(text);
  r.computeJubilee = 1;
  return r;
}

const QString kSaveFilter = QStringLiteral(
    "Alle Dateien (*.*)|*.*|Tavik4 Daten (*.dat)|*.dat|Webseiten (*.htm)|*.htm; "
    "*.html|Textdateien (*.txt)|*.txt|Tabellen (*.csv)|*.csv|Kalender (*.ics)|*.ics");

}  // namespace

class ExportPageTest : public QObject {
  Q_OBJECT

  struct World {
    test::TempDir dir;
    test::FakeFiles files;
    NoUserStore store;
    test::FakeMessages messages;
    test::FakeFileDialogs dialogs;
    test::FakeShell shell;
    test::FakeClock clock;
    Platform platform{files, store, messages, dialogs, shell, clock};
    EventTable table;
    ExportPage page{table, platform};

    // Slots 2, 5 and 9 used.
    World() {
      table.storeRecord(2, eventOn(1980, 3, 1, "Hochzeit"));
      table.storeRecord(5, eventOn(1975, 12, 24, "Fest"));
      EventRecord yearless = eventOn(2000, 7, 3, "Jahrestag\tmit Tab");
      yearless.withoutYear = 1;
      table.storeRecord(9, yearless);
    }

    template <typename T>
    T* find(const char* name) {
      T* w = page.findChild<T*>(QString::fromLatin1(name));
      if (!w) qFatal("no control %s", name);
      return w;
    }
    QLabel* count() { return find<QLabel>("Label10"); }
    QListWidget* list() { return find<QListWidget>("CheckListBox2"); }
    QPushButton* exportButton() { return find<QPushButton>("Button13"); }
    QRadioButton* format(int index) {
      return qobject_cast<QRadioButton*>(page.RadioGroup3Items->button(index));
    }
    int chosenFormat() { return page.RadioGroup3Items->checkedId(); }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
  };

 private slots:
  void controlsAtStart() {
    World w;
    QCOMPARE(w.find<QLabel>("StaticText13")->text(),
             QStringLiteral("Zu exportierende Datensätze:"));
    QVERIFY(w.find<QLabel>("StaticText13")->font().bold());
    QCOMPARE(w.find<QPushButton>("Button11")->text(), QStringLiteral("alle wählen"));
    QCOMPARE(w.find<QPushButton>("Button12")->statusTip(), QStringLiteral("Keinen Eintrag wählen"));
    QCOMPARE(w.exportButton()->text(), QStringLiteral("Export !"));
    QCOMPARE(w.list()->statusTip(),
             QStringLiteral("Wählen sie hier alle zu exportierenden Einträge an"));
    auto* group = w.find<QGroupBox>("RadioGroup3");
    QCOMPARE(group->title(), QStringLiteral(" Export als "));
    QStringList captions;
    for (QAbstractButton* b : w.page.RadioGroup3Items->buttons()) captions << b->text();
    QCOMPARE(captions,
             (QStringList{QStringLiteral("Tavik4 - dat"), QStringLiteral("Tabelle - csv"),
                          QStringLiteral("Webseite - html"), QStringLiteral("Textdatei - txt"),
                          QStringLiteral("Kalender - ics")}));
    QCOMPARE(w.chosenFormat(), -1);
  }

  void countLineFollowsTheTicks() {
    World w;
    w.page.rebuildExportList();
    QListWidget* list = w.list();
    QCOMPARE(lines(list), (QStringList{QStringLiteral("01.03.1980   Hochzeit"),
                                       QStringLiteral("24.12.1975   Fest"),
                                       QStringLiteral("03.07.           Jahrestag\tmit Tab")}));
    QCOMPARE(w.count()->text(), QStringLiteral("0 Datensätze gewählt!"));
    QVERIFY(w.exportButton()->isEnabled());

    // Space on the current line ticks it, as a click on its box does.
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(tickedCount(list), 1);
    QCOMPARE(w.count()->text(), QStringLiteral("1 Datensätze gewählt!"));

    w.click("Button11");
    QCOMPARE(w.count()->text(), QStringLiteral("3 Datensätze gewählt!"));
    w.click("Button12");
    QCOMPARE(tickedCount(list), 0);
    QCOMPARE(w.count()->text(), QStringLiteral("0 Datensätze gewählt!"));

    // A click on the count line recounts what it missed.
    {
      const QSignalBlocker quiet(list);
      list->item(0)->setCheckState(Qt::Checked);
    }
    QCOMPARE(w.count()->text(), QStringLiteral("0 Datensätze gewählt!"));
    QTest::mouseClick(w.count(), Qt::LeftButton);
    QCOMPARE(w.count()->text(), QStringLiteral("1 Datensätze gewählt!"));
  }

  void emptyTableOffersNothing() {
    World w;
    for (int slot : {2, 5, 9}) w.table.freeSlot(slot);
    w.page.rebuildExportList();
    QCOMPARE(w.list()->count(), 0);
    QCOMPARE(w.count()->text(), QStringLiteral("Keine Datensätze vorhanden!"));
    for (const char* name : {"Button11", "Button12", "Button13"}) {
      QVERIFY2(!w.find<QPushButton>(name)->isEnabled(), name);
    }
  }

  void reenteringRebuildsUnticked() {
    World w;
    w.page.rebuildExportList();
    w.click("Button11");
    w.table.storeRecord(1, eventOn(2005, 5, 5, "neu"));
    w.page.rebuildExportList();
    QCOMPARE(w.list()->count(), 4);
    QCOMPARE(w.list()->item(0)->text(), QStringLiteral("05.05.2005   neu"));
    QCOMPARE(tickedCount(w.list()), 0);
    QCOMPARE(w.count()->text(), QStringLiteral("0 Datensätze gewählt!"));
  }

  void exportAsksForAFormatFirst() {
    World w;
    w.page.rebuildExportList();
    w.click("Button13");
    QCOMPARE(w.messages.texts(), QStringList{QStringLiteral("Bitte noch Exportformat wählen!")});
    QCOMPARE(w.dialogs.opened, 0);
  }

  void exportWritesTheTickedSlots_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("suffix");
    // Empty: the records, read back by the import; "ics": a calendar, read back likewise.
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("dat") << 0 << 2 << QStringLiteral("dat") << QByteArray();
    QTest::newRow("csv") << 1 << 5 << QStringLiteral("csv")
                         << QByteArray("24.12.1975\tFeier\r\n03.07.2000\tJahrestag mit Tab\r\n");
    QTest::newRow("htm") << 2 << 3 << QStringLiteral("htm")
                         << QByteArray(
                                "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" "
                                "CONTENT=\"text/html; charset=utf-8\">"
                                "<TITLE>Tavik! v4.5 Datenexport</TITLE></HEAD>"
                                "<BODY><TABLE WIDTH=\"90%\" COLS=2>\r\n"
                                "<TR><TD>24.12.1975</TD>\r\n<TD>Feier</TD></TR>\r\n"
                                "<TR><TD>03.07.2000</TD>\r\n<TD>Jahrestag\tmit Tab</TD></TR>\r\n"
                                "</TABLE></BODY></HTML>\r\n");
    QTest::newRow("txt") << 3 << 4 << QStringLiteral("txt")
                         << QByteArray(
                                "24.12.1975   Feier\r\n03.07.           Jahrestag\tmit Tab\r\n");
    QTest::newRow("ics") << 4 << 6 << QStringLiteral("ics") << QByteArray("ics");
  }

  void exportWritesTheTickedSlots() {
    QFETCH(int, format);
    QFETCH(int, filterIndex);
    QFETCH(QString, suffix);
    QFETCH(QByteArray, content);

    World w;
    w.page.rebuildExportList();
    w.list()->item(1)->setCheckState(Qt::Checked);
    w.list()->item(2)->setCheckState(Qt::Checked);
    // A ticked line exports what its slot holds at the moment of the export.
    w.table.storeRecord(5, eventOn(1975, 12, 24, "Feier"));
    const std::string path = w.dir.file("export." + suffix.toStdString());
    w.dialogs.saveResult = QString::fromStdString(path);

    QTest::mouseClick(w.format(format), Qt::LeftButton);
    QCOMPARE(w.chosenFormat(), format);
    w.click("Button13");

    QCOMPARE(w.dialogs.lastSetup.name, QStringLiteral("SaveDialog1"));
    QCOMPARE(w.dialogs.lastSetup.filter, kSaveFilter);
    QCOMPARE(w.dialogs.lastSetup.filterIndex, filterIndex);
    QCOMPARE(w.dialogs.lastSetup.defaultSuffix, suffix);
    QCOMPARE(w.dialogs.lastSetup.fileName, QDir::current().filePath("tavik." + suffix));
    QCOMPARE(w.messages.texts(), QStringList{QStringLiteral("Export erfolgreich!")});
    QCOMPARE(w.chosenFormat(), -1);
    QCOMPARE(tickedCount(w.list()), 2);

    if (content == "ics") {
      const std::string file = test::readFile(path);
      QVERIFY(file.starts_with("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"));
      const ImportResult back = readImportFile(w.files, path, nullptr);
      QCOMPARE(back.status(), std::string("iCalendar: 2 Einträge gefunden"));
      for (int i = 0; i < 2; ++i) {
        const EventRecord& want = w.table.record(i == 0 ? 5 : 9);
        const EventRecord& got = back.candidates[static_cast<std::size_t>(i)].record;
        QCOMPARE(got.text(), want.text());
        QCOMPARE(got.date, want.date);
        QCOMPARE(got.withoutYear, want.withoutYear);
      }
    } else if (content.isEmpty()) {
      const ImportResult back = readImportFile(w.files, path, nullptr);
      QVERIFY(back.succeeded);
      QCOMPARE(back.candidates.size(), std::size_t{2});
      QVERIFY(back.candidates[0].record == w.table.record(5));
      QVERIFY(back.candidates[1].record == w.table.record(9));
    } else {
      QCOMPARE(QByteArray::fromStdString(test::readFile(path)), content);
    }

    // The next export asks for a format again.
    w.click("Button13");
    QCOMPARE(w.messages.texts().size(), 2);
    QCOMPARE(w.messages.texts().last(), QStringLiteral("Bitte noch Exportformat wählen!"));

    // Then it proposes the last file's folder and name with the new format's extension.
    const int other = (format + 1) % 5;
    QTest::mouseClick(w.format(other), Qt::LeftButton);
    w.click("Button13");
    QCOMPARE(w.dialogs.lastSetup.fileName,
             QString::fromStdString(w.dir.file("export.")) + w.dialogs.lastSetup.defaultSuffix);
    QVERIFY(w.dialogs.lastSetup.defaultSuffix != suffix);
  }

  // Qt's own dialog opens on the format's filter entry and appends the default suffix.
  // A calendar export gives each exported event its identity, kept in the table for the next
  // export; the text formats tell how many texts they wrote in their fallback form.
  void identitiesAndFallbackTexts() {
    World w;
    EventRecord ayse = eventOn(1980, 5, 1, "");
    QCOMPARE(setEventText(ayse,
                          "Geburtstag Ay\xC5\x9F"
                          "e"),
             TextStore::Stored);
    w.table.placeRecord(7, ayse);
    EventRecord foreign = eventOn(1990, 1, 2, "Fremd");
    foreign.reserved[100] = 0x55;
    w.table.storeRecord(8, foreign);
    w.page.rebuildExportList();
    QCOMPARE(w.list()->item(2)->text(), QStringLiteral("01.05.1980   Geburtstag Ayşe"));
    w.click("Button11");

    const std::string ics = w.dir.file("alle.ics");
    w.dialogs.saveResult = QString::fromStdString(ics);
    QTest::mouseClick(w.format(4), Qt::LeftButton);
    w.click("Button13");
    QCOMPARE(w.messages.texts().last(), QStringLiteral("Export erfolgreich!"));
    for (const int slot : {2, 5, 7, 9}) QVERIFY(readExtension(w.table.record(slot)).has_value());
    QCOMPARE(w.table.record(8), foreign);  // another program's bytes stay untouched
    const Uid ayseUid = readExtension(ayse)->uid;
    QCOMPARE(readExtension(w.table.record(7))->uid, ayseUid);
    const std::string first = test::readFile(ics);
    QVERIFY(first.find("UID:" + uidText(ayseUid) + "@tavik\r\n") != std::string::npos);
    QVERIFY(first.find("SUMMARY:Geburtstag Ay\xC5\x9F"
                       "e\r\n") != std::string::npos);
    // Exported again, every event keeps its UID.
    QTest::mouseClick(w.format(4), Qt::LeftButton);
    w.click("Button13");
    const auto uidsOf = [](const std::string& file) {
      std::vector<std::string> uids;
      for (std::size_t at = file.find("\nUID:"); at != std::string::npos;
           at = file.find("\nUID:", at + 1)) {
        uids.push_back(file.substr(at + 5, file.find('\r', at) - at - 5));
      }
      return uids;
    };
    QCOMPARE(uidsOf(test::readFile(ics)), uidsOf(first));
    QCOMPARE(uidsOf(first).size(), std::size_t{5});

    const std::string csv = w.dir.file("alle.csv");
    w.dialogs.saveResult = QString::fromStdString(csv);
    QTest::mouseClick(w.format(1), Qt::LeftButton);
    w.click("Button13");
    QCOMPARE(w.messages.texts().last(),
             QStringLiteral(
                 "Export erfolgreich! 1 Text in lateinischer Ersatzschreibweise geschrieben."));
    QVERIFY(test::readFile(csv).find("01.05.1980\tGeburtstag Ayse\r\n") != std::string::npos);
  }

  void realDialogAppendsTheSuffix() {
    World w;
    QtFileDialogs realDialogs;
    Platform platform{w.files, w.store, w.messages, realDialogs, w.shell, w.clock};
    ExportPage page(w.table, platform);
    page.show();
    page.rebuildExportList();
    page.CheckListBox2->item(1)->setCheckState(Qt::Checked);
    QTest::mouseClick(page.RadioGroup3Items->button(1), Qt::LeftButton);

    QString dialogName;
    QString shownType;
    QString proposed;
    whenDialogOpens([&](QFileDialog* dialog) {
      dialogName = dialog->objectName();
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      if (types) shownType = types->currentText();
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name) return dialog->reject();
      proposed = name->text();
      name->setText(QString::fromStdString(w.dir.file("ausgabe")));
      QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(page.Button13, Qt::LeftButton);

    QCOMPARE(dialogName, QStringLiteral("SaveDialog1"));
    QCOMPARE(shownType, QStringLiteral("Tabellen (*.csv)"));
    QCOMPARE(proposed, QStringLiteral("tavik.csv"));
    QCOMPARE(w.messages.texts(), QStringList{QStringLiteral("Export erfolgreich!")});
    QCOMPARE(test::readFile(w.dir.file("ausgabe.csv")), std::string("24.12.1975\tFest\r\n"));
    QCOMPARE(page.SaveDialog1.filterIndex, 5);
  }

  void cancelledSaveKeepsTheFormat() {
    World w;
    w.page.rebuildExportList();
    w.click("Button11");
    QTest::mouseClick(w.format(1), Qt::LeftButton);
    w.dialogs.saveResult.reset();
    w.click("Button13");
    QCOMPARE(w.dialogs.opened, 1);
    QVERIFY(w.messages.boxes.empty());
    QCOMPARE(w.chosenFormat(), 1);
  }

  void fileErrorIsShownInGerman() {
    World w;
    w.page.rebuildExportList();
    w.click("Button11");
    QTest::mouseClick(w.format(3), Qt::LeftButton);
    const std::string path = w.dir.file("gesperrt.txt");
    w.dialogs.saveResult = QString::fromStdString(path);
    w.files.failAt(test::FakeFiles::Op::Open, 1, EACCES);
    w.click("Button13");
    QCOMPARE(w.messages.boxes.size(), std::size_t{1});
    QCOMPARE(w.messages.boxes[0].kind, test::FakeMessages::Box::Error);
    QCOMPARE(w.messages.boxes[0].text, QStringLiteral("Dateizugriff verweigert."));
    QCOMPARE(w.chosenFormat(), 3);
    QVERIFY(!test::fileExists(path));
  }
};

}  // namespace tavik

QTEST_MAIN(tavik::ExportPageTest)
#include "export_page_test.moc"
