// The Import page.
#include "app/pages/import_page.h"

#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <atomic>
#include <cerrno>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>

#include "dialogs/dialog_behaviour.h"
#include "exchange/import_reader.h"
#include "platform/posix/posix_files.h"
#include "store/day_number.h"
#include "store/event_table.h"

namespace tavik {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& hint) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setStatusTip(hint);
  return button;
}

// Files whose calls fail once the read is abandoned, so that the reader stops at its next chunk.
class CancellableFiles : public Files {
 public:
  CancellableFiles(Files& files, const std::atomic<bool>& cancelled)
      : m_files(files), m_cancelled(cancelled) {}

  int status(const std::string& path, FileStatus& out) override {
    return stopped() ? ECANCELED : m_files.status(path, out);
  }
  int open(const std::string& path, OpenMode mode, FileHandle& out) override {
    return stopped() ? ECANCELED : m_files.open(path, mode, out);
  }
  int createNew(const std::string& path, std::uint32_t permissions, FileHandle& out) override {
    return stopped() ? ECANCELED : m_files.createNew(path, permissions, out);
  }
  int readLink(const std::string& path, std::string& target) override {
    return stopped() ? ECANCELED : m_files.readLink(path, target);
  }
  int read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) override {
    got = 0;
    return stopped() ? ECANCELED : m_files.read(file, buffer, got);
  }
  int write(FileHandle file, std::span<const std::uint8_t> data) override {
    return stopped() ? ECANCELED : m_files.write(file, data);
  }
  int sync(FileHandle file) override { return m_files.sync(file); }
  int close(FileHandle file) override { return m_files.close(file); }
  int rename(const std::string& from, const std::string& to) override {
    return stopped() ? ECANCELED : m_files.rename(from, to);
  }
  int remove(const std::string& path) override { return m_files.remove(path); }
  int setPermissions(const std::string& path, std::uint32_t permissions) override {
    return stopped() ? ECANCELED : m_files.setPermissions(path, permissions);
  }

 private:
  bool stopped() const { return m_cancelled.load(std::memory_order_relaxed); }
  Files& m_files;
  const std::atomic<bool>& m_cancelled;
};

}  // namespace

// What the page and one reader thread share. The thread posts its result only while `page` is
// set, holding the lock, so the page it posts to is alive; the page clears it when it abandons
// the read or goes away.
struct ImportPage::Read {
  std::atomic<bool> cancelled{false};
  std::mutex mutex;
  ImportPage* page = nullptr;
};

