// What the start-up benchmarks share: ending the event loop at the first paint that shows what
// they wait for, and reporting the process's CPU time.
#pragma once

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <cstdio>
#include <functional>

namespace tavik::bench {

class QuitAfterPaint : public QObject {
 public:
  QuitAfterPaint(QWidget* watched, std::function<bool()> ready) : m_ready(std::move(ready)) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !m_quitting && m_ready()) {
      m_quitting = true;
      // Queued, so that this paint and the flush of the frame it belongs to complete first.
      // exit, not quit: quit would close the windows and so run the program's close steps.
      QMetaObject::invokeMethod(
          qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<bool()> m_ready;
  bool m_quitting = false;
};

// Prints "cpu_ms <user + system time of this process>"; on a shared machine this varies less
// than the wall time.
inline void printCpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  std::printf("cpu_ms %.3f\n", ms(usage.ru_utime) + ms(usage.ru_stime));
}

}  // namespace tavik::bench
