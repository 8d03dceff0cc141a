// The quick-help window and the reading of help files.
#include "dialogs/help.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <cmath>

#include "platform/display_scale.h"
#include "platform/qt_text.h"
#include "store/failure.h"
#include "store/files.h"
#include "store/help_text.h"

namespace tavik {

namespace {

// A help text is a page or two; anything beyond this is not a help text.
constexpr std::size_t kHelpFileLimit = 1 << 20;
// The design window's frame: a small tool-window caption and its borders.
constexpr int kDesignFrameHeight = 22;

}  // namespace

HelpHeights fitHelpHeights(int displayedLines, int linePitch, int minimumPadding) {
  const double k = linePitch / 15.0;
  const int padding = std::max(scaled(10, k), minimumPadding);
  const int memo =
      std::min(displayedLines * linePitch + padding, std::max(scaled(287, k), linePitch + padding));
  return {memo, memo + scaled(49, k)};
}

QPoint quickHelpPosition(const QRect& screen, const QRect& helped, QSize help) {
  // The last corner that keeps the window on the screen; the first one when it is larger.
  const int lastX = std::max(screen.left(), screen.right() + 1 - help.width());
  const int lastY = std::max(screen.top(), screen.bottom() + 1 - help.height());
  const auto onScreenX = [&](int x) { return std::clamp(x, screen.left(), lastX); };
  const auto onScreenY = [&](int y) { return std::clamp(y, screen.top(), lastY); };
  const int level = onScreenY(helped.top());
  const int rightOf = helped.right() + 1;
  if (rightOf + help.width() <= screen.right() + 1) return {rightOf, level};
  const int leftOf = helped.left() - help.width();
  if (leftOf >= screen.left()) return {leftOf, level};
  // The edges of the screen and of the helped window are where the least of it can be covered.
  // On a tie the earlier place wins: the left side first, as the windows keep their OK and Exit
  // buttons at the right.
  const int xs[] = {onScreenX(leftOf), screen.left(), onScreenX(rightOf), lastX};
  const int ys[] = {level, onScreenY(helped.bottom() + 1), onScreenY(helped.top() - help.height()),
                    screen.top(), lastY};
  QPoint best(xs[0], ys[0]);
  long long leastCovered = -1;
  for (const int y : ys) {
    for (const int x : xs) {
      const QRect covered = QRect(QPoint(x, y), help).intersected(helped);
      const long long area =
          covered.isEmpty() ? 0 : static_cast<long long>(covered.width()) * covered.height();
      if (leastCovered < 0 || area < leastCovered) {
        leastCovered = area;
        best = {x, y};
      }
    }
  }
  return best;
}

std::string deliveredHelpDirectory() {
  const QString here = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {here + QStringLiteral("/../../share/tavik/help"), here + QStringLiteral("/help")}) {
    const QFileInfo info(candidate);
    if (info.isDir())
      return QFile::encodeName(QDir::cleanPath(info.absoluteFilePath())).toStdString();
  }
  return {};
}

