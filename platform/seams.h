// The window system's services the windows use, behind names of their own so that tests can
// replace them: message boxes, file dialogs, the desktop shell and the clock.
#pragma once

#include <QDate>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

namespace tavik {

class Files;
class UserStore;

// Modal boxes titled "Tavik! 4.5"; the question box is titled "Bestätigung".
class Messages {
 public:
  virtual ~Messages() = default;
  // A plain message with an OK button.
  virtual void info(QWidget* parent, const QString& text) = 0;
  // An error message (file and store failures) with an OK button.
  virtual void error(QWidget* parent, const QString& text) = 0;
  // The question box "Bestätigung" with "OK" and "Abbrechen"; true for OK.
  virtual bool confirm(QWidget* parent, const QString& text, bool cancelIsDefault) = 0;
};

// A file dialog as its owner keeps it between uses, like a dialog placed on a form: what it
// opens with, and what a confirmed use leaves in it, so that the next use opens there again.
struct FileDialogSetup {
  QString name;           // the dialog's objectName
  QString filter;         // "Description|*.ext|Description|*.ext; *.ext2"
  int filterIndex = 1;    // the entry shown, counted from 1
  QString fileName;       // the file shown, a full path or empty
  QString defaultSuffix;  // appended to a typed name without an extension (save dialog)
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The open dialog: `selectionChanged` hears every path the user selects while it is open.
  // Returns the confirmed path, or nullopt when the dialog was cancelled. A confirmed use
  // leaves its file and filter entry in `setup`.
  virtual std::optional<QString> openFile(
      QWidget* parent, FileDialogSetup& setup,
      const std::function<void(const QString&)>& selectionChanged) = 0;
  // The save dialog; it asks before an existing file is replaced. Returns the chosen path, or
  // nullopt when cancelled. A confirmed use leaves its file and filter entry in `setup`.
  virtual std::optional<QString> saveFile(QWidget* parent, FileDialogSetup& setup) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Hands a web address or mail link to the desktop; the result is not looked at.
  virtual void openUrl(const QUrl& url) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDate today() const = 0;
  // The date in the system's short date format.
  virtual QString shortDate(const QDate& date) const = 0;
};

// All seams together; the program passes the real ones, tests pass fakes.
struct Platform {
  Files& files;
  UserStore& userStore;
  Messages& messages;
  FileDialogs& fileDialogs;
  Shell& shell;
  Clock& clock;
};

}  // namespace tavik
