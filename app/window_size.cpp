// The kept main window size.
#include "app/window_size.h"

#include <QByteArray>
#include <QList>
#include <algorithm>

namespace tavik {

namespace {

constexpr const char* kMaximizedSuffix = "-max";
// Longer than any screen side; keeps the numbers far from overflow.
constexpr int kLongestSide = 100000;

int fitted(int side, int least, int most) {
  return std::max(least, std::min(side, most));
}

}  // namespace

std::string windowSizeText(const KeptWindowSize& kept) {
  std::string text = std::to_string(kept.size.width()) + "x" + std::to_string(kept.size.height());
  if (kept.maximized) text += kMaximizedSuffix;
  return text;
}

std::optional<KeptWindowSize> readWindowSize(const std::string& text, QSize minimum,
                                             QSize available) {
  QByteArray bytes = QByteArray::fromStdString(text);
  KeptWindowSize kept;
  if (bytes.endsWith(kMaximizedSuffix)) {
    kept.maximized = true;
    bytes.chop(static_cast<qsizetype>(std::char_traits<char>::length(kMaximizedSuffix)));
  }
  const QList<QByteArray> sides = bytes.split('x');
  if (sides.size() != 2) return std::nullopt;
  int values[2] = {};
  for (int i = 0; i < 2; ++i) {
    const QByteArray& side = sides[i];
    // Digits only: no sign, blanks or other bases.
    if (side.isEmpty() || side.size() > 6 ||
        !std::all_of(side.begin(), side.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    values[i] = std::min(side.toInt(), kLongestSide);
  }
  kept.size = QSize(fitted(values[0], minimum.width(), available.width()),
                    fitted(values[1], minimum.height(), available.height()));
  return kept;
}

}  // namespace tavik