TForm5::TForm5(Files& files, std::string startDirectory, std::string deliveredDirectory,
               QWidget* parent)
    : QWidget(parent, Qt::Tool),
      m_files(files),
      m_startDirectory(std::move(startDirectory)),
      m_deliveredDirectory(std::move(deliveredDirectory)) {
  setObjectName(QStringLiteral("TForm5"));
  setWindowTitle(QStringLiteral("Quickhelp"));

  Label1 = new QLabel(QStringLiteral("Quickhelpfenster"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->setAlignment(Qt::AlignCenter);

  Memo1 = new QPlainTextEdit(QStringLiteral("Memo1"), this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setAccessibleName(QStringLiteral("Hilfetext"));
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  const double s = uiScale(font());
  Memo1->setFixedHeight(scaled(287, s));
  move(476, 116);
  resize(scaled(239, s), scaled(336 - kDesignFrameHeight, s));
}

// A text the user keeps in the start directory wins; anything standing there under the topic's
// name counts, so an unreadable one still reads as not found.
std::string TForm5::helpFilePath() const {
  std::string name = "/";
  name += QFile::encodeName(Label1->text()).toStdString();
  name += ".txt";
  const std::string own = m_startDirectory + name;
  FileStatus status;
  if (m_deliveredDirectory.empty() || m_files.status(own, status) != ENOENT) return own;
  return m_deliveredDirectory + name;
}

void TForm5::showQuickHelp(const QString& topic, const QWidget* helped) {
  Label1->setText(topic);
  // Over a modal dialog the window must stay usable, so that dialog becomes its owner; else the
  // window it helps, which keeps it above that one (a Wayland compositor knows no other tie).
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != this) {
    winId();
    QWidget* owner = modal != nullptr ? modal : helped != nullptr ? helped->window() : nullptr;
    if (owner != nullptr) owner->winId();
    windowHandle()->setTransientParent(owner != nullptr ? owner->windowHandle() : nullptr);
  }
  // The window manager may keep the focus elsewhere; the text must not wait for it. Loaded
  // before the window is placed, which needs its height.
  FormActivate();
  if (helped != nullptr) {
    const QScreen* screen = helped->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      // Before the first showing the frame is not known yet; the size without it is the best
      // guess.
      move(quickHelpPosition(screen->availableGeometry(), helped->frameGeometry(),
                             frameGeometry().size()));
    }
  }
  show();
  raise();
  activateWindow();
}

void TForm5::hideQuickHelp() {
  if (isVisible()) hide();
}

bool TForm5::quickHelpVisible() const {
  return isVisible();
}

bool TForm5::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QWidget::event(event);
}

void TForm5::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutChildren();
}

// The memo keeps its height at the bottom edge; the title takes the rest.
void TForm5::layoutChildren() {
  const int memoHeight = Memo1->height();
  Memo1->setGeometry(0, height() - memoHeight, width(), memoHeight);
  Label1->setGeometry(0, 0, width(), height() - memoHeight);
}

void TForm5::FormActivate() {
  QStringList lines;
  try {
    const std::string bytes = readFileBytes(m_files, helpFilePath(), kHelpFileLimit);
    for (const std::string_view line : helpTextLines(bytes)) lines << fromCp1252(line);
  } catch (const Failure&) {
    lines = QStringList{QString::fromUtf8(kHelpNotFound)};
  }
  // A lone LF stays inside its line; the memo would break there.
  for (QString& line : lines) line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  Memo1->setPlainText(lines.join(QLatin1Char('\n')));
  fitHeights();
}

int TForm5::displayedLineCount() const {
  const QTextDocument* doc = Memo1->document();
  if (doc->isEmpty()) return 0;
  const qreal width = Memo1->contentsRect().width() -
                      Memo1->verticalScrollBar()->sizeHint().width() - 2 * doc->documentMargin();
  int count = 0;
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    QTextLayout layout(block.text(), Memo1->font());
    layout.setTextOption(doc->defaultTextOption());
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      ++count;
    }
    layout.endLayout();
  }
  return count;
}

int TForm5::linePitch() const {
  QTextLayout layout(QStringLiteral("Mg"), Memo1->font());
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  return static_cast<int>(std::ceil(line.height()));
}

void TForm5::fitHeights() {
  // Lines are counted at the memo's width, which follows the window's only once it is shown.
  layoutChildren();
  const int pitch = linePitch();
  // Frame and margins; the editor scrolls unless it has one pixel more than its lines.
  const int padding = 2 * Memo1->frameWidth() +
                      static_cast<int>(std::ceil(2 * Memo1->document()->documentMargin())) + 1;
  const HelpHeights h = fitHelpHeights(displayedLineCount(), pitch, padding);
  Memo1->setFixedHeight(h.memo);
  const int frame = scaled(kDesignFrameHeight, pitch / 15.0);
  resize(width(), h.window - frame);
  layoutChildren();
}

}  // namespace tavik
