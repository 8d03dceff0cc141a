// The holiday selection dialog.
#include "dialogs/firedays.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <array>

#include "dates/holidays.h"
#include "dialogs/dialog_behaviour.h"
#include "dialogs/quick_help.h"

namespace tavik {

namespace {

// Left list rows.
enum : unsigned {
  Neujahr,
  HeiligeDreiKoenige,
  Karfreitag,
  Ostermontag,
  TagDerArbeit,
  ChristiHimmelfahrt,
  Pfingstmontag,
  Fronleichnam,
  MariaeHimmelfahrt,
  TagDerDeutschenEinheit,
  Reformationstag,
  Allerheiligen,
  BussUndBettag,
  Weihnachtsfeiertag1,
  Weihnachtsfeiertag2,
};

// Right list rows.
enum : unsigned {
  Valentinstag,
  Frauentag,
  Muttertag,
  Ostersonntag,
  Pfingstsonntag,
  Kindertag,
  Weltaidstag,
  Advent1,
  HeiligAbend,
  Silvester,
  Weltkindertag,
};

constexpr unsigned bits(std::initializer_list<unsigned> rows) {
  unsigned mask = 0;
  for (const unsigned r : rows) mask |= 1u << r;
  return mask;
}

// The holidays of every state.
constexpr unsigned kCommon =
    bits({Neujahr, Karfreitag, Ostermontag, TagDerArbeit, ChristiHimmelfahrt, Pfingstmontag,
          TagDerDeutschenEinheit, Weihnachtsfeiertag1, Weihnachtsfeiertag2});

struct StatePreset {
  const char* name;
  unsigned rows;           // the left list as a whole
  unsigned otherRows = 0;  // right list rows checked on top; the others stay as they are
};

// The statewide public holidays of each state.
constexpr std::array<StatePreset, 16> kStatePresets = {{
    {"Baden-Würtemberg", kCommon | bits({HeiligeDreiKoenige, Fronleichnam, Allerheiligen})},
    {"Bayern",
     kCommon | bits({HeiligeDreiKoenige, Fronleichnam, MariaeHimmelfahrt, Allerheiligen})},
    // Frauentag: a public holiday in Berlin since 2019, in Mecklenburg-Vorpommern since 2023.
    {"Berlin", kCommon, bits({Frauentag})},
    {"Brandenburg", kCommon | bits({Reformationstag})},
    // Reformationstag: a public holiday in Bremen, Hamburg, Niedersachsen and
    // Schleswig-Holstein by the holiday laws of 2018.
    {"Bremen", kCommon | bits({Reformationstag})},
    {"Hamburg", kCommon | bits({Reformationstag})},
    {"Hessen", kCommon | bits({Fronleichnam})},
    {"Mecklenburg-Vorpommern", kCommon | bits({Reformationstag}), bits({Frauentag})},
    {"Niedersachsen", kCommon | bits({Reformationstag})},
    {"Nordrhein-Westfalen", kCommon | bits({Fronleichnam, Allerheiligen})},
    {"Rheinland-Pfalz", kCommon | bits({Fronleichnam, Allerheiligen})},
    {"Saarland", kCommon | bits({Fronleichnam, MariaeHimmelfahrt, Allerheiligen})},
    // No Allerheiligen: not a public holiday under the Saxon holiday law of 1992.
    {"Sachsen", kCommon | bits({Fronleichnam, Reformationstag, BussUndBettag})},
    {"Sachsen-Anhalt", kCommon | bits({HeiligeDreiKoenige, Reformationstag})},
    {"Schleswig-Holstein", kCommon | bits({Reformationstag})},
    // No Allerheiligen: not a public holiday under the Thuringian holiday law of 1994.
    // Weltkindertag: a public holiday there since 2019.
    {"Thüringen", kCommon | bits({Fronleichnam, Reformationstag}), bits({Weltkindertag})},
}};

struct OtherPreset {
  const char* name;
  unsigned rows;
};

constexpr std::array<OtherPreset, 3> kOtherPresets = {{
    {"Alle", (1u << kOtherDayCount) - 1},
    {"Nichts", 0},
    {"(für Männer)", bits({Valentinstag, Frauentag, Muttertag, Kindertag, HeiligAbend})},
}};
static_assert(Weltkindertag + 1 == kOtherDayCount);

const QString kCurrentSetting = QStringLiteral("Aktuelle Einstellung");

// The entry whose text the box shows, or -1 for a typed text that is no entry.
int shownEntry(const QComboBox* box) {
  return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

QComboBox* makePresetBox(QWidget* parent, const QString& accessibleName) {
  auto* box = new QComboBox(parent);
  box->setEditable(true);
  // Typed text stays what was typed: no completion, no new entries.
  box->setCompleter(nullptr);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setAccessibleName(accessibleName);
  box->addItem(kCurrentSetting);
  return box;
}

template <std::size_t N>
QListWidget* makeCheckList(QWidget* parent, const QString& accessibleName,
                           const std::array<CalendarDay, N>& days) {
  auto* list = new QListWidget(parent);
  list->setAccessibleName(accessibleName);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const CalendarDay& day : days) {
    makeCheckItem(QString::fromUtf8(day.dialogEntry), false, list);
  }
  return list;
}

int selectedRow(const QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.first());
}

}  // namespace

