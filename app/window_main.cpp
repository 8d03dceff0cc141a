// The windowed program: one run in the current directory.
#include <QApplication>
#include <QDir>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/instance_lock.h"
#include "platform/posix_files.h"
#include "platform/qsettings_user_store.h"
#include "platform/qt_seams.h"

int main(int argc, char** argv) {
  using namespace tavik;
  QApplication app(argc, argv);
  setUpApplication(app);

  const QString startDirectory = QDir::currentPath();
  QtMessages messages;
  InstanceLock lock;
  if (!claimStartDirectory(lock, startDirectory, messages)) return 1;

  // The per-user store reads its file when created, so it comes after the lock.
  PosixFiles files;
  QSettingsUserStore userStore;
  QtFileDialogs fileDialogs;
  QtShell shell;
  SystemClock clock;
  Platform platform{files, userStore, messages, fileDialogs, shell, clock};

  Program program(platform, startDirectory);
  program.create();
  QObject::connect(&program.mainWindow(), &MainWindow::closed, &app,
                   [] { QCoreApplication::exit(0); });
  program.mainWindow().show();
  return QApplication::exec();
}
