// One run of the window program in the current directory, with its file and message seams
// given by the caller.
#pragma once

#include <functional>

class QApplication;

namespace tavik {

class Files;
class Messages;
class Program;

struct WindowProgramSeams {
  Files& files;
  Messages& messages;
  // Runs once the windows exist, before the main window is shown.
  std::function<void(Program&)> created;
};

// Sets up `app` (name, German translations, icon), takes the lock of the current directory,
// creates the windows, shows the main window and runs the event loop until the main window has
// closed, or the session ends (see SessionEnd). While it runs, a later start in the same
// directory gets the window shown instead of a second run. Returns the exit code: 0, also when
// the run already there has shown its window; 1 when another run holds the directory and did
// not answer, or a write failed as the session ended.
int runWindowProgram(QApplication& app, const WindowProgramSeams& seams);

// True when the command line asks for the notification alone (`--notify`).
bool asksForNotificationOnly(int argc, const char* const* argv);

// `--notify`: without any window or display, reads the current directory's settings, events
// and holidays as `tavik --list` does (no lock, nothing written, lastshown unchanged), builds
// the first rebuild's view of today and sends its notification once a day (see
// notifyOncePerDay), waiting for the server's answer. Returns 0, also when there is nothing to
// say or no server; 1 after a read failure, named on standard error.
int runNotificationOnly(int argc, char** argv);

}  // namespace tavik
