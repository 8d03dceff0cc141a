// The main window frame.
#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "app/calendar_sync.h"
#include "app/pages/about_page.h"
#include "app/pages/countdown_page.h"
#include "app/pages/editor_page.h"
#include "app/pages/export_page.h"
#include "app/pages/import_page.h"
#include "app/pages/options_page.h"
#include "app/pages/sync_page.h"
#include "app/window_size.h"
#include "dates/notification_lines.h"
#include "dialogs/dialog_behaviour.h"
#include "dialogs/help.h"
#include "dialogs/todaybox.h"
#include "platform/display_scale.h"
#include "platform/seams.h"
#include "store/failure.h"
#include "store/settings_store.h"

namespace tavik {

namespace {

const char* const kHelpTopics[] = {"Hauptfenster",   "Editorfenster", "Optionenfenster",
                                   "Importfenster",  "Exportfenster", "Aboutfenster",
                                   "Abgleichfenster"};

// Sunday first, as QDate::dayOfWeek() % 7 counts.
const char* const kWeekdays[] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                 "Donnerstag", "Freitag", "Sonnabend"};

QString exitCaption(int seconds) {
  return QStringLiteral("Exit (%1)").arg(seconds);
}

// A short date with a two-digit year at its end ("08.12.26") gets the century.
QString withCentury(const QString& shortDate) {
  if (shortDate.size() != 8) return shortDate;
  return shortDate.left(6) + QStringLiteral("20") + shortDate.right(2);
}

DayNumber dayNumberOf(const QDate& date) {
  return makeDayNumber(date.year(), date.month(), date.day()).value_or(DayNumber{});
}

QStringList toQStrings(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& line : lines) out << QString::fromStdString(line);
  return out;
}

QString fromUtf8View(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The today box's lines with their columns. The pieces are cut from the bytes, where the
// columns are counted, and each is converted on its own.
QList<TodayBoxLine> todayBoxLines(const std::vector<std::string>& lines,
                                  const std::vector<LineColumns>& columns) {
  QList<TodayBoxLine> out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    TodayBoxLine shown{fromUtf8View(line), {}, {}, {}};
    if (i < columns.size()) {
      const LineColumns& c = columns[i];
      if (c.dayLength <= c.dateAt && c.dateAt + c.dateLength <= c.textAt &&
          c.textAt <= line.size()) {
        shown.day = fromUtf8View(std::string_view(line).substr(0, c.dayLength));
        shown.date = fromUtf8View(std::string_view(line).substr(c.dateAt, c.dateLength));
        shown.text = fromUtf8View(std::string_view(line).substr(c.textAt));
      }
    }
    out << shown;
  }
  return out;
}

}  // namespace

