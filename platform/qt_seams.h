// The real message boxes, file dialogs, shell and clock.
#pragma once

#include "platform/seams.h"

namespace tavik {

// The application title, the caption of every message box.
inline constexpr const char* kApplicationTitle = "Tavik! 4.5";

class QtMessages : public Messages {
 public:
  void info(QWidget* parent, const QString& text) override;
  void error(QWidget* parent, const QString& text) override;
  bool confirm(QWidget* parent, const QString& text, bool cancelIsDefault) override;
};

class QtFileDialogs : public FileDialogs {
 public:
  std::optional<QString> openFile(
      QWidget* parent, FileDialogSetup& setup,
      const std::function<void(const QString&)>& selectionChanged) override;
  std::optional<QString> saveFile(QWidget* parent, FileDialogSetup& setup) override;
};

class QtShell : public Shell {
 public:
  void openUrl(const QUrl& url) override;
};

class SystemClock : public Clock {
 public:
  QDate today() const override;
  QString shortDate(const QDate& date) const override;
};

}  // namespace tavik
