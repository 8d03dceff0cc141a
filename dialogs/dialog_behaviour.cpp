// Behaviour the windows share.
#include "dialogs/dialog_behaviour.h"

#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>

namespace tavik {

bool swallowEscape(QKeyEvent* e) {
  if (e->key() != Qt::Key_Escape || e->modifiers() != Qt::NoModifier) return false;
  e->accept();
  return true;
}

void centreOnScreen(QWidget& window, const QScreen* screen, QRect shape) {
  if (screen == nullptr) return;
  shape.moveCenter(screen->availableGeometry().center());
  window.move(shape.topLeft());
}

QListWidgetItem* makeCheckItem(const QString& text, bool checked, QListWidget* list) {
  auto* item = new QListWidgetItem(text, list);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  return item;
}

bool ActivatedDialog::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(e);
}

void ActivatedDialog::keyPressEvent(QKeyEvent* e) {
  if (!swallowEscape(e)) QDialog::keyPressEvent(e);
}

void ActivatedDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  centreOnScreen(*this, screen(), rect());
}

}  // namespace tavik
