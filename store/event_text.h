// An event's text in any script: Windows-1252 where that holds it, else UTF-8 in the record
// extension with a Latin fallback in the Windows-1252 field.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/typs.h"

namespace tavik {

// The event's text in UTF-8: the extension's Unicode text when it holds a readable one, else
// the Windows-1252 text. Control characters are kept; outputs neutralise them.
std::string eventText(const EventRecord& record);

// Whether the event's text comes from the extension (Windows-1252 holds only its fallback).
bool hasUnicodeText(const EventRecord& record);

// The NFC form of well-formed UTF-8; nullopt for bytes that are not UTF-8, and for a text
// outside isSimpleText when ICU cannot be loaded.
std::optional<std::string> nfcText(std::string_view utf8);

// Whether an NFC text fits whole: Windows-1252 texts up to 200 characters, other texts up to
// the extension's 179 UTF-8 bytes.
bool textFits(std::string_view nfc);

// The longest start of an NFC text that fits, cut between user-perceived characters.
std::string fittingText(std::string_view nfc);

// The Windows-1252 form of a UTF-8 text: what Windows-1252 holds stays, every other
// character is transliterated to Latin ("Ayşe" -> "Ayse", "Дмитрий" -> "Dmitrij") and what has
// no transliteration becomes "?" (every such character when ICU cannot be loaded). At most
// 200 bytes.
std::string fallbackText(std::string_view utf8);

enum class TextStore {
  Stored,
  NeedsExtension,  // Windows-1252 cannot hold the text and another program owns the extension bytes
  NotUtf8,
  NoUnicodeLibrary,  // the text needs ICU to be normalised, and ICU cannot be loaded
};

// Stores a UTF-8 text: NFC, cut to what fits; Windows-1252 alone when it holds the text,
// else the Unicode text in the extension (given to the record when it has none) and the
// fallback in the Windows-1252 field. The record is unchanged unless Stored.
TextStore setEventText(EventRecord& record, std::string_view utf8);

// A key whose byte order is the list order: texts Windows-1252 holds by their list key as
// before; other texts by the list key of their fallback, after a Windows-1252 text with the
// same key, and among themselves case-insensitively by their Unicode form (by their bytes when
// ICU cannot be loaded). Texts Windows-1252 holds never need ICU.
std::string textSortKey(std::string_view utf8);

// textSortKey(utf8) for a text whose fallbackText is known already, as a record's Windows-1252
// field holds it beside its Unicode text: the same key without the costly transliteration.
std::string textSortKey(std::string_view utf8, std::string_view fallback);

// The start of textSortKey(utf8, fallback) for a text Windows-1252 cannot hold: what its
// fallback alone decides. Where neither of two such starts (or a whole key of a text
// Windows-1252 holds) begins the other, they are in the order of the whole keys.
std::string textSortKeyStart(std::string_view fallback);

// The text for showing: every control character (C0, DEL, C1) becomes U+FFFD; bytes that are
// not UTF-8 become U+FFFD too.
std::string printableText(std::string_view utf8);

}  // namespace tavik
