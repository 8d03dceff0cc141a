// One run of the program: the lock of the start directory and the five windows.
#pragma once

#include <QString>
#include <memory>

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

// The application-wide setup of the window program: the application's name (the caption of
// every message box), that it ends only with the main window, German texts in Qt's own dialogs
// and the window icon.
void setUpApplication(QApplication& app);

// Takes the lock of `startDirectory` for this run. False, after telling the user, when another
// run holds it: two runs would overwrite each other's changes at close. A directory where no
// lock file can be made locks nothing and is no reason to refuse the start.
bool claimStartDirectory(InstanceLock& lock, const QString& startDirectory, Messages& messages);

// The windows of the run, created once in their order and living until the program ends:
// the main window, the event edit dialog, the holiday selection dialog, the today box and
// the quick-help window.
class Program {
 public:
  Program(Platform& platform, QString startDirectory);
  ~Program();

  // Creates the windows, hidden; the main window's creation steps run first.
  void create();

  MainWindow& mainWindow() { return *m_form1; }
  TForm2& editDialog() { return *m_form2; }
  TForm3& holidayDialog() { return *m_form3; }
  TForm4& todayBox() { return *m_form4; }
  TForm5& quickHelp() { return *m_form5; }

 private:
  Platform& m_platform;
  QString m_startDirectory;
  // The dialogs exist before the quick-help window they call; this hands their calls on.
  std::unique_ptr<ForwardingQuickHelp> m_quickHelpForDialogs;
  std::unique_ptr<MainWindow> m_form1;
  std::unique_ptr<TForm2> m_form2;
  std::unique_ptr<TForm3> m_form3;
  std::unique_ptr<TForm4> m_form4;
  std::unique_ptr<TForm5> m_form5;
};

}  // namespace tavik
