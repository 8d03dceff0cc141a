// One start of the window program up to its first painted countdown: the application and the
// five windows as the program creates them, the data file of the current directory, the first
// activation, then the first paint of the grid after it. Nothing is written: the close steps
// do not run.
#include <QApplication>
#include <QTableView>
#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "app/pages/countdown_page.h"
#include "app/program.h"
#include "bench/startup_probe.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/posix_files.h"
#include "platform/qsettings_user_store.h"
#include "platform/qt_seams.h"

namespace {

using namespace tavik;

int start(int argc, char** argv, bench::PaintTimes& times) {
  QApplication app(argc, argv);
  setUpApplication(app);

  const std::string startDirectory = std::filesystem::current_path().native();
  QtMessages messages;
  InstanceLock lock;
  if (claimStartDirectory(lock, startDirectory, messages) == StartClaim::Refused) return 1;

  PosixFiles files;
  QSettingsUserStore userStore;
  QtFileDialogs fileDialogs;
  QtShell shell;
  SystemClock clock;
  Platform platform{files, userStore, messages, fileDialogs, shell, clock};

  Program program(platform, startDirectory);
  program.create();
  MainWindow& main = program.mainWindow();
  const bench::QuitAfterPaint quit(
      main.countdownPage->StringGrid1->viewport(), [&main] { return main.firstViewDone(); }, times);
  main.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  bench::PaintTimes times;
  const int result = start(argc, argv, times);
  bench::printTimes(times);
  return result;
}
