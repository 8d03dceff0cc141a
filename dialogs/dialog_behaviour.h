// What the windows share: Escape in the dialogs, centring on the screen, check list items.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

class QEvent;
class QKeyEvent;
class QShowEvent;
class QListWidget;
class QListWidgetItem;
class QScreen;
class QWidget;

namespace tavik {

// True, with the key taken, for Escape without modifiers. The dialogs bind no button to it:
// a stray key must not throw away what was typed.
bool swallowEscape(QKeyEvent* e);

// Moves `window` so that `shape` (its rect() or its frame geometry) has its centre at the
// centre of the available area of `screen`; without a screen it stays where it is.
void centreOnScreen(QWidget& window, const QScreen* screen, QRect shape);

// A check list item showing `text`, enabled, selectable and checkable by the user, added to
// `list` when one is given.
QListWidgetItem* makeCheckItem(const QString& text, bool checked, QListWidget* list = nullptr);

// A dialog of ours: FormActivate each time it becomes the active window, Escape taken, and
// centred on its screen whenever it is shown.
class ActivatedDialog : public QDialog {
  Q_OBJECT

 public:
  using QDialog::QDialog;
  virtual void FormActivate() = 0;

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void showEvent(QShowEvent* e) override;
};

}  // namespace tavik
