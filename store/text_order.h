// The order of every sorted list of the program: case-insensitive, blanks before digits
// before letters, German umlauts with their base letters (on Windows-1252 bytes).
#pragma once

#include <string>
#include <string_view>

namespace tavik {

// A key whose plain byte order is the list order of `text`.
std::string listSortKey(std::string_view text);

// -1, 0 or 1 as `a` comes before, equals or comes after `b` in list order; the same order as
// that of their keys, without building them.
int listCompare(std::string_view a, std::string_view b);

// True when `a` comes before `b` in list order.
bool listLess(std::string_view a, std::string_view b);

}  // namespace tavik
