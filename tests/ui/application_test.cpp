// The window program's application-wide setup: name, quit rule and window icon.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QTest>

#include "app/program.h"

namespace tavik::test {

class ApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void setUpGivesNameQuitRuleAndIcon() {
    setUpApplication(*qApp);
    QCOMPARE(QApplication::applicationName(), QStringLiteral("Tavik! 4.5"));
    QVERIFY(!QApplication::quitOnLastWindowClosed());

    // Every picture of the icon, as the window system would ask for them (device pixels).
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(!icon.isNull());
    const QList<int> sides{16, 32, 48, 64, 128, 256};
    QList<QSize> expectedSizes;
    for (const int side : sides) expectedSizes << QSize(side, side);
    QCOMPARE(icon.availableSizes(), expectedSizes);
    for (const int side : sides) {
      const QImage expected = QImage(QStringLiteral(":/tavik/icons/tavik-%1.png").arg(side))
                                  .convertToFormat(QImage::Format_ARGB32_Premultiplied);
      QVERIFY(!expected.isNull());
      QCOMPARE(icon.pixmap(QSize(side, side), 1.0)
                   .toImage()
                   .convertToFormat(QImage::Format_ARGB32_Premultiplied),
               expected);
    }
    // Between the stored sizes and beyond them, as QIcon answers for pictures of its own.
    QCOMPARE(icon.actualSize(QSize(40, 40)), QSize(40, 40));
    QCOMPARE(icon.actualSize(QSize(512, 512)), QSize(256, 256));
    QCOMPARE(icon.pixmap(QSize(40, 40), 1.0).size(), QSize(40, 40));
    QVERIFY(!icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled).isNull());
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::ApplicationTest)
#include "application_test.moc"
