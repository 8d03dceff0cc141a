// Event texts are Windows-1252 bytes; the windows show and take QStrings.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace tavik {

QString fromCp1252(std::string_view bytes);
// nullopt when the text holds a character Windows-1252 cannot hold.
std::optional<std::string> toCp1252(const QString& text);

}  // namespace tavik
