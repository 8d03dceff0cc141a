// Event texts in any script; ICU, loaded when a text needs it, does the normalisation,
// transliteration and collation.
#include "store/event_text.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "store/cp1252.h"
#include "store/icu_library.h"
#include "store/record_extension.h"
#include "store/text_order.h"

namespace tavik {

namespace {

struct TransliteratorClose {
  void operator()(UTransliterator* t) const { icuLibrary()->closeTransliterator(t); }
};

struct CollatorClose {
  void operator()(UCollator* c) const { icuLibrary()->closeCollator(c); }
};

// One transliterator per thread: ICU's are not safe to share, and the import reads on its
// own thread.
UTransliterator* toLatin(const IcuLibrary& icu) {
  thread_local std::unique_ptr<UTransliterator, TransliteratorClose> latin = [&icu] {
    static constexpr char16_t kId[] = u"Any-Latin; Latin-ASCII";
    UParseError parse{};
    UErrorCode status = U_ZERO_ERROR;
    UTransliterator* t =
        icu.openTransliterator(kId, -1, UTRANS_FORWARD, nullptr, 0, &parse, &status);
    if (U_FAILURE(status) && t != nullptr) {
      icu.closeTransliterator(t);
      t = nullptr;
    }
    return std::unique_ptr<UTransliterator, TransliteratorClose>(t);
  }();
  return latin.get();
}

UCollator* germanCollator(const IcuLibrary& icu) {
  thread_local std::unique_ptr<UCollator, CollatorClose> collator = [&icu] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCollator, CollatorClose> c(icu.openCollator("de_DE", &status));
    if (U_FAILURE(status)) return std::unique_ptr<UCollator, CollatorClose>();
    icu.setStrength(c.get(), UCOL_SECONDARY);  // case-insensitive
    return c;
  }();
  return collator.get();
}

// The run transliterated to Latin; the run itself when that fails.
std::u16string transliterated(const IcuLibrary& icu, const std::u16string& run) {
  UTransliterator* latin = toLatin(icu);
  if (latin == nullptr) return run;
  auto capacity = static_cast<std::int32_t>(run.size()) * 4 + 16;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::u16string text = run;
    text.resize(static_cast<std::size_t>(capacity));
    auto length = static_cast<std::int32_t>(run.size());
    std::int32_t limit = length;
    UErrorCode status = U_ZERO_ERROR;
    icu.transliterate(latin, text.data(), &length, capacity, 0, &limit, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR || length > capacity) {
      capacity = length + 1;  // cut short: once more with room for the whole result
      continue;
    }
    if (U_FAILURE(status)) break;
    text.resize(static_cast<std::size_t>(length));
    return text;
  }
  return run;
}

// Appends the Windows-1252 bytes of a run that Windows-1252 cannot hold: its Latin
// transliteration where it holds that, "?" for other letters and symbols; marks and format
// characters (joiners, variation selectors) left over are dropped. Without ICU every
// character becomes "?".
void appendTransliterated(std::string& out, const std::u16string& run) {
  const IcuLibrary* icu = icuLibrary();
  const std::u16string latin = icu != nullptr ? transliterated(*icu, run) : run;
  const auto length = static_cast<std::int32_t>(latin.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U16_NEXT(latin.data(), i, length, c);
    if (heldByCp1252(c)) {
      std::string one;
      appendUtf8(one, static_cast<char32_t>(c));
      out += utf8ToCp1252(one).value_or("?");
      continue;
    }
    if (icu != nullptr) {
      const std::int8_t type = icu->charType(c);
      if (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_FORMAT_CHAR) continue;
    }
    out += '?';
  }
}

