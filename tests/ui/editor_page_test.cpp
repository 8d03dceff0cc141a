// The editor page: list forms and order, add, edit and delete through the edit dialog.
#include "app/pages/editor_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "dialogs/edit.h"
#include "dialogs/quick_help.h"
#include "platform/qt_text.h"
#include "store/day_number.h"
#include "store/event_table.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "tests/support/ui_fakes.h"

using tavik::EditorPage;
using tavik::EventRecord;
using tavik::TForm2;

namespace {

class NoQuickHelp : public tavik::QuickHelp {
 public:
  void showQuickHelp(const QString&, const QWidget*) override {}
  void hideQuickHelp() override {}
  bool quickHelpVisible() const override { return false; }
};

EventRecord makeEvent(const char* cp1252Text, int y, int m, int d, bool withoutYear = false) {
  EventRecord r;
  r.setText(cp1252Text);
  r.date = tavik::toDouble(*tavik::makeDayNumber(y, m, d));
  r.withoutYear = withoutYear ? 1 : 0;
  return r;
}

// The record with its reserved bytes cleared, to compare a record the page gave an extension.
EventRecord withoutReserved(EventRecord r) {
  r.reserved.fill(0);
  return r;
}

bool hasExtension(const EventRecord& r) {
  return tavik::readExtension(r).has_value();
}

QStringList lines(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

// Everything the page needs, with the list already shown.
struct Page {
  tavik::EventTable table;
  tavik::test::FakeMessages messages;
  NoQuickHelp help;
  TForm2 form{messages, help};
  EditorPage page{table, form, messages};

  // Runs `inDialog` while the page's action has the edit dialog open; the dialog must open.
  bool withDialog(const std::function<void()>& action, const std::function<void()>& inDialog) {
    bool opened = false;
    QTimer::singleShot(0, &form, [&] {
      opened = form.isVisible();
      inDialog();
    });
    action();
    return opened;
  }
  void select(int row) { page.ListBox2->setCurrentRow(row); }
  void sortBy(int choice) { page.RadioGroup1->button(choice)->setChecked(true); }
};

}  // namespace

class EditorPageTest : public QObject {
  Q_OBJECT

 private slots:
  void lineForms_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("withoutYear");
    QTest::addColumn<QString>("line");
    const QString b = QStringLiteral(" ");
    QTest::newRow("text, year-less") << 0 << true << "Feier";
    QTest::newRow("month first, year-less") << 1 << true << "06.05" + b.repeated(12) + "Feier";
    QTest::newRow("day first, year-less") << 2 << true << "05.06." + b.repeated(11) + "Feier";
    QTest::newRow("year first, year-less") << 3 << true << b.repeated(9) + "06-05   Feier";
    QTest::newRow("text, dated") << 0 << false << "Feier";
    QTest::newRow("month first, dated") << 1 << false << "06.05.1930   Feier";
    QTest::newRow("day first, dated") << 2 << false << "05.06.1930   Feier";
    QTest::newRow("year first, dated") << 3 << false << "1930-06-05   Feier";
  }

  void lineForms() {
    QFETCH(int, choice);
    QFETCH(bool, withoutYear);
    QFETCH(QString, line);
    Page p;
    p.table.storeRecord(1, makeEvent("Feier", withoutYear ? 2000 : 1930, 6, 5, withoutYear));
    p.sortBy(choice);
    p.page.ListBox2Update();
    QCOMPARE(lines(p.page.ListBox2), QStringList{line});
    QCOMPARE(p.page.ListBox2->item(0)->data(Qt::UserRole).toInt(), 1);
  }

  void smallYearsKeepTheirShortForm() {
    QCOMPARE(tavik::editorLine(makeEvent("X", 5, 1, 2), 3), std::string("05-01-02   X"));
  }

  void listOrder() {
    Page p;
    const char* texts[] = {"Anton", "anna", "\xC4nne", "Bert", " Leer", "2. Jahrestag"};
    int slot = 1;
    for (const char* t : texts) p.table.storeRecord(slot++, makeEvent(t, 1990, 1, 1));
    // Texts in other scripts take the place of their Latin form.
    for (const char* t : {"Ζωή", "Ayşe", "Дмитрий"}) {
      EventRecord r = makeEvent("", 1990, 1, 1);
      QCOMPARE(tavik::setEventText(r, t), tavik::TextStore::Stored);
      p.table.storeRecord(slot++, r);
    }
    p.page.ListBox2Update();
    QCOMPARE(lines(p.page.ListBox2), (QStringList{" Leer", "2. Jahrestag", "anna", "Änne", "Anton",
                                                  "Ayşe", "Bert", "Дмитрий", "Ζωή"}));
    QCOMPARE(p.page.ListBox2->item(3)->data(Qt::UserRole).toInt(), 3);
  }

