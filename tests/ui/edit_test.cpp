// The event edit dialog: date, text, year-less and protection rules, results.
#include "dialogs/edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "dialogs/quick_help.h"
#include "platform/qt_text.h"
#include "store/day_number.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "tests/support/ui_fakes.h"

using tavik::EventRecord;
using tavik::TForm2;

using tavik::test::FakeQuickHelp;

namespace {

// Types a text that need not be Latin-1, as a keyboard with such keys would.
void typeText(QWidget* w, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
  }
}

double day(int y, int m, int d) {
  return tavik::toDouble(*tavik::makeDayNumber(y, m, d));
}

}  // namespace

class EditTest : public QObject {
  Q_OBJECT

 private:
  tavik::test::FakeMessages messages;
  FakeQuickHelp help;

  // Shows the dialog and waits until it is active, so that focus moves are real.
  static void showActive(TForm2& form) {
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
  }

 private slots:
  void init() {
    messages = {};
    help = {};
  }

  void startsWithDatedFormatAndValidDate() {
    TForm2 form(messages, help);
    QCOMPARE(form.windowTitle(), QStringLiteral("Ereignis bearbeiten"));
    QCOMPARE(form.Edit2->text(), QStringLiteral("01.01.2000"));
    QCOMPARE(form.Label1->text(), QStringLiteral("(gefordertes Format: TT.MM.JJJJ)"));
    QVERIFY(form.Button1->isEnabled());
    QVERIFY(form.Button1->isDefault());
    QVERIFY(form.GroupBox1->isEnabled());
  }