MainWindow::MainWindow(Platform& platform, std::string startDirectory, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_platform(platform),
      m_files(std::move(startDirectory)),
      m_autostart(platform.files, autostartEntryPath(), autostartProgram(),
                  m_files.startDirectory()),
      m_reminder(platform.files, systemdUserFolder(), autostartProgram(),
                 m_files.startDirectory()) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("TITELLEISTE"));
  buildPages();
  runCreationSteps();
  connectCalendarSync();
  connect(qApp, &QGuiApplication::focusWindowChanged, this, &MainWindow::focusWindowChanged);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildPages() {
  const double s = uiScale(font());

  TabbedNotebook1 = new QTabWidget(this);
  TabbedNotebook1->setObjectName(QStringLiteral("TabbedNotebook1"));
  setCentralWidget(TabbedNotebook1);

  countdownPage = new CountdownPage;
  optionsPage =
      new OptionsPage(settings(), holidaySelection(), m_platform.messages, m_autostart, m_reminder);
  editorPage = new QWidget;
  editorPage->setObjectName(QStringLiteral("EditorPageFrame"));
  new QVBoxLayout(editorPage);
  editorPage->layout()->setContentsMargins(0, 0, 0, 0);
  m_latePages = {new LatePage([this] { return importPage = new ImportPage(table(), m_platform); }),
                 new LatePage([this] { return exportPage = new ExportPage(table(), m_platform); }),
                 new LatePage([this] { return aboutPage = new AboutPage(m_platform.shell); })};

  TabbedNotebook1->addTab(countdownPage, QStringLiteral("Tavik!"));
  TabbedNotebook1->addTab(editorPage, QStringLiteral("Editor"));
  TabbedNotebook1->addTab(optionsPage, QStringLiteral("Optionen"));
  TabbedNotebook1->addTab(m_latePages[0], QStringLiteral("Import"));
  TabbedNotebook1->addTab(m_latePages[1], QStringLiteral("Export"));
  TabbedNotebook1->addTab(m_latePages[2], QStringLiteral("About"));
  syncPage = new SyncPage;
  TabbedNotebook1->addTab(syncPage, QStringLiteral("Abgleich"));

  Button1 = new QPushButton(QStringLiteral("Exit"));
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setStatusTip(QStringLiteral("Tavik! beenden."));
  Button1->setMinimumWidth(
      std::max(Button1->sizeHint().width(),
               fontMetrics().horizontalAdvance(exitCaption(240)) + scaled(16, s)));
  countdownPage->bottomRow->addWidget(Button1);

  BitBtn2 = new QPushButton(QStringLiteral("?"));
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setStatusTip(QStringLiteral("Die Hilfe zu dieser Seite anzeigen"));
  BitBtn2->setAccessibleDescription(QStringLiteral("Hilfe zu dieser Seite"));
  QFont bold = BitBtn2->font();
  bold.setBold(true);
  BitBtn2->setFont(bold);
  const int helpSize = std::max(scaled(16, s), QFontMetrics(bold).height() + 4);
  BitBtn2->setFixedSize(helpSize, helpSize);
  TabbedNotebook1->setCornerWidget(BitBtn2, Qt::TopRightCorner);

  StatusBar1 = statusBar();
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);

  connect(TabbedNotebook1, &QTabWidget::currentChanged, this, &MainWindow::TabbedNotebook1Change);
  connect(Button1, &QPushButton::clicked, this, &MainWindow::Button1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &MainWindow::BitBtn2Click);
  connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1Timer);
  optionsPage->lookAheadChanged = [this] {
    countdownPage->Label3->setText(QString::number(settings().anzdays));
    computeView();
  };
  optionsPage->testTodayBox = [this] { showTodayBoxTest(); };
  // Before the first rebuild (the stored value shown at creation) there is nothing to redo, and
  // the first one must stay the start's.
  optionsPage->inWordsChanged = [this] {
    if (m_firstViewDone) computeView();
  };
  optionsPage->chooseHolidays = [this] {
    if (m_runHolidayDialog) m_runHolidayDialog();
  };

  // The window's default size holds every page. The late pages' sizes are kept from the
  // last start under the same display setup; without them every page is built now and
  // measured, and their sizes kept for the next start.
  m_displaySetup = displaySetupDescription(*this);
  // Sizes kept for a window larger than the screen can show are not ours to take.
  const QScreen* shownOn = screen();
  m_awaitedSizes = readPageSizes(pageSizesFile(), m_displaySetup,
                                 shownOn ? shownOn->availableGeometry().size() : QSize());
  if (m_awaitedSizes) {
    for (int i = 0; i < PageSizes::kPages; ++i) {
      m_latePages[i]->setAwaitedSizes(m_awaitedSizes->hint[i], m_awaitedSizes->minimum[i]);
    }
  } else {
    PageSizes measured;
    for (int i = 0; i < PageSizes::kPages; ++i) {
      const QWidget* page = buildLatePage(i);
      measured.hint[i] = page->sizeHint();
      measured.minimum[i] = page->minimumSizeHint();
    }
    writePageSizes(pageSizesFile(), m_displaySetup, measured);
  }
  const QSize defaultSize = sizeHint().expandedTo(QSize(scaled(417, s), scaled(236, s)));
  // It grows, for a longer list, but never below the size every page was laid out for.
  setMinimumSize(defaultSize);
  resize(defaultSize);
  takeKeptSize();
}