  void yearlessEventsComeFirstByFullDate() {
    Page p;
    p.table.storeRecord(1, makeEvent("Hochzeit", 1985, 9, 14));
    p.table.storeRecord(2, makeEvent("Nikolaus", 2000, 12, 6, true));
    p.table.storeRecord(3, makeEvent("Geburt", 1970, 3, 5));
    p.table.storeRecord(4, makeEvent("Valentin", 2000, 2, 14, true));
    p.sortBy(3);
    QCOMPARE(lines(p.page.ListBox2),
             (QStringList{"         02-14   Valentin", "         12-06   Nikolaus",
                          "1970-03-05   Geburt", "1985-09-14   Hochzeit"}));
  }

  void sortChangeKeepsThePosition() {
    Page p;
    p.table.storeRecord(1, makeEvent("A", 1999, 1, 1));
    p.table.storeRecord(2, makeEvent("B", 1980, 1, 1));
    p.table.storeRecord(3, makeEvent("C", 1990, 1, 1));
    p.page.ListBox2Update();
    p.select(0);  // "A"
    p.sortBy(3);
    QCOMPARE(p.page.ListBox2->selectedItems().size(), 1);
    QCOMPARE(p.page.ListBox2->currentRow(), 0);
    QCOMPARE(p.page.ListBox2->currentItem()->text(), QStringLiteral("1980-01-01   B"));
  }

  void addProposesTheLowestFreeSlot() {
    Page p;
    for (int slot = 1; slot <= 10; ++slot) p.table.storeRecord(slot, makeEvent("E", 2000, 1, slot));
    p.page.ListBox2Update();
    p.select(2);  // the line of slot 3
    QCOMPARE(p.page.ListBox2->currentItem()->data(Qt::UserRole).toInt(), 3);
    p.page.Button3->click();
    QVERIFY(p.table.slotIsFree(3));

    QString proposedText, proposedDate;
    bool switchesOff = false;
    QVERIFY(p.withDialog([&] { p.page.Button2->click(); },
                         [&] {
                           proposedText = p.form.Edit1->text();
                           proposedDate = p.form.Edit2->text();
                           switchesOff = !p.form.CheckBox1->isChecked() &&
                                         !p.form.CheckBox5->isChecked() &&
                                         p.form.GroupBox1->isEnabled();
                           p.form.Button1->click();
                         }));
    QCOMPARE(proposedText, QStringLiteral("Neuer Eintrag (3)"));
    QCOMPARE(proposedDate, QStringLiteral("01.01.2006"));
    QVERIFY(switchesOff);
    EventRecord want = makeEvent("Neuer Eintrag (3)", 2006, 1, 1);
    QVERIFY(hasExtension(p.table.record(3)));
    QVERIFY(withoutReserved(p.table.record(3)) == want);
    QCOMPARE(p.page.ListBox2->count(), 10);
    QVERIFY(p.messages.boxes.empty());
  }

  void addStartsFromACleanDialog() {
    Page p;
    p.table.storeRecord(1, makeEvent("Alt", 1990, 5, 5, true));
    EventRecord r = p.table.record(1);
    r.isProtected = 1;
    r.computeJubilee = 1;
    p.table.storeRecord(1, r);
    p.page.ListBox2Update();
    p.select(0);
    p.withDialog([&] { p.page.Button4->click(); }, [&] { p.form.Button2->click(); });
    p.withDialog([&] { p.page.Button2->click(); }, [&] { p.form.Button1->click(); });
    QVERIFY(withoutReserved(p.table.record(2)) == makeEvent("Neuer Eintrag (2)", 2006, 1, 1));
  }

  void fullTableRefusesToAdd() {
    Page p;
    for (int slot = 1; slot <= tavik::kSlotCount; ++slot) {
      p.table.storeRecord(slot, makeEvent("E", 2000, 1, 1));
    }
    const bool opened = p.withDialog([&] { p.page.Button2->click(); },
                                     [&] {
                                       if (p.form.isVisible()) p.form.Button2->click();
                                     });
    QVERIFY(!opened);
    QCOMPARE(p.messages.texts(),
             QStringList{QStringLiteral("Zufügen nicht möglich.. Speicherplatz erschöpft!")});
  }

