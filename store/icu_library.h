// ICU's C functions for texts beyond Windows-1252, loaded on first use, and the checks that
// tell when a text needs them. Linked, ICU cost every start its loading; most tables never
// need it.
#pragma once

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/utrans.h>

#include <optional>
#include <string>
#include <string_view>

namespace tavik {

// The functions the texts use, resolved by their versioned names from the libraries the build
// found. Only the headers are used at compile time; decltype names no symbol.
struct IcuLibrary {
  decltype(&unorm2_getNFCInstance) getNfcInstance;
  decltype(&unorm2_normalize) normalize;
  decltype(&unorm2_isNormalized) isNormalized;
  decltype(&utrans_openU) openTransliterator;
  decltype(&utrans_close) closeTransliterator;
  decltype(&utrans_transUChars) transliterate;
  decltype(&ucol_open) openCollator;
  decltype(&ucol_close) closeCollator;
  decltype(&ucol_setStrength) setStrength;
  decltype(&ucol_getSortKey) getSortKey;
  decltype(&ubrk_open) openBreakIterator;
  decltype(&ubrk_close) closeBreakIterator;
  decltype(&ubrk_first) firstBreak;
  decltype(&ubrk_next) nextBreak;
  decltype(&u_charType) charType;
};

// ICU, loaded by the first call from any thread. nullptr when a library or a function cannot
// be loaded, on that call and every later one; the texts that need it then fall back (see
// event_text.h).
const IcuLibrary* icuLibrary();

// Why icuLibrary() gave nullptr; empty when it loaded or was not called yet.
std::string icuLoadError();

// Whether icuLibrary() has been called in this process.
bool icuLoadTried();

// For tests: the file names to load instead of the built ones. Only before the first
// icuLibrary().
void setIcuLibraryNamesForTest(std::string uc, std::string i18n);

// Whether the bytes are well-formed UTF-8: no surrogates, overlong forms or code points past
// U+10FFFF.
bool isWellFormedUtf8(std::string_view bytes);

// Whether Windows-1252 holds the character.
bool heldByCp1252(UChar32 c);

// Whether every character of well-formed UTF-8 is below U+0300 or one Windows-1252 holds.
// Such a text is in NFC whatever the order of its characters, and each character is a
// user-perceived character of its own but for CR LF; ICU is needed for none of that.
bool isSimpleText(std::string_view utf8);

// Well-formed UTF-8 in NFC: true or false; nullopt when that needs ICU and ICU cannot be
// loaded.
std::optional<bool> isNfcUtf8(std::string_view bytes);

// UTF-8 <-> UTF-16 for ICU's functions; an ill-formed sequence becomes U+FFFD as in ICU.
std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

}  // namespace tavik
