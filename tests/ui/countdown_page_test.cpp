// The countdown grid: what a rebuild puts into it, and that its cells look as the standard
// delegate would draw them.
#include "app/pages/countdown_page.h"

#include <QApplication>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QtTest>

#include "tests/ui/window_world.h"

namespace tavik::test {

namespace {

// Texts in several scripts, as the rebuild gives them in UTF-8.
const std::string kHandOver = "Übergabe – Müller an Дмитрий Şahin ";

std::vector<GridRow> someRows(int count) {
  std::vector<GridRow> rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back({i == 0 ? "Heute               " : "Noch " + std::to_string(i) + " Tage",
                    "2" + std::to_string(i % 10) + ".12.2026", kHandOver + std::to_string(i)});
  }
  return rows;
}

QImage gridPicture(CountdownPage& page) {
  QApplication::processEvents();
  return page.StringGrid1->viewport()->grab().toImage();
}

}  // namespace

class CountdownPageTest : public QObject {
  Q_OBJECT

 private slots:
  // Each rebuild replaces the whole content; the grid ends in one empty row.
  void rebuildReplacesEverything() {
    CountdownPage page;
    page.showView({"a", "b"}, someRows(3));
    page.showView({"Heute               05.05.1970   Ayşe Yılmaz"}, someRows(1));
    QCOMPARE(page.ListBox1->model()->rowCount(), 1);
    QCOMPARE(cellText(page.ListBox1, 0, 0),
             QStringLiteral("Heute               05.05.1970   Ayşe Yılmaz"));
    QCOMPARE(page.StringGrid1->model()->rowCount(), 2);
    QCOMPARE(cellText(page.StringGrid1, 0, 2),
             QStringLiteral("Übergabe – Müller an Дмитрий Şahin 0"));
    for (int column = 0; column < 3; ++column) {
      QVERIFY(cellText(page.StringGrid1, 1, column).isEmpty());
    }
    page.showView({kEmptyWindowLine}, {});
    QCOMPARE(page.StringGrid1->model()->rowCount(), 1);
  }

  // The cells are drawn pixel for pixel as the standard delegate draws them, in the text colour
  // of the grid's state.
  void cellsLookAsTheStandardDelegateDrawsThem_data() {
    QTest::addColumn<bool>("enabled");
    QTest::newRow("enabled") << true;
    QTest::newRow("disabled") << false;
  }
  void cellsLookAsTheStandardDelegateDrawsThem() {
    QFETCH(bool, enabled);
    CountdownPage page;
    QPalette palette = page.palette();
    palette.setColor(QPalette::Active, QPalette::Text, QColor(0, 0, 160));
    palette.setColor(QPalette::Inactive, QPalette::Text, QColor(0, 120, 0));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 150, 150));
    page.setPalette(palette);
    page.StringGrid1->setEnabled(enabled);
    // As wide as the window makes them for bold dates.
    page.setColumnWidths(90, 85, 215);
    page.resize(420, 240);
    std::vector<GridRow> rows = someRows(20);
    rows[2].round = true;
    rows[5].round = true;
    page.showView({"x"}, rows);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    const QImage ours = gridPicture(page);

    QAbstractItemDelegate* plain = page.StringGrid1->itemDelegate();
    QStyledItemDelegate standard;
    page.StringGrid1->setItemDelegate(&standard);
    const QImage theirs = gridPicture(page);
    page.StringGrid1->setItemDelegate(plain);

    QVERIFY(!theirs.isNull());
    QCOMPARE(ours, theirs);
  }

  // A round anniversary's row is bold in all three cells, and it shows.
  void roundRowsAreBold() {
    CountdownPage page;
    page.setColumnWidths(90, 75, 215);
    page.resize(420, 240);
    std::vector<GridRow> rows = someRows(3);
    page.showView({"x"}, rows);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    const QImage plain = gridPicture(page);

    rows[1].round = true;
    page.showView({"x"}, rows);
    const QAbstractItemModel* model = page.StringGrid1->model();
    for (int column = 0; column < 3; ++column) {
      QVERIFY(qvariant_cast<QFont>(model->index(1, column).data(Qt::FontRole)).bold());
      QVERIFY(!model->index(0, column).data(Qt::FontRole).isValid());
      QVERIFY(!model->index(3, column).data(Qt::FontRole).isValid());
    }
    QVERIFY(gridPicture(page) != plain);
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::CountdownPageTest)
#include "countdown_page_test.moc"
