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

}  // namespace tavik
