// Event texts are Windows-1252 bytes; the windows show and take QStrings.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace tavik {

QString fromCp1252(std::string_view bytes);
// `text` with every control character (isControlCharacter) replaced by U+FFFD, for outputs
// where a line break or a NUL would forge or cut a line.
QString printableText(QString text);
// nullopt when the text holds a character Windows-1252 cannot hold.
std::optional<std::string> toCp1252(const QString& text);

}  // namespace tavik
