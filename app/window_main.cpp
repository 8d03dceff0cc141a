// The windowed program: one run in the current directory; with --sync, the calendar sync of
// that directory without a window (and without a display).
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/calendar_sync.h"
#include "app/window_program.h"
#include "platform/posix/posix_files.h"
#include "platform/qt_seams.h"

int main(int argc, char** argv) {
  using namespace tavik;
  if (asksForNotificationOnly(argc, argv)) return runNotificationOnly(argc, argv);
  if (argc == 2 && std::strcmp(argv[1], "--sync") == 0) {
    QCoreApplication app(argc, argv);
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return runSyncCommand(error ? std::string(".") : current.native(), stdout, stderr);
  }
  QApplication app(argc, argv);
  PosixFiles files;
  QtMessages messages;
  return runWindowProgram(app, {files, messages, {}});
}
