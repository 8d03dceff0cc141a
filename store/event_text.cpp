// Event texts in any script; ICU does the normalisation, transliteration and collation.
#include "store/event_text.h"

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "store/cp1252.h"
#include "store/record_extension.h"
#include "store/text_order.h"

namespace tavik {

namespace {

icu::UnicodeString fromUtf8(std::string_view utf8) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

bool heldByCp1252(UChar32 c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
  if (c > 0xFFFF) return false;
  std::string one;
  appendUtf8(one, static_cast<char32_t>(c));
  return utf8ToCp1252(one).has_value();
}

// One transliterator per thread: ICU's are not safe to share, and the import reads on its
// own thread.
icu::Transliterator* toLatin() {
  thread_local std::unique_ptr<icu::Transliterator> latin = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> t(
        icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    return U_SUCCESS(status) ? std::move(t) : nullptr;
  }();
  return latin.get();
}

icu::Collator* germanCollator() {
  thread_local std::unique_ptr<icu::Collator> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> c(
        icu::Collator::createInstance(icu::Locale::getGermany(), status));
    if (U_FAILURE(status)) return std::unique_ptr<icu::Collator>();
    c->setStrength(icu::Collator::SECONDARY);  // case-insensitive
    return c;
  }();
  return collator.get();
}

// Appends the Windows-1252 bytes of a run that Windows-1252 cannot hold: its Latin
// transliteration where it holds that, "?" for other letters and symbols; marks and format
// characters (joiners, variation selectors) left over are dropped.
void appendTransliterated(std::string& out, icu::UnicodeString run) {
  if (icu::Transliterator* latin = toLatin()) latin->transliterate(run);
  for (std::int32_t i = 0; i < run.length();) {
    const UChar32 c = run.char32At(i);
    i += U16_LENGTH(c);
    if (heldByCp1252(c)) {
      std::string one;
      appendUtf8(one, static_cast<char32_t>(c));
      out += utf8ToCp1252(one).value_or("?");
      continue;
    }
    const std::int8_t type = u_charType(c);
    if (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_FORMAT_CHAR) continue;
    out += '?';
  }
}

// Counts the characters of a text Windows-1252 holds (one byte each there).
std::size_t codePoints(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
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
  const icu::UnicodeString text = fromUtf8(utf8);
  if (toUtf8(text) != utf8) return std::nullopt;  // ICU replaced an ill-formed sequence
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::string(utf8);
  const icu::UnicodeString normal = nfc->normalize(text, status);
  if (U_FAILURE(status)) return std::string(utf8);
  return toUtf8(normal);
}

bool textFits(std::string_view nfc) {
  if (nfc.size() <= kMaxUnicodeBytes) return true;
  return codePoints(nfc) <= kMaxTextLength && utf8ToCp1252(nfc).has_value();
}

std::string fittingText(std::string_view nfc) {
  if (textFits(nfc)) return std::string(nfc);
  // The longest start that either Windows-1252 holds in 200 characters or that takes at most
  // the extension's bytes, ending between two user-perceived characters. Both conditions only
  // get false as the start grows, so the walk ends at the first cluster neither allows.
  const icu::UnicodeString text = fromUtf8(nfc);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> graphemes(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) {
    std::size_t cut = kMaxUnicodeBytes;  // no break rules: cut between code points
    while (cut > 0 && (static_cast<unsigned char>(nfc[cut]) & 0xC0) == 0x80) --cut;
    return std::string(nfc.substr(0, cut));
  }
  graphemes->setText(text);
  std::size_t best = 0;
  std::size_t bytes = 0;
  std::size_t chars = 0;
  bool plain = true;
  std::int32_t from = graphemes->first();
  for (std::int32_t to = graphemes->next(); to != icu::BreakIterator::DONE;
       from = to, to = graphemes->next()) {
    const std::string cluster = toUtf8(icu::UnicodeString(text, from, to - from));
    bytes += cluster.size();
    chars += codePoints(cluster);
    plain = plain && utf8ToCp1252(cluster).has_value();
    if (bytes > kMaxUnicodeBytes && !(plain && chars <= kMaxTextLength)) break;
    best = bytes;
  }
  return std::string(nfc.substr(0, best));
}

std::string fallbackText(std::string_view utf8) {
  std::string out;
  const icu::UnicodeString text = fromUtf8(utf8);
  icu::UnicodeString run;
  for (std::int32_t i = 0; i < text.length() && out.size() < kMaxTextLength;) {
    const UChar32 c = text.char32At(i);
    i += U16_LENGTH(c);
    if (!heldByCp1252(c)) {
      run.append(c);
      continue;
    }
    if (!run.isEmpty()) {
      appendTransliterated(out, run);
      run.remove();
    }
    std::string one;
    appendUtf8(one, static_cast<char32_t>(c));
    out += utf8ToCp1252(one).value_or("?");
  }
  if (!run.isEmpty()) appendTransliterated(out, run);
  if (out.size() > kMaxTextLength) out.resize(kMaxTextLength);
  return out;
}

TextStore setEventText(EventRecord& record, std::string_view utf8) {
  const auto nfc = nfcText(utf8);
  if (!nfc) return TextStore::NotUtf8;
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
  if (icu::Collator* collator = germanCollator()) {
    const icu::UnicodeString text = fromUtf8(utf8);
    std::vector<std::uint8_t> collation(static_cast<std::size_t>(utf8.size()) * 4 + 16);
    std::int32_t n =
        collator->getSortKey(text, collation.data(), static_cast<std::int32_t>(collation.size()));
    if (n > static_cast<std::int32_t>(collation.size())) {
      collation.resize(static_cast<std::size_t>(n));
      n = collator->getSortKey(text, collation.data(), n);
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
