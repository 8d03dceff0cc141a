// Windows-1252 <-> UTF-8: event texts stay Windows-1252 bytes; the edges convert with these.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavik {

// Appends the UTF-8 form of a code point below U+10000.
void appendUtf8(std::string& out, char32_t codePoint);

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 controls of the same number, so nothing is ever lost.
std::string cp1252ToUtf8(std::string_view bytes);

// The code point of one byte, by the same mapping; always in the Basic Multilingual Plane.
char32_t cp1252CodePoint(unsigned char byte);

// Whether a character is a control: C0 (line breaks, TAB, NUL, ESC, ...), DEL or C1. The five
// undefined Windows-1252 bytes are controls, as they map to C1.
bool isControlCharacter(char32_t c);

// The text with every control byte replaced by `replacement`. Event texts can hold any byte
// (a foreign data file, an import); in a file or a listing a line break or an escape would
// forge a line or a command, and a NUL cut the text short.
std::string withoutControls(std::string_view bytes, char replacement);

// cp1252ToUtf8 for showing: every control byte becomes U+FFFD.
std::string cp1252ToPrintableUtf8(std::string_view bytes);

// nullopt when the text holds a character Windows-1252 cannot hold, or is not valid UTF-8.
std::optional<std::string> utf8ToCp1252(std::string_view utf8);

}  // namespace tavik