  void cancelledDialogsChangeNothing() {
    Page p;
    EventRecord r = makeEvent("Feier", 1990, 6, 5);
    r.reserved[0] = 0x5A;
    p.table.storeRecord(1, r);
    p.page.ListBox2Update();

    p.withDialog([&] { p.page.Button2->click(); }, [&] { p.form.Button2->click(); });
    QVERIFY(p.table.slotIsFree(2));

    p.select(0);
    p.withDialog([&] { p.page.Button4->click(); },
                 [&] {
                   p.form.Edit2->setText(QStringLiteral("01.01.2001"));
                   p.form.CheckBox4->setChecked(true);
                   p.form.close();
                 });
    QVERIFY(p.table.record(1) == r);
    QCOMPARE(p.messages.texts(), (QStringList{QStringLiteral("Es wurde kein Datensatz zugefügt."),
                                              QStringLiteral("Datensatz wurde nicht geändert!")}));
  }

  void editFillsTheDialogAndKeepsTheRestOfTheRecord() {
    Page p;
    EventRecord r = makeEvent("Feier", 2000, 6, 5, true);
    r.isProtected = 1;
    r.computeJubilee = 1;
    r.reserved[205] = 0xEE;
    p.table.storeRecord(7, r);
    p.page.ListBox2Update();
    p.select(0);

    QString date;
    bool locked = false, jubileeEnabled = true, jubileeChecked = false;
    QVERIFY(p.withDialog([&] { p.page.Button4->click(); },
                         [&] {
                           date = p.form.Edit2->text();
                           locked = !p.form.GroupBox1->isEnabled();
                           jubileeEnabled = p.form.CheckBox2->isEnabled();
                           jubileeChecked = p.form.CheckBox2->isChecked();
                           p.form.CheckBox1->setChecked(false);
                           p.form.Edit1->setText(QStringLiteral("Sommerfest"));
                           p.form.Button1->click();
                         }));
    QCOMPARE(date, QStringLiteral("05.06"));
    QVERIFY(locked);
    QVERIFY(!jubileeEnabled);
    QVERIFY(jubileeChecked);
    EventRecord want = r;
    want.setText("Sommerfest");
    want.isProtected = 0;
    QVERIFY(p.table.record(7) == want);
    QCOMPARE(lines(p.page.ListBox2), QStringList{QStringLiteral("Sommerfest")});
  }

  // OK on an unchanged record leaves it byte for byte; a changed one gets its identity and
  // keeps a text in another script whole.
  void editGivesAChangedRecordItsExtension() {
    Page p;
    const EventRecord r = makeEvent("Feier", 1990, 6, 5);
    p.table.storeRecord(1, r);
    p.page.ListBox2Update();
    p.select(0);
    QVERIFY(p.withDialog([&] { p.page.Button4->click(); }, [&] { p.form.Button1->click(); }));
    QVERIFY(p.table.record(1) == r);

    p.select(0);
    QVERIFY(p.withDialog([&] { p.page.Button4->click(); },
                         [&] {
                           p.form.Edit1->setText(QStringLiteral("Дмитрий"));
                           p.form.Button1->click();
                         }));
    const EventRecord& changed = p.table.record(1);
    QVERIFY(hasExtension(changed));
    QCOMPARE(tavik::eventText(changed), std::string("Дмитрий"));
    QCOMPARE(changed.text(), std::string("Dmitrij"));
    QCOMPARE(lines(p.page.ListBox2), QStringList{QStringLiteral("Дмитрий")});

    // Opened again, the dialog shows the Unicode text.
    p.select(0);
    QString shown;
    QVERIFY(p.withDialog([&] { p.page.Button4->click(); },
                         [&] {
                           shown = p.form.Edit1->text();
                           p.form.Button2->click();
                         }));
    QCOMPARE(shown, QStringLiteral("Дмитрий"));
  }

  // Kind and lead time reach the table through the page and come back into the reused dialog;
  // a new event starts at none.
  void kindAndLeadTimeGoThroughThePage() {
    Page p;
    QVERIFY(p.withDialog([&] { p.page.Button2->click(); },
                         [&] {
                           p.form.Edit1->setText(QStringLiteral("Mama"));
                           p.form.kindBox->setCurrentIndex(1);
                           p.form.leadDaysBox->setValue(7);
                           p.form.Button1->click();
                         }));
    auto block = tavik::readExtension(p.table.record(1));
    QVERIFY(block.has_value());
    QCOMPARE(int(block->kind), 1);
    QCOMPARE(int(block->leadDays), 7);
    QCOMPARE(p.table.record(1).text(), std::string("Mama"));

    p.select(0);
    int shownKind = -1, shownLead = -1;
    QVERIFY(p.withDialog([&] { p.page.Button4->click(); },
                         [&] {
                           shownKind = p.form.kindBox->currentIndex();
                           shownLead = p.form.leadDaysBox->value();
                           p.form.leadDaysBox->setValue(0);
                           p.form.Button1->click();
                         }));
    QCOMPARE(shownKind, 1);
    QCOMPARE(shownLead, 7);
    block = tavik::readExtension(p.table.record(1));
    QCOMPARE(int(block->kind), 1);
    QCOMPARE(int(block->leadDays), 0);

    QVERIFY(p.withDialog([&] { p.page.Button2->click(); },
                         [&] {
                           shownKind = p.form.kindBox->currentIndex();
                           shownLead = p.form.leadDaysBox->value();
                           p.form.Button1->click();
                         }));
    QCOMPARE(shownKind, 0);
    QCOMPARE(shownLead, 0);
    QCOMPARE(int(tavik::readExtension(p.table.record(2))->kind), 0);
  }