TForm3::TForm3(HolidaySelection& selection, QuickHelp& quickHelp, QWidget* parent)
    : ActivatedDialog(parent), m_selection(selection), m_quickHelp(quickHelp) {
  setObjectName(QStringLiteral("TForm3"));
  setWindowTitle(QStringLiteral("Feiertage auswählen"));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  StaticText1 = new QLabel(QStringLiteral("Feiertage"), this);
  ComboBox1 = makePresetBox(this, QStringLiteral("Voreinstellung der Feiertage"));
  for (const StatePreset& p : kStatePresets) ComboBox1->addItem(QString::fromUtf8(p.name));
  CheckListBox1 = makeCheckList(this, QStringLiteral("Feiertage"), kPublicHolidays);
  StaticText2 = new QLabel(QStringLiteral("andere wichtige Tage"), this);
  ComboBox2 = makePresetBox(this, QStringLiteral("Voreinstellung der anderen wichtigen Tage"));
  for (const OtherPreset& p : kOtherPresets) ComboBox2->addItem(QString::fromUtf8(p.name));
  CheckListBox2 = makeCheckList(this, QStringLiteral("andere wichtige Tage"), kOtherDays);
  StaticText3 = new QLabel(
      QStringLiteral("Alle gewählten Feiertage und wichtigen Tage werden durch Tavik! berechnet."),
      this);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn2 = new QPushButton(QStringLiteral("?"), this);

  StaticText1->setObjectName(QStringLiteral("StaticText1"));
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  StaticText2->setObjectName(QStringLiteral("StaticText2"));
  ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
  CheckListBox2->setObjectName(QStringLiteral("CheckListBox2"));
  StaticText3->setObjectName(QStringLiteral("StaticText3"));
  Button1->setObjectName(QStringLiteral("Button1"));
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

  QFont bold = StaticText1->font();
  bold.setBold(true);
  StaticText1->setFont(bold);
  StaticText2->setFont(bold);
  BitBtn2->setFont(bold);
  const int helpSide = BitBtn2->fontMetrics().height() + 6;
  BitBtn2->setFixedSize(helpSide, helpSide);
  BitBtn2->setAutoDefault(false);
  BitBtn2->setAccessibleDescription(QStringLiteral("Die Hilfe zu diesem Fenster anzeigen"));
  Button1->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(StaticText1, 0, 0);
  grid->addWidget(StaticText2, 0, 1);
  grid->addWidget(BitBtn2, 0, 2, Qt::AlignRight | Qt::AlignTop);
  grid->addWidget(ComboBox1, 1, 0);
  grid->addWidget(ComboBox2, 1, 1);
  grid->addWidget(CheckListBox1, 2, 0);
  grid->addWidget(CheckListBox2, 2, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(StaticText3);
  bottom->addStretch();
  bottom->addWidget(Button1);
  grid->addLayout(bottom, 3, 0, 1, 3);

  setTabOrder(ComboBox1, CheckListBox1);
  setTabOrder(CheckListBox1, ComboBox2);
  setTabOrder(ComboBox2, CheckListBox2);
  setTabOrder(CheckListBox2, Button1);
  setTabOrder(Button1, BitBtn2);

  showSelection();

  connect(CheckListBox1, &QListWidget::itemSelectionChanged, this, &TForm3::CheckListBox1Click);
  connect(CheckListBox1, &QListWidget::itemClicked, this, &TForm3::CheckListBox1Click);
  connect(CheckListBox2, &QListWidget::itemSelectionChanged, this, &TForm3::CheckListBox2Click);
  connect(CheckListBox2, &QListWidget::itemClicked, this, &TForm3::CheckListBox2Click);
  connect(CheckListBox1, &QListWidget::itemChanged, this, &TForm3::checkItemChanged);
  connect(CheckListBox2, &QListWidget::itemChanged, this, &TForm3::checkItemChanged);
  connect(ComboBox1, &QComboBox::currentTextChanged, this, &TForm3::ComboBox1Change);
  connect(ComboBox2, &QComboBox::currentTextChanged, this, [this] {
    ComboBox2Change();
    m_combo2Applied = true;
  });
  // Picking the entry the box already shows changes no text; after marks were changed by hand
  // the user still expects the preset back.
  connect(ComboBox2, &QComboBox::activated, this, [this] {
    if (!m_combo2Applied) ComboBox2Change();
    m_combo2Applied = true;
  });
  connect(Button1, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(BitBtn2, &QPushButton::clicked, this, &TForm3::BitBtn2Click);
}

void TForm3::setVisible(bool visible) {
  // Measured when first shown: most runs never open the dialog.
  if (visible && !m_sized) {
    // 225 by 201 pixels at the design font; at the system font every entry shows whole.
    QSize listSize(225, 201);
    for (QListWidget* list : {CheckListBox1, CheckListBox2}) {
      const int frame = 2 * list->frameWidth();
      listSize = listSize.expandedTo(QSize(list->sizeHintForColumn(0) + frame + 4,
                                           list->sizeHintForRow(0) * list->count() + frame));
    }
    CheckListBox1->setFixedSize(listSize);
    CheckListBox2->setFixedSize(listSize);
    setFixedSize(sizeHint().expandedTo(QSize(482, 309)));
    m_sized = true;
  }
  QDialog::setVisible(visible);
}

void TForm3::showSelection() {
  m_settingMarks = true;
  for (int j = 0; j < CheckListBox1->count(); ++j) {
    CheckListBox1->item(j)->setCheckState(
        isSet(m_selection.bytes[static_cast<std::size_t>(kFirstPublicHolidayByte + j)])
            ? Qt::Checked
            : Qt::Unchecked);
  }
  for (int j = 0; j < CheckListBox2->count(); ++j) {
    const std::uint8_t b = m_selection.bytes[static_cast<std::size_t>(kFirstOtherDayByte + j)];
    // Weltkindertag's byte was reserved before, so a foreign file may hold anything there: it
    // counts as on only when it is 1, as in the holiday pass.
    const bool on = j == static_cast<int>(Weltkindertag) ? b == 1 : isSet(b);
    CheckListBox2->item(j)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
  m_settingMarks = false;
}

void TForm3::writeByte(QListWidget* list, int firstByte, int row) {
  m_selection.bytes[static_cast<std::size_t>(firstByte + row)] =
      list->item(row)->checkState() == Qt::Checked ? 1 : 0;
}

void TForm3::CheckListBox1Click() {
  {
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(0);
  }
  const int row = selectedRow(CheckListBox1);
  if (row >= 0) writeByte(CheckListBox1, kFirstPublicHolidayByte, row);
}

void TForm3::CheckListBox2Click() {
  m_combo2Applied = false;
  const int row = selectedRow(CheckListBox2);
  if (row >= 0) writeByte(CheckListBox2, kFirstOtherDayByte, row);
}

void TForm3::checkItemChanged(QListWidgetItem* item) {
  if (m_settingMarks) return;
  // A mark toggled from the keyboard is written like a click.
  QListWidget* list = item->listWidget();
  if (list == CheckListBox1) {
    {
      const QSignalBlocker quiet(ComboBox1);
      ComboBox1->setCurrentIndex(0);
    }
    writeByte(list, kFirstPublicHolidayByte, list->row(item));
  } else {
    m_combo2Applied = false;
    writeByte(list, kFirstOtherDayByte, list->row(item));
  }
}

void TForm3::applyPreset(QListWidget* list, int firstByte, unsigned preset) {
  m_settingMarks = true;
  for (int j = 0; j < list->count(); ++j) {
    list->item(j)->setCheckState((preset >> j) & 1u ? Qt::Checked : Qt::Unchecked);
    writeByte(list, firstByte, j);
  }
  m_settingMarks = false;
}

void TForm3::checkOtherDays(unsigned rows) {
  m_settingMarks = true;
  for (int j = 0; j < CheckListBox2->count(); ++j) {
    if (!((rows >> j) & 1u)) continue;
    if (CheckListBox2->item(j)->checkState() != Qt::Checked) {
      CheckListBox2->item(j)->setCheckState(Qt::Checked);
      m_combo2Applied = false;
    }
    writeByte(CheckListBox2, kFirstOtherDayByte, j);
  }
  m_settingMarks = false;
}

void TForm3::ComboBox1Change() {
  const int entry = shownEntry(ComboBox1);
  if (entry < 1) return;  // "Aktuelle Einstellung" or a typed text: the empty preset
  const StatePreset& preset = kStatePresets[static_cast<std::size_t>(entry - 1)];
  applyPreset(CheckListBox1, kFirstPublicHolidayByte, preset.rows);
  checkOtherDays(preset.otherRows);
}

void TForm3::ComboBox2Change() {
  const int entry = shownEntry(ComboBox2);
  if (entry == 0) return;
  // A typed text that is no entry has the empty preset, like "Nichts".
  const unsigned preset = entry > 0 ? kOtherPresets[static_cast<std::size_t>(entry - 1)].rows : 0;
  applyPreset(CheckListBox2, kFirstOtherDayByte, preset);
}

void TForm3::BitBtn2Click() {
  m_quickHelp.showQuickHelp(QStringLiteral("Feiertagewahl"), this);
}

void TForm3::FormActivate() {
  m_quickHelp.hideQuickHelp();
}

void TForm3::reject() {
  done(kResultClosed);
}

}  // namespace tavik
