// Notification body lines.
#include "dates/notification_lines.h"

#include <string_view>

#include "dates/date_text.h"

namespace tavik {

namespace {

constexpr const char* kWeekdayShort[] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};

std::string dayWords(int d) {
  switch (d) {
    case -1:
      return "Gestern";
    case 0:
      return "Heute";
    case 1:
      return "Morgen";
    default:
      break;
  }
  return d > 0 ? "In " + std::to_string(d) + " Tagen"
               : "Vor " + std::to_string(-static_cast<long long>(d)) + " Tagen";
}

std::string_view withoutOuterBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string notificationLine(const Notice& notice) {
  std::string line;
  if (notice.round) line += kRoundMark;
  line += dayWords(notice.days);
  if (notice.days != 0) {
    if (const auto date = splitDayNumber(notice.date)) {
      line.append(", ").append(kWeekdayShort[weekday(notice.date)]).append(" ");
      line.append(zeroPad2(date->day)).append(".").append(zeroPad2(date->month)).append(".");
    }
  }
  const std::string_view text = withoutOuterBlanks(notice.text);
  if (!text.empty()) line.append(" – ").append(text);
  return line;
}

std::vector<std::string> notificationLines(const ViewResult& view) {
  std::vector<std::string> lines;
  lines.reserve(view.notices.size());
  for (const Notice& notice : view.notices) lines.push_back(notificationLine(notice));
  return lines;
}

}  // namespace tavik
