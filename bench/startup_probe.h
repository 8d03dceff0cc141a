// What the start-up benchmarks share: ending the event loop at the first paint that shows what
// they wait for, and reporting when that paint was done and the process's CPU time.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <cstdio>
#include <functional>

namespace tavik::bench {

// When the first paint was done, by the wall clock and in CPU time of this process.
struct PaintTimes {
  double wallMs = 0;
  double cpuMs = 0;
};

// The user + system time of this process so far; on a shared machine this varies less than the
// wall time.
inline double cpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

inline double wallClockMs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

class QuitAfterPaint : public QObject {
 public:
  QuitAfterPaint(QWidget* watched, std::function<bool()> ready, PaintTimes& times)
      : m_ready(std::move(ready)), m_times(times) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !m_quitting && m_ready()) {
      m_quitting = true;
      // Queued, so that this paint and the flush of the frame it belongs to complete first.
      // exit, not quit: quit would close the windows and so run the program's close steps.
      QMetaObject::invokeMethod(
          qApp,
          [this] {
            m_times.wallMs = wallClockMs();
            m_times.cpuMs = cpuMs();
            QCoreApplication::exit(0);
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<bool()> m_ready;
  PaintTimes& m_times;
  bool m_quitting = false;
};

// Prints when the first paint was done ("paint_epoch_ms", by the wall clock, for the caller to
// subtract its start time from), the CPU time up to then ("paint_cpu_ms") and that of the whole
// run, teardown included ("cpu_ms").
inline void printTimes(const PaintTimes& paint) {
  std::printf("paint_epoch_ms %.3f\npaint_cpu_ms %.3f\ncpu_ms %.3f\n", paint.wallMs, paint.cpuMs,
              cpuMs());
}

}  // namespace tavik::bench
