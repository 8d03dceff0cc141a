// Creating the windows of a run.
#include "app/program.h"

#include <QApplication>
#include <QIcon>

#include "app/main_window.h"
#include "app/translations.h"
#include "dialogs/edit.h"
#include "dialogs/firedays.h"
#include "dialogs/help.h"
#include "dialogs/todaybox.h"
#include "platform/instance_lock.h"
#include "platform/qt_seams.h"
#include "platform/seams.h"

namespace tavik {

void setUpApplication(QApplication& app) {
  // The name, not the display name: Qt would append a display name to every window caption.
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  // The program ends when the main window has closed, whatever other window is still open.
  QApplication::setQuitOnLastWindowClosed(false);
  installGermanTranslations(app);
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/tavik/icons/tavik-%1.png").arg(size));
  }
  QApplication::setWindowIcon(icon);
}

bool claimStartDirectory(InstanceLock& lock, const QString& startDirectory, Messages& messages) {
  const QString path = startDirectory + QLatin1Char('/') + QLatin1String(kLockFileName);
  if (lock.acquire(path.toLocal8Bit().toStdString()) != InstanceLock::Result::HeldByOther) {
    return true;
  }
  messages.info(nullptr, QString::fromUtf8(kAlreadyRunningMessage));
  return false;
}

// Hands the dialogs' help calls to the quick-help window once it exists.
class ForwardingQuickHelp : public QuickHelp {
 public:
  QuickHelp* target = nullptr;
  void showQuickHelp(const QString& topic) override {
    if (target) target->showQuickHelp(topic);
  }
  void hideQuickHelp() override {
    if (target) target->hideQuickHelp();
  }
  bool quickHelpVisible() const override { return target && target->quickHelpVisible(); }
};

Program::Program(Platform& platform, QString startDirectory)
    : m_platform(platform), m_startDirectory(std::move(startDirectory)) {}

Program::~Program() = default;

void Program::create() {
  m_quickHelpForDialogs = std::make_unique<ForwardingQuickHelp>();
  m_form1 = std::make_unique<MainWindow>(m_platform, m_startDirectory);
  m_form2 = std::make_unique<TForm2>(m_platform.messages, *m_quickHelpForDialogs);
  m_form1->attachEditDialog(*m_form2);
  m_form3 = std::make_unique<TForm3>(m_form1->holidaySelection(), *m_quickHelpForDialogs);
  m_form1->setHolidayDialog([this] { m_form3->exec(); },
                            [this](const HolidaySelection&) { m_form3->showSelection(); });
  m_form4 = std::make_unique<TForm4>();
  m_form1->attachTodayBox(*m_form4);
  m_form5 = std::make_unique<TForm5>(m_platform.files, m_startDirectory);
  m_quickHelpForDialogs->target = m_form5.get();
  m_form1->attachQuickHelp(*m_form5);
}

}  // namespace tavik
