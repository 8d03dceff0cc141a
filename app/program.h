// One run of the program: the lock of the start directory and the five windows.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/on_first_use.h"

class QApplication;

namespace tavik {

struct Platform;
class InstanceLock;
class Messages;
class MainWindow;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class ForwardingQuickHelp;

inline constexpr const char* kAlreadyRunningMessage = "Tavik! läuft bereits in diesem Verzeichnis.";
// %1 the lock file's name, %2 the system's reason.
inline constexpr const char* kLockFailedMessage =
    "Die Sperrdatei '%1' im Startverzeichnis kann nicht geöffnet werden (%2). Tavik! wird nicht "
    "gestartet, damit kein zweiter Lauf die gespeicherten Daten überschreibt.";

// The application-wide setup of the window program: the application's name (the caption of
// every message box), that it ends only with the main window, German texts in Qt's own dialogs
// and the window icon.
void setUpApplication(QApplication& app);

// How a start stands towards the start directory.
enum class StartClaim {
  Locked,    // this run holds the directory's lock
  Unlocked,  // no lock file can be had there; that locks nothing and is no reason not to start
  Shown,     // another run holds it and has shown its window instead
  Refused,   // another run holds it, or the lock failed; the user has been told
};

// Takes the lock of `startDirectory` for this run. When another run holds it, `showRunning`
// asks that run to show its window; without an answer the user is told that it runs already:
// two runs would overwrite each other's changes at close.
StartClaim claimStartDirectory(InstanceLock& lock, const std::string& startDirectory,
                               Messages& messages, const std::function<bool()>& showRunning = {});

// The windows of the run, each created once and living until the program ends: the main
// window at start, the event edit dialog, the holiday selection dialog, the today box and the
// quick-help window when first needed. A window keeps its controls between uses.
class Program {
 public:
  // `startDirectory` is the directory's name as the system gives it, in bytes.
  Program(Platform& platform, std::string startDirectory);
  ~Program();

  // Creates the main window, hidden; its creation steps run.
  void create();

  MainWindow& mainWindow() { return *m_form1; }
  // Each creates its window, hidden, at the first call.
  TForm2& editDialog();
  TForm3& holidayDialog();
  TForm4& todayBox();
  TForm5& quickHelp();

 private:
  Platform& m_platform;
  std::string m_startDirectory;
  // The dialogs exist before the quick-help window they call; this hands their calls on.
  std::unique_ptr<ForwardingQuickHelp> m_quickHelpForDialogs;
  std::unique_ptr<MainWindow> m_form1;
  OnFirstUse<TForm2> m_form2;
  OnFirstUse<TForm3> m_form3;
  OnFirstUse<TForm4> m_form4;
  OnFirstUse<TForm5> m_form5;
};

}  // namespace tavik
