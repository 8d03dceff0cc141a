// Creating the windows of a run.
#include "app/program.h"

#include "app/main_window.h"
#include "dialogs/help.h"
#include "dialogs/todaybox.h"
#include "platform/instance_lock.h"
#include "platform/seams.h"

namespace tavik {

bool claimStartDirectory(InstanceLock& lock, const QString& startDirectory, Messages& messages) {
  const QString path = startDirectory + QLatin1Char('/') + QLatin1String(kLockFileName);
  if (lock.acquire(path.toLocal8Bit().toStdString()) != InstanceLock::Result::HeldByOther) {
    return true;
  }
  messages.info(nullptr, QString::fromUtf8(kAlreadyRunningMessage));
  return false;
}

Program::Program(Platform& platform, QString startDirectory)
    : m_platform(platform), m_startDirectory(std::move(startDirectory)) {}

Program::~Program() = default;

void Program::create() {
  m_form1 = std::make_unique<MainWindow>(m_platform, m_startDirectory);
  // The event edit dialog (TForm2) and the holiday selection dialog (TForm3) are created here,
  // in this order; the holiday dialog is handed to the main window with setHolidayDialog().
  m_form4 = std::make_unique<TForm4>();
  m_form1->attachTodayBox(*m_form4);
  m_form5 = std::make_unique<TForm5>(m_platform.files, m_startDirectory);
  m_form1->attachQuickHelp(*m_form5);
}

}  // namespace tavik
