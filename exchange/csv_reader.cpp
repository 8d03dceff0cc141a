// The reader of tab-separated text.
#include "exchange/csv_reader.h"

#include "exchange/text_decode.h"
#include "store/cp1252.h"
#include "store/day_number.h"

namespace tavik {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kTab = '\t';
constexpr char kCtrlZ = '\x1a';

// Characters `first` to `last` (1-based) of `s`; fewer when `s` is shorter.
std::string_view characters(std::string_view s, std::size_t first, std::size_t last) {
  if (s.size() < first) return {};
  return s.substr(first - 1, last - first + 1);
}

// `utf8`: the line is UTF-8 and its text is stored in any script.
bool readLine(std::string_view line, bool utf8, OTdaten& out) {
  const std::size_t tab = line.find(kTab);
  if (tab == std::string_view::npos) return false;
  const std::string_view field = line.substr(0, tab + 1);  // the date with its TAB
  const long day = csvNumber(characters(field, 1, 2));
  const long month = csvNumber(characters(field, 4, 5));
  const long year = csvNumber(characters(field, 7, 10));
  if (day < 0 || month < 0 || year < 0) return false;

  EventRecord& r = out.record;
  const bool yearless = year == 0;
  const auto date = makeDayNumber(yearless ? kYearlessYear : static_cast<int>(year),
                                  static_cast<int>(month), static_cast<int>(day));
  if (!date) return false;
  r.date = toDouble(*date);
  r.withoutYear = yearless ? 1 : 0;
  r.computeJubilee = yearless ? 0 : 1;
  const std::string_view text = line.substr(tab + 1);
  if (!utf8) {
    r.setText(text);
    return true;
  }
  return setImportedText(r, text);
}

}  // namespace

std::string_view textPart(std::string_view bytes) {
  return bytes.substr(0, bytes.find(kCtrlZ));
}

std::string_view firstTextLine(std::string_view bytes) {
  const std::string_view text = textPart(withoutUtf8Bom(bytes));
  return text.substr(0, text.find_first_of("\r\n"));
}

bool isUtf8Text(std::string_view bytes) {
  if (startsWithUtf8Bom(bytes)) return true;
  const std::string_view text = textPart(bytes);
  return hasNonAscii(text) && isValidUtf8(text);
}

long csvNumber(std::string_view field) {
  constexpr long kCap = 1'000'000;  // far outside every valid field value
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  long value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    if (value < kCap) value = value * 10 + (field[i] - '0');
  }
  return negative ? -value : value;
}

ReadResult readCsv(std::string_view bytes) {
  ReadResult result;
  result.utf8 = isUtf8Text(bytes);
  std::string_view rest = textPart(withoutUtf8Bom(bytes));
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of("\r\n");
    std::string_view line = rest.substr(0, end);
    if (end == std::string_view::npos) {
      rest = {};
    } else {
      const bool crLf = rest[end] == kCr && end + 1 < rest.size() && rest[end + 1] == kLf;
      rest.remove_prefix(end + (crLf ? 2 : 1));
    }
    // A file with a byte order mark may still hold lines that are no UTF-8: never store a
    // character other than the one the file holds.
    if (result.utf8 && !isValidUtf8(line)) {
      result.skip(SkipReason::Unstorable);
      continue;
    }
    OTdaten candidate;
    if (!readLine(line, result.utf8, candidate)) {
      result.ok = false;
      break;
    }
    // 30.12.1899 is day 0, the mark of a free slot: stored, the event would vanish unseen.
    if (candidate.record.date == 0.0) continue;
    result.candidates.push_back(candidate);
  }
  return result;
}

}  // namespace tavik
