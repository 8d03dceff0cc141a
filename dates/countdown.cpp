// Countdown texts, lines, grid order and the view rebuild.
#include "dates/countdown.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "dates/date_text.h"
#include "dates/holidays.h"
#include "store/cp1252.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "store/text_order.h"

namespace tavik {

std::optional<DayNumber> occurrenceInYear(int year, int month, int day) {
  if (month == 2 && day == 29 && year >= kMinYear && year <= kMaxYear && !isLeapYear(year)) {
    return makeDayNumber(year, 2, 28);
  }
  return makeDayNumber(year, month, day);
}

namespace {

// Last year's date when it lies from `first` to yesterday; else this year's date, or next
// year's when this year's lies more than 30 days back.
template <typename DateOf>
std::optional<std::pair<DayNumber, int>> occurrenceFrom(DayNumber today, int first, DateOf dateOf) {
  const auto now = splitDayNumber(today);
  if (!now) return std::nullopt;
  // Last year's dates lie at least as many days back as today's day of the year, so only
  // early January needs them; a day of the year of 32 stands for any later month.
  const int dayOfYearAtLeast = now->month == 1 ? now->day : 32;
  if (-first >= dayOfYearAtLeast && now->year > kMinYear) {
    if (const auto last = dateOf(now->year - 1)) {
      const int d = *last - today;
      if (d >= first && d <= -1) return std::pair{*last, d};
    }
  }
  auto date = dateOf(now->year);
  if (!date) return std::nullopt;
  int d = *date - today;
  if (d < -30) {
    date = dateOf(now->year + 1);
    if (!date) return std::nullopt;
    d = *date - today;
  }
  return std::pair{*date, d};
}

// A window that starts after yesterday: only this and next year's date count.
constexpr int kNoPastDays = 1;

// "DD.MM", and with the year "DD.MM.YYYY" (any year, 9996 included).
std::string gridDate(const Ymd& date, bool withYear) {
  char text[32];
  char* end = writeZeroPad2(text, date.day);
  *end++ = '.';
  end = writeZeroPad2(end, date.month);
  if (withYear) {
    *end++ = '.';
    end = writeZeroPad2(end, date.year);
  }
  return std::string(text, end);
}

std::string dayText(int d) {
  switch (d) {
    case -1:
      return "Gestern             ";
    case 0:
      return "Heute               ";
    case 1:
      return "Morgen             ";
    default:
      break;
  }
  if (d >= 0) return "Noch " + blankPad2(d) + " Tage  ";
  // In 64 bits, so that no value overflows when negated.
  std::string back = std::to_string(-static_cast<std::int64_t>(d));
  if (back.size() == 1) back.insert(0, 2, ' ');
  return "Vor " + back + " Tagen  ";
}

// The length of a day text or date without the blanks that pad it.
std::size_t withoutTrailingBlanks(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? 0 : last + 1;
}

constexpr int kFirstCachedDay = -kMostMissedDays;
constexpr int kLastCachedDay = 255;

}  // namespace

int eventWindowStart(std::optional<DayNumber> lastshown, DayNumber today) {
  if (!lastshown || *lastshown > today) return -1;
  // The difference of two day numbers of the years 1..9999 fits an int.
  return -std::min(std::max(today - *lastshown - 1, 1), kMostMissedDays);
}

int occurrenceDays(int month, int day, DayNumber today) {
  return eventDays(month, day, today, kNoPastDays);
}

int eventDays(int month, int day, DayNumber today, int first) {
  const auto next =
      occurrenceFrom(today, first, [&](int year) { return occurrenceInYear(year, month, day); });
  return next ? next->second : kOccurrenceFailure;
}

std::string countdownText(int d) {
  // A rebuild needs these texts over and over; they are built once.
  static const std::vector<std::string> kTexts = [] {
    std::vector<std::string> texts;
    for (int n = kFirstCachedDay; n <= kLastCachedDay; ++n) texts.push_back(dayText(n));
    return texts;
  }();
  return d >= kFirstCachedDay && d <= kLastCachedDay
             ? kTexts[static_cast<std::size_t>(d - kFirstCachedDay)]
             : dayText(d);
}

int missedDaysOf(std::string_view dayText) {
  if (!dayText.starts_with("Vor ")) return 0;
  dayText.remove_prefix(4);
  while (!dayText.empty() && dayText.front() == ' ') dayText.remove_prefix(1);
  int days = 0;
  const auto [end, error] = std::from_chars(dayText.data(), dayText.data() + dayText.size(), days);
  if (error != std::errc{} || days < 2) return 0;
  return std::string_view(end, static_cast<std::size_t>(dayText.data() + dayText.size() - end))
                 .starts_with(" Tagen")
             ? days
             : 0;
}

std::int32_t anniversaryCount(const EventRecord& record, DayNumber today) {
  const auto stored = dayNumberFromDouble(record.date);
  if (!stored) return 0;
  // nearbyint rounds half to even in the default rounding mode.
  const long double years = static_cast<long double>(today - *stored) / 365.24L;
  return static_cast<std::int32_t>(std::nearbyint(years));
}

namespace {

// The kinds whose anniversaries are counted in words.
constexpr std::uint8_t kBirthday = 1;
constexpr std::uint8_t kWeddingDay = 2;
constexpr std::uint8_t kDeathDay = 3;
constexpr std::uint8_t kAnniversary = 5;

bool hasCountedKind(std::uint8_t kind) {
  return kind == kBirthday || kind == kWeddingDay || kind == kDeathDay || kind == kAnniversary;
}

struct Suffix {
  std::string text;
  bool round = false;
};

Suffix suffixOf(const EventRecord& record, const Ymd& stored, int d, DayNumber today,
                std::uint8_t kind, bool inWords) {
  if (!isSet(record.computeJubilee) || isSet(record.withoutYear) ||
      stored.year == yearlessMarkerYear) {
    return {};
  }
  // The count of the occurrence shown; within the window the same as the rounded count.
  int n = 0;
  if (hasCountedKind(kind)) {
    if (const auto shown = splitDayNumber(today + d)) n = shown->year - stored.year;
  }
  Suffix suffix;
  suffix.round = n >= 1 && isRoundAnniversary(kind, n);
  if (inWords && n >= 1) {
    const std::string count = std::to_string(n);
    switch (kind) {
      case kBirthday:
        suffix.text = d < 0 ? " – ist " + count + " geworden" : " – wird " + count;
        return suffix;
      case kWeddingDay:
        suffix.text = " – " + count + ". Hochzeitstag";
        if (const std::string_view name = weddingDayName(n); !name.empty()) {
          suffix.text.append(" (").append(name).append(")");
        }
        return suffix;
      case kDeathDay:
        suffix.text = " – " + count + ". Todestag";
        return suffix;
      case kAnniversary:
        suffix.text = " – " + count + ". Jahrestag";
        return suffix;
      default:
        break;
    }
  }
  char text[16] = " (";
  char* end = std::to_chars(text + 2, text + 14, anniversaryCount(record, today)).ptr;
  *end++ = ')';
  suffix.text.assign(text, end);
  return suffix;
}

// With `fallback` given, it gets the rest of the line after the day text in the Windows-1252
// form of the text when the text comes from the extension, else it is left empty.
CountdownEntry entryOf(const EventRecord& record, const Ymd& stored, int d, DayNumber today,
                       bool inWords, std::string* fallback = nullptr) {
  // The extension is read once: its checks cost more than the rest of the line.
  std::optional<RecordExtension> extension;
  if (std::equal(kExtensionMark.begin(), kExtensionMark.end(), record.reserved.begin())) {
    extension = readExtension(record);
  }
  const Suffix worded =
      suffixOf(record, stored, d, today, extension ? extension->kind : std::uint8_t{0}, inWords);
  const std::string& suffix = worded.text;
  const bool unicode = extension && !extension->unicodeText.empty();
  CountdownEntry entry;
  entry.row.day = countdownText(d);
  // 17 characters at most before the text; the length byte bounds a Windows-1252 text.
  entry.line.reserve(entry.row.day.size() + 17 +
                     (unicode ? extension->unicodeText.size() : 2 * record.textLength) +
                     suffix.size());
  entry.line.append(entry.row.day);
  const std::size_t textAt = unicode ? appendEventLine(entry.line, record, extension->unicodeText)
                             : extension
                                 ? appendEventLine(entry.line, record, cp1252ToUtf8(record.text()))
                                 : appendEventLine(entry.line, record);
  const std::size_t textEnd = entry.line.size();
  entry.line.append(suffix);
  const std::size_t dateAt = entry.row.day.size();
  entry.columns = {
      withoutTrailingBlanks(entry.row.day), dateAt,
      withoutTrailingBlanks(std::string_view(entry.line).substr(dateAt, textAt - dateAt)), textAt};

  entry.row.date = gridDate(stored, !isSet(record.withoutYear));
  entry.row.text.reserve(textEnd - textAt + suffix.size());
  entry.row.text.append(entry.line, textAt, textEnd - textAt).append(suffix);
  entry.row.round = worded.round;
  if (fallback != nullptr && unicode) {
    // The fallback is Windows-1252 through and through; a worded suffix has its dash.
    fallback->assign(entry.line, dateAt, textAt - dateAt)
        .append(record.text())
        .append(suffix.empty() ? suffix : utf8ToCp1252(suffix).value_or(suffix));
  }
  return entry;
}

}  // namespace

std::string anniversarySuffix(const EventRecord& record, DayNumber today) {
  return suffixOf(record, splitRecordDate(record.date), 0, today, 0, false).text;
}

bool isRoundAnniversary(std::uint8_t kind, int n) {
  if (n < 1) return false;
  if (kind == kBirthday) return n % 10 == 0 || n == 18;
  if (kind == kWeddingDay) return n % 10 == 0 || !weddingDayName(n).empty();
  return false;
}

std::string_view weddingDayName(int n) {
  // The names of the multiples of five as the municipality of Weissach lists them
  // (weissach.de, "Hochzeitstage und ihre Bedeutung"), in the forms "Holzhochzeit" and
  // "Diamantene Hochzeit" that other lists give too. The other years' names differ from list to
  // list and would make nearly every wedding day a round one.
  static constexpr std::string_view kNames[] = {
      "Holzhochzeit",     "Rosenhochzeit",    "Kristallhochzeit",    "Porzellanhochzeit",
      "Silberhochzeit",   "Perlenhochzeit",   "Leinwandhochzeit",    "Rubinhochzeit",
      "Messinghochzeit",  "Goldene Hochzeit", "Platinhochzeit",      "Diamantene Hochzeit",
      "Eiserne Hochzeit", "Gnadenhochzeit",   "Kronjuwelenhochzeit",
  };
  if (n < 5 || n % 5 != 0 || n / 5 > static_cast<int>(std::size(kNames))) return {};
  return kNames[n / 5 - 1];
}

CountdownEntry eventEntry(const EventRecord& record, int d, DayNumber today, bool inWords) {
  return entryOf(record, splitRecordDate(record.date), d, today, inWords);
}

std::optional<int> addCalendarDay(ViewResult& view, std::string_view name, const DateRule& rule,
                                  int listYear, DayNumber today, int anzdays) {
  // Calendar days reach back to yesterday only, also across the year's end.
  const auto next = occurrenceFrom(today, -1, rule);
  if (!next || !inDayWindow(next->second, anzdays)) return std::nullopt;
  const Ymd date = *splitDayNumber(next->first);
  const int shownYear = listYear == kOccurrenceYear ? date.year : listYear;
  std::string day = countdownText(next->second);
  const std::string shownDate = formatDayMonthYear(static_cast<std::uint16_t>(date.day),
                                                   static_cast<std::uint16_t>(date.month),
                                                   static_cast<std::uint16_t>(shownYear));
  view.lines.push_back(day + shownDate + "   " + std::string(name));
  view.columns.push_back({withoutTrailingBlanks(day), day.size(), withoutTrailingBlanks(shownDate),
                          day.size() + shownDate.size() + 3});
  view.grid.push_back(GridRow{std::move(day), gridDate(date, true), std::string(name)});
  return next->second;
}

namespace {

void addDay(ViewResult& view, const CalendarDay& day, DayNumber today, int anzdays,
            std::vector<int>& days) {
  const std::optional<int> d = addCalendarDay(
      view, day.name, [&day](int year) { return dateInYear(day, year); }, day.listYear, today,
      anzdays);
  if (d) days.push_back(*d);
}

}  // namespace

std::vector<int> addHolidays(ViewResult& view, const HolidaySelection& selection, DayNumber today,
                             int anzdays) {
  std::vector<int> days;
  for (std::size_t i = 0; i < kPublicHolidays.size(); ++i) {
    if (selection.bytes[kFirstPublicHolidayByte + i] == 1) {
      addDay(view, kPublicHolidays[i], today, anzdays, days);
    }
  }
  for (std::size_t j = 0; j < kOtherDays.size(); ++j) {
    if (selection.bytes[kFirstOtherDayByte + j] == 1) {
      addDay(view, kOtherDays[j], today, anzdays, days);
    }
  }
  return days;
}

namespace {

// Entries grouped by equal day texts: the group of each entry, and each group's text,
// numbered in the order first seen.
struct DayGroups {
  std::vector<std::size_t> groupOf;
  std::vector<std::string_view> texts;
};

DayGroups groupByDayText(const std::vector<GridRow>& rows) {
  DayGroups groups;
  groups.groupOf.reserve(rows.size());
  std::unordered_map<std::string_view, std::size_t> numbers;
  for (const GridRow& row : rows) {
    const auto [it, added] = numbers.try_emplace(row.day, groups.texts.size());
    if (added) groups.texts.emplace_back(row.day);
    groups.groupOf.push_back(it->second);
  }
  return groups;
}

// The same for rows whose day differences are known: equal differences, equal day texts.
DayGroups groupByDays(const std::vector<GridRow>& rows, const std::vector<int>& days,
                      int firstDay) {
  DayGroups groups;
  groups.groupOf.reserve(rows.size());
  std::vector<std::size_t> numbers;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto at = static_cast<std::size_t>(days[i] - firstDay);
    if (at >= numbers.size()) numbers.resize(at + 1, SIZE_MAX);
    if (numbers[at] == SIZE_MAX) {
      numbers[at] = groups.texts.size();
      groups.texts.emplace_back(rows[i].day);
    }
    groups.groupOf.push_back(numbers[at]);
  }
  return groups;
}

// The rank of each entry when the groups are put in the order `less` gives their texts.
template <typename Less>
std::vector<std::size_t> entryRanks(const DayGroups& groups, Less less) {
  std::vector<std::size_t> byText(groups.texts.size());
  std::iota(byText.begin(), byText.end(), std::size_t{0});
  std::sort(byText.begin(), byText.end(),
            [&](std::size_t a, std::size_t b) { return less(groups.texts[a], groups.texts[b]); });
  std::vector<std::size_t> groupRank(byText.size());
  for (std::size_t r = 0; r < byText.size(); ++r) groupRank[byText[r]] = r;
  std::vector<std::size_t> rank;
  rank.reserve(groups.groupOf.size());
  for (const std::size_t g : groups.groupOf) rank.push_back(groupRank[g]);
  return rank;
}

// The order in which a selection sort leaves items of the given ranks (0..rankCount-1) when it
// exchanges the first strictly smallest item of the rest into each position: the result holds,
// for each position, the original index of the item that ends there.
//
// The plain sort takes n^2/2 comparisons. But it chooses all items of the smallest rank left
// one after the other, in the order of the positions they hold when their turn comes, since
// they do not move until chosen; each choice moves the item it replaces to the chosen
// position. So it is enough to follow where the items are.
std::vector<std::size_t> selectionSortOrder(const std::vector<std::size_t>& rank,
                                            std::size_t rankCount) {
  const std::size_t n = rank.size();
  std::vector<std::size_t> start(rankCount + 1, 0);
  for (const std::size_t r : rank) ++start[r + 1];
  std::partial_sum(start.begin(), start.end(), start.begin());
  std::vector<std::size_t> itemsOfRank(n);
  std::vector<std::size_t> next(start.begin(), start.end() - 1);
  for (std::size_t i = 0; i < n; ++i) itemsOfRank[next[rank[i]]++] = i;

  std::vector<std::size_t> itemAt(n);
  std::iota(itemAt.begin(), itemAt.end(), std::size_t{0});
  std::vector<std::size_t> positionOf = itemAt;
  std::vector<std::size_t> turn;
  std::size_t position = 0;
  for (std::size_t r = 0; r < rankCount; ++r) {
    turn.clear();
    for (std::size_t k = start[r]; k < start[r + 1]; ++k) {
      turn.push_back(positionOf[itemsOfRank[k]]);
    }
    std::sort(turn.begin(), turn.end());
    for (const std::size_t q : turn) {
      if (q != position) {
        const std::size_t chosen = itemAt[q];
        const std::size_t replaced = itemAt[position];
        itemAt[position] = chosen;
        itemAt[q] = replaced;
        positionOf[chosen] = position;
        positionOf[replaced] = q;
      }
      ++position;
    }
  }
  return itemAt;
}

template <typename T>
void permute(std::vector<T>& items, const std::vector<std::size_t>& order) {
  std::vector<T> sorted;
  sorted.reserve(items.size());
  for (const std::size_t i : order) sorted.push_back(std::move(items[i]));
  items = std::move(sorted);
}

bool byteLess(std::string_view a, std::string_view b) {
  return a < b;
}

// The countdown order of day texts: the missed days first, the earliest first, then the
// others in the order `less` gives them.
template <typename Less>
auto missedFirst(Less less) {
  return [less](std::string_view a, std::string_view b) {
    const int backA = missedDaysOf(a);
    const int backB = missedDaysOf(b);
    if (backA != 0 || backB != 0) return backA > backB;
    return less(a, b);
  };
}

void sortGrid(std::vector<GridRow>& rows, const DayGroups& groups) {
  permute(rows, selectionSortOrder(entryRanks(groups, missedFirst(byteLess)), groups.texts.size()));
}

// The list order of lines that each begin with the day text of their group. Distinct day texts
// always differ before either ends, so the lines run in the order of their day texts, and
// lines with the same day text in the order of the rest (textSortKey, so that texts in any
// script find their place). `fallbacks` holds beside each line the Windows-1252 form of its
// rest when the text comes from the extension, else nothing.
std::vector<std::size_t> listOrder(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& fallbacks,
                                   const DayGroups& groups) {
  const std::vector<std::size_t> rank = entryRanks(groups, missedFirst(listLess));
  std::vector<std::size_t> start(groups.texts.size() + 1, 0);
  for (const std::size_t r : rank) ++start[r + 1];
  std::partial_sum(start.begin(), start.end(), start.begin());
  std::vector<std::size_t> order(lines.size());
  std::vector<std::size_t> next(start.begin(), start.end() - 1);
  for (std::size_t i = 0; i < lines.size(); ++i) order[next[rank[i]]++] = i;
  // Keys are built once per line: a key costs more than a comparison, but far less than one
  // per comparison. A text from the extension first gets the start of its key alone, its
  // Windows-1252 form's, which nearly always decides; the whole key, with its costly
  // collation part, is built only when that start does not.
  std::vector<std::string> keys(lines.size());
  std::vector<std::string> wholeKeys(lines.size());
  std::size_t dayLength = 0;
  auto rest = [&](std::size_t i) { return std::string_view(lines[i]).substr(dayLength); };
  auto wholeKey = [&](std::size_t i) -> const std::string& {
    if (fallbacks[i].empty()) return keys[i];
    if (wholeKeys[i].empty()) wholeKeys[i] = textSortKey(rest(i), fallbacks[i]);
    return wholeKeys[i];
  };
  auto less = [&](std::size_t a, std::size_t b) {
    const std::string& keyA = keys[a];
    const std::string& keyB = keys[b];
    const std::size_t common = std::min(keyA.size(), keyB.size());
    const int c = keyA.compare(0, common, keyB, 0, common);
    if (c != 0) return c < 0;
    // One start is the other's start: the whole keys decide.
    return wholeKey(a) < wholeKey(b);
  };
  for (std::size_t r = 0; r < groups.texts.size(); ++r) {
    const auto first = order.begin() + static_cast<std::ptrdiff_t>(start[r]);
    const auto last = order.begin() + static_cast<std::ptrdiff_t>(start[r + 1]);
    if (last - first < 2) continue;
    // All lines of one rank share their day text.
    dayLength = groups.texts[groups.groupOf[*first]].size();
    for (auto it = first; it != last; ++it) {
      keys[*it] =
          fallbacks[*it].empty() ? textSortKey(rest(*it)) : textSortKeyStart(fallbacks[*it]);
    }
    std::sort(first, last, less);
  }
  return order;
}

}  // namespace

