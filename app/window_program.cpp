// The window program's run.
#include "app/window_program.h"

#include <QApplication>
#include <QDate>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/calendar_sync.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/session_end.h"
#include "platform/desktop_notification.h"
#include "platform/posix/ini_user_store.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/posix_files.h"
#include "platform/qsettings_user_store.h"
#include "platform/qt_seams.h"
#include "platform/single_instance.h"
#include "store/failure.h"
#include "store/run_files.h"

namespace tavik {

namespace {

// The directory's name as bytes: it need not be valid UTF-8, and a QString would lose it.
std::string currentDirectory() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string(".") : current.native();
}

}  // namespace

int runWindowProgram(QApplication& app, const WindowProgramSeams& seams) {
  setUpApplication(app);

  std::string startDirectory = currentDirectory();
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

bool asksForNotificationOnly(int argc, const char* const* argv) {
  return argc == 2 && std::string_view(argv[1]) == "--notify";
}

int runNotificationOnly(int argc, char** argv) {
  // No GUI application: a timer's service has no display to connect to.
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  const QDate date = QDate::currentDate();
  const std::optional<DayNumber> today = makeDayNumber(date.year(), date.month(), date.day());
  if (!today) {
    std::fputs("Das heutige Datum liegt nicht in den Jahren 1 bis 9999.\n", stderr);
    return 1;
  }
  const std::string startDirectory = currentDirectory();
  PosixFiles files;
  std::vector<std::string> lines;
  try {
    // As the terminal listing reads: the window's lock does not matter, nothing is written.
    IniUserStore store(files, IniUserStore::defaultPath());
    RunFiles run(startDirectory);
    run.readOnly(files, store);
    lines = noticeLinesOf(computeView(run.table(), run.settings(), run.holidays(), *today, true));
  } catch (const Failure& failure) {
    std::fputs((failure.userMessage() + "\n").c_str(), stderr);
    return 1;
  }
  bool finished = false;
  notifyOncePerDay(files, startDirectory, *today, lines, sendDesktopNotification, [&finished] {
    finished = true;
    QCoreApplication::exit(0);
  });
  return finished ? 0 : QCoreApplication::exec();
}

}  // namespace tavik