  void dateRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withoutYear");
    QTest::addColumn<double>("want");  // 0: invalid, the record keeps its date
    QTest::newRow("one-digit day") << "1.1.2000" << false << 0.0;
    QTest::newRow("31 April") << "31.04.2001" << false << 0.0;
    QTest::newRow("29 Feb common year") << "29.02.2001" << false << 0.0;
    QTest::newRow("29 Feb leap year") << "29.02.2004" << false << day(2004, 2, 29);
    QTest::newRow("29 Feb year-less") << "29.02" << true << day(2000, 2, 29);
    QTest::newRow("last year") << "01.01.9995" << false << day(9995, 1, 1);
    QTest::newRow("year-less marker year") << "01.01.9996" << false << 0.0;
    QTest::newRow("year 5") << "01.01.0005" << false << day(5, 1, 1);
    QTest::newRow("year 0") << "01.01.0000" << false << 0.0;
    QTest::newRow("day number 0") << "30.12.1899" << false << 0.0;
    QTest::newRow("day before day number 0") << "29.12.1899" << false << day(1899, 12, 29);
    QTest::newRow("full date while year-less") << "24.12.1990" << true << 0.0;
    QTest::newRow("day and month only") << "24.12" << false << 0.0;
    QTest::newRow("month 13") << "01.13.2000" << false << 0.0;
    QTest::newRow("day 0") << "00.01.2000" << false << 0.0;
    QTest::newRow("letters") << "ab.01.2000" << false << 0.0;
    QTest::newRow("dash before year") << "01.01-2000" << false << 0.0;
    QTest::newRow("too short") << "01" << false << 0.0;
  }

  void dateRule() {
    QFETCH(QString, text);
    QFETCH(bool, withoutYear);
    QFETCH(double, want);
    TForm2 form(messages, help);
    form.CheckBox5->setChecked(withoutYear);
    tavik::EventRecord before;
    before.date = day(1970, 3, 5);
    form.setWorkingRecord(before);

    form.Edit2->setText(text);

    QCOMPARE(form.Button1->isEnabled(), want != 0.0);
    QCOMPARE(form.workingRecord().date, want != 0.0 ? want : before.date);
    QVERIFY(messages.boxes.empty());
  }

  void typingInvalidDateKeepsLastValidOne() {
    TForm2 form(messages, help);
    form.Edit2->clear();
    QTest::keyClicks(form.Edit2, "24.12.1990");
    QVERIFY(form.Button1->isEnabled());
    QTest::keyClick(form.Edit2, Qt::Key_Backspace);
    QVERIFY(!form.Button1->isEnabled());
    QCOMPARE(form.workingRecord().date, day(1990, 12, 24));
  }

  void yearlessSwitchCutsAndExtendsTheDate() {
    TForm2 form(messages, help);
    form.CheckBox2->setChecked(true);
    form.Edit2->setText(QStringLiteral("24.12.1990"));

    form.CheckBox5->setChecked(true);
    QCOMPARE(form.Edit2->text(), QStringLiteral("24.12"));
    QCOMPARE(form.Label1->text(), QStringLiteral("(gefordertes Format: TT.MM)"));
    QCOMPARE(form.workingRecord().date, day(2000, 12, 24));
    QCOMPARE(form.workingRecord().withoutYear, 1);
    // "Jubiläum berechnen" is disabled but keeps its mark and its field.
    QVERIFY(!form.CheckBox2->isEnabled());
    QVERIFY(form.CheckBox2->isChecked());
    QCOMPARE(form.workingRecord().computeJubilee, 1);

    form.CheckBox5->setChecked(false);
    QCOMPARE(form.Edit2->text(), QStringLiteral("24.12.2000"));
    QCOMPARE(form.Label1->text(), QStringLiteral("(gefordertes Format: TT.MM.JJJJ)"));
    QCOMPARE(form.workingRecord().withoutYear, 0);
    QVERIFY(form.CheckBox2->isEnabled());

    form.Edit2->setText(QStringLiteral("24.12.19"));
    form.CheckBox5->setChecked(true);
    QCOMPARE(form.Edit2->text(), QStringLiteral("01.01"));
    form.Edit2->setText(QStringLiteral("1.1"));
    form.CheckBox5->setChecked(false);
    QCOMPARE(form.Edit2->text(), QStringLiteral("01.01.2000"));
    QVERIFY(form.Button1->isEnabled());
  }

  void yearlessSwitchRechecksAnUnchangedText() {
    // "01.01" is invalid with a year; switching to year-less leaves the text as it is and
    // must still make it valid.
    TForm2 form(messages, help);
    form.Edit2->setText(QStringLiteral("01.01"));
    QVERIFY(!form.Button1->isEnabled());
    form.CheckBox5->setChecked(true);
    QCOMPARE(form.Edit2->text(), QStringLiteral("01.01"));
    QVERIFY(form.Button1->isEnabled());
    QCOMPARE(form.workingRecord().date, day(2000, 1, 1));
  }

  void protectionLocksTheGroup() {
    TForm2 form(messages, help);
    form.CheckBox1->setChecked(true);
    QCOMPARE(form.workingRecord().isProtected, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{
             form.GroupBox1, form.Edit1, form.Edit2, form.CheckBox2, form.CheckBox3, form.CheckBox4,
             form.CheckBox5, form.kindBox, form.leadDaysBox}) {
      QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{form.CheckBox1, form.Button1, form.Button2,
                                                      form.BitBtn2}) {
      QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }
    form.CheckBox1->setChecked(false);
    QCOMPARE(form.workingRecord().isProtected, 0);
    QVERIFY(form.Edit2->isEnabled());
    QVERIFY(form.CheckBox5->isEnabled());
  }

  void switchesWriteTheirFields() {
    TForm2 form(messages, help);
    form.CheckBox3->setChecked(true);
    form.CheckBox4->setChecked(true);
    QCOMPARE(form.workingRecord().autoDelete, 1);
    QCOMPARE(form.workingRecord().highPriority, 1);
    form.CheckBox3->setChecked(false);
    QCOMPARE(form.workingRecord().autoDelete, 0);
  }

  void textRuleOnLeavingTheField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");
    const QString long250 = QString(200, u'a') + QString(50, u'b');
    QTest::newRow("empty") << QString() << "Ereignistext darf nicht leer sein!" << QString();
    QTest::newRow("250 characters")
        << long250 << "Ereignistext zu lang (max. 200 Zeichen) !" << QString(200, u'a');
    QTest::newRow("200 characters") << QString(200, u'c') << QString() << QString(200, u'c');
    QTest::newRow("ordinary") << "Geburtstag Jörg" << QString() << "Geburtstag Jörg";
  }

  void textRuleOnLeavingTheField() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    TForm2 form(messages, help);
    showActive(form);
    form.Edit1->setFocus();
    form.Edit1->setText(text);

    QTest::keyClick(form.Edit1, Qt::Key_Tab);

    QCOMPARE(messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(form.focusWidget(), message.isEmpty() ? form.Edit2 : form.Edit1);
    QCOMPARE(tavik::fromCp1252(form.workingRecord().text()), stored);
  }

  void losingFocusToAnotherWindowIsNoLeave() {
    TForm2 form(messages, help);
    showActive(form);
    form.Edit1->setFocus();
    form.Edit1->clear();
    QLineEdit other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    other.setFocus();
    QCOMPARE(QApplication::focusWidget(), &other);
    QVERIFY(messages.boxes.empty());
  }

  // Every character a keyboard types is taken; Windows-1252 keeps the Latin form beside it.
  void textsInAnyScriptAreStoredWhole() {
    TForm2 form(messages, help);
    showActive(form);
    form.Edit1->setFocus();
    form.Edit1->clear();
    QTimer::singleShot(0, &form, [&] {
      typeText(form.Edit1, QStringLiteral("Ayşe Yılmaz"));
      QTest::keyClick(form.Edit1, Qt::Key_Return);
    });
    QCOMPARE(form.exec(), TForm2::kResultOk);
    QCOMPARE(form.Edit1->text(), QStringLiteral("Ayşe Yılmaz"));
    QCOMPARE(tavik::eventText(form.workingRecord()), std::string("Ayşe Yılmaz"));
    QCOMPARE(form.workingRecord().text(), std::string("Ayse Yilmaz"));
    QVERIFY(!form.TextNote->isVisible());
    QVERIFY(messages.boxes.empty());
  }

  void decomposedTextIsComposed() {
    TForm2 form(messages, help);
    form.Edit1->clear();
    form.Edit1->insert(QStringLiteral("Zoe\u0308 und Ё"));  // as a paste arrives
    QCOMPARE(form.Edit1->text(), QStringLiteral("Zoë und Ё"));
    QCOMPARE(form.Edit1->cursorPosition(), 9);
    form.Edit1->setText(QStringLiteral("Jo\u0308rg"));
    QCOMPARE(form.Edit1->text(), QStringLiteral("Jörg"));
  }

  // The field stops at what the record holds, as at a maximum length: 200 characters that
  // Windows-1252 holds, else 179 bytes of UTF-8.
  void fieldTakesNoMoreThanFits() {
    TForm2 form(messages, help);
    showActive(form);
    form.Edit1->setFocus();
    form.Edit1->clear();
    QTest::keyClicks(form.Edit1, QString(210, u'a'));
    QCOMPARE(form.Edit1->text(), QString(200, u'a'));

    form.Edit1->setText(QString(190, u'a'));
    form.Edit1->end(false);
    typeText(form.Edit1, QStringLiteral("Дb"));
    QCOMPARE(form.Edit1->text(), QString(190, u'a') + u'b');

    form.Edit1->clear();
    typeText(form.Edit1, QString(100, QChar(u'Ж')));
    QCOMPARE(form.Edit1->text(), QString(89, QChar(u'Ж')));  // 178 bytes; one more is 180
    form.Edit1->selectAll();
    form.Edit1->insert(QString(95, QChar(u'Ж')));  // a paste that does not fit is refused whole
    QCOMPARE(form.Edit1->text(), QString(89, QChar(u'Ж')));
    QVERIFY(messages.boxes.empty());
  }

  // Another program owns the record's reserved bytes: a text only the extension could hold is
  // explained before and at OK, and the dialog keeps it open for a change.
  void foreignRecordKeepsOnlyWesternText() {
    TForm2 form(messages, help);
    showActive(form);
    EventRecord foreign;
    foreign.setText("Ayse");
    foreign.date = day(1990, 3, 4);
    foreign.reserved[0] = 0x5A;
    form.Edit1->setText(QStringLiteral("Ayse"));
    form.setWorkingRecord(foreign);
    QVERIFY(!form.TextNote->isVisible());
    const QSize withoutNote = form.size();
    form.Edit1->setFocus();
    form.Edit1->clear();
    typeText(form.Edit1, QStringLiteral("Ayşe"));
    QVERIFY(form.TextNote->isVisible());
    QCOMPARE(form.TextNote->text(), tavik::kForeignRecordText);

    bool stillOpen = false;
    QTimer::singleShot(0, &form, [&] {
      form.Button1->click();
      stillOpen = form.isVisible();
      form.Edit1->setText(QStringLiteral("Ayşe Müller").replace(u'ş', u's'));
      form.Button1->click();
    });
    QCOMPARE(form.exec(), TForm2::kResultOk);
    QVERIFY(stillOpen);
    QCOMPARE(messages.texts(), QStringList{tavik::kForeignRecordText});
    QCOMPARE(form.workingRecord().text(), std::string("Ayse M\xFCller"));
    QCOMPARE(form.workingRecord().reserved, foreign.reserved);
    QVERIFY(!form.TextNote->isVisible());
    // The note's band goes with it.
    QCOMPARE(form.size(), withoutNote);
  }

  void okTakesWhatWasTypedLast() {
    TForm2 form(messages, help);
    showActive(form);
    form.Edit1->setFocus();
    form.Edit1->clear();
    QTimer::singleShot(0, &form, [&] {
      QTest::keyClicks(form.Edit1, "Hochzeitstag");
      QTest::keyClick(form.Edit1, Qt::Key_Enter);
    });
    QCOMPARE(form.exec(), TForm2::kResultOk);
    QCOMPARE(form.workingRecord().text(), std::string("Hochzeitstag"));
    QVERIFY(messages.boxes.empty());
  }

  void okWithAnEmptyTextComplainsAndStaysOpen() {
    TForm2 form(messages, help);
    showActive(form);
    form.Edit1->setFocus();
    form.Edit1->clear();
    bool stillOpen = false;
    QTimer::singleShot(0, &form, [&] {
      QTest::keyClick(form.Edit1, Qt::Key_Return);
      stillOpen = form.isVisible();
      form.Button2->click();
    });
    QCOMPARE(form.exec(), TForm2::kResultCancel);
    QVERIFY(stillOpen);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Ereignistext darf nicht leer sein!")});
  }

  void resultsOfTheWaysOut() {
    TForm2 form(messages, help);
    // Every other text of the program is German.
    QCOMPARE(form.Button2->text(), QStringLiteral("Abbrechen"));
    QTimer::singleShot(0, &form, [&] { form.Button1->click(); });
    QCOMPARE(form.exec(), TForm2::kResultOk);
    QTimer::singleShot(0, &form, [&] { form.Button2->click(); });
    QCOMPARE(form.exec(), TForm2::kResultCancel);
    QTimer::singleShot(0, &form, [&] { form.close(); });
    QCOMPARE(form.exec(), TForm2::kResultCancel);

    bool openAfterEscape = false;
    QTimer::singleShot(0, &form, [&] {
      QTest::keyClick(&form, Qt::Key_Escape);
      openAfterEscape = form.isVisible();
      form.Button1->click();
    });
    QCOMPARE(form.exec(), TForm2::kResultOk);
    QVERIFY(openAfterEscape);
  }

  void okIsUnreachableWithAnInvalidDate() {
    TForm2 form(messages, help);
    form.Edit2->setText(QStringLiteral("31.02.2000"));
    bool openAfterEnter = false;
    QTimer::singleShot(0, &form, [&] {
      QTest::keyClick(form.Edit2, Qt::Key_Return);
      openAfterEnter = form.isVisible();
      form.Button2->click();
    });
    QCOMPARE(form.exec(), TForm2::kResultCancel);
    QVERIFY(openAfterEnter);
  }

  void helpButtonAndActivation() {
    TForm2 form(messages, help);
    help.visible = true;
    showActive(form);
    QVERIFY(help.hides >= 1);
    QVERIFY(!help.visible);
    form.BitBtn2->click();
    QCOMPARE(help.shown, QStringList{QStringLiteral("Editor")});
  }

  // Real Tab presses: a spin box's own line edit counts as the box.
  void keyboardOrder() {
    TForm2 form(messages, help);
    form.Edit1->setText(QStringLiteral("Anna"));
    showActive(form);
    form.Edit1->setFocus();
    const auto named = [](QWidget* w) {
      while (w && w->objectName().startsWith(QStringLiteral("qt_"))) w = w->parentWidget();
      return w ? w->objectName() : QString();
    };
    QStringList order{named(QApplication::focusWidget())};
    for (int i = 0; i < 20; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      const QString now = named(QApplication::focusWidget());
      if (now == order.first()) break;
      order << now;
    }
    QCOMPARE(order,
             (QStringList{"Edit1", "Edit2", "CheckBox2", "CheckBox4", "CheckBox3", "CheckBox5",
                          "kindBox", "leadDaysBox", "CheckBox1", "Button2", "Button1", "BitBtn2"}));
    QVERIFY(messages.boxes.empty());
  }

  void fieldsAreNamedByTheirLabels() {
    TForm2 form(messages, help);
    QCOMPARE(form.Edit1->accessibleName(), QStringLiteral("Ereignistext"));
    QCOMPARE(form.Edit2->accessibleName(), QStringLiteral("Datum"));
    QCOMPARE(form.kindBox->accessibleName(), QStringLiteral("Art"));
    QCOMPARE(form.leadDaysBox->accessibleName(), QStringLiteral("Vorher erinnern (Tage)"));
    QCOMPARE(form.kindLabel->buddy(), form.kindBox);
    QCOMPARE(form.leadDaysLabel->buddy(), form.leadDaysBox);
  }

  // The kinds in their order (index = the stored kind), the lead time 0..99 in days.
  void kindAndLeadTimeControls() {
    TForm2 form(messages, help);
    QStringList kinds;
    for (int i = 0; i < form.kindBox->count(); ++i) kinds << form.kindBox->itemText(i);
    QCOMPARE(kinds, (QStringList{"—", "Geburtstag", "Hochzeitstag", "Todestag", "Namenstag",
                                 "Jahrestag", "Termin"}));
    QCOMPARE(form.kindLabel->text(), QStringLiteral("&Art"));
    QCOMPARE(form.leadDaysLabel->text(), QStringLiteral("&Vorher erinnern:"));
    QCOMPARE(form.leadDaysUnit->text(), QStringLiteral("Tage"));
    QCOMPARE(form.leadDaysBox->minimum(), 0);
    QCOMPARE(form.leadDaysBox->maximum(), 99);
    form.leadDaysBox->setValue(1);
    QCOMPARE(form.leadDaysUnit->text(), QStringLiteral("Tag"));
    form.leadDaysBox->setValue(2);
    QCOMPARE(form.leadDaysUnit->text(), QStringLiteral("Tage"));
  }

  // Every mnemonic of the dialog reaches one control only.
  void mnemonicsDoNotClash() {
    TForm2 form(messages, help);
    QStringList keys;
    const QRegularExpression mnemonic(QStringLiteral("&([^&])"));
    for (QWidget* w : form.findChildren<QWidget*>()) {
      QString text;
      if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
      if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
      if (auto* group = qobject_cast<QGroupBox*>(w)) text = group->title();
      const auto match = mnemonic.match(text);
      if (match.hasMatch()) keys << match.captured(1).toLower();
    }
    QCOMPARE(keys.size(), 2);  // "Art" and "Vorher erinnern:"
    keys.removeDuplicates();
    QCOMPARE(keys.size(), 2);
  }

  void kindAndLeadTimeAreStoredAtOk_data() {
    QTest::addColumn<int>("storedKind");  // -1: no block
    QTest::addColumn<int>("storedLead");
    QTest::addColumn<int>("shownKind");
    QTest::addColumn<int>("chosenKind");
    QTest::addColumn<int>("chosenLead");
    QTest::newRow("a plain record gets its block") << -1 << 0 << 0 << 2 << 7;
    QTest::newRow("lead time only") << -1 << 0 << 0 << 0 << 99;
    QTest::newRow("a block's values change") << 1 << 3 << 1 << 6 << 0;
    QTest::newRow("back to none") << 4 << 14 << 4 << 0 << 0;
    QTest::newRow("an unknown kind shows as none") << 9 << 5 << 0 << 5 << 5;
  }

  void kindAndLeadTimeAreStoredAtOk() {
    QFETCH(int, storedKind);
    QFETCH(int, storedLead);
    QFETCH(int, shownKind);
    QFETCH(int, chosenKind);
    QFETCH(int, chosenLead);
    EventRecord before;
    before.setText("Anna");
    before.date = day(1980, 5, 17);
    if (storedKind >= 0) {
      QVERIFY(tavik::giveExtension(before));
      tavik::setKind(before, static_cast<std::uint8_t>(storedKind));
      tavik::setLeadDays(before, static_cast<std::uint8_t>(storedLead));
    }
    TForm2 form(messages, help);
    form.Edit1->setText(QStringLiteral("Anna"));
    form.setWorkingRecord(before);
    QCOMPARE(form.kindBox->currentIndex(), shownKind);
    QCOMPARE(form.leadDaysBox->value(), storedLead);
    QVERIFY(form.kindBox->isEnabled());
    QVERIFY(form.kindNote->isHidden());

    form.kindBox->setCurrentIndex(chosenKind);
    form.leadDaysBox->setValue(chosenLead);
    // Nothing is written before OK.
    QVERIFY(form.workingRecord() == before);
    QTimer::singleShot(0, &form, [&] { form.Button1->click(); });
    QCOMPARE(form.exec(), TForm2::kResultOk);

    const auto block = tavik::readExtension(form.workingRecord());
    QVERIFY(block.has_value());
    QCOMPARE(int(block->kind), chosenKind);
    QCOMPARE(int(block->leadDays), chosenLead);
    if (storedKind >= 0) QVERIFY(block->uid == tavik::readExtension(before)->uid);
    // The text stays the user's: the kind adds nothing to it.
    QCOMPARE(tavik::eventText(form.workingRecord()), std::string("Anna"));
    QCOMPARE(form.workingRecord().text(), std::string("Anna"));
  }

  // OK on values as they were leaves the record byte for byte, with or without a block.
  void unchangedKindAndLeadTimeLeaveTheRecord() {
    EventRecord plain;
    plain.setText("Anna");
    plain.date = day(1980, 5, 17);
    EventRecord withBlock = plain;
    QVERIFY(tavik::giveExtension(withBlock));
    tavik::setKind(withBlock, 3);
    tavik::setLeadDays(withBlock, 2);
    EventRecord unknownKind = plain;
    QVERIFY(tavik::giveExtension(unknownKind));
    tavik::setKind(unknownKind, 200);
    TForm2 form(messages, help);
    form.Edit1->setText(QStringLiteral("Anna"));
    for (const EventRecord& r : {plain, withBlock, unknownKind}) {
      form.setWorkingRecord(r);
      // A value changed and changed back is no change.
      form.leadDaysBox->setValue(40);
      form.leadDaysBox->setValue(tavik::readExtension(r) ? tavik::readExtension(r)->leadDays : 0);
      QTimer::singleShot(0, &form, [&] { form.Button1->click(); });
      QCOMPARE(form.exec(), TForm2::kResultOk);
      QVERIFY(form.workingRecord() == r);
    }
  }

  // Another program's record cannot hold kind or lead time: both are disabled, a note says
  // why, and its bytes stay; the reused dialog enables them again for the next record.
  void foreignRecordCannotHoldKindOrLeadTime() {
    TForm2 form(messages, help);
    showActive(form);
    const QSize plainSize = form.size();
    EventRecord foreign;
    foreign.setText("Anna");
    foreign.date = day(1990, 3, 4);
    foreign.reserved[0] = 0x5A;
    foreign.reserved[20] = 2;
    foreign.reserved[21] = 7;
    form.Edit1->setText(QStringLiteral("Anna"));
    form.setWorkingRecord(foreign);
    QCOMPARE(form.kindBox->currentIndex(), 0);
    QCOMPARE(form.leadDaysBox->value(), 0);
    for (QWidget* w : std::initializer_list<QWidget*>{form.kindLabel, form.kindBox,
                                                      form.leadDaysLabel, form.leadDaysBox}) {
      QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    }
    QVERIFY(form.kindNote->isVisible());
    QCOMPARE(form.kindNote->text(), tavik::kForeignRecordKindText);
    QVERIFY(form.height() > plainSize.height());
    QTimer::singleShot(0, &form, [&] { form.Button1->click(); });
    QCOMPARE(form.exec(), TForm2::kResultOk);
    QVERIFY(form.workingRecord() == foreign);
    QVERIFY(messages.boxes.empty());

    EventRecord plain;
    plain.setText("Anna");
    plain.date = day(1990, 3, 4);
    form.setWorkingRecord(plain);
    QVERIFY(form.kindBox->isEnabled());
    QVERIFY(form.leadDaysBox->isEnabled());
    QVERIFY(form.kindNote->isHidden());
    QCOMPARE(form.size(), plainSize);
  }
};

QTEST_MAIN(EditTest)
#include "edit_test.moc"
