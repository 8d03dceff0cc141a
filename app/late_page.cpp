// Late notebook pages and the sizes kept for them.
#include "app/late_page.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QStringList>
#include <QStyle>
#include <QTextStream>
#include <cerrno>

namespace tavik {

LatePage::LatePage(std::function<QWidget*()> build, QWidget* parent)
    : QWidget(parent), m_page(std::move(build)) {}

QWidget* LatePage::build() {
  if (QWidget* built = m_page.ifCreated()) return built;
  QWidget& page = m_page.get();
  page.setParent(this);
  page.setGeometry(rect());
  // Shown in the same turn of the event loop as the slot, so no frame shows the slot empty.
  if (isVisible()) page.show();
  updateGeometry();
  return &page;
}

void LatePage::setAwaitedSizes(QSize hint, QSize minimum) {
  m_hint = hint;
  m_minimum = minimum;
  updateGeometry();
}

QSize LatePage::sizeHint() const {
  const QWidget* built = m_page.ifCreated();
  return built != nullptr ? built->sizeHint() : m_hint;
}

QSize LatePage::minimumSizeHint() const {
  const QWidget* built = m_page.ifCreated();
  return built != nullptr ? built->minimumSizeHint() : m_minimum;
}

void LatePage::resizeEvent(QResizeEvent* event) {
  if (QWidget* built = m_page.ifCreated()) built->setGeometry(rect());
  QWidget::resizeEvent(event);
}

namespace {

QString metricsText(const QFont& font) {
  const QFontInfo info(font);
  const QFontMetricsF metrics(font);
  return QStringLiteral("%1|%2|%3|%4|%5|%6")
      .arg(info.family(), info.styleName())
      .arg(info.pixelSize())
      .arg(metrics.height())
      .arg(metrics.averageCharWidth())
      .arg(metrics.maxWidth());
}

// The whole file when it is a regular file of at most kMostPageSizesBytes. Opened without
// blocking and without following a link, so a FIFO put in its place cannot hang the start.
std::optional<QByteArray> readSmallRegularFile(const QString& file) {
  const int fd =
      ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<QByteArray> result;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMostPageSizesBytes) {
    QByteArray bytes(kMostPageSizesBytes + 1, '\0');
    qsizetype filled = 0;
    while (filled < bytes.size()) {
      const ssize_t n =
          ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      filled += n;
    }
    // Grown since fstat: not the writer's file either.
    if (filled <= kMostPageSizesBytes) result = bytes.left(filled);
  }
  ::close(fd);
  return result;
}

}  // namespace

QString displaySetupDescription(const QWidget& window) {
  QStringList parts;
  const QFileInfo program(QCoreApplication::applicationFilePath());
  parts << QStringLiteral("1") << program.absoluteFilePath() << QString::number(program.size())
        << QString::number(program.lastModified().toMSecsSinceEpoch());
  parts << QString::fromLatin1(qVersion()) << QGuiApplication::platformName()
        << window.style()->name();
  const QFont font = window.font();
  QFont bold = font;
  bold.setBold(true);
  parts << font.toString() << metricsText(font) << metricsText(bold);
  const QStringList families = QFontDatabase::families();
  parts << QString::number(families.size()) << QString::number(qHash(families.join(u'|')));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    parts << QString::number(screen->logicalDotsPerInchX())
          << QString::number(screen->logicalDotsPerInchY())
          << QString::number(screen->devicePixelRatio());
  }
  return parts.join(u'\t');
}

std::optional<PageSizes> readPageSizes(const QString& file, const QString& description,
                                       QSize largest) {
  const std::optional<QByteArray> bytes = readSmallRegularFile(file);
  if (!bytes) return std::nullopt;
  const QList<QByteArray> lines = bytes->split('\n');
  if (lines.size() < 2 || QString::fromUtf8(lines[0]) != description) return std::nullopt;
  const QList<QByteArray> numbers = lines[1].split(' ');
  if (numbers.size() != 4 * PageSizes::kPages) return std::nullopt;
  int values[4 * PageSizes::kPages];
  for (int i = 0; i < 4 * PageSizes::kPages; ++i) {
    bool ok = false;
    values[i] = numbers[i].toInt(&ok);
    const int side = i % 2 == 0 ? largest.width() : largest.height();
    if (!ok || (values[i] != -1 && (values[i] < kSmallestPageSide || values[i] > side))) {
      return std::nullopt;
    }
  }
  PageSizes sizes;
  for (int p = 0; p < PageSizes::kPages; ++p) {
    sizes.hint[p] = QSize(values[4 * p], values[4 * p + 1]);
    sizes.minimum[p] = QSize(values[4 * p + 2], values[4 * p + 3]);
  }
  return sizes;
}

void writePageSizes(const QString& file, const QString& description, const PageSizes& sizes) {
  QDir().mkpath(QFileInfo(file).absolutePath());
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly)) return;
  QByteArray bytes = description.toUtf8() + '\n';
  for (int p = 0; p < PageSizes::kPages; ++p) {
    bytes += QByteArray::number(sizes.hint[p].width()) + ' ' +
             QByteArray::number(sizes.hint[p].height()) + ' ' +
             QByteArray::number(sizes.minimum[p].width()) + ' ' +
             QByteArray::number(sizes.minimum[p].height());
    bytes += p + 1 < PageSizes::kPages ? ' ' : '\n';
  }
  out.write(bytes);
  out.commit();
}

QString pageSizesFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
         QStringLiteral("/tavik/page-sizes");
}

}  // namespace tavik
