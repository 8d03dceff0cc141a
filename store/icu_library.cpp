// Loading ICU on first use, and the checks that spare plain texts from it.
#include "store/icu_library.h"

#include <dlfcn.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>
#include <unicode/uvernum.h>

#include <atomic>
#include <mutex>

#include "store/cp1252.h"

static_assert(U_ICU_VERSION_MAJOR_NUM == TAVIK_ICU_MAJOR,
              "ICU's headers and the libraries found must be the same version");

// The versioned name of an ICU function, e.g. "unorm2_normalize_72": the headers rename every
// function to it, so a name macro-expanded and then quoted is the symbol to look up.
#define TAVIK_ICU_QUOTE(name) #name
#define TAVIK_ICU_SYMBOL(name) TAVIK_ICU_QUOTE(name)

namespace tavik {

namespace {

struct Loader {
  std::once_flag once;
  std::string ucName = TAVIK_ICU_UC_SONAME;
  std::string i18nName = TAVIK_ICU_I18N_SONAME;
  std::atomic<bool> tried{false};
  bool loaded = false;
  IcuLibrary library{};
  std::string error;
};

Loader& loader() {
  static Loader instance;
  return instance;
}

template <typename Function>
bool resolve(void* handle, const char* symbol, Function& function, std::string& error) {
  void* address = dlsym(handle, symbol);
  if (address == nullptr) {
    if (error.empty()) error = std::string("ICU-Funktion ") + symbol + " fehlt";
    return false;
  }
  function = reinterpret_cast<Function>(address);
  return true;
}

void load(Loader& l) {
  // Never closed: thread-local collators and transliterators outlive any caller.
  void* uc = dlopen(l.ucName.c_str(), RTLD_LAZY | RTLD_LOCAL);
  void* i18n = uc != nullptr ? dlopen(l.i18nName.c_str(), RTLD_LAZY | RTLD_LOCAL) : nullptr;
  if (uc == nullptr || i18n == nullptr) {
    const char* why = dlerror();
    l.error = "Die Unicode-Bibliothek " + (uc == nullptr ? l.ucName : l.i18nName) +
              " lässt sich nicht laden" + (why != nullptr ? std::string(": ") + why : "");
    return;
  }
  IcuLibrary& f = l.library;
  std::string& e = l.error;
#define TAVIK_ICU_RESOLVE(handle, member, function) \
  resolve(handle, TAVIK_ICU_SYMBOL(function), f.member, e)
  const bool all = TAVIK_ICU_RESOLVE(uc, getNfcInstance, unorm2_getNFCInstance) &&
                   TAVIK_ICU_RESOLVE(uc, normalize, unorm2_normalize) &&
                   TAVIK_ICU_RESOLVE(uc, isNormalized, unorm2_isNormalized) &&
                   TAVIK_ICU_RESOLVE(i18n, openTransliterator, utrans_openU) &&
                   TAVIK_ICU_RESOLVE(i18n, closeTransliterator, utrans_close) &&
                   TAVIK_ICU_RESOLVE(i18n, transliterate, utrans_transUChars) &&
                   TAVIK_ICU_RESOLVE(i18n, openCollator, ucol_open) &&
                   TAVIK_ICU_RESOLVE(i18n, closeCollator, ucol_close) &&
                   TAVIK_ICU_RESOLVE(i18n, setStrength, ucol_setStrength) &&
                   TAVIK_ICU_RESOLVE(i18n, getSortKey, ucol_getSortKey) &&
                   TAVIK_ICU_RESOLVE(uc, openBreakIterator, ubrk_open) &&
                   TAVIK_ICU_RESOLVE(uc, closeBreakIterator, ubrk_close) &&
                   TAVIK_ICU_RESOLVE(uc, firstBreak, ubrk_first) &&
                   TAVIK_ICU_RESOLVE(uc, nextBreak, ubrk_next) &&
                   TAVIK_ICU_RESOLVE(uc, charType, u_charType);
#undef TAVIK_ICU_RESOLVE
  l.loaded = all;
}

}  // namespace

bool heldByCp1252(UChar32 c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
  if (c > 0xFFFF) return false;
  std::string one;
  appendUtf8(one, static_cast<char32_t>(c));
  return utf8ToCp1252(one).has_value();
}

const IcuLibrary* icuLibrary() {
  Loader& l = loader();
  l.tried.store(true, std::memory_order_relaxed);
  std::call_once(l.once, load, std::ref(l));
  return l.loaded ? &l.library : nullptr;
}

std::string icuLoadError() {
  Loader& l = loader();
  if (!l.tried.load(std::memory_order_relaxed)) return {};
  std::call_once(l.once, load, std::ref(l));
  return l.error;
}

bool icuLoadTried() {
  return loader().tried.load(std::memory_order_relaxed);
}

void setIcuLibraryNamesForTest(std::string uc, std::string i18n) {
  Loader& l = loader();
  l.ucName = std::move(uc);
  l.i18nName = std::move(i18n);
}

bool isWellFormedUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto length = static_cast<std::int32_t>(bytes.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

bool isSimpleText(std::string_view utf8) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    // Below U+0300 no character combines with another or decomposes; the combining marks
    // start there. Windows-1252's punctuation, € and ™ above it are the same kind.
    if (c < 0 || (c >= 0x300 && !heldByCp1252(c))) return false;
  }
  return true;
}

std::optional<bool> isNfcUtf8(std::string_view bytes) {
  if (!isWellFormedUtf8(bytes)) return false;
  if (isSimpleText(bytes)) return true;
  const IcuLibrary* icu = icuLibrary();
  if (icu == nullptr) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = icu->getNfcInstance(&status);
  if (U_FAILURE(status)) return std::nullopt;
  const std::u16string text = toUtf16(bytes);
  const UBool normal =
      icu->isNormalized(nfc, text.data(), static_cast<std::int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  return normal != 0;
}

std::u16string toUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0) c = 0xFFFD;
    if (U16_LENGTH(c) == 1) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(U16_LEAD(c));
      out += static_cast<char16_t>(U16_TRAIL(c));
    }
  }
  return out;
}

std::string toUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  const auto length = static_cast<std::int32_t>(utf16.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U16_NEXT(utf16.data(), i, length, c);
    if (U_IS_SURROGATE(c)) c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    std::uint8_t bytes[U8_MAX_LENGTH];
    std::int32_t n = 0;
    U8_APPEND_UNSAFE(bytes, n, c);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace tavik
