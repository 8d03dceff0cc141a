// QString <-> Windows-1252 through the core codec.
#include "platform/qt_text.h"

#include "store/cp1252.h"

namespace tavik {

QString fromCp1252(std::string_view bytes) {
  // Windows-1252 is Latin-1 but for 0x80..0x9F; Qt widens Latin-1 in bulk, the rest is patched.
  QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QChar* c = text.data();
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = c[i].unicode();
    if (unit >= 0x80 && unit < 0xA0) {
      c[i] = QChar(static_cast<char16_t>(cp1252CodePoint(static_cast<unsigned char>(unit))));
    }
  }
  return text;
}

QString printableText(QString text) {
  for (QChar& c : text) {
    if (isControlCharacter(c.unicode())) c = QChar(char16_t{0xFFFD});
  }
  return text;
}

std::optional<std::string> toCp1252(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return utf8ToCp1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace tavik
