// Helpers the import and export page tests share: reading a check list, answering a real
// file dialog.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QListWidget>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace tavik::test {

inline QStringList lines(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

inline int tickedCount(const QListWidget* list) {
  int n = 0;
  for (int i = 0; i < list->count(); ++i) n += list->item(i)->checkState() == Qt::Checked;
  return n;
}

// Runs `act` on the file dialog as soon as it is open.
inline void whenDialogOpens(const std::function<void(QFileDialog*)>& act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    timer->deleteLater();
    timer->stop();
    act(dialog);
  });
  timer->start(20);
}

}  // namespace tavik::test
