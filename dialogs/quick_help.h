// What the windows with a "?" button need of the quick-help window.
#pragma once

#include <QString>

class QWidget;

namespace tavik {

class QuickHelp {
 public:
  virtual ~QuickHelp() = default;
  // Sets the topic, shows the window beside `helped` (the window whose "?" was pressed; none
  // leaves it where it is) and gives it the focus; its activation loads the text.
  virtual void showQuickHelp(const QString& topic, const QWidget* helped) = 0;
  // Hides the window when it is visible (the main window and the two dialogs do this
  // whenever they become active).
  virtual void hideQuickHelp() = 0;
  virtual bool quickHelpVisible() const = 0;
};

}  // namespace tavik
