// The main window: start-up, activation, page changes and close, and the controls that belong
// to no page (Exit button, "?" button, status bar, auto-exit timer).
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

#include "app/late_page.h"
#include "app/on_first_use.h"
#include "dialogs/todaybox.h"
#include "platform/autostart.h"
#include "platform/desktop_notification.h"
#include "platform/reminder_timer.h"
#include "store/event_table.h"
#include "store/run_files.h"
#include "store/typs.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class QWindow;

namespace tavik {

struct Platform;
class AboutPage;
class CalendarSync;
class CountdownPage;
class EditorPage;
class ExportPage;
class ImportPage;
class OptionsPage;
class SyncPage;
class TForm2;
class TForm4;
class TForm5;

// The notebook's pages in their order.
enum Page {
  kCountdownPage,
  kEditorPage,
  kOptionsPage,
  kImportPage,
  kExportPage,
  kAboutPage,
  kSyncPage
};

inline constexpr const char* kWindowCaption = "Tavik! v4.5";
inline constexpr const char* kWindowHint = "Holventaris - Tavik! v4.5 von Holventaris, Freeware";
inline constexpr const char* kCloseAnywayQuestion =
    "Die Daten konnten nicht gespeichert werden. Tavik! trotzdem beenden?";

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Runs the creation steps: reads the settings from the per-user store and the data file from
  // `startDirectory`, fills the header and the options and arms the auto-exit countdown, which
  // does not run while the table holds no event. A failure shows its message and skips the
  // remaining steps.
  MainWindow(Platform& platform, std::string startDirectory, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The other windows are created when first needed (see Program). The editor page works
  // through the edit dialog, so it is built here; `editDialog` creates the dialog at its first
  // call.
  void attachEditDialog(std::function<TForm2&()> editDialog);
  // The today box and the quick-help window, made when first needed; a today box made is
  // handed to attachTodayBox.
  void setLateWindows(OnFirstUse<TForm4>& todayBox, OnFirstUse<TForm5>& quickHelp);
  void attachTodayBox(TForm4& todayBox);
  // The holiday selection dialog: `run` shows it modally ("Feiertage wählen"), `showSelection`
  // sets its two lists from the record at every activation.
  void setHolidayDialog(std::function<void()> run,
                        std::function<void(const HolidaySelection&)> showSelection);

  // Sends the notification of the first rebuild; tests replace it.
  NotificationSender sendNotification = sendDesktopNotification;

  // The files of this run, with the table, the settings and the holiday selection.
  RunFiles& runFiles() { return m_files; }
  // The daily reminder the options page shows and changes.
  ReminderTimer& reminderTimer() { return m_reminder; }
  EventTable& table() { return m_files.table(); }
  HolidaySelection& holidaySelection() { return m_files.holidays(); }
  Settings& settings() { return m_files.settings(); }
  bool firstViewDone() const { return m_firstViewDone; }
  int currentPage() const;
  // Seconds left of the auto-exit countdown, and whether it runs.
  int secondsLeft() const { return m_secondsLeft; }
  bool autoExitRunning() const;

  // Rebuilds the countdown view: grid, hidden line list, today box list, and the high-priority
  // messages of the first rebuild.
  void computeView();
  // The activation steps: re-read the holiday file, rebuild the view, then hide the quick-help
  // window or show the today box. Runs at the first show and on each return from the
  // quick-help window.
  void FormActivate();
  // "Heutebox testen": rebuild, title by the priority handling, show the today box.
  void showTodayBoxTest();
  // Another start asked for this window: shown, unminimised, raised and activated (a window
  // manager may still keep the focus where it is). The auto-exit countdown stops, since a
  // user who asked for the window wants to keep it. Nothing happens once the close is done.
  void showOnRequest();

  // The desktop's session manager wants the data kept now: the three stores are written
  // without a question, and the window stays open; the close writes them again. Returns the
  // failure text, empty when all was written. After the close nothing is written.
  std::string saveForSessionManager();
  // The session ends (the program got a signal to end): the close runs without questions or
  // boxes, whatever window is open, and `closed` follows; a failed write leaves its text in
  // endFailure(). Nothing more happens once the close has written the stores.
  void endSession();
  // The text of the write that failed when the session ended, empty when none did.
  const std::string& endFailure() const { return m_endFailure; }

  QTabWidget* TabbedNotebook1;
  QPushButton* Button1;
  QPushButton* BitBtn2;
  QStatusBar* StatusBar1;
  QTimer* Timer1;
  CountdownPage* countdownPage;
  OptionsPage* optionsPage;
  // The editor page's frame; the page itself (`editor`) comes with the edit dialog.
  QWidget* editorPage;
  EditorPage* editor = nullptr;
  // The Import, Export and About pages are built when first shown (null until then), or at
  // creation when their sizes for this display setup are not known yet (see LatePage).
  ImportPage* importPage = nullptr;
  ExportPage* exportPage = nullptr;
  // The About page's labels Label5, Label11 and Label12 are filled by the creation steps.
  AboutPage* aboutPage = nullptr;
  // The calendar sync's page and its runs; nothing of the network exists until a sync.
  SyncPage* syncPage;
  CalendarSync* calendarSync;

 signals:
  // The close steps have completed; the program ends.
  void closed();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildPages();
  // Builds the late page `index` (0 Import, 1 Export, 2 About) into its slot.
  QWidget* buildLatePage(int index);
  // Builds a late page, if `page` is one and not built yet, before it can be seen.
  void ensureLatePage(int page);
  // Takes the size kept from the last start, fitted to this screen; without one the default
  // size stays.
  void takeKeptSize();
  // Keeps the window's size for the next start (written with the settings).
  void keepSize();
  void runCreationSteps();
  bool runCloseSteps();
  void finishClose();
  void closeOtherWindows();
  void armAutoExit();
  void stopAutoExit();
  void focusWindowChanged(QWindow* window);
  void connectCalendarSync();
  // The table after a sync: saved, and shown anew when it changed; the failure text or empty.
  QString saveAfterSync(bool changed);

  void TabbedNotebook1Change(int page);
  void BitBtn2Click();
  void Button1Click();
  void Timer1Timer();

  Platform& m_platform;
  // The rebuilds of the run list the days missed since its shownBefore(), while the settings'
  // lastshown follows each rebuild.
  RunFiles m_files;
  AutostartEntry m_autostart;
  ReminderTimer m_reminder;
  bool m_firstViewDone = false;
  bool m_tableLoaded = false;  // the creation steps read the data file whole
  int m_secondsLeft = 0;
  bool m_shownOnce = false;
  bool m_aboutTextsDue = false;  // the creation steps came to the About page's texts

  // The slots of the Import, Export and About pages, and the sizes they reported before their
  // page was built (none when all were built at creation).
  std::array<LatePage*, PageSizes::kPages> m_latePages{};
  std::optional<PageSizes> m_awaitedSizes;
  QString m_displaySetup;
  bool m_closing = false;
  bool m_sessionEnding = false;
  std::string m_endFailure;

  // Null until setLateWindows.
  OnFirstUse<TForm4>* m_todayBox = nullptr;
  OnFirstUse<TForm5>* m_quickHelp = nullptr;
  // The today box's lines of the latest rebuild, for a box created after it.
  QStringList m_todayLines;
  QList<TodayBoxLine> m_todayBoxLines;  // the same lines with their columns
  QPointer<QWindow> m_lastFocusWindow;
  std::function<void()> m_runHolidayDialog;
  std::function<void(const HolidaySelection&)> m_showHolidaySelection;
};

}  // namespace tavik
