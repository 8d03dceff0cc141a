// Creating the windows of a run.
#include "app/program.h"

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QImage>
#include <QPixmap>
#include <QResource>

#include "app/main_window.h"
#include "app/translations.h"
#include "dialogs/edit.h"
#include "dialogs/firedays.h"
#include "dialogs/help.h"
#include "dialogs/todaybox.h"
#include "platform/posix/instance_lock.h"
#include "platform/qt_seams.h"
#include "platform/seams.h"
#include "store/failure.h"

namespace tavik {

namespace {

// The application icon, whose pictures are made only when a window system first asks for one
// (the offscreen platform never does), from pixels stored as they are used: X11 takes every
// size at the first showing, and decoding the PNGs cost more than the rest of the showing.
class DeferredIconEngine : public QIconEngine {
 public:
  // `sizes` in ascending order, each with its pixels in ":/tavik/icons/tavik-<size>.argb".
  explicit DeferredIconEngine(QList<int> sizes) : m_sizes(std::move(sizes)) {}

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    // The size asked for is in device pixels already.
    return icon().pixmap(size, 1.0, mode, state);
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  // As for pictures added to a QIcon: the largest one, made smaller to fit.
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    QSize largest(m_sizes.last(), m_sizes.last());
    if (largest.width() > size.width() || largest.height() > size.height()) {
      largest.scale(size, Qt::KeepAspectRatio);
    }
    return largest;
  }
  // The other modes are drawn from the normal pictures; none is stored for them.
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    QList<QSize> sizes;
    if (mode != QIcon::Normal || state != QIcon::Off) return sizes;
    for (const int side : m_sizes) sizes << QSize(side, side);
    return sizes;
  }
  bool isNull() override { return m_sizes.isEmpty(); }
  QString key() const override { return QStringLiteral("tavik-deferred"); }
  QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

 private:
  QIcon& icon() {
    if (m_icon.isNull()) {
      for (const int side : m_sizes) {
        // Stored uncompressed, so the pixels are read in place (see resources/icon_pixels.cpp).
        const QResource pixels(QStringLiteral(":/tavik/icons/tavik-%1.argb").arg(side));
        const QByteArray bytes = pixels.uncompressedData();
        if (bytes.size() != qsizetype(side) * side * 4) continue;
        const QImage image(reinterpret_cast<const uchar*>(bytes.constData()), side, side, side * 4,
                           QImage::Format_ARGB32_Premultiplied);
        m_icon.addPixmap(QPixmap::fromImage(image));
      }
    }
    return m_icon;
  }

  QList<int> m_sizes;
  QIcon m_icon;
};

}  // namespace

void setUpApplication(QApplication& app) {
  // The name, not the display name: Qt would append a display name to every window caption.
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  // The menu entry's name. Wayland desktops match a window to its entry and icon by this id;
  // without it they would see "tavik-window", the program's file name.
  QGuiApplication::setDesktopFileName(QStringLiteral("tavik"));
  // The program ends when the main window has closed, whatever other window is still open.
  QApplication::setQuitOnLastWindowClosed(false);
  installGermanTranslations(app);
  QApplication::setWindowIcon(QIcon(new DeferredIconEngine({16, 32, 48, 64, 128, 256})));
}

StartClaim claimStartDirectory(InstanceLock& lock, const std::string& startDirectory,
                               Messages& messages, const std::function<bool()>& showRunning) {
  switch (lock.acquire(startDirectory + "/" + kLockFileName)) {
    case InstanceLock::Result::Locked:
      return StartClaim::Locked;
    case InstanceLock::Result::Unavailable:  // a directory nobody here may write to
      return StartClaim::Unlocked;
    case InstanceLock::Result::HeldByOther:
      if (showRunning && showRunning()) return StartClaim::Shown;
      messages.info(nullptr, QString::fromUtf8(kAlreadyRunningMessage));
      return StartClaim::Refused;
    case InstanceLock::Result::Failed:
      break;
  }
  // Without the lock another run could overwrite what this one saves, and the other way round.
  messages.error(nullptr, QString::fromUtf8(kLockFailedMessage)
                              .arg(QString::fromUtf8(kLockFileName),
                                   QString::fromStdString(fileErrorText(lock.errorNumber()))));
  return StartClaim::Refused;
}

// Hands the dialogs' help calls to the quick-help window, which is created when first shown.
class ForwardingQuickHelp : public QuickHelp {
 public:
  explicit ForwardingQuickHelp(OnFirstUse<TForm5>& target) : m_target(target) {}
  void showQuickHelp(const QString& topic, const QWidget* helped) override {
    m_target.get().showQuickHelp(topic, helped);
  }
  void hideQuickHelp() override {
    if (TForm5* help = m_target.ifCreated()) help->hideQuickHelp();
  }
  bool quickHelpVisible() const override {
    const TForm5* help = m_target.ifCreated();
    return help != nullptr && help->quickHelpVisible();
  }

 private:
  OnFirstUse<TForm5>& m_target;
};

Program::Program(Platform& platform, std::string startDirectory)
    : m_platform(platform),
      m_startDirectory(std::move(startDirectory)),
      m_form2(
          [this] { return std::make_unique<TForm2>(m_platform.messages, *m_quickHelpForDialogs); }),
      // It shows the selection as it is now; every later read of the holiday file shows it anew.
      m_form3([this] {
        return std::make_unique<TForm3>(m_form1->holidaySelection(), *m_quickHelpForDialogs);
      }),
      m_form4([this] {
        auto box = std::make_unique<TForm4>();
        m_form1->attachTodayBox(*box);
        return box;
      }),
      m_form5([this] { return std::make_unique<TForm5>(m_platform.files, m_startDirectory); }) {}

Program::~Program() = default;

void Program::create() {
  m_quickHelpForDialogs = std::make_unique<ForwardingQuickHelp>(m_form5);
  m_form1 = std::make_unique<MainWindow>(m_platform, m_startDirectory);
  m_form1->attachEditDialog([this]() -> TForm2& { return editDialog(); });
  m_form1->setHolidayDialog([this] { holidayDialog().exec(); },
                            [this](const HolidaySelection&) {
                              if (TForm3* dialog = m_form3.ifCreated()) dialog->showSelection();
                            });
  m_form1->setLateWindows(m_form4, m_form5);
}

TForm2& Program::editDialog() {
  return m_form2.get();
}

TForm3& Program::holidayDialog() {
  return m_form3.get();
}

TForm4& Program::todayBox() {
  return m_form4.get();
}

TForm5& Program::quickHelp() {
  return m_form5.get();
}

}  // namespace tavik
