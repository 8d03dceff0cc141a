// Sorting the export list; kept apart so that only callers of the sort need the list order.
#include <algorithm>
#include <cstddef>
#include <utility>

#include "exchange/export_list.h"
#include "store/text_order.h"

namespace tavik {

void sortExportList(std::vector<ExportLine>& lines) {
  // One key per line, computed once, then one stable sort.
  std::vector<std::pair<std::string, std::size_t>> keys;
  keys.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) keys.emplace_back(listSortKey(lines[i].text), i);
  std::stable_sort(keys.begin(), keys.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<ExportLine> sorted;
  sorted.reserve(lines.size());
  for (const auto& key : keys) sorted.push_back(std::move(lines[key.second]));
  lines = std::move(sorted);
}

}  // namespace tavik
