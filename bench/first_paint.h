// Ends the event loop once a widget has been painted while a condition holds: the start-up
// benchmarks end a run at the first paint that shows what they wait for.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
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

}  // namespace tavik::bench
