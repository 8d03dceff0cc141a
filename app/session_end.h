// The ways a desktop session ends a run besides its close, each of which keeps the data: the
// signals SIGTERM, SIGHUP and SIGINT (logout, shutdown, a terminal closed, Ctrl-C), the
// session manager's request to save, and the end of the process that Qt brings about when the
// connection to the display breaks.
#pragma once

#include <QObject>
#include <string>

class QSocketNotifier;

namespace tavik {

class Files;
class InstanceLock;
class MainWindow;
class RunFiles;

class SessionEnd : public QObject {
 public:
  // From now on until it is destroyed: the three signals end the session of `window`
  // (MainWindow::endSession), the application's commitDataRequest saves its stores, and a
  // process that ends without the close writes the stores first, the settings straight into
  // `settingsPath`, and then releases `lock`; when Qt reports a broken Wayland connection, the
  // GUI thread does so and ends the process with status 1. A signal that was ignored when the
  // program started (nohup) stays ignored; SIGTERM is always taken.
  SessionEnd(MainWindow& window, Files& files, InstanceLock& lock, std::string settingsPath);
  ~SessionEnd() override;
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

  // What the process does on its way out when the close has not written the stores. Uses no Qt:
  // Qt may have torn down part of itself by then. Failures go to standard error.
  void saveBeforeExit();

 private:
  void readSignals();

  MainWindow& m_window;
  // The window's files, which the exit-time save writes without going through the window.
  RunFiles& m_runFiles;
  Files& m_files;
  InstanceLock& m_lock;
  std::string m_settingsPath;
  QSocketNotifier* m_notifier = nullptr;
};

}  // namespace tavik