// Counts the characters of a text Windows-1252 holds (one byte each there).
std::size_t codePoints(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The byte offsets in `utf8` at which its user-perceived characters end, the last at its end.
// A simple text needs no break rules; without ICU the code points stand in.
std::vector<std::size_t> characterEnds(std::string_view utf8) {
  std::vector<std::size_t> ends;
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  const IcuLibrary* icu = isSimpleText(utf8) ? nullptr : icuLibrary();
  if (icu == nullptr) {
    for (std::int32_t i = 0; i < length;) {
      const bool lineEnd = s[i] == '\r' && i + 1 < length && s[i + 1] == '\n';
      UChar32 c = 0;
      U8_NEXT(s, i, length, c);
      if (lineEnd) ++i;  // CR LF is one character
      ends.push_back(static_cast<std::size_t>(i));
    }
    return ends;
  }
  // ICU's boundaries are UTF-16 offsets: the byte offset of each UTF-16 unit maps them back.
  std::u16string text;
  std::vector<std::size_t> byteAt;
  for (std::int32_t i = 0; i < length;) {
    const std::int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) c = 0xFFFD;
    for (std::int32_t k = 0; k < U16_LENGTH(c); ++k)
      byteAt.push_back(static_cast<std::size_t>(start));
    if (U16_LENGTH(c) == 1) {
      text += static_cast<char16_t>(c);
    } else {
      text += static_cast<char16_t>(U16_LEAD(c));
      text += static_cast<char16_t>(U16_TRAIL(c));
    }
  }
  byteAt.push_back(utf8.size());
  UErrorCode status = U_ZERO_ERROR;
  UBreakIterator* graphemes = icu->openBreakIterator(
      UBRK_CHARACTER, "", text.data(), static_cast<std::int32_t>(text.size()), &status);
  if (U_FAILURE(status)) {
    if (graphemes != nullptr) icu->closeBreakIterator(graphemes);
    for (std::size_t k = 1; k < byteAt.size(); ++k) {
      if (byteAt[k] != byteAt[k - 1]) ends.push_back(byteAt[k]);
    }
    return ends;
  }
  icu->firstBreak(graphemes);
  for (std::int32_t to = icu->nextBreak(graphemes); to != UBRK_DONE;
       to = icu->nextBreak(graphemes)) {
    ends.push_back(byteAt[static_cast<std::size_t>(to)]);
  }
  icu->closeBreakIterator(graphemes);
  return ends;
}

}  // namespace

std::string eventText(const EventRecord& record) {
  if (const auto extension = readExtension(record); extension && !extension->unicodeText.empty()) {
    return extension->unicodeText;
  }
  return cp1252ToUtf8(record.text());
}

bool hasUnicodeText(const EventRecord& record) {
  const auto extension = readExtension(record);
  return extension && !extension->unicodeText.empty();
}

std::optional<std::string> nfcText(std::string_view utf8) {
  if (!isWellFormedUtf8(utf8)) return std::nullopt;
  if (isSimpleText(utf8)) return std::string(utf8);
  const IcuLibrary* icu = icuLibrary();
  if (icu == nullptr) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = icu->getNfcInstance(&status);
  if (U_FAILURE(status)) return std::nullopt;
  const std::u16string text = toUtf16(utf8);
  const auto length = static_cast<std::int32_t>(text.size());
  std::u16string normal(text.size() + text.size() / 2 + 8, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    status = U_ZERO_ERROR;
    const std::int32_t n = icu->normalize(nfc, text.data(), length, normal.data(),
                                          static_cast<std::int32_t>(normal.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      normal.resize(static_cast<std::size_t>(n));
      continue;
    }
    if (U_FAILURE(status)) break;
    normal.resize(static_cast<std::size_t>(n));
    return toUtf8(normal);
  }
  return std::nullopt;
}

bool textFits(std::string_view nfc) {
  if (nfc.size() <= kMaxUnicodeBytes) return true;
  return codePoints(nfc) <= kMaxTextLength && utf8ToCp1252(nfc).has_value();
}

std::string fittingText(std::string_view nfc) {
  if (textFits(nfc)) return std::string(nfc);
  // The longest start that either Windows-1252 holds in 200 characters or that takes at most
  // the extension's bytes, ending between two user-perceived characters. Both conditions only
  // get false as the start grows, so the walk ends at the first character neither allows.
  std::size_t best = 0;
  std::size_t from = 0;
  std::size_t chars = 0;
  bool plain = true;
  for (const std::size_t to : characterEnds(nfc)) {
    const std::string_view character = nfc.substr(from, to - from);
    chars += codePoints(character);
    plain = plain && utf8ToCp1252(character).has_value();
    if (to > kMaxUnicodeBytes && !(plain && chars <= kMaxTextLength)) break;
    best = to;
    from = to;
  }
  return std::string(nfc.substr(0, best));
}

std::string fallbackText(std::string_view utf8) {
  if (auto plain = utf8ToCp1252(utf8)) {
    if (plain->size() > kMaxTextLength) plain->resize(kMaxTextLength);
    return *plain;
  }
  std::string out;
  std::u16string run;
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  for (std::int32_t i = 0; i < length && out.size() < kMaxTextLength;) {
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) c = 0xFFFD;
    if (!heldByCp1252(c)) {
      if (U16_LENGTH(c) == 1) {
        run += static_cast<char16_t>(c);
      } else {
        run += static_cast<char16_t>(U16_LEAD(c));
        run += static_cast<char16_t>(U16_TRAIL(c));
      }
      continue;
    }
    if (!run.empty()) {
      appendTransliterated(out, run);
      run.clear();
    }
    std::string one;
    appendUtf8(one, static_cast<char32_t>(c));
    out += utf8ToCp1252(one).value_or("?");
  }
  if (!run.empty()) appendTransliterated(out, run);
  if (out.size() > kMaxTextLength) out.resize(kMaxTextLength);
  return out;
}

