// The windowed program: one run in the current directory.
#include <QApplication>

#include "app/window_program.h"
#include "platform/posix/posix_files.h"
#include "platform/qt_seams.h"

int main(int argc, char** argv) {
  using namespace tavik;
  if (asksForNotificationOnly(argc, argv)) return runNotificationOnly(argc, argv);
  QApplication app(argc, argv);
  PosixFiles files;
  QtMessages messages;
  return runWindowProgram(app, {files, messages, {}});
}
