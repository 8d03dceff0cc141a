// The window program's run.
#include "app/window_program.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include "app/main_window.h"
#include "app/program.h"
#include "app/translations.h"
#include "platform/instance_lock.h"
#include "platform/qsettings_user_store.h"
#include "platform/qt_seams.h"

namespace tavik {

int runWindowProgram(QApplication& app, const WindowProgramSeams& seams) {
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

  const QString startDirectory = QDir::currentPath();
  InstanceLock lock;
  if (!claimStartDirectory(lock, startDirectory, seams.messages)) return 1;

  // The per-user store reads its file when created, so it comes after the lock.
  QSettingsUserStore userStore;
  QtFileDialogs fileDialogs;
  QtShell shell;
  SystemClock clock;
  Platform platform{seams.files, userStore, seams.messages, fileDialogs, shell, clock};

  Program program(platform, startDirectory);
  program.create();
  QObject::connect(&program.mainWindow(), &MainWindow::closed, &app,
                   [] { QCoreApplication::exit(0); });
  if (seams.created) seams.created(program);
  program.mainWindow().show();
  return QApplication::exec();
}

}  // namespace tavik
