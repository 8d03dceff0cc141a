// The event edit dialog.
#include "dialogs/edit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "dialogs/dialog_behaviour.h"
#include "dialogs/quick_help.h"
#include "platform/seams.h"
#include "store/event_kind.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {

namespace {

// The whole number in text[from, from + count), digits only.
std::optional<int> digitsAt(const QString& text, qsizetype from, qsizetype count) {
  if (from + count > text.size()) return std::nullopt;
  int n = 0;
  for (qsizetype i = from; i < from + count; ++i) {
    const QChar c = text[i];
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + (c.unicode() - u'0');
  }
  return n;
}

std::string utf8Of(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Takes an edit only when the NFC form of the whole text fits the record, like a maximum
// length; a decomposed text (a pasted "Zoe" and a combining diaeresis) is composed.
class FittingTextValidator : public QValidator {
 public:
  using QValidator::QValidator;

  State validate(QString& input, int& pos) const override {
    const QString composed = input.normalized(QString::NormalizationForm_C);
    if (!textFits(utf8Of(composed))) return Invalid;
    if (composed != input) {
      pos = static_cast<int>(std::min(
          input.left(pos).normalized(QString::NormalizationForm_C).size(), composed.size()));
      input = composed;
    }
    return Acceptable;
  }
};

// Kind and lead time as the record holds them; none and 0 without a block.
struct KindAndLead {
  int kind = kKindNone;
  int leadDays = 0;
};

void invalidateLayouts(QLayout* layout) {
  layout->invalidate();
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    if (QLayout* inner = item->layout()) invalidateLayouts(inner);
    if (QWidget* w = item->widget(); w && w->layout()) {
      w->updateGeometry();
      invalidateLayouts(w->layout());
    }
  }
}

KindAndLead kindAndLeadOf(const EventRecord& record) {
  const auto block = readExtension(record);
  if (!block) return {};
  return {knownKind(block->kind), block->leadDays};
}

}  // namespace

std::optional<DayNumber> parseEditDate(const QString& text, bool withoutYear) {
  if (text.size() < 3 || text[2] != u'.') return std::nullopt;
  const auto day = digitsAt(text, 0, 2);
  const auto month = digitsAt(text, 3, 2);
  if (!day || *day < 1 || *day > 31 || !month || *month < 1 || *month > 12) return std::nullopt;
  int year = kYearlessYear;
  if (withoutYear) {
    if (text.size() != 5) return std::nullopt;
  } else {
    if (text.size() != 10 || text[5] != u'.') return std::nullopt;
    const auto y = digitsAt(text, 6, 4);
    if (!y || *y < 1 || *y > 9995) return std::nullopt;
    year = *y;
  }
  const auto n = makeDayNumber(year, *month, *day);
  // Day number 0 marks a free slot: an event stored with it would silently vanish.
  if (!n || n->value == 0) return std::nullopt;
  return n;
}