void sortCountdownGrid(std::vector<GridRow>& rows) {
  sortGrid(rows, groupByDayText(rows));
}

ViewResult computeView(EventTable& table, const Settings& settings,
                       const HolidaySelection& holidays, DayNumber today, bool firstRebuild) {
  ViewResult view;
  const int anzdays = settings.anzdays;
  const bool inWords = settings.inworten == 1;
  const int first = eventWindowStart(settings.lastshown, today);
  // Shown last before yesterday: yesterday went unseen too, so its events are missed like
  // the days before it (the window still calls them "Gestern").
  const bool yesterdayMissed = settings.lastshown && today - *settings.lastshown >= 2;
  const auto mostEntries =
      static_cast<std::size_t>(table.usedCount() + kPublicHolidayCount + kOtherDayCount);
  view.lines.reserve(mostEntries);
  view.columns.reserve(mostEntries);
  view.grid.reserve(mostEntries);
  std::vector<int> days;  // the day difference of each entry
  std::vector<bool> intoTodayBox;
  std::vector<std::string> fallbacks(mostEntries);
  days.reserve(mostEntries);
  intoTodayBox.reserve(mostEntries);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (table.slotIsFree(slot)) continue;
    // Every text comes from the record as read, before the auto-delete rule may free it.
    const EventRecord& record = table.record(slot);
    const Ymd stored = splitRecordDate(record.date);
    const int d = eventDays(stored.month, stored.day, today, first);
    const int lead = leadDaysOf(record);
    if (inDayWindow(d, first, std::max(anzdays, lead))) {
      CountdownEntry entry =
          entryOf(record, stored, d, today, inWords, &fallbacks[view.lines.size()]);
      const bool high = isSet(record.highPriority);
      if (high && settings.prior == 1 && d == 0 && firstRebuild) view.popups.push_back(entry.line);
      // The lead day reached since the countdown was last shown; with none known, today only.
      const int leadDayAgo = lead - d;
      const bool announced =
          firstRebuild && lead > 0 && leadDayAgo >= 0 &&
          (settings.lastshown ? today - leadDayAgo > *settings.lastshown : leadDayAgo == 0);
      // What the user missed, today's, the chosen high-priority lines and the announced ones.
      intoTodayBox.push_back(d <= -2 || (d == -1 && yesterdayMissed) || d == 0 ||
                             (high && settings.prior == 2) || announced);
      view.lines.push_back(std::move(entry.line));
      view.columns.push_back(entry.columns);
      view.grid.push_back(std::move(entry.row));
      days.push_back(d);
    }
    if (table.applyAutoDelete(slot, today)) view.freedSlots.push_back(slot);
  }
  if (holidays.computeHolidays()) {
    for (const int d : addHolidays(view, holidays, today, anzdays)) {
      intoTodayBox.push_back(d == 0);
      days.push_back(d);
    }
  }
  if (view.lines.empty()) {
    view.lines.emplace_back(kEmptyWindowLine);
    return view;
  }

  const DayGroups groups = groupByDays(view.grid, days, first);
  const std::vector<std::size_t> order = listOrder(view.lines, fallbacks, groups);
  // The today box in list order like the list it comes from, which puts the missed days first.
  for (const std::size_t i : order) {
    if (intoTodayBox[i]) {
      view.todayBox.push_back(view.lines[i]);
      view.todayBoxColumns.push_back(view.columns[i]);
      const GridRow& row = view.grid[i];
      view.notices.push_back({days[i], today + days[i], row.text, row.round});
    }
  }
  permute(view.lines, order);
  permute(view.columns, order);
  sortGrid(view.grid, groups);
  return view;
}

}  // namespace tavik