ImportPage::ImportPage(EventTable& table, Platform& platform, QWidget* parent)
    : QWidget(parent), m_table(table), m_platform(platform) {
  StaticText7 = makeLabel(this, "StaticText7", QStringLiteral("Importdatei:"));
  Edit3 = new QLineEdit(this);
  Edit3->setObjectName(QStringLiteral("Edit3"));
  Edit3->setReadOnly(true);
  Edit3->setStatusTip(QStringLiteral("Bitte wählen sie die Importdatei über den Button rechts."));
  Edit3->setAccessibleName(QStringLiteral("Importdatei"));
  StaticText7->setBuddy(Edit3);
  Button5 =
      makeButton(this, "Button5", QStringLiteral("..."), QStringLiteral("Importdatei wählen"));
  Button5->setAccessibleDescription(Button5->statusTip());
  // Styles widen text buttons to a minimum; this one only needs room for its three points.
  const QFontMetrics metrics = Button5->fontMetrics();
  Button5->setFixedWidth(metrics.horizontalAdvance(Button5->text()) + 2 * metrics.height());

  auto* info = new QWidget(this);
  Label6 = makeLabel(
      info, "Label6",
      QStringLiteral(
          "Um Daten einer Datei zu importieren wählen sie die Datei über den Button '...'"));
  Label7 = makeLabel(
      info, "Label7",
      QStringLiteral("Im Moment unterstützt Tavik die Formate: Tavik!4.dat, Tavik!3.dat, CSV, "
                     "vCard und iCalendar"));
  // Each fits on one line of the window that the other pages need anyway; wrapped labels
  // would make every layout pass measure them at many widths.
  auto* infoLayout = new QVBoxLayout(info);
  infoLayout->setContentsMargins(0, 0, 0, 0);
  infoLayout->addWidget(Label6);
  infoLayout->addWidget(Label7);
  infoLayout->addStretch();

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  StaticText8 = makeLabel(Panel1, "StaticText8", QStringLiteral("Status:"));
  Label4 = makeLabel(Panel1, "Label4", QString());
  Label4->setTextFormat(Qt::PlainText);
  // What an address book or calendar left out can take more than one line.
  Label4->setWordWrap(true);
  CheckListBox1 = new QListWidget(Panel1);
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  CheckListBox1->setStatusTip(
      QStringLiteral("Hier sehen sie alle Einträge, die sie importieren können"));
  CheckListBox1->setAccessibleName(CheckListBox1->statusTip());
  // Measuring 1000 lines one by one would take longer than reading the file.
  CheckListBox1->setUniformItemSizes(true);
  Button7 = makeButton(Panel1, "Button7", QStringLiteral("alle wählen"),
                       QStringLiteral("Alle Einträge anwählen"));
  Button8 = makeButton(Panel1, "Button8", QStringLiteral("nichts wählen"),
                       QStringLiteral("Keinen Eintrag anwählen"));
  Button6 = makeButton(Panel1, "Button6", QStringLiteral("Import !"),
                       QStringLiteral("Die gewählten Einträge werden importiert"));

  auto* panelLayout = new QGridLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(StaticText8, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  panelLayout->addWidget(Label4, 0, 1, 1, 2);
  panelLayout->addWidget(CheckListBox1, 1, 0, 1, 2);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(Button7);
  buttons->addWidget(Button8);
  buttons->addStretch();
  buttons->addWidget(Button6);
  panelLayout->addLayout(buttons, 1, 2);
  panelLayout->setColumnStretch(1, 1);
  panelLayout->setRowStretch(1, 1);

  // The panel lies over the explanation; once shown it stays.
  m_infoOrPanel = new QStackedLayout;
  m_infoOrPanel->addWidget(info);
  m_infoOrPanel->addWidget(Panel1);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(StaticText7);
  fileRow->addWidget(Edit3, 1);
  fileRow->addWidget(Button5);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fileRow);
  layout->addLayout(m_infoOrPanel, 1);

  Button6->setEnabled(false);

  OpenDialog1.name = QStringLiteral("OpenDialog1");
  OpenDialog1.filter = QStringLiteral(
      "alle Dateien (*.*)|*.*|Tavik! - Exportdateien (*.dat)|*.dat|Tabellen (*.csv)|*.csv|"
      "Adressbuch (*.vcf)|*.vcf|Kalender (*.ics)|*.ics");

  connect(Button5, &QPushButton::clicked, this, &ImportPage::Button5Click);
  connect(Button7, &QPushButton::clicked, this, &ImportPage::Button7Click);
  connect(Button8, &QPushButton::clicked, this, &ImportPage::Button8Click);
  connect(Button6, &QPushButton::clicked, this, &ImportPage::Button6Click);
}

ImportPage::~ImportPage() {
  abandonRead();
}

void ImportPage::Button5Click() {
  // The file chosen now replaces the one still being read.
  cancelRead();
  clearImportList();
  const std::optional<QString> confirmed = m_platform.fileDialogs.openFile(
      this, OpenDialog1, [this](const QString& path) { OpenDialog1SelectionChange(path); });
  OpenDialog1Close(confirmed);
}

void ImportPage::OpenDialog1SelectionChange(const QString& path) {
  Edit3->setText(path);
}

void ImportPage::OpenDialog1Close(const std::optional<QString>& confirmed) {
  // A name typed into the dialog and confirmed is never announced as a selection.
  if (confirmed) Edit3->setText(*confirmed);
  Timer2Timer();
}

void ImportPage::Timer2Timer() {
  m_infoOrPanel->setCurrentWidget(Panel1);
  readImportFile();
}

void ImportPage::readImportFile() {
  startRead(false);
}

void ImportPage::startRead(bool answerTavik3) {
  abandonRead();
  auto read = std::make_shared<Read>();
  read->page = this;
  m_read = read;
  setBusy(true);

  std::shared_ptr<Files> files = makeReaderFiles ? makeReaderFiles() : nullptr;
  if (!files) files = std::make_shared<PosixFiles>();
  std::string path = QFile::encodeName(Edit3->text()).toStdString();
  // The thread compares with a copy: the table is this thread's alone.
  auto existing = std::make_shared<const EventTable>(m_table);
  DayNumber today{};
  const QDate date = m_platform.clock.today();
  if (const auto day = makeDayNumber(date.year(), date.month(), date.day())) today = *day;

  auto work = [read, files, path = std::move(path), existing, today, answerTavik3] {
    auto result = std::make_shared<ImportResult>();
    std::optional<std::string> asked;
    try {
      CancellableFiles cancellable(*files, read->cancelled);
      ImportContext context;
      context.existing = existing.get();
      context.today = today;
      // The question is asked on the window's thread, which then reads the file again.
      *result = tavik::readImportFile(
          cancellable, path,
          [&](const std::string& statusLine) {
            if (!answerTavik3) asked = statusLine;
            return answerTavik3;
          },
          context);
    } catch (const std::exception&) {
      *result = ImportResult{};
      result->statusTexts = {kStatusReading, kStatusCannotOpen};
    }
    const std::lock_guard lock(read->mutex);
    if (read->page == nullptr) return;
    QMetaObject::invokeMethod(
        read->page,
        [page = read->page, read, result, asked] { page->readDone(read, *result, asked); },
        Qt::QueuedConnection);
  };
  try {
    // Detached: a session that ends mid-read saves and exits without waiting for it.
    std::thread(work).detach();
  } catch (const std::system_error&) {
    work();
  }
}