TextStore setEventText(EventRecord& record, std::string_view utf8) {
  const auto nfc = nfcText(utf8);
  if (!nfc) return isWellFormedUtf8(utf8) ? TextStore::NoUnicodeLibrary : TextStore::NotUtf8;
  const std::string text = fittingText(*nfc);
  if (const auto plain = utf8ToCp1252(text)) {
    record.setText(*plain);
    if (reservedUse(record) == ReservedUse::Extension) writeUnicodeText(record, {});
    return TextStore::Stored;
  }
  if (!giveExtension(record)) return TextStore::NeedsExtension;
  record.setText(fallbackText(text));
  writeUnicodeText(record, text);
  return TextStore::Stored;
}

std::string textSortKey(std::string_view utf8) {
  if (const auto plain = utf8ToCp1252(utf8)) return listSortKey(*plain);
  return textSortKey(utf8, fallbackText(utf8));
}

std::string textSortKeyStart(std::string_view fallback) {
  std::string key = listSortKey(fallback);
  key += '\x01';
  return key;
}

std::string textSortKey(std::string_view utf8, std::string_view fallback) {
  if (const auto plain = utf8ToCp1252(utf8)) return listSortKey(*plain);
  std::string key = textSortKeyStart(fallback);
  // Without ICU texts equal but for their script keep the order of their bytes.
  const IcuLibrary* icu = icuLibrary();
  if (UCollator* collator = icu != nullptr ? germanCollator(*icu) : nullptr) {
    const std::u16string text = toUtf16(utf8);
    const auto length = static_cast<std::int32_t>(text.size());
    std::vector<std::uint8_t> collation(static_cast<std::size_t>(utf8.size()) * 4 + 16);
    std::int32_t n = icu->getSortKey(collator, text.data(), length, collation.data(),
                                     static_cast<std::int32_t>(collation.size()));
    if (n > static_cast<std::int32_t>(collation.size())) {
      collation.resize(static_cast<std::size_t>(n));
      n = icu->getSortKey(collator, text.data(), length, collation.data(), n);
    }
    // The key ends in a zero byte; the bytes before it hold none.
    if (n > 0)
      key.append(reinterpret_cast<const char*>(collation.data()), static_cast<std::size_t>(n - 1));
  }
  key += '\x01';
  key += utf8;  // equal for case only: the bytes decide, so the order is total
  return key;
}

std::string printableText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  for (std::int32_t i = 0; i < length;) {
    const std::int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0 || isControlCharacter(static_cast<char32_t>(c))) {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
  }
  return out;
}

}  // namespace tavik
