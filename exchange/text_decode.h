// Byte-level text helpers the address book, calendar and text readers share.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavik {

// `bytes` without a leading UTF-8 byte order mark.
std::string_view withoutUtf8Bom(std::string_view bytes);
bool startsWithUtf8Bom(std::string_view bytes);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view bytes);
// True when some byte lies outside ASCII.
bool hasNonAscii(std::string_view bytes);

// True when, after an optional byte order mark and blank lines, the text begins with the line
// `marker` (ASCII, compared without regard to case), e.g. "BEGIN:VCARD".
bool beginsWithMarkerLine(std::string_view bytes, std::string_view marker);

// ASCII case-insensitive comparisons.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view s, std::string_view prefix);
bool containsIgnoreCase(std::string_view s, std::string_view part);

// `s` without leading and trailing blanks, TABs, CRs and LFs.
std::string_view trimmed(std::string_view s);

// A one-line event text from UTF-8: control characters other than TAB become blanks (TABs
// are kept, as the text import keeps them) and the ends are trimmed. Still UTF-8.
std::string oneLineText(std::string_view utf8);

// oneLineText in Windows-1252; nullopt when a character cannot be held in Windows-1252.
std::optional<std::string> storableText(std::string_view utf8);

}  // namespace tavik
