// A notebook page that is built when it is first shown, and the sizes the window needs of such
// pages before they exist.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/on_first_use.h"

namespace tavik {

// Holds the place of its page in the notebook. Until the page is built it reports the page's
// sizes as given (setAwaitedSizes); then it reports the page's own, so that the notebook and the
// window measure the same as with the page in the slot's place.
class LatePage : public QWidget {
 public:
  // `build` makes the page; it is called once, by build().
  explicit LatePage(std::function<QWidget*()> build, QWidget* parent = nullptr);

  // Builds the page, hidden when the slot is, shown when it is visible; returns it.
  QWidget* build();
  QWidget* page() const { return m_page.ifCreated(); }

  // The page's size hint and minimum size hint, to report until it is built.
  void setAwaitedSizes(QSize hint, QSize minimum);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The page belongs to this slot once built.
  OnFirstUse<QWidget> m_page;
  QSize m_hint;
  QSize m_minimum;
};

// The size hint and minimum size hint of each late page, as measured right after building it.
struct PageSizes {
  static constexpr int kPages = 3;
  std::array<QSize, kPages> hint;
  std::array<QSize, kPages> minimum;
  bool operator==(const PageSizes&) const = default;
};

// What the pages' sizes depend on: this build of the program, Qt, the platform, the style, the
// application font as resolved and measured, the installed font families and the screen's
// density and scale. A window built under the same description gets the same sizes.
QString displaySetupDescription(const QWidget& window);

// The smallest side a kept size may have: less than any page with a control in it.
inline constexpr int kSmallestPageSide = 16;
// The longest the file may be; the writer's is a few hundred bytes.
inline constexpr int kMostPageSizesBytes = 4096;

// The sizes kept for `description` in `file`, or nullopt when the file holds none for it, or
// none that can be read. Only a regular file of at most kMostPageSizesBytes is read (a FIFO,
// a device or a symbolic link is not opened or not waited on), and only sizes a screen of
// `largest` can show: each side from kSmallestPageSide to the side of `largest`, or -1 (Qt's
// "no size").
std::optional<PageSizes> readPageSizes(const QString& file, const QString& description,
                                       QSize largest);
// Keeps `sizes` for `description`, replacing what the file held. A failure loses only time at
// the next start, so it is not reported.
void writePageSizes(const QString& file, const QString& description, const PageSizes& sizes);

// The file in the per-user cache directory.
QString pageSizesFile();

}  // namespace tavik