TForm2::TForm2(Messages& messages, QuickHelp& quickHelp, QWidget* parent)
    : ActivatedDialog(parent), m_messages(messages), m_quickHelp(quickHelp) {
  setObjectName(QStringLiteral("TForm2"));
  setWindowTitle(QStringLiteral("Ereignis bearbeiten"));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  GroupBox1 = new QGroupBox(QStringLiteral("  Ereignisinformationen "), this);
  StaticText1 = new QLabel(QStringLiteral("Ereignistext"), GroupBox1);
  Edit1 = new QLineEdit(GroupBox1);
  StaticText2 = new QLabel(QStringLiteral("Datum"), GroupBox1);
  Edit2 = new QLineEdit(GroupBox1);
  Label1 = new QLabel(QStringLiteral("(gefordertes Format: TT.MM.JJJJ)"), GroupBox1);
  TextNote = new QLabel(kForeignRecordText, GroupBox1);
  CheckBox2 = new QCheckBox(QStringLiteral("Jubiläum berechnen"), GroupBox1);
  CheckBox5 = new QCheckBox(QStringLiteral("Datum ohne Jahreszahl akzeptieren"), GroupBox1);
  CheckBox4 = new QCheckBox(QStringLiteral("Hohe Priorität (siehe Optionen)"), GroupBox1);
  CheckBox3 = new QCheckBox(QStringLiteral("Ereignis eine Woche nach Auslauf automatisch löschen"),
                            GroupBox1);
  CheckBox1 =
      new QCheckBox(QStringLiteral("Dieses Ereignis gegen ungewollte Veränderung schützen."), this);
  Button2 = new QPushButton(QStringLiteral("Abbrechen"), this);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn2 = new QPushButton(QStringLiteral("?"), this);
  kindLabel = new QLabel(QStringLiteral("&Art"), GroupBox1);
  kindBox = new QComboBox(GroupBox1);
  kindBox->addItem(QStringLiteral("—"));
  for (std::uint8_t k = 1; k <= kMostKind; ++k) {
    const std::string_view name = kindName(k);
    kindBox->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  leadDaysLabel = new QLabel(QStringLiteral("&Vorher erinnern:"), GroupBox1);
  leadDaysBox = new QSpinBox(GroupBox1);
  leadDaysBox->setRange(0, kMostLeadDays);
  leadDaysUnit = new QLabel(QStringLiteral("Tage"), GroupBox1);
  kindNote = new QLabel(kForeignRecordKindText, GroupBox1);

  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  StaticText1->setObjectName(QStringLiteral("StaticText1"));
  Edit1->setObjectName(QStringLiteral("Edit1"));
  StaticText2->setObjectName(QStringLiteral("StaticText2"));
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Label1->setObjectName(QStringLiteral("Label1"));
  TextNote->setObjectName(QStringLiteral("TextNote"));
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
  CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
  CheckBox4->setObjectName(QStringLiteral("CheckBox4"));
  CheckBox5->setObjectName(QStringLiteral("CheckBox5"));
  Button1->setObjectName(QStringLiteral("Button1"));
  Button2->setObjectName(QStringLiteral("Button2"));
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  kindLabel->setObjectName(QStringLiteral("kindLabel"));
  kindBox->setObjectName(QStringLiteral("kindBox"));
  leadDaysLabel->setObjectName(QStringLiteral("leadDaysLabel"));
  leadDaysBox->setObjectName(QStringLiteral("leadDaysBox"));
  leadDaysUnit->setObjectName(QStringLiteral("leadDaysUnit"));
  kindNote->setObjectName(QStringLiteral("kindNote"));

  StaticText1->setBuddy(Edit1);
  StaticText2->setBuddy(Edit2);
  kindLabel->setBuddy(kindBox);
  leadDaysLabel->setBuddy(leadDaysBox);
  Edit1->setAccessibleName(StaticText1->text());
  Edit2->setAccessibleName(StaticText2->text());
  kindBox->setAccessibleName(QStringLiteral("Art"));
  // The unit stands in a label of its own beside the box.
  leadDaysBox->setAccessibleName(QStringLiteral("Vorher erinnern (Tage)"));
  BitBtn2->setAccessibleDescription(QStringLiteral("Die Hilfe zu diesem Fenster anzeigen"));

  QFont bold = BitBtn2->font();
  bold.setBold(true);
  BitBtn2->setFont(bold);
  const int helpSide = BitBtn2->fontMetrics().height() + 6;
  BitBtn2->setFixedSize(helpSide, helpSide);
  BitBtn2->setAutoDefault(false);
  Button1->setDefault(true);
  // Clicking a button does not leave the text field: its complaints would otherwise swallow
  // the click, and an empty text could then not even be cancelled. OK runs the text rule itself.
  for (QPushButton* b : {Button1, Button2, BitBtn2}) b->setFocusPolicy(Qt::TabFocus);

  // 89 pixels at the design font; never narrower than a full date at the system font.
  Edit2->setFixedWidth(
      std::max(89, Edit2->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 12));

  auto* fields = new QGridLayout;
  fields->addWidget(StaticText1, 0, 0);
  fields->addWidget(Edit1, 0, 1, 1, 3);
  fields->addWidget(StaticText2, 1, 0);
  fields->addWidget(Edit2, 1, 1);
  fields->addWidget(Label1, 1, 2);
  // Shown only while the text cannot be stored (a rare record of another program); the dialog
  // grows for it then rather than keeping an empty band for everyone.
  TextNote->setWordWrap(true);
  TextNote->hide();
  fields->addWidget(TextNote, 2, 0, 1, 4);
  fields->setColumnStretch(3, 1);

  auto* switches = new QGridLayout;
  switches->addWidget(CheckBox2, 0, 0);
  switches->addWidget(CheckBox4, 1, 0);
  switches->addWidget(CheckBox5, 0, 1);
  switches->addWidget(CheckBox3, 1, 1);
  switches->setColumnStretch(1, 1);

  // The box lines up with the text and date fields above.
  kindLabel->setMinimumWidth(
      std::max({StaticText1->sizeHint().width(), StaticText2->sizeHint().width(),
                kindLabel->sizeHint().width()}));
  auto* reminder = new QHBoxLayout;
  reminder->addWidget(kindLabel);
  reminder->addWidget(kindBox);
  reminder->addSpacing(16);
  reminder->addWidget(leadDaysLabel);
  reminder->addWidget(leadDaysBox);
  reminder->addWidget(leadDaysUnit);
  reminder->addStretch();
  // Shown only for a record of another program, like the text's note.
  kindNote->setWordWrap(true);
  kindNote->hide();

  auto* group = new QVBoxLayout(GroupBox1);
  group->addLayout(fields);
  group->addLayout(switches);
  group->addLayout(reminder);
  group->addWidget(kindNote);

  auto* top = new QHBoxLayout;
  top->addStretch();
  top->addWidget(BitBtn2);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(CheckBox1);
  bottom->addStretch();
  bottom->addWidget(Button2);
  bottom->addWidget(Button1);

  auto* main = new QVBoxLayout(this);
  main->setSpacing(4);
  main->addLayout(top);
  main->addWidget(GroupBox1);
  main->addLayout(bottom);

  setTabOrder(Edit1, Edit2);
  setTabOrder(Edit2, CheckBox2);
  setTabOrder(CheckBox2, CheckBox4);
  setTabOrder(CheckBox4, CheckBox3);
  setTabOrder(CheckBox3, CheckBox5);
  setTabOrder(CheckBox5, kindBox);
  setTabOrder(kindBox, leadDaysBox);
  setTabOrder(leadDaysBox, CheckBox1);
  setTabOrder(CheckBox1, Button2);
  setTabOrder(Button2, Button1);
  setTabOrder(Button1, BitBtn2);

  connect(Edit2, &QLineEdit::textChanged, this, &TForm2::Edit2Change);
  connect(leadDaysBox, &QSpinBox::valueChanged, this, [this](int days) {
    leadDaysUnit->setText(days == 1 ? QStringLiteral("Tag") : QStringLiteral("Tage"));
  });
  Edit1->setValidator(new FittingTextValidator(Edit1));
  connect(Edit1, &QLineEdit::textChanged, this, &TForm2::showTextNote);
  connect(CheckBox1, &QCheckBox::toggled, this, &TForm2::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::toggled, this, &TForm2::CheckBox2Click);
  connect(CheckBox3, &QCheckBox::toggled, this, &TForm2::CheckBox3Click);
  connect(CheckBox4, &QCheckBox::toggled, this, &TForm2::CheckBox4Click);
  connect(CheckBox5, &QCheckBox::toggled, this, &TForm2::CheckBox5Click);
  connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
  // Leaving the text field for another control of this dialog; losing the focus to another
  // window (a message box, another program) is no leave.
  m_focusWatch = connect(qApp, &QApplication::focusChanged, this, &TForm2::onFocusChanged);

  FormCreate();
}

void TForm2::setVisible(bool visible) {
  // Measured when first shown: most runs never open the dialog.
  if (visible && !m_sized) {
    setFixedSize(sizeHint().expandedTo(QSize(538, 198)));
    m_sized = true;
  }
  QDialog::setVisible(visible);
}

void TForm2::setWorkingRecord(const EventRecord& record) {
  m_record = record;
  const KindAndLead stored = kindAndLeadOf(record);
  kindBox->setCurrentIndex(stored.kind);
  leadDaysBox->setValue(stored.leadDays);
  // Only the record extension holds them, which another program's record cannot have.
  const bool holdsThem = reservedUse(record) != ReservedUse::Foreign;
  for (QWidget* w : std::initializer_list<QWidget*>{kindLabel, kindBox, leadDaysLabel, leadDaysBox,
                                                    leadDaysUnit}) {
    w->setEnabled(holdsThem);
  }
  if (holdsThem != kindNote->isHidden()) {
    kindNote->setVisible(!holdsThem);
    refit();
  }
  showTextNote();
}

void TForm2::takeKindAndLeadDays() {
  const KindAndLead stored = kindAndLeadOf(m_record);
  const KindAndLead chosen{kindBox->currentIndex(), leadDaysBox->value()};
  if (chosen.kind == stored.kind && chosen.leadDays == stored.leadDays) return;
  // A changed record gets its block, as for a text in another script.
  if (!giveExtension(m_record)) return;
  setKind(m_record, static_cast<std::uint8_t>(chosen.kind));
  setLeadDays(m_record, static_cast<std::uint8_t>(chosen.leadDays));
}

// Hiding in ~QDialog moves the focus when this part is gone already.
TForm2::~TForm2() {
  disconnect(m_focusWatch);
}

void TForm2::FormCreate() {
  const bool withoutYear = CheckBox5->isChecked();
  Label1->setText(withoutYear ? QStringLiteral("(gefordertes Format: TT.MM)")
                              : QStringLiteral("(gefordertes Format: TT.MM.JJJJ)"));
  const QString date = Edit2->text();
  QString next;
  if (withoutYear) {
    next = date.size() == 10 ? date.left(5) : QStringLiteral("01.01");
  } else {
    next = date.size() == 5 ? date + QStringLiteral(".2000") : QStringLiteral("01.01.2000");
  }
  // An equal text emits no change, but the date rule must see the new state of CheckBox5.
  if (Edit2->text() == next) {
    Edit2Change();
  } else {
    Edit2->setText(next);
  }
  protectionRule();
}

void TForm2::Edit2Change() {
  const auto day = parseEditDate(Edit2->text(), CheckBox5->isChecked());
  if (day) m_record.date = toDouble(*day);
  Button1->setEnabled(day.has_value());
}

bool TForm2::textNeedsExtension() const {
  EventRecord probe = m_record;
  return setEventText(probe, utf8Of(Edit1->text())) == TextStore::NeedsExtension;
}

void TForm2::showTextNote() {
  const bool needed = textNeedsExtension();
  if (needed == !TextNote->isHidden()) return;
  TextNote->setVisible(needed);
  refit();
}

void TForm2::refit() {
  if (!m_sized) return;
  // Each layout caches its size until the next round of the event loop; a note just hidden
  // would otherwise still count.
  invalidateLayouts(layout());
  layout()->activate();
  setFixedSize(sizeHint().expandedTo(QSize(538, 198)));
}

bool TForm2::applyTextRule() {
  bool complained = false;
  if (Edit1->text().isEmpty()) {
    m_messages.info(this, QStringLiteral("Ereignistext darf nicht leer sein!"));
    complained = true;
  } else if (Edit1->text().size() > static_cast<qsizetype>(kMaxTextLength)) {
    m_messages.info(this, QStringLiteral("Ereignistext zu lang (max. 200 Zeichen) !"));
    complained = true;
  }
  if (complained) Edit1->setFocus(Qt::OtherFocusReason);
  takeText();
  return complained;
}

bool TForm2::takeText() {
  // toUtf8 replaces a lone surrogate, so the bytes are always UTF-8.
  return setEventText(m_record, utf8Of(Edit1->text())) == TextStore::Stored;
}

void TForm2::Edit1Exit() {
  applyTextRule();
}

void TForm2::onFocusChanged(QWidget* old, QWidget* now) {
  if (old == Edit1 && now != nullptr && now != Edit1 && now->window() == this) Edit1Exit();
}

void TForm2::protectionRule() {
  GroupBox1->setEnabled(!CheckBox1->isChecked());
}

void TForm2::CheckBox1Click() {
  protectionRule();
  m_record.isProtected = CheckBox1->isChecked() ? 1 : 0;
}

void TForm2::CheckBox2Click() {
  m_record.computeJubilee = CheckBox2->isChecked() ? 1 : 0;
}
void TForm2::CheckBox3Click() {
  m_record.autoDelete = CheckBox3->isChecked() ? 1 : 0;
}
void TForm2::CheckBox4Click() {
  m_record.highPriority = CheckBox4->isChecked() ? 1 : 0;
}

void TForm2::CheckBox5Click() {
  FormCreate();
  m_record.withoutYear = CheckBox5->isChecked() ? 1 : 0;
  CheckBox2->setEnabled(!CheckBox5->isChecked());
}

void TForm2::Button1Click() {
  // Enter in the text field reaches OK without a leave; the same complaints as a click then
  // keep the dialog open, and what was typed last is taken.
  if (focusWidget() == Edit1 && applyTextRule()) return;
  if (!takeText()) {
    // Nothing typed is lost: the dialog stays open with the text as it is.
    m_messages.info(this, kForeignRecordText);
    Edit1->setFocus(Qt::OtherFocusReason);
    return;
  }
  takeKindAndLeadDays();
  done(kResultOk);
}

void TForm2::Button2Click() {
  done(kResultCancel);
}

void TForm2::reject() {
  done(kResultCancel);
}

void TForm2::BitBtn2Click() {
  m_quickHelp.showQuickHelp(QStringLiteral("Editor"), this);
}

void TForm2::FormActivate() {
  m_quickHelp.hideQuickHelp();
}

}  // namespace tavik
