// The today box: its lines in columns.
#include "dialogs/todaybox.h"

#include <QFontInfo>
#include <QImage>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>

namespace tavik::test {

namespace {

TodayBoxLine line(const char* day, int blanks, const char* date, const char* text) {
  const QString d = QString::fromUtf8(day);
  const QString rest = QString::fromUtf8(date) + QStringLiteral("   ") + QString::fromUtf8(text);
  return {d + QString(blanks, u' ') + rest, d, QString::fromUtf8(date), QString::fromUtf8(text)};
}

// The picture of row `row` of the list from x `from` to the viewport's right edge.
QImage rowPicture(QListWidget* list, int row, int from) {
  const QRect r = list->visualItemRect(list->item(row));
  return list->viewport()
      ->grab(QRect(from, r.top(), list->viewport()->width() - from, r.height()))
      .toImage();
}

}  // namespace

class TodayBoxTest : public QObject {
  Q_OBJECT

 private slots:
  // The blanks that pad a day text line up columns only in a font whose characters are all
  // equally wide; the box lines them up itself, as the countdown grid does.
  void datesAndTextsStandInColumns() {
    TForm4 box;
    if (QFontInfo(box.ListBox1->font()).fixedPitch()) QSKIP("needs a proportional font");
    const QList<TodayBoxLine> lines = {line("Vor 12 Tagen", 2, "03.12.1975", "Zwei"),
                                       line("Heute", 15, "03.12.1975", "Zwei"),
                                       line("Gestern", 13, "03.12.1975", "Zwei")};
    box.setLines(lines);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.ListBox1->setCurrentItem(nullptr);

    QStringList whole;
    for (const TodayBoxLine& l : lines) whole << l.line;
    QCOMPARE(box.lines(), whole);

    // Past the widest day text, the rows with the same date and text look the same.
    const int from = box.ListBox1->fontMetrics().horizontalAdvance(QStringLiteral("Vor 12 Tagen")) +
                     box.ListBox1->fontMetrics().horizontalAdvance(u' ');
    const QImage first = rowPicture(box.ListBox1, 0, from);
    QVERIFY(!first.isNull());
    QCOMPARE(rowPicture(box.ListBox1, 1, from), first);
    QCOMPARE(rowPicture(box.ListBox1, 2, from), first);
  }

  void aLongTextScrollsIntoView() {
    TForm4 box;
    box.setLines({line("Heute", 15, "03.12.1975", QByteArray(300, 'W').constData())});
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.ListBox1->horizontalScrollBar()->maximum() > 0);
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::TodayBoxTest)
#include "todaybox_test.moc"
