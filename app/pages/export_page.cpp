// The Export page.
#include "app/pages/export_page.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <array>
#include <vector>

#include "dialogs/dialog_behaviour.h"
#include "exchange/export_list.h"
#include "exchange/export_writer.h"
#include "store/event_table.h"
#include "store/failure.h"

namespace tavik {

namespace {

struct FormatChoice {
  const char* caption;
  int filterIndex;  // entry of the save dialog's filter, counted from 1
  const char* defaultSuffix;
};

// Indexed by ExportFormat.
constexpr std::array<FormatChoice, 5> kFormats{{
    {"Tavik4 - dat", 2, "dat"},
    {"Tabelle - csv", 5, "csv"},
    {"Webseite - html", 3, "htm"},
    {"Textdatei - txt", 4, "txt"},
    {"Kalender - ics", 6, "ics"},
}};

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& hint) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setStatusTip(hint);
  return button;
}

}  // namespace

ExportPage::ExportPage(EventTable& table, Platform& platform, QWidget* parent)
    : QWidget(parent), m_table(table), m_platform(platform) {
  StaticText13 = new QLabel(QStringLiteral("Zu exportierende Datensätze:"), this);
  StaticText13->setObjectName(QStringLiteral("StaticText13"));
  QFont bold = StaticText13->font();
  bold.setBold(true);
  StaticText13->setFont(bold);
  Label10 = new QLabel(QStringLiteral("Label10"), this);
  Label10->setObjectName(QStringLiteral("Label10"));
  Label10->installEventFilter(this);

  CheckListBox2 = new QListWidget(this);
  CheckListBox2->setObjectName(QStringLiteral("CheckListBox2"));
  CheckListBox2->setStatusTip(QStringLiteral("Wählen sie hier alle zu exportierenden Einträge an"));
  CheckListBox2->setAccessibleName(QStringLiteral("Zu exportierende Datensätze"));
  // Measuring 1000 lines one by one would take longer than the rest of the rebuild.
  CheckListBox2->setUniformItemSizes(true);

  Button11 = makeButton(this, "Button11", QStringLiteral("alle wählen"),
                        QStringLiteral("Alle Einträge wählen"));
  Button12 = makeButton(this, "Button12", QStringLiteral("nichts wählen"),
                        QStringLiteral("Keinen Eintrag wählen"));
  Button13 = makeButton(this, "Button13", QStringLiteral("Export !"),
                        QStringLiteral("Die gewählten Einträge exportieren"));

  RadioGroup3 = new QGroupBox(QStringLiteral(" Export als "), this);
  RadioGroup3->setObjectName(QStringLiteral("RadioGroup3"));
  RadioGroup3->setStatusTip(
      QStringLiteral("Entscheiden Sie hier, auf welche Art die Einträge exportiert werden"));
  RadioGroup3Items = new QButtonGroup(RadioGroup3);
  auto* formatRow = new QHBoxLayout(RadioGroup3);
  for (int i = 0; i < static_cast<int>(kFormats.size()); ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(kFormats[i].caption), RadioGroup3);
    radio->setStatusTip(RadioGroup3->statusTip());
    RadioGroup3Items->addButton(radio, i);
    formatRow->addWidget(radio);
  }

  auto* heading = new QHBoxLayout;
  heading->addWidget(StaticText13);
  heading->addStretch();
  heading->addWidget(Label10);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(Button11);
  buttons->addWidget(Button12);
  buttons->addStretch();
  buttons->addWidget(Button13);
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(CheckListBox2, 1);
  listRow->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(heading);
  layout->addLayout(listRow, 1);
  layout->addWidget(RadioGroup3);

  SaveDialog1.name = QStringLiteral("SaveDialog1");
  SaveDialog1.filter = QStringLiteral(
      "Alle Dateien (*.*)|*.*|Tavik4 Daten (*.dat)|*.dat|Webseiten (*.htm)|*.htm; "
      "*.html|Textdateien (*.txt)|*.txt|Tabellen (*.csv)|*.csv|Kalender (*.ics)|*.ics");

  // Ticking a line by mouse or keyboard changes the count.
  connect(CheckListBox2, &QListWidget::itemChanged, this, &ExportPage::CheckListBox2Click);
  connect(Button11, &QPushButton::clicked, this, &ExportPage::Button11Click);
  connect(Button12, &QPushButton::clicked, this, &ExportPage::Button12Click);
  connect(Button13, &QPushButton::clicked, this, &ExportPage::Button13Click);
}

ExportPage::~ExportPage() = default;

