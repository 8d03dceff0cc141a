// Any bytes as a text to store: never a crash, and what is stored always fits: at most 200
// Windows-1252 bytes, and a Unicode text of at most 179 bytes of valid NFC UTF-8.
#include <cstdlib>
#include <string>

#include "exchange/text_decode.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "store/typs.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const std::string fallback = fallbackText(bytes);
  if (fallback.size() > kMaxTextLength) std::abort();

  const auto nfc = nfcText(bytes);
  if (nfc.has_value() != isValidUtf8(bytes)) std::abort();
  if (nfc) {
    const std::string fitting = fittingText(*nfc);
    if (!textFits(fitting)) std::abort();
    if (nfc->compare(0, fitting.size(), fitting) != 0) std::abort();
    if (textFits(*nfc) && fitting != *nfc) std::abort();
  }

  EventRecord record;
  const TextStore stored = setEventText(record, bytes);
  if ((stored == TextStore::NotUtf8) != !nfc) std::abort();
  if (stored == TextStore::NeedsExtension) std::abort();  // the record had no foreign bytes
  if (record.textLength > kMaxTextLength) std::abort();
  if (stored == TextStore::Stored) {
    const std::string text = eventText(record);
    if (!isValidUtf8(text) || nfcText(text) != text) std::abort();
    const auto block = readExtension(record);
    if (hasUnicodeText(record)) {
      if (!block || block->unicodeText.size() > kMaxUnicodeBytes) std::abort();
      if (record.text() != fallbackText(text)) std::abort();
    }
    // Stored again, the text is the same.
    EventRecord again = record;
    if (setEventText(again, text) != TextStore::Stored || eventText(again) != text) std::abort();
  }
  return 0;
}