void MainWindow::takeKeptSize() {
  std::string text;
  if (m_platform.userStore.readText(kWindowSizeName, text) != UserStore::Read::Value) return;
  const QScreen* shownOn = screen();
  if (shownOn == nullptr) return;
  const std::optional<KeptWindowSize> kept =
      readWindowSize(text, minimumSize(), shownOn->availableGeometry().size());
  if (!kept) return;
  resize(kept->size);
  if (kept->maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::keepSize() {
  // A window never shown has no size of the user's to keep.
  if (!m_shownOnce) return;
  const bool maximized = isMaximized();
  const QSize size = maximized ? normalGeometry().size() : this->size();
  // Losing it only means the default size at the next start; the close does not wait for it.
  m_platform.userStore.writeText(kWindowSizeName, windowSizeText({size, maximized}));
}

QWidget* MainWindow::buildLatePage(int index) {
  LatePage* slot = m_latePages[index];
  QWidget* built = slot->build();
  // Widgets made now join the end of the focus chain; the page's go back behind their slot,
  // where they are when the page is built with the window.
  QList<QWidget*> focusable;
  for (QWidget* w = built->nextInFocusChain(); built->isAncestorOf(w); w = w->nextInFocusChain()) {
    if (w->focusPolicy() != Qt::NoFocus) focusable << w;
  }
  const Qt::FocusPolicy slotPolicy = slot->focusPolicy();
  slot->setFocusPolicy(Qt::TabFocus);  // setTabOrder leaves widgets without focus alone
  QWidget* previous = slot;
  for (QWidget* w : focusable) {
    QWidget::setTabOrder(previous, w);
    previous = w;
  }
  slot->setFocusPolicy(slotPolicy);
  // A page changed from the keyboard passed the focus to the empty slot; it goes on to the
  // page's first control, as it does into a page that was there.
  if (QApplication::focusWidget() == slot) {
    for (QWidget* w : focusable) {
      if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(built) && w->isEnabled()) {
        w->setFocus();
        break;
      }
    }
  }
  return built;
}

void MainWindow::ensureLatePage(int page) {
  const int i = page - kImportPage;
  if (i < 0 || i >= PageSizes::kPages || m_latePages[i]->page() != nullptr) return;
  const QWidget* built = buildLatePage(i);
  // Sizes that no longer match (a font changed unnoticed) are mended for the next start.
  if (m_awaitedSizes && (built->sizeHint() != m_awaitedSizes->hint[i] ||
                         built->minimumSizeHint() != m_awaitedSizes->minimum[i])) {
    m_awaitedSizes->hint[i] = built->sizeHint();
    m_awaitedSizes->minimum[i] = built->minimumSizeHint();
    writePageSizes(pageSizesFile(), m_displaySetup, *m_awaitedSizes);
  }
  if (page == kAboutPage && m_aboutTextsDue) aboutPage->setStartupTexts();
}

void MainWindow::runCreationSteps() {
  const double s = uiScale(font());
  try {
    // Hints show in the status bar (QMainWindow does that); see event() for the window's own.
    m_firstViewDone = false;
    m_files.load(m_platform.files, m_platform.userStore);
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setStatusTip(QString::fromUtf8(kWindowHint));
    // The design widths, widened where the font in use needs more for a day text or a date;
    // in bold, as round anniversaries show.
    QFont bold = countdownPage->StringGrid1->font();
    bold.setBold(true);
    const QFontMetrics grid(bold);
    const int cellPadding = scaled(8, s);
    countdownPage->setColumnWidths(
        std::max({scaled(85, s),
                  grid.horizontalAdvance(QStringLiteral("Noch 99 Tage")) + cellPadding,
                  grid.horizontalAdvance(QStringLiteral("Vor 30 Tagen")) + cellPadding}),
        std::max(scaled(72, s), grid.horizontalAdvance(QStringLiteral("88.88.8888")) + cellPadding),
        scaled(215, s));
    m_aboutTextsDue = true;
    if (aboutPage != nullptr) aboutPage->setStartupTexts();
    const Settings& stored = m_files.settings();
    if (stored.heutebox == 1) optionsPage->CheckBox3->setChecked(true);
    if (stored.notify == 1) optionsPage->CheckBox5->setChecked(true);
    if (stored.inworten == 1) optionsPage->inWordsBox->setChecked(true);
    optionsPage->setPriorityHandling(stored.prior);
    countdownPage->Label3->setText(QString::number(stored.anzdays));
    const QDate today = m_platform.clock.today();
    countdownPage->Label2->setText(withCentury(m_platform.clock.shortDate(today)));
    countdownPage->Label1->setText(QString::fromUtf8(kWeekdays[today.dayOfWeek() % 7]));
    armAutoExit();
    optionsPage->Edit1->setText(QString::number(stored.anzdays));
    optionsPage->Edit2->setText(QString::number(stored.autoclose));
    m_tableLoaded = true;
  } catch (const Failure& failure) {
    m_platform.messages.error(this, QString::fromStdString(failure.userMessage()));
  }
}

void MainWindow::attachEditDialog(std::function<TForm2&()> editDialog) {
  editor = new EditorPage(table(), std::move(editDialog), m_platform.messages);
  editorPage->layout()->addWidget(editor);
}

void MainWindow::setLateWindows(OnFirstUse<TForm4>& todayBox, OnFirstUse<TForm5>& quickHelp) {
  m_todayBox = &todayBox;
  m_quickHelp = &quickHelp;
}

void MainWindow::attachTodayBox(TForm4& todayBox) {
  todayBox.setLines(m_todayBoxLines);
  // Kept above the window it blocks and placed by it: a Wayland compositor knows no other
  // tie between the two, ignores the box's own position and could stack it behind.
  if (QWindow* own = windowHandle()) {
    todayBox.winId();
    todayBox.windowHandle()->setTransientParent(own);
  }
}

void MainWindow::setHolidayDialog(std::function<void()> run,
                                  std::function<void(const HolidaySelection&)> showSelection) {
  m_runHolidayDialog = std::move(run);
  m_showHolidaySelection = std::move(showSelection);
}

int MainWindow::currentPage() const {
  return TabbedNotebook1->currentIndex();
}

bool MainWindow::autoExitRunning() const {
  return Timer1->isActive();
}

void MainWindow::computeView() {
  Settings view = settings();
  // The handling is the one the options page shows; with no item chosen nothing is done.
  view.prior = static_cast<std::uint8_t>(std::max(0, optionsPage->priorityHandling()));
  view.lastshown = m_files.shownBefore();
  const DayNumber today = dayNumberOf(m_platform.clock.today());
  const bool first = !m_firstViewDone;
  ViewResult result = tavik::computeView(table(), view, holidaySelection(), today, first);
  settings().lastshown = today;
  std::vector<std::string> noticeLines = first ? noticeLinesOf(result) : std::vector<std::string>();
  m_todayLines = toQStrings(result.todayBox);
  m_todayBoxLines = todayBoxLines(result.todayBox, result.todayBoxColumns);
  countdownPage->showView(std::move(result.lines), std::move(result.grid));
  countdownPage->showEmptyTableHint(table().usedCount() == 0);
  optionsPage->showHolidaySwitch();
  m_firstViewDone = true;
  // The desktop keeps the notification in its list after the today box and the program have
  // gone. Sent once the view is painted (timers come after posted paint events), and never
  // waited for.
  // Said once a day per start directory: a later start says only what is new.
  if (first && settings().notify == 1 && !noticeLines.empty()) {
    QTimer::singleShot(0, this, [this, today, lines = std::move(noticeLines)] {
      notifyOncePerDay(m_platform.files, m_files.startDirectory(), today, lines, sendNotification);
    });
  }
  if (TForm4* box = m_todayBox ? m_todayBox->ifCreated() : nullptr) box->setLines(m_todayBoxLines);
  for (const std::string& popup : result.popups) {
    if (m_files.closed()) break;
    m_platform.messages.info(this, QString::fromStdString(popup));
  }
}

void MainWindow::FormActivate() {
  if (m_files.closed()) return;
  try {
    m_files.loadHolidays(m_platform.files);
  } catch (const Failure& failure) {
    m_platform.messages.error(this, QString::fromStdString(failure.userMessage()));
    return;
  }
  optionsPage->showHolidaySwitch();
  if (m_showHolidaySelection) m_showHolidaySelection(holidaySelection());
  computeView();
  if (m_files.closed()) return;
  TForm5* help = m_quickHelp ? m_quickHelp->ifCreated() : nullptr;
  if (help != nullptr && help->quickHelpVisible()) {
    help->hideQuickHelp();
    return;
  }
  if (optionsPage->CheckBox3->isChecked() && m_todayBox && !m_todayLines.isEmpty()) {
    m_todayBox->get().exec();
  }
}

void MainWindow::showTodayBoxTest() {
  computeView();
  if (!m_todayBox || m_files.closed()) return;
  TForm4& box = m_todayBox->get();
  box.setWindowTitle(QString::fromUtf8(optionsPage->priorityHandling() == 2 ? kTodayBoxPriorityTitle
                                                                            : kTodayBoxTitle));
  box.exec();
}

void MainWindow::showOnRequest() {
  if (m_files.closed()) return;
  stopAutoExit();
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
  raise();
  activateWindow();
  // An open today box or message box stays in front of the window it belongs to.
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != this) {
    modal->raise();
    modal->activateWindow();
  }
}

