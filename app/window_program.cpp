// The window program's run.
#include "app/window_program.h"

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/calendar_sync.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/session_end.h"
#include "platform/posix/instance_lock.h"
#include "platform/qsettings_user_store.h"
#include "platform/qt_seams.h"
#include "platform/single_instance.h"

namespace tavik {

int runWindowProgram(QApplication& app, const WindowProgramSeams& seams) {
  setUpApplication(app);

  // The directory's name as bytes: it need not be valid UTF-8, and a QString would lose it.
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  std::string startDirectory = error ? std::string(".") : current.native();
  InstanceLock lock;
  const QString socketPath = instanceSocketPath(startDirectory);
  const StartClaim claim = claimStartDirectory(
      lock, startDirectory, seams.messages, [&] { return askRunningInstanceToShow(socketPath); });
  if (claim == StartClaim::Shown) return 0;
  if (claim == StartClaim::Refused) return 1;

  // The per-user store reads its file when created, so it comes after the lock.
  QSettingsUserStore userStore;
  QtFileDialogs fileDialogs;
  QtShell shell;
  SystemClock clock;
  Platform platform{seams.files, userStore, seams.messages, fileDialogs, shell, clock};

  Program program(platform, std::move(startDirectory));
  program.create();
  MainWindow& window = program.mainWindow();
  window.calendarSync->runner = runCalendarSync;
  window.calendarSync->discover = runDiscovery;
  window.calendarSync->makeCalendar = runMakeCalendar;
  QObject::connect(&window, &MainWindow::closed, &app, [&window] {
    const std::string& failure = window.endFailure();
    if (!failure.empty()) std::fputs((failure + "\n").c_str(), stderr);
    QCoreApplication::exit(failure.empty() ? 0 : 1);
  });
  SessionEnd sessionEnd(window, seams.files, lock, userStore.filePath());
  // Only the holder of the lock answers later starts; without a socket they tell the user.
  ShowRequests showRequests;
  if (claim == StartClaim::Locked) {
    QObject::connect(&showRequests, &ShowRequests::showRequested, &window,
                     &MainWindow::showOnRequest);
    showRequests.listen(socketPath);
  }
  if (seams.created) seams.created(program);
  program.mainWindow().show();
  return QApplication::exec();
}

}  // namespace tavik
