// decodeJpeg: the built-in banner, checked against Qt's own reader, and data it must refuse.
#include "app/pages/jpeg_image.h"

#include <QBuffer>
#include <QImageReader>
#include <QtTest>

#include "app/pages/about_page.h"

using tavik::decodeJpeg;

namespace {

bool qtCanReadJpeg() {
  return QImageReader::supportedImageFormats().contains("jpeg");
}

QByteArray encodeWithQt(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 95);
  return bytes;
}

// The largest difference of one colour channel between two pictures of the same size.
int largestDifference(const QImage& a, const QImage& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  }
  return largest;
}

}  // namespace

class JpegImageTest : public QObject {
  Q_OBJECT

 private slots:
  void builtInBannerDecodesToItsPixels() {
    const std::optional<QImage> banner = decodeJpeg(tavik::AboutPage::builtInBanner());
    QVERIFY(banner.has_value());
    QCOMPARE(banner->size(), QSize(383, 95));
    if (!qtCanReadJpeg()) QSKIP("Qt's JPEG reader is not installed; the second route is missing");
    // Both use libjpeg-turbo, possibly with other rounding, so allow a few steps per channel.
    // Mixed-up channels or row strides differ by far more.
    const QImage byQt = QImage::fromData(tavik::AboutPage::builtInBanner(), "JPEG");
    QCOMPARE(byQt.size(), banner->size());
    QVERIFY2(largestDifference(*banner, byQt) <= 4,
             qPrintable(QString::number(largestDifference(*banner, byQt))));
  }

  void greyPictureComesOutAsGreyRgb() {
    if (!qtCanReadJpeg()) QSKIP("Qt's JPEG writer is not installed; no grey JPEG to read");
    QImage grey(9, 5, QImage::Format_Grayscale8);
    grey.fill(QColor(100, 100, 100));
    const std::optional<QImage> decoded = decodeJpeg(encodeWithQt(grey));
    QVERIFY(decoded.has_value());
    QCOMPARE(decoded->size(), QSize(9, 5));
    for (const QPoint at : {QPoint(0, 0), QPoint(8, 4), QPoint(4, 2)}) {
      const QRgb p = decoded->pixel(at);
      QVERIFY2(std::abs(qRed(p) - 100) <= 2 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p),
               qPrintable(QColor(p).name()));
    }
  }

  void refusesDamagedData_data() {
    QTest::addColumn<QByteArray>("data");
    const QByteArray banner = tavik::AboutPage::builtInBanner();
    QVERIFY(banner.size() > 2000);

    // The frame header (SOF0): FF C0, a two-byte length, then the sample precision.
    QByteArray twelveBit = banner;
    const qsizetype frame = twelveBit.indexOf("\xFF\xC0");
    QVERIFY(frame > 0);
    twelveBit[frame + 4] = 12;

    // A restart marker in the middle of the picture data, where none was announced.
    QByteArray strayMarker = banner;
    strayMarker[banner.size() / 2] = '\xFF';
    strayMarker[banner.size() / 2 + 1] = '\xD3';

    QTest::newRow("no data") << QByteArray();
    QTest::newRow("not a JPEG") << QByteArray("GIF89a\x01\x00\x01\x00");
    QTest::newRow("only the start marker") << banner.left(2);
    QTest::newRow("cut off in the header") << banner.left(100);
    QTest::newRow("cut off in the picture data") << banner.left(banner.size() / 2);
    QTest::newRow("12-bit samples") << twelveBit;
    QTest::newRow("stray marker in the picture data") << strayMarker;
  }

  void refusesDamagedData() {
    QFETCH(QByteArray, data);
    QVERIFY(!decodeJpeg(data).has_value());
  }
};

QTEST_MAIN(JpegImageTest)
#include "jpeg_image_test.moc"