void MainWindow::focusWindowChanged(QWindow* window) {
  if (window == nullptr) return;  // another application has the focus now
  const TForm5* help = m_quickHelp ? m_quickHelp->ifCreated() : nullptr;
  const bool fromQuickHelp =
      help != nullptr && m_lastFocusWindow != nullptr && m_lastFocusWindow == help->windowHandle();
  m_lastFocusWindow = window;
  // Only a return from the quick-help window counts; closing a modal dialog or switching
  // back from another application does not.
  if (window == windowHandle() && fromQuickHelp && m_shownOnce) {
    QMetaObject::invokeMethod(this, &MainWindow::FormActivate, Qt::QueuedConnection);
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_shownOnce) return;
  m_shownOnce = true;
  if (!isMaximized()) centreOnScreen(*this, QGuiApplication::primaryScreen(), frameGeometry());
  // The first activation runs once the window is on the screen, whoever has the focus.
  QMetaObject::invokeMethod(this, &MainWindow::FormActivate, Qt::QueuedConnection);
}

bool MainWindow::event(QEvent* event) {
  // Over a control without a hint the window's own hint shows, as over the window itself.
  if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent*>(event)->tip().isEmpty() &&
      rect().contains(mapFromGlobal(QCursor::pos()))) {
    StatusBar1->showMessage(statusTip());
    return true;
  }
  return QMainWindow::event(event);
}

