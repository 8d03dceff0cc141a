// The today box's lines as a desktop notification's body words them.
#pragma once

#include <string>
#include <vector>

#include "dates/countdown.h"

namespace tavik {

// What a round anniversary's line begins with.
inline constexpr const char* kRoundMark = "★ ";

// One line per notice of `view`, in the today box's order, written for reading rather than
// for columns: "Heute", or the day ("Gestern", "Morgen", "In 7 Tagen", "Vor 3 Tagen") with
// the weekday and date it falls on ("In 7 Tagen, Sa 12.12."); then " – " and the text with its
// suffix, without the blanks around it. Round anniversaries begin with kRoundMark. Control
// characters in a text are kept for the notification to neutralise.
std::vector<std::string> notificationLines(const ViewResult& view);

// notificationLines for one notice.
std::string notificationLine(const Notice& notice);

}  // namespace tavik
