// Pixel sizes of the windows were drawn at 96 dpi for an 8-point font with 13-pixel lines.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QtGlobal>
#include <algorithm>

namespace tavik {

// How much larger than the design font the font in use is; never below 1, so that fixed sizes
// grow with a larger system font but a small one keeps the design sizes.
inline double uiScale(const QFont& font) {
  return std::max(1.0, QFontMetricsF(font).height() / 13.0);
}

inline int scaled(int designPixels, double scale) {
  return qRound(designPixels * scale);
}

}  // namespace tavik