void MainWindow::TabbedNotebook1Change(int page) {
  ensureLatePage(page);
  if (page == kCountdownPage) {
    Button1->show();
    computeView();
  } else {
    Button1->hide();
  }
  if (page == kEditorPage && editor) editor->ListBox2Update();
  if (page == kExportPage) exportPage->rebuildExportList();
  stopAutoExit();
}

void MainWindow::BitBtn2Click() {
  stopAutoExit();
  const int page = std::clamp(currentPage(), 0, static_cast<int>(std::size(kHelpTopics)) - 1);
  if (m_quickHelp) m_quickHelp->get().showQuickHelp(QString::fromUtf8(kHelpTopics[page]), this);
}

void MainWindow::Button1Click() {
  close();
}

void MainWindow::armAutoExit() {
  m_secondsLeft = settings().autoclose;
  if (settings().autoclose > 0) {
    // With no event at all there is nothing to remind of: the window waits for the user, who
    // reaches the editor or the import by a page change, and that stops the countdown anyway.
    if (table().usedCount() > 0) {
      Timer1->start();
      Button1->setText(exitCaption(m_secondsLeft));
    }
    optionsPage->setEdit2Enabled(true);
    optionsPage->Edit2->setText(QString::number(m_secondsLeft));
    optionsPage->CheckBox1->setChecked(true);
  } else {
    optionsPage->setEdit2Enabled(false);
  }
}

void MainWindow::stopAutoExit() {
  Timer1->stop();
  Button1->setText(QStringLiteral("Exit"));
}

void MainWindow::Timer1Timer() {
  if (m_secondsLeft < 1) {
    Timer1->stop();
    close();
    return;
  }
  --m_secondsLeft;
  Button1->setText(exitCaption(m_secondsLeft));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (m_files.closed()) {
    event->accept();
    return;
  }
  if (m_closing) {
    event->ignore();
    return;
  }
  m_closing = true;
  stopAutoExit();
  const bool done = runCloseSteps();
  m_closing = false;
  if (m_files.closed()) {  // the session ended while a box of this close was open
    event->accept();
    return;
  }
  if (!done) {
    event->ignore();
    return;
  }
  event->accept();
  finishClose();
}