void ImportPage::readDone(const std::shared_ptr<Read>& read, ImportResult& result,
                          const std::optional<std::string>& tavik3Asked) {
  if (read != m_read) return;  // abandoned after its result was on its way
  m_read.reset();
  if (tavik3Asked) {
    Label4->setText(QString::fromStdString(*tavik3Asked));
    if (m_platform.messages.confirm(this, QString::fromUtf8(kTavik3Question), false)) {
      startRead(true);
      return;
    }
  }
  setBusy(false);
  Label4->setText(QString::fromStdString(result.status()));
  if (result.readerRan) listCandidates(std::move(result.candidates), {});
  Button6->setEnabled(result.succeeded);
  emit readFinished();
}

void ImportPage::abandonRead() {
  if (!m_read) return;
  m_read->cancelled = true;
  {
    const std::lock_guard lock(m_read->mutex);
    m_read->page = nullptr;
  }
  m_read.reset();
}

void ImportPage::cancelRead() {
  if (!m_read) return;
  abandonRead();
  setBusy(false);
}

void ImportPage::setBusy(bool busy) {
  if (busy) Label4->setText(QString::fromUtf8(kStatusReading));
  Button6->setEnabled(false);
  Button7->setEnabled(!busy);
  Button8->setEnabled(!busy);
}

void ImportPage::listCandidates(std::vector<OTdaten> candidates, const std::vector<bool>& ticks) {
  clearImportList();
  m_candidates = std::move(candidates);
  // One pass with updates and signals off: the list is unsorted, so nothing is re-sorted.
  CheckListBox1->setUpdatesEnabled(false);
  {
    const QSignalBlocker blocker(CheckListBox1);
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
      QListWidgetItem* item = makeCheckItem(QString::fromUtf8(importListLine(m_candidates[i])),
                                            i < ticks.size() && ticks[i]);
      item->setData(Qt::UserRole, static_cast<qulonglong>(i));
      // A long line ends in an ellipsis; the whole of it shows on hovering.
      item->setToolTip(item->text());
      CheckListBox1->addItem(item);
    }
  }
  CheckListBox1->setUpdatesEnabled(true);
}

void ImportPage::clearImportList() {
  CheckListBox1->clear();
  std::vector<OTdaten>().swap(m_candidates);
}

void ImportPage::setAllChecks(bool checked) {
  const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
  CheckListBox1->setUpdatesEnabled(false);
  for (int row = 0; row < CheckListBox1->count(); ++row) {
    CheckListBox1->item(row)->setCheckState(state);
  }
  CheckListBox1->setUpdatesEnabled(true);
}

void ImportPage::Button7Click() {
  setAllChecks(true);
}

void ImportPage::Button8Click() {
  setAllChecks(false);
}

void ImportPage::Button6Click() {
  std::vector<OTdaten> ticked;
  for (int row = 0; row < CheckListBox1->count(); ++row) {
    const QListWidgetItem* item = CheckListBox1->item(row);
    if (item->checkState() != Qt::Checked) continue;
    ticked.push_back(m_candidates.at(item->data(Qt::UserRole).toULongLong()));
  }
  const StoreOutcome outcome = storeCandidates(m_table, ticked);
  if (outcome.tableFull) m_platform.messages.info(this, QString::fromUtf8(kTableFullMessage));
  m_platform.messages.info(this, QString::fromStdString(addedMessage(outcome.stored)));
  Label4->setText(QString::fromStdString(importDoneStatus(outcome.stored)));
  if (!outcome.tableFull) {
    clearImportList();
    Button6->setEnabled(false);
    return;
  }
  // What found no slot stays listed as it was, for when room has been made.
  std::vector<OTdaten> left;
  std::vector<bool> ticks;
  int storedRows = 0;
  for (int row = 0; row < CheckListBox1->count(); ++row) {
    const QListWidgetItem* item = CheckListBox1->item(row);
    const bool isTicked = item->checkState() == Qt::Checked;
    if (isTicked && storedRows < outcome.stored) {
      ++storedRows;
      continue;
    }
    left.push_back(std::move(m_candidates.at(item->data(Qt::UserRole).toULongLong())));
    ticks.push_back(isTicked);
  }
  listCandidates(std::move(left), ticks);
  Button6->setEnabled(true);
}

}  // namespace tavik
