// Signals through a pipe read by the event loop, the session manager's save request, and a
// process exit handler for the end Qt brings about itself.
//
// When the connection to the X server breaks, Qt's xcb plugin notices it in the event
// dispatcher of the GUI thread (its reader thread only wakes that dispatcher) and calls exit(1)
// right there, with the windows, the table and this object still alive on the stack. exit()
// then runs the handlers registered with atexit and the destructors of static objects, in the
// reverse order of their registration: our handler comes before everything Qt set up before
// this object existed, but whatever Qt set up later may be gone already. So the handler touches
// no Qt at all: the table and settings are plain data, and the files are written with the
// core's own file calls, the settings file included.
//
// When the connection to a Wayland compositor breaks, Qt's Wayland plugin finds it on one of
// its event threads, prints a warning and calls _exit(1) there: no exit handler runs. The
// warning is the only moment we get, so the message handler hands the save to the GUI thread,
// which owns the table, through the signal pipe, and keeps the reporting thread waiting while
// the GUI thread writes the stores and ends the process with the same status.
#include "app/session_end.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "app/main_window.h"
#include "platform/posix/ini_user_store.h"
#include "platform/posix/instance_lock.h"
#include "store/failure.h"

namespace tavik {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Open for the whole process: a handler may still run on another thread while the pipe's
// reader goes away, and must never write into a descriptor that was closed and reused.
int g_signalPipe[2] = {-1, -1};
struct sigaction g_previous[std::size(kEndSignals)];
bool g_taken[std::size(kEndSignals)] = {};

// Written into the signal pipe in place of a signal number: the display connection broke.
constexpr unsigned char kDisplayGone = 0;
// How long the thread that found the broken Wayland connection waits for the GUI thread's save
// before Qt ends the process anyway: a GUI thread that never gets back to its event loop must
// not keep a process without a display alive.
constexpr auto kDisplayGoneWait = std::chrono::seconds(10);

std::atomic<SessionEnd*> g_active = nullptr;
std::thread::id g_guiThread;
bool g_exitHandlerRegistered = false;
std::atomic<QtMessageHandler> g_previousMessageHandler = nullptr;

// Async-signal-safe: one write to a non-blocking pipe. A full pipe already holds a wake-up.
void onEndSignal(int number) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(number);
  if (::write(g_signalPipe[1], &byte, 1) < 0) {
    // Nothing to do: the reader wakes up for the bytes already there.
  }
  errno = savedErrno;
}

void saveAtExit() {
  // Another thread calling exit() would race the GUI thread that owns the table.
  SessionEnd* active = g_active;
  if (std::this_thread::get_id() != g_guiThread || active == nullptr) return;
  active->saveBeforeExit();
}

// Qt 6.4's Wayland plugin, just before its _exit(1): "The Wayland connection broke. Did the
// Wayland compositor die?", or "... experienced a fatal error: ..." for other errors.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (const QtMessageHandler previous = g_previousMessageHandler; previous != nullptr) {
    previous(type, context, message);
  }
  if (type != QtWarningMsg || !message.startsWith(QLatin1String("The Wayland connection "))) {
    return;
  }
  SessionEnd* active = g_active;
  if (active == nullptr) return;
  if (std::this_thread::get_id() == g_guiThread) {
    active->saveBeforeExit();
    return;
  }
  if (::write(g_signalPipe[1], &kDisplayGone, 1) < 0) return;
  // The GUI thread ends the process once the stores are written.
  std::this_thread::sleep_for(kDisplayGoneWait);
}

// Stands in for a settings file that could not be read: every write fails, as it would.
class RefusingStore : public UserStore {
 public:
  Read read(const std::string&, std::uint8_t&) override { return Read::Missing; }
  bool write(const std::string&, std::uint8_t) override { return false; }
  Read readText(const std::string&, std::string&) override { return Read::Missing; }
  bool writeText(const std::string&, const std::string&) override { return false; }
  bool sync() override { return false; }
};

// Empties the pipe; true when the display's end was among what it held.
bool drainSignalPipe() {
  bool displayGone = false;
  unsigned char bytes[64];
  ssize_t got = 0;
  while ((got = ::read(g_signalPipe[0], bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < got; ++i) displayGone = displayGone || bytes[i] == kDisplayGone;
  }
  return displayGone;
}

}  // namespace

SessionEnd::SessionEnd(MainWindow& window, Files& files, InstanceLock& lock,
                       std::string settingsPath)
    : m_window(window),
      m_runFiles(window.runFiles()),
      m_files(files),
      m_lock(lock),
      m_settingsPath(std::move(settingsPath)) {
  if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    g_signalPipe[0] = g_signalPipe[1] = -1;
  }
  if (g_signalPipe[0] >= 0) {
    drainSignalPipe();
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SessionEnd::readSignals);
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : kEndSignals) sigaddset(&action.sa_mask, number);
    // File calls of a save in progress go on where a signal interrupted them.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
      struct sigaction current {};
      if (::sigaction(kEndSignals[i], nullptr, &current) != 0) continue;
      if (kEndSignals[i] != SIGTERM && current.sa_handler == SIG_IGN) continue;
      g_taken[i] = ::sigaction(kEndSignals[i], &action, &g_previous[i]) == 0;
    }
  }
  connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
    const std::string failure = m_window.saveForSessionManager();
    if (!failure.empty()) std::fputs((failure + "\n").c_str(), stderr);
  });
  g_guiThread = std::this_thread::get_id();
  g_active = this;
  if (!g_exitHandlerRegistered) g_exitHandlerRegistered = std::atexit(saveAtExit) == 0;
  g_previousMessageHandler = qInstallMessageHandler(onQtMessage);
}

SessionEnd::~SessionEnd() {
  g_active = nullptr;
  qInstallMessageHandler(g_previousMessageHandler);
  for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
    if (g_taken[i]) ::sigaction(kEndSignals[i], &g_previous[i], nullptr);
    g_taken[i] = false;
  }
}

void SessionEnd::readSignals() {
  if (drainSignalPipe()) {
    // The display is gone: no window can be touched any more, so this is the exit-time save,
    // and the end Qt meant for the process.
    saveBeforeExit();
    std::_Exit(1);
  }
  m_window.endSession();
}

void SessionEnd::saveBeforeExit() {
  // A settings file that cannot be read must not keep the events from their file.
  std::string unreadable;
  std::optional<IniUserStore> settings;
  try {
    settings.emplace(m_files, m_settingsPath, IniUserStore::Writes::Allowed);
  } catch (const Failure& f) {
    unreadable = f.userMessage();
  }
  RefusingStore none;
  const std::string failure =
      m_runFiles.saveAtExit(m_files, settings ? static_cast<UserStore&>(*settings) : none);
  if (!unreadable.empty()) std::fputs((unreadable + "\n").c_str(), stderr);
  if (!failure.empty()) std::fputs((failure + "\n").c_str(), stderr);
  std::fflush(stderr);
  m_lock.release();
}

}  // namespace tavik
