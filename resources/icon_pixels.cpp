// Build tool: writes a picture's pixels as the program's icon uses them, premultiplied 32-bit
// ARGB in native byte order, row after row without padding, so that the window icon needs no
// decoding at start.
//   icon_pixels IN.png OUT
#include <QFile>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s IN.png OUT\n", argv[0]);
    return 2;
  }
  const QImage image =
      QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  QFile out(QString::fromLocal8Bit(argv[2]));
  if (!out.open(QIODevice::WriteOnly)) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const char*>(image.constScanLine(y));
    if (out.write(row, image.width() * 4) != image.width() * 4) return 1;
  }
  return out.flush() ? 0 : 1;
}
