// QString <-> Windows-1252 through the core codec.
#include "platform/qt_text.h"

#include "store/cp1252.h"

namespace tavik {

QString fromCp1252(std::string_view bytes) {
  const std::string utf8 = cp1252ToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> toCp1252(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return utf8ToCp1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace tavik
