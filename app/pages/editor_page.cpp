// The editor page.
#include "app/pages/editor_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "dates/date_text.h"
#include "dialogs/edit.h"
#include "platform/seams.h"
#include "store/day_number.h"
#include "store/event_table.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {

namespace {

constexpr int kSlotRole = Qt::UserRole;

int selectedRow(const QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.first());
}

QString dateText(const EventRecord& record) {
  const Ymd d = splitRecordDate(record.date);
  const std::string dayMonth = zeroPad2(d.day) + "." + zeroPad2(d.month);
  return QString::fromStdString(isSet(record.withoutYear) ? dayMonth
                                                          : dayMonth + "." + zeroPad2(d.year));
}

}  // namespace

namespace {

// The line form `sortChoice` of the record's date with `text`.
std::string lineWith(const EventRecord& record, int sortChoice, const std::string& text) {
  if (sortChoice == 2) return eventLineDate(record) + text;
  if (sortChoice != 1 && sortChoice != 3) return text;
  const Ymd d = splitRecordDate(record.date);
  const std::string dd = zeroPad2(d.day);
  const std::string mm = zeroPad2(d.month);
  const bool withoutYear = isSet(record.withoutYear);
  if (sortChoice == 1) {
    return withoutYear ? mm + "." + dd + std::string(12, ' ') + text
                       : mm + "." + dd + "." + zeroPad2(d.year) + "   " + text;
  }
  return withoutYear ? std::string(9, ' ') + mm + "-" + dd + "   " + text
                     : zeroPad2(d.year) + "-" + mm + "-" + dd + "   " + text;
}

}  // namespace

std::string editorLine(const EventRecord& record, int sortChoice) {
  return lineWith(record, sortChoice, eventText(record));
}

std::vector<EditorListLine> editorList(const EventTable& table, int sortChoice) {
  struct Keyed {
    std::string key;
    EditorListLine line;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(static_cast<std::size_t>(table.usedCount()));
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (table.slotIsFree(slot)) continue;
    const EventRecord& record = table.record(slot);
    std::string text = editorLine(record, sortChoice);
    // A Unicode text's fallback stands in the Windows-1252 field already; transliterating it
    // again for each of a thousand lines would cost more than the whole rebuild may.
    std::string key = hasUnicodeText(record)
                          ? textSortKey(text, lineWith(record, sortChoice, record.text()))
                          : textSortKey(text);
    keyed.push_back({std::move(key), {std::move(text), slot}});
  }
  // Built first and sorted once: placing each line as it comes would cost a search and a
  // shift per line.
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
  std::vector<EditorListLine> lines;
  lines.reserve(keyed.size());
  for (Keyed& k : keyed) lines.push_back(std::move(k.line));
  return lines;
}

EditorPage::EditorPage(EventTable& table, TForm2& editDialog, Messages& messages, QWidget* parent)
    : EditorPage(
          table, [&editDialog]() -> TForm2& { return editDialog; }, messages, parent) {}

EditorPage::EditorPage(EventTable& table, std::function<TForm2&()> editDialog, Messages& messages,
                       QWidget* parent)
    : QWidget(parent), m_table(table), m_editDialog(std::move(editDialog)), m_messages(messages) {
  setObjectName(QStringLiteral("EditorPage"));

  ListBox2 = new QListWidget(this);
  ListBox2->setObjectName(QStringLiteral("ListBox2"));
  ListBox2->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox2->setStatusTip(QStringLiteral("Hier sehen sie alle ihre Einträge"));
  ListBox2->setAccessibleName(ListBox2->statusTip());
  // Measuring 1000 lines one by one would take longer than the whole rebuild may.
  ListBox2->setUniformItemSizes(true);
  ListBox2->installEventFilter(this);

  RadioGroup1Box = new QGroupBox(QStringLiteral(" Sortieren nach "), this);
  RadioGroup1Box->setObjectName(QStringLiteral("RadioGroup1Box"));
  RadioGroup1Box->setStatusTip(
      QStringLiteral("Stellen Sie hier die gewünschte Sortierreihenfolge der Einträge links ein."));
  RadioGroup1 = new QButtonGroup(this);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  auto* sortGrid = new QGridLayout(RadioGroup1Box);
  const QStringList sortItems = {QStringLiteral("nur Text"), QStringLiteral("MM.TT.JJJJ"),
                                 QStringLiteral("TT.MM.JJJJ"), QStringLiteral("JJJJ-MM-TT")};
  for (int i = 0; i < sortItems.size(); ++i) {
    auto* button = new QRadioButton(sortItems[i], RadioGroup1Box);
    button->setStatusTip(RadioGroup1Box->statusTip());
    RadioGroup1->addButton(button, i);
    // Two columns, filled top to bottom.
    sortGrid->addWidget(button, i % 2, i / 2);
  }
  RadioGroup1->button(0)->setChecked(true);

  GroupBox1 = new QGroupBox(QStringLiteral(" Editorfunktionen "), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  Button2 = new QPushButton(QStringLiteral("neuen Eintrag zufügen"), GroupBox1);
  Button3 = new QPushButton(QStringLiteral("markierten Eintrag löschen"), GroupBox1);
  Button4 = new QPushButton(QStringLiteral("markierten Eintrag bearbeiten"), GroupBox1);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button3->setObjectName(QStringLiteral("Button3"));
  Button4->setObjectName(QStringLiteral("Button4"));
  Button2->setStatusTip(QStringLiteral("Einen Eintrag zufügen."));
  Button3->setStatusTip(QStringLiteral("Den markierten Eintrag löschen."));
  Button4->setStatusTip(QStringLiteral("Gewählten Eintrag im Editfenster bearbeiten."));
  Button3->setEnabled(false);
  Button4->setEnabled(false);
  auto* buttons = new QVBoxLayout(GroupBox1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button3);
  buttons->addWidget(Button4);

  auto* right = new QVBoxLayout;
  right->addWidget(RadioGroup1Box);
  right->addWidget(GroupBox1);
  right->addStretch();

  auto* page = new QHBoxLayout(this);
  page->addWidget(ListBox2, 1);
  page->addLayout(right, 1);

  connect(ListBox2, &QListWidget::itemSelectionChanged, this, &EditorPage::ListBox2Click);
  connect(ListBox2, &QListWidget::itemDoubleClicked, this, &EditorPage::Button4Click);
  connect(RadioGroup1, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) RadioGroup1Click();
  });
  connect(Button2, &QPushButton::clicked, this, &EditorPage::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &EditorPage::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &EditorPage::Button4Click);
}

