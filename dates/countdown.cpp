// Countdown texts, lines, grid order and the view rebuild.
#include "dates/countdown.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>
#include <utility>

#include "dates/date_text.h"
#include "dates/holidays.h"
#include "store/text_order.h"

namespace tavik {

std::optional<DayNumber> occurrenceInYear(int year, int month, int day) {
  if (month == 2 && day == 29 && year >= kMinYear && year <= kMaxYear && !isLeapYear(year)) {
    return makeDayNumber(year, 2, 28);
  }
  return makeDayNumber(year, month, day);
}

namespace {

// This year's date, or next year's when this year's lies more than 30 days back.
template <typename DateOf>
std::optional<std::pair<DayNumber, int>> nextOccurrence(DayNumber today, DateOf dateOf) {
  const auto now = splitDayNumber(today);
  if (!now) return std::nullopt;
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

std::string dayMonth(const Ymd& date) {
  return zeroPad2(date.day) + "." + zeroPad2(date.month);
}

}  // namespace

int occurrenceDays(int month, int day, DayNumber today) {
  const auto next =
      nextOccurrence(today, [&](int year) { return occurrenceInYear(year, month, day); });
  return next ? next->second : kOccurrenceFailure;
}

std::string countdownText(int d) {
  switch (d) {
    case -1:
      return "Gestern             ";
    case 0:
      return "Heute               ";
    case 1:
      return "Morgen             ";
    default:
      return "Noch " + blankPad2(d) + " Tage  ";
  }
}

std::int32_t anniversaryCount(const EventRecord& record, DayNumber today) {
  const auto stored = dayNumberFromDouble(record.date);
  if (!stored) return 0;
  // nearbyint rounds half to even in the default rounding mode.
  const long double years = static_cast<long double>(today - *stored) / 365.24L;
  return static_cast<std::int32_t>(std::nearbyint(years));
}

std::string anniversarySuffix(const EventRecord& record, DayNumber today) {
  if (!isSet(record.computeJubilee) || isSet(record.withoutYear) ||
      splitRecordDate(record.date).year == yearlessMarkerYear) {
    return {};
  }
  return " (" + std::to_string(anniversaryCount(record, today)) + ")";
}

CountdownEntry eventEntry(const EventRecord& record, int d, DayNumber today) {
  const Ymd stored = splitRecordDate(record.date);
  std::string day = countdownText(d);
  std::string suffix = anniversarySuffix(record, today);
  std::string date = dayMonth(stored);
  if (!isSet(record.withoutYear)) date += "." + zeroPad2(stored.year);
  CountdownEntry entry;
  entry.line = day + formatEventLine(record) + suffix;
  entry.row = GridRow{std::move(day), std::move(date), record.text() + suffix};
  return entry;
}

void addCalendarDay(ViewResult& view, std::string_view name, const DateRule& rule, int listYear,
                    DayNumber today, int anzdays) {
  const auto next = nextOccurrence(today, rule);
  if (!next || !inDayWindow(next->second, anzdays)) return;
  const Ymd date = *splitDayNumber(next->first);
  const int shownYear = listYear == kOccurrenceYear ? date.year : listYear;
  std::string day = countdownText(next->second);
  view.lines.push_back(day +
                       formatDayMonthYear(static_cast<std::uint16_t>(date.day),
                                          static_cast<std::uint16_t>(date.month),
                                          static_cast<std::uint16_t>(shownYear)) +
                       "   " + std::string(name));
  view.grid.push_back(
      GridRow{std::move(day), dayMonth(date) + "." + zeroPad2(date.year), std::string(name)});
}

void sortCountdownGrid(std::vector<GridRow>& rows) {
  // A selection sort costs n^2/2 comparisons, too many for a full table. Day texts take few
  // distinct values, so track, per value, the unsorted positions holding it: the selection
  // step then finds its minimum at the top of the first non-empty heap.
  const std::size_t n = rows.size();
  std::vector<std::string_view> values;
  values.reserve(n);
  for (const GridRow& row : rows) values.emplace_back(row.day);
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());

  using MinHeap = std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<>>;
  std::vector<MinHeap> positions(values.size());
  std::vector<std::size_t> rank(n);   // rank of the day text now at each position
  std::vector<std::size_t> order(n);  // original index of the row now at each position
  for (std::size_t p = 0; p < n; ++p) {
    rank[p] = static_cast<std::size_t>(
        std::lower_bound(values.begin(), values.end(), std::string_view(rows[p].day)) -
        values.begin());
    positions[rank[p]].push(p);
    order[p] = p;
  }

  std::size_t lowest = 0;
  for (std::size_t i = 0; i < n; ++i) {
    // A value's count of unsorted positions only shrinks, so `lowest` only moves up.
    while (positions[lowest].empty()) ++lowest;
    const std::size_t m = positions[lowest].top();
    positions[lowest].pop();
    if (m == i) continue;
    // Position i is the first unsorted one, so it tops its own value's heap; its row moves to m.
    MinHeap& moved = positions[rank[i]];
    moved.pop();
    moved.push(m);
    std::swap(rank[i], rank[m]);
    std::swap(order[i], order[m]);
  }

  std::vector<GridRow> sorted;
  sorted.reserve(n);
  for (const std::size_t p : order) sorted.push_back(std::move(rows[p]));
  rows = std::move(sorted);
}

void sortListLines(std::vector<std::string>& lines) {
  std::vector<std::pair<std::string, std::size_t>> keys;
  keys.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) keys.emplace_back(listSortKey(lines[i]), i);
  std::sort(keys.begin(), keys.end());
  std::vector<std::string> sorted;
  sorted.reserve(lines.size());
  for (const auto& key : keys) sorted.push_back(std::move(lines[key.second]));
  lines = std::move(sorted);
}

ViewResult computeView(EventTable& table, const Settings& settings,
                       const HolidaySelection& holidays, DayNumber today, bool firstRebuild) {
  ViewResult view;
  const int anzdays = settings.anzdays;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (table.slotIsFree(slot)) continue;
    // Every text comes from the record as read, before the auto-delete rule may free it.
    const EventRecord& record = table.record(slot);
    const Ymd stored = splitRecordDate(record.date);
    const int d = occurrenceDays(stored.month, stored.day, today);
    if (inDayWindow(d, anzdays)) {
      CountdownEntry entry = eventEntry(record, d, today);
      if (isSet(record.highPriority)) {
        if (settings.prior == 1 && d == 0 && firstRebuild) view.popups.push_back(entry.line);
        if (settings.prior == 2 && d != 0) view.todayBox.push_back(entry.line);
      }
      view.lines.push_back(std::move(entry.line));
      view.grid.push_back(std::move(entry.row));
    }
    if (table.applyAutoDelete(slot, today)) view.freedSlots.push_back(slot);
  }
  if (holidays.computeHolidays()) addHolidays(view, holidays, today, anzdays);
  if (view.lines.empty()) view.lines.emplace_back(kEmptyWindowLine);
  for (const std::string& line : view.lines) {
    if (line.starts_with("Heute")) view.todayBox.push_back(line);
  }
  sortListLines(view.lines);
  sortListLines(view.todayBox);
  sortCountdownGrid(view.grid);
  return view;
}

}  // namespace tavik