bool MainWindow::runCloseSteps() {
  keepSize();
  // What changed here goes to the server before the table is written; a session that ends
  // has no time for it, and what is not sent goes at the next start.
  if (!m_sessionEnding) calendarSync->syncBeforeClose();
  try {
    m_files.save(m_platform.files, m_platform.userStore);
    return true;
  } catch (const Failure& failure) {
    if (m_sessionEnding) {
      // Nobody is there to answer; the files not written stay as they were.
      m_endFailure = failure.userMessage();
      return true;
    }
    m_platform.messages.error(this, QString::fromStdString(failure.userMessage()));
    if (m_files.closed()) return true;
    // Not to trap the user in a program that cannot save; the data file stays as it was.
    return m_platform.messages.confirm(this, QString::fromUtf8(kCloseAnywayQuestion), true);
  }
}

void MainWindow::finishClose() {
  m_files.markClosed();
  // An import still being read is abandoned: nothing of it is stored.
  if (importPage) importPage->cancelRead();
  closeOtherWindows();
  emit closed();
}

std::string MainWindow::saveForSessionManager() {
  if (m_files.closed() || m_closing) return {};
  m_closing = true;
  keepSize();
  std::string failure;
  try {
    m_files.save(m_platform.files, m_platform.userStore);
  } catch (const Failure& f) {
    failure = f.userMessage();
  }
  m_closing = false;
  return failure;
}

void MainWindow::endSession() {
  if (m_files.closed()) return;
  m_sessionEnding = true;
  if (!m_closing) {
    close();
    // A window never shown has no close to run.
    if (!m_files.closed()) {
      runCloseSteps();
      finishClose();
    }
    return;
  }
  // A failed close is showing its message: write once more without asking, and end.
  runCloseSteps();
  finishClose();
}

void MainWindow::closeOtherWindows() {
  // A modal today box or message box closes with the program.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window != this && window->isVisible()) window->close();
  }
}

void MainWindow::connectCalendarSync() {
  calendarSync = new CalendarSync(m_platform.userStore, table(), m_files.startDirectory(), this);
  calendarSync->window = this;
  calendarSync->tableLoaded = [this] { return m_tableLoaded && !m_files.closed(); };
  calendarSync->saveTable = [this](bool changed) { return saveAfterSync(changed); };
  const CalDavAccount& account = calendarSync->account();
  syncPage->showAccount(QString::fromStdString(account.url), QString::fromStdString(account.user));
  syncPage->showStatus(calendarSync->status());
  connect(calendarSync, &CalendarSync::statusChanged, this, [this](const QString& status) {
    syncPage->showStatus(status);
    StatusBar1->showMessage(status);
  });
  connect(calendarSync, &CalendarSync::runningChanged, syncPage, &SyncPage::showRunning);
  connect(calendarSync, &CalendarSync::calendarsFound, syncPage, &SyncPage::showCalendars);
  // The account is taken from the fields, and refused before anything is sent.
  const auto takeAccount = [this](const QString& url) {
    const QString refusal = calendarSync->setAccount(
        {url.toStdString(), syncPage->user().toStdString()}, syncPage->password());
    if (!refusal.isEmpty()) m_platform.messages.error(this, refusal);
    return refusal.isEmpty();
  };
  syncPage->findCalendars = [this, takeAccount] {
    if (takeAccount(syncPage->url())) calendarSync->findCalendars();
  };
  syncPage->syncNow = [this, takeAccount] {
    if (takeAccount(syncPage->url())) calendarSync->syncNow(CalendarSync::Trigger::Button);
  };
  syncPage->calendarChosen = [takeAccount](const QString& url) { takeAccount(url); };
  syncPage->newCalendarChosen = [this] {
    if (m_platform.messages.confirm(
            this, QStringLiteral("Auf dem Server einen neuen Kalender „Tavik!“ anlegen?"), true)) {
      calendarSync->createCalendar();
    }
  };
  connect(calendarSync, &CalendarSync::calendarMade, this, [this](const QString& url) {
    syncPage->CalDavUrlEdit->setText(url);
    if (calendarSync->setAccount({url.toStdString(), syncPage->user().toStdString()}, {})
            .isEmpty()) {
      calendarSync->findCalendars();
    }
  });
  calendarSync->syncAfterFirstPaint(*this);
}

QString MainWindow::saveAfterSync(bool changed) {
  try {
    m_files.save(m_platform.files, m_platform.userStore);
  } catch (const Failure& failure) {
    return QString::fromStdString(failure.userMessage());
  }
  if (changed) {
    computeView();
    if (editor && currentPage() == kEditorPage) editor->ListBox2Update();
  }
  return {};
}

}  // namespace tavik