void EditorPage::ListBox2Update() {
  const int position = selectedRow(ListBox2);
  const std::vector<EditorListLine> lines = editorList(m_table, RadioGroup1->checkedId());

  // One repaint for the whole list.
  ListBox2->setUpdatesEnabled(false);
  ListBox2->clear();
  for (const EditorListLine& line : lines) {
    auto* item = new QListWidgetItem(QString::fromStdString(line.text));
    item->setData(kSlotRole, line.slot);
    // A long line ends in an ellipsis; the whole of it shows on hovering.
    item->setToolTip(item->text());
    ListBox2->addItem(item);
  }
  if (position >= 0 && position < ListBox2->count()) {
    ListBox2->setCurrentRow(position);
    ListBox2->scrollToItem(ListBox2->item(position));
  }
  ListBox2->setUpdatesEnabled(true);
}

int EditorPage::selectedSlot() const {
  const QList<QListWidgetItem*> selected = ListBox2->selectedItems();
  return selected.isEmpty() ? 0 : selected.first()->data(kSlotRole).toInt();
}

void EditorPage::ListBox2Click() {
  if (ListBox2->selectedItems().isEmpty()) return;
  Button3->setEnabled(true);
  Button4->setEnabled(true);
}

void EditorPage::Button2Click() {
  const std::optional<int> slot = m_table.findFreeSlot();
  if (!slot) {
    m_messages.info(this, QStringLiteral("Zufügen nicht möglich.. Speicherplatz erschöpft!"));
    return;
  }
  TForm2& form = m_editDialog();
  for (QCheckBox* box :
       {form.CheckBox1, form.CheckBox2, form.CheckBox3, form.CheckBox4, form.CheckBox5}) {
    box->setChecked(false);
  }
  form.Edit1->setText(QStringLiteral("Neuer Eintrag (%1)").arg(*slot));
  form.Edit2->setText(QStringLiteral("01.01.2006"));

  EventRecord fresh;
  const QByteArray text = form.Edit1->text().toUtf8();
  setEventText(fresh, std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
  fresh.date = toDouble(*makeDayNumber(2006, 1, 1));
  form.setWorkingRecord(fresh);

  if (form.exec() == TForm2::kResultOk) {
    EventRecord made = form.workingRecord();
    giveExtension(made);
    m_table.placeRecord(*slot, made);
    ListBox2Update();
  } else {
    m_messages.info(this, QStringLiteral("Es wurde kein Datensatz zugefügt."));
  }
}

void EditorPage::Button4Click() {
  const int slot = selectedSlot();
  if (slot == 0) return;
  const EventRecord record = m_table.record(slot);
  TForm2& form = m_editDialog();
  form.CheckBox1->setChecked(isSet(record.isProtected));
  form.CheckBox2->setChecked(isSet(record.computeJubilee));
  form.CheckBox3->setChecked(isSet(record.autoDelete));
  form.CheckBox4->setChecked(isSet(record.highPriority));
  form.CheckBox5->setChecked(isSet(record.withoutYear));
  form.CheckBox2->setEnabled(!form.CheckBox5->isChecked());
  form.Edit1->setText(QString::fromStdString(eventText(record)));
  form.Edit2->setText(dateText(record));
  form.setWorkingRecord(record);

  if (form.exec() == TForm2::kResultOk) {
    // A record OK left as it was stays byte for byte; a changed one gets its identity.
    EventRecord changed = form.workingRecord();
    if (changed != record) {
      giveExtension(changed);
      m_table.placeRecord(slot, changed);
    }
    ListBox2Update();
  } else {
    m_messages.info(this, QStringLiteral("Datensatz wurde nicht geändert!"));
  }
}

void EditorPage::Button3Click() {
  const int slot = selectedSlot();
  if (slot == 0) return;
  if (isSet(m_table.record(slot).isProtected) &&
      !m_messages.confirm(
          this, QStringLiteral("Dieser Datensatz ist geschützt. Wollen sie ihn trotzdem löschen?"),
          /*cancelIsDefault=*/true)) {
    return;
  }
  const int position = selectedRow(ListBox2);
  m_table.freeSlot(slot);
  ListBox2Update();
  if (position - 1 >= 0 && position - 1 < ListBox2->count()) {
    ListBox2->setCurrentRow(position - 1);
    ListBox2->scrollToItem(ListBox2->item(position - 1));
  }
  ListBox2->clearSelection();
  Button3->setEnabled(false);
  Button4->setEnabled(false);
}

void EditorPage::RadioGroup1Click() {
  ListBox2Update();
}

bool EditorPage::ListBox2KeyDown(QKeyEvent* event) {
  if (event->key() != Qt::Key_Delete || !Button3->isEnabled()) return false;
  Button3Click();
  return true;
}

bool EditorPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox2 && event->type() == QEvent::KeyPress) {
    return ListBox2KeyDown(static_cast<QKeyEvent*>(event));
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tavik