void ExportPage::checklistbox2update() {
  const std::vector<ExportLine> lines = buildExportList(m_table);
  // One pass with updates and signals off: the list is unsorted, so nothing is re-sorted.
  CheckListBox2->setUpdatesEnabled(false);
  {
    const QSignalBlocker blocker(CheckListBox2);
    CheckListBox2->clear();
    for (const ExportLine& line : lines) {
      QListWidgetItem* item = makeCheckItem(QString::fromUtf8(line.text), false);
      item->setData(Qt::UserRole, line.slot);
      // A long line ends in an ellipsis; the whole of it shows on hovering.
      item->setToolTip(item->text());
      CheckListBox2->addItem(item);
    }
  }
  CheckListBox2->setUpdatesEnabled(true);
  Label10Click();
}

void ExportPage::Label10Click() {
  int ticked = 0;
  for (int row = 0; row < CheckListBox2->count(); ++row) {
    if (CheckListBox2->item(row)->checkState() == Qt::Checked) ++ticked;
  }
  const int lines = CheckListBox2->count();
  Label10->setText(QString::fromStdString(exportCountLine(lines, ticked)));
  Button13->setEnabled(lines > 0);
  Button12->setEnabled(lines > 0);
  Button11->setEnabled(lines > 0);
}

void ExportPage::CheckListBox2Click() {
  Label10Click();
}

void ExportPage::setAllChecks(bool checked) {
  const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
  CheckListBox2->setUpdatesEnabled(false);
  {
    // One recount afterwards instead of one per line.
    const QSignalBlocker blocker(CheckListBox2);
    for (int row = 0; row < CheckListBox2->count(); ++row) {
      CheckListBox2->item(row)->setCheckState(state);
    }
  }
  CheckListBox2->setUpdatesEnabled(true);
  Label10Click();
}

void ExportPage::Button11Click() {
  setAllChecks(true);
}

void ExportPage::Button12Click() {
  setAllChecks(false);
}

void ExportPage::Button13Click() {
  const int choice = RadioGroup3Items->checkedId();
  if (choice < 0) {
    m_platform.messages.info(this, QString::fromUtf8(kExportNoFormat));
    return;
  }
  const FormatChoice& format = kFormats[static_cast<std::size_t>(choice)];
  SaveDialog1.filterIndex = format.filterIndex;
  SaveDialog1.defaultSuffix = QString::fromLatin1(format.defaultSuffix);
  // A name to confirm, with the format's extension: "tavik.csv" in the start directory at
  // first, later the last file's folder and name.
  const QFileInfo last(SaveDialog1.fileName.isEmpty()
                           ? QDir::current().filePath(QStringLiteral("tavik"))
                           : SaveDialog1.fileName);
  SaveDialog1.fileName =
      last.dir().filePath(last.completeBaseName() + u'.' + SaveDialog1.defaultSuffix);
  const std::optional<QString> path = m_platform.fileDialogs.saveFile(this, SaveDialog1);
  if (!path) return;

  // Each ticked line exports what its slot holds now. A calendar's UID is the event's identity:
  // one given here stays in the table, which the close saves, so the next export repeats it.
  const auto exportFormat = static_cast<ExportFormat>(choice);
  std::vector<EventRecord> records;
  for (int row = 0; row < CheckListBox2->count(); ++row) {
    const QListWidgetItem* item = CheckListBox2->item(row);
    if (item->checkState() == Qt::Checked) {
      const int slot = item->data(Qt::UserRole).toInt();
      if (exportFormat == ExportFormat::Ics) m_table.ensureIdentity(slot);
      records.push_back(m_table.record(slot));
    }
  }
  int fallbackTexts = 0;
  try {
    fallbackTexts =
        writeExportFile(m_platform.files, QFile::encodeName(*path).toStdString(), records,
                        exportFormat, QDateTime::currentDateTimeUtc().toSecsSinceEpoch());
  } catch (const FileError& e) {
    m_platform.messages.error(this, QString::fromStdString(e.userMessage()));
    return;
  }
  m_platform.messages.info(this, QString::fromStdString(exportDoneMessage(fallbackTexts)));
  clearFormatChoice();
}

void ExportPage::clearFormatChoice() {
  QAbstractButton* checked = RadioGroup3Items->checkedButton();
  if (!checked) return;
  // An exclusive group keeps one button checked; no choice at all needs it lifted briefly.
  RadioGroup3Items->setExclusive(false);
  checked->setChecked(false);
  RadioGroup3Items->setExclusive(true);
}

bool ExportPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label10 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Label10Click();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tavik