  void doubleClickEdits() {
    Page p;
    p.table.storeRecord(1, makeEvent("Feier", 1970, 3, 5));
    p.page.ListBox2Update();
    p.page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.page));
    const QPoint at = p.page.ListBox2->visualItemRect(p.page.ListBox2->item(0)).center();
    QString date;
    QVERIFY(p.withDialog(
        [&] {
          QTest::mouseClick(p.page.ListBox2->viewport(), Qt::LeftButton, {}, at);
          QTest::mouseDClick(p.page.ListBox2->viewport(), Qt::LeftButton, {}, at);
        },
        [&] {
          date = p.form.Edit2->text();
          p.form.Button2->click();
        }));
    QCOMPARE(date, QStringLiteral("05.03.1970"));
  }

  void deleteAsksOnlyForProtectedEvents() {
    Page p;
    EventRecord guarded = makeEvent("Geschützt", 1990, 1, 1);
    guarded.isProtected = 1;
    p.table.storeRecord(1, makeEvent("Frei", 1990, 1, 1));
    p.table.storeRecord(2, guarded);
    p.page.ListBox2Update();

    p.select(1);  // "Geschützt"
    p.messages.answers = {false};
    p.page.Button3->click();
    QVERIFY(!p.table.slotIsFree(2));
    QCOMPARE(p.messages.boxes.size(), std::size_t{1});
    QCOMPARE(p.messages.boxes[0].kind, tavik::test::FakeMessages::Box::Confirm);
    QCOMPARE(p.messages.boxes[0].text,
             QStringLiteral("Dieser Datensatz ist geschützt. Wollen sie ihn trotzdem löschen?"));

    p.messages.answers = {true};
    p.page.Button3->click();
    QVERIFY(p.table.slotIsFree(2));

    p.select(0);  // "Frei"
    p.page.Button3->click();
    QVERIFY(p.table.slotIsFree(1));
    QCOMPARE(p.messages.boxes.size(), std::size_t{2});
  }

  void afterDeleteNothingIsSelected() {
    Page p;
    for (int slot = 1; slot <= 3; ++slot) p.table.storeRecord(slot, makeEvent("E", 2000, 1, slot));
    p.page.ListBox2Update();
    QVERIFY(!p.page.Button3->isEnabled());
    QVERIFY(!p.page.Button4->isEnabled());

    p.select(1);
    QVERIFY(p.page.Button3->isEnabled());
    QVERIFY(p.page.Button4->isEnabled());
    QTest::keyClick(p.page.ListBox2, Qt::Key_Delete);
    QCOMPARE(p.table.usedCount(), 2);
    QVERIFY(p.page.ListBox2->selectedItems().isEmpty());
    QVERIFY(!p.page.Button3->isEnabled());
    QVERIFY(!p.page.Button4->isEnabled());

    QTest::keyClick(p.page.ListBox2, Qt::Key_Delete);
    p.page.Button3Click();
    QCOMPARE(p.table.usedCount(), 2);
  }

  void fullTableListsEveryEventInOrder() {
    Page p;
    for (int slot = 1; slot <= tavik::kSlotCount; ++slot) {
      const std::string text = "Ereignis " + std::to_string((slot * 7919) % 1000);
      p.table.storeRecord(slot, makeEvent(text.c_str(), 1900 + slot % 100, 1 + slot % 12, 1));
    }
    p.page.ListBox2Update();
    QCOMPARE(p.page.ListBox2->count(), tavik::kSlotCount);
    for (int i = 1; i < p.page.ListBox2->count(); ++i) {
      QVERIFY(p.page.ListBox2->item(i - 1)->text().toLower() <=
              p.page.ListBox2->item(i)->text().toLower());
    }
  }
};

QTEST_MAIN(EditorPageTest)
#include "editor_page_test.moc"
