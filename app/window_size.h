// The main window's size as the per-user store keeps it between starts.
#pragma once

#include <QSize>
#include <optional>
#include <string>

namespace tavik {

// The store's name for the value: "WIDTHxHEIGHT" in logical pixels, "-max" appended when the
// window was maximised (the size is then the one it returns to).
inline constexpr const char* kWindowSizeName = "windowsize";

struct KeptWindowSize {
  QSize size;
  bool maximized = false;
  bool operator==(const KeptWindowSize&) const = default;
};

std::string windowSizeText(const KeptWindowSize& kept);

// The size kept in `text`, made to fit: each side at least that of `minimum` and at most that of
// `available` (the screen's free area), the minimum winning on a screen smaller than it.
// nullopt for a text not of that form.
std::optional<KeptWindowSize> readWindowSize(const std::string& text, QSize minimum,
                                             QSize available);

}  // namespace tavik
