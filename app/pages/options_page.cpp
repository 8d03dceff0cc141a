// The options page and its rules.
#include "app/pages/options_page.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/autostart.h"
#include "platform/display_scale.h"
#include "platform/reminder_timer.h"
#include "platform/seams.h"
#include "store/failure.h"

namespace tavik {

namespace {

constexpr int kLookAheadFieldLength = 3;
constexpr int kAutoExitFieldLength = 4;
constexpr int kFallbackValue = 30;

template <typename T>
T* named(T* widget, const char* name) {
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

// Keeps only the number a field's text begins with, read from its first `length` characters.
void keepLeadingNumber(QLineEdit* field, int length) {
  const QString number = QString::number(leadingNumber(field->text().left(length)));
  if (field->text() != number) field->setText(number);
}

}  // namespace

int leadingNumber(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  long long value = 0;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && value < 1000000000) {
    value = value * 10 + (text[i++].unicode() - u'0');
  }
  return static_cast<int>(negative ? -value : value);
}

OptionsPage::OptionsPage(Settings& settings, HolidaySelection& holidays, Messages& messages,
                         AutostartEntry& autostart, ReminderTimer& reminder, QWidget* parent)
    : QWidget(parent),
      m_settings(settings),
      m_holidays(holidays),
      m_messages(messages),
      m_autostart(autostart),
      m_reminder(reminder) {
  const double s = uiScale(font());
  const QString daysHint = QStringLiteral("Anzahl der Tage, die Tavik! vorausberechnet (10-99)");
  const QString exitHint = QStringLiteral(
      "Die automatische Beendenfunktion wird gestoppt, wenn sie das Hauptfenster verlassen");
  const QString holidayHint =
      QStringLiteral("Tavik! kann wichtige Feiertage selbstständig berechnen");

  GroupBox3 = named(new QGroupBox(QStringLiteral(" Einstellungen "), this), "GroupBox3");
  StaticText5 =
      named(new QLabel(QStringLiteral("Anzahl der vorberechneten Tage"), GroupBox3), "StaticText5");
  StaticText5->setStatusTip(daysHint);
  Edit1 = named(new QLineEdit(QStringLiteral("0"), GroupBox3), "Edit1");
  Edit1->setStatusTip(daysHint);
  Edit1->setAccessibleName(StaticText5->text());
  StaticText5->setBuddy(Edit1);

  CheckBox1 = named(new QCheckBox(QStringLiteral("Tavik! automatisch beenden nach"), GroupBox3),
                    "CheckBox1");
  CheckBox1->setStatusTip(exitHint);
  Edit2 = named(new QLineEdit(QStringLiteral("33"), GroupBox3), "Edit2");
  Edit2->setStatusTip(exitHint);
  Edit2->setAccessibleName(QStringLiteral("Sekunden bis zum automatischen Beenden"));
  StaticText6 = named(new QLabel(QStringLiteral("Sekunden"), GroupBox3), "StaticText6");

  CheckBox3 = named(new QCheckBox(QStringLiteral("Heutebox anzeigen"), GroupBox3), "CheckBox3");
  CheckBox3->setStatusTip(
      QStringLiteral("Die Heutebox zeigt heutige und bei Einstellung auch wichtige Ereignisse"));
  Button10 = named(new QPushButton(QStringLiteral("Heutebox testen"), GroupBox3), "Button10");
  Button10->setStatusTip(
      QStringLiteral("Die Heutebox zeigt heutige und wahlweise auch wichtige Ereignisse"));

  CheckBox2 = named(
      new QCheckBox(QStringLiteral("Feiertage und andere wichtige Tage berechnen"), GroupBox3),
      "CheckBox2");
  CheckBox2->setStatusTip(holidayHint);
  Button9 = named(new QPushButton(QStringLiteral("Feiertage wählen"), GroupBox3), "Button9");
  Button9->setStatusTip(holidayHint);

  CheckBox4 = named(new QCheckBox(QStringLiteral("Automatisch beim Anmelden starten"), GroupBox3),
                    "CheckBox4");
  CheckBox4->setStatusTip(QStringLiteral("Tavik! beim Anmelden am Desktop starten"));
  // Not a stored setting: the entry itself says whether it is on.
  CheckBox4->setChecked(m_autostart.enabled());
  CheckBox5 = named(
      new QCheckBox(QStringLiteral("Heutige Ereignisse als Benachrichtigung melden"), GroupBox3),
      "CheckBox5");
  CheckBox5->setStatusTip(
      QStringLiteral("Die heutigen Ereignisse zusätzlich als Nachricht des Desktops anzeigen"));
  inWordsBox = named(new QCheckBox(QStringLiteral("Jubiläen in Worten"), GroupBox3), "inWordsBox");
  inWordsBox->setStatusTip(
      QStringLiteral("Geburtstage, Hochzeitstage, Todestage und Jahrestage mit ihrer Art zeigen: "
                     "„wird 50“ statt „(50)“"));

  const QString remindHint = QStringLiteral(
      "Meldet die Ereignisse des Tages jeden Tag zu dieser Uhrzeit, auch ohne dass Tavik! "
      "gestartet wird");
  remindBox = named(new QCheckBox(QStringLiteral("Täglich erinnern um"), GroupBox3), "remindBox");
  remindBox->setStatusTip(remindHint);
  remindTime = named(new QTimeEdit(GroupBox3), "remindTime");
  remindTime->setDisplayFormat(QStringLiteral("HH:mm"));
  remindTime->setTime(QTime(kDefaultReminderHour, 0));
  remindTime->setAccessibleName(QStringLiteral("Uhrzeit der täglichen Erinnerung"));
  remindTime->setStatusTip(remindHint);
  remindError = named(new QLabel(GroupBox3), "remindError");
  remindError->setWordWrap(true);
  remindError->hide();
  // Not a stored setting: the timer unit itself says whether it is on, and when.
  showReminder();

  RadioGroup2 =
      named(new QGroupBox(QStringLiteral(" Einträge hoher Priorität "), this), "RadioGroup2");
  RadioGroup2->setStatusTip(QStringLiteral(
      "Hier können Sie entscheiden, was mit den Einträgen hoher Priorität geschieht"));
  RadioGroup2Items = new QButtonGroup(RadioGroup2);
  auto* radios = new QHBoxLayout(RadioGroup2);
  const QString items[] = {QStringLiteral("ignorieren"), QStringLiteral("als Popupfenster"),
                           QStringLiteral("in die Heutebox")};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(items[i], RadioGroup2);
    radio->setObjectName(QStringLiteral("RadioGroup2Item%1").arg(i));
    RadioGroup2Items->addButton(radio, i);
    radios->addWidget(radio);
  }

  const int fieldWidth = scaled(33, s) + fontMetrics().horizontalAdvance(QStringLiteral("0000"));
  Edit1->setFixedWidth(fieldWidth);
  Edit2->setFixedWidth(fieldWidth);
  auto* grid = new QGridLayout(GroupBox3);
  grid->setHorizontalSpacing(scaled(8, s));
  grid->addWidget(StaticText5, 0, 0);
  grid->addWidget(Edit1, 0, 1);
  grid->addWidget(CheckBox1, 1, 0);
  grid->addWidget(Edit2, 1, 1);
  grid->addWidget(StaticText6, 1, 2);
  grid->addWidget(CheckBox3, 2, 0);
  grid->addWidget(Button10, 2, 1, 1, 3, Qt::AlignLeft);
  grid->addWidget(CheckBox2, 3, 0);
  grid->addWidget(Button9, 3, 1, 1, 3, Qt::AlignLeft);
  grid->addWidget(CheckBox4, 4, 0, 1, 4);
  grid->addWidget(CheckBox5, 5, 0, 1, 4);
  grid->addWidget(inWordsBox, 6, 0, 1, 4);
  grid->addWidget(remindBox, 7, 0);
  grid->addWidget(remindTime, 7, 1, 1, 3, Qt::AlignLeft);
  grid->addWidget(remindError, 8, 0, 1, 4);
  grid->setColumnStretch(3, 1);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(scaled(8, s), scaled(4, s), scaled(8, s), scaled(4, s));
  column->addWidget(GroupBox3);
  column->addWidget(RadioGroup2);
  column->addStretch();

  // Change rules run on every change of the text or state, the program's own included.
  connect(Edit1, &QLineEdit::textChanged, this, &OptionsPage::Edit1Change);
  connect(Edit2, &QLineEdit::textChanged, this, &OptionsPage::Edit2Change);
  connect(CheckBox1, &QCheckBox::toggled, this, &OptionsPage::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::toggled, this, &OptionsPage::CheckBox2Click);
  connect(CheckBox3, &QCheckBox::toggled, this, &OptionsPage::CheckBox3Click);
  connect(CheckBox4, &QCheckBox::toggled, this, &OptionsPage::CheckBox4Click);
  connect(CheckBox5, &QCheckBox::toggled, this, &OptionsPage::CheckBox5Click);
  connect(remindBox, &QCheckBox::toggled, this, &OptionsPage::remindBoxClick);
  connect(remindTime, &QTimeEdit::editingFinished, this, &OptionsPage::remindTimeExit);
  connect(inWordsBox, &QCheckBox::toggled, this, &OptionsPage::inWordsClick);
  connect(RadioGroup2Items, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) RadioGroup2Click();
  });
  connect(Button9, &QPushButton::clicked, this, &OptionsPage::Button9Click);
  connect(Button10, &QPushButton::clicked, this, &OptionsPage::Button10Click);
  Edit1->installEventFilter(this);
  Edit2->installEventFilter(this);
}

bool OptionsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    // Leaving a field means going to another control, not to another window or a menu.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == Edit1) Edit1Exit();
      if (watched == Edit2) Edit2Exit();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void OptionsPage::Edit1Change() {
  keepLeadingNumber(Edit1, kLookAheadFieldLength);
}

void OptionsPage::Edit2Change() {
  keepLeadingNumber(Edit2, kAutoExitFieldLength);
}

void OptionsPage::Edit1Exit() {
  if (m_leaving) return;
  m_leaving = true;
  int days = leadingNumber(Edit1->text());
  if (days < 1 || days > 99) {
    m_messages.info(this, QString::fromUtf8(kLookAheadRangeMessage));
    Edit1->setFocus();
    days = kFallbackValue;
  }
  m_settings.anzdays = static_cast<std::uint8_t>(days);
  Edit1->setText(QString::number(days));
  m_leaving = false;
  if (lookAheadChanged) lookAheadChanged();
}

void OptionsPage::Edit2Exit() {
  if (m_leaving) return;
  m_leaving = true;
  int seconds = leadingNumber(Edit2->text());
  if (seconds < 5 || seconds > 240) {
    m_messages.info(this, QString::fromUtf8(kAutoExitRangeMessage));
    Edit2->setFocus();
    seconds = kFallbackValue;
  }
  m_settings.autoclose = static_cast<std::uint8_t>(seconds);
  Edit2->setText(QString::number(seconds));
  m_leaving = false;
}

void OptionsPage::setEdit2Enabled(bool enabled) {
  Edit2->setEnabled(enabled);
  QPalette p = Edit2->palette();
  const QPalette standard = QApplication::palette(Edit2);
  const QColor background = enabled ? standard.color(QPalette::Active, QPalette::Base)
                                    : standard.color(QPalette::Active, QPalette::Button);
  for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::Base, background);
  }
  Edit2->setPalette(p);
}

void OptionsPage::CheckBox1Click() {
  const bool checked = CheckBox1->isChecked();
  setEdit2Enabled(checked);
  if (checked) {
    Edit2->setText(m_settings.autoclose != 0 ? QString::number(m_settings.autoclose)
                                             : QString::number(kFallbackValue));
  } else {
    Edit2->setText(QStringLiteral("0"));
    m_settings.autoclose = 0;
  }
  m_settings.autoclose = static_cast<std::uint8_t>(leadingNumber(Edit2->text()));
}

void OptionsPage::CheckBox2Click() {
  m_holidays.bytes[0] = CheckBox2->isChecked() ? 1 : 0;
  Button9->setEnabled(m_holidays.computeHolidays());
}

void OptionsPage::CheckBox3Click() {
  m_settings.heutebox = CheckBox3->isChecked() ? 1 : 0;
}

void OptionsPage::CheckBox4Click() {
  try {
    m_autostart.setEnabled(CheckBox4->isChecked());
  } catch (const Failure& failure) {
    m_messages.error(this, QString::fromStdString(failure.userMessage()));
  }
  // The box shows what the entry is now, also after a failure.
  const QSignalBlocker quiet(CheckBox4);
  CheckBox4->setChecked(m_autostart.enabled());
}

void OptionsPage::CheckBox5Click() {
  m_settings.notify = CheckBox5->isChecked() ? 1 : 0;
}

void OptionsPage::showReminder() {
  const std::optional<QTime> installed = m_reminder.installedTime();
  const QSignalBlocker quietBox(remindBox);
  const QSignalBlocker quietTime(remindTime);
  remindBox->setChecked(installed.has_value());
  if (installed) remindTime->setTime(*installed);
}

void OptionsPage::remindBoxClick() {
  try {
    if (remindBox->isChecked()) {
      m_reminder.install(remindTime->time());
    } else {
      m_reminder.remove();
    }
    remindError->hide();
    remindError->setMinimumHeight(0);
  } catch (const Failure& failure) {
    remindError->setText(QString::fromStdString(failure.userMessage()));
    remindError->show();
    // A wrapped label claims no height of its own in a grid; without this the window would
    // cut its lines instead of growing.
    remindError->setMinimumHeight(
        remindError->heightForWidth(GroupBox3->layout()->contentsRect().width()));
    // The main window keeps the minimum size it was laid out for; it grows for the message
    // once the layouts have taken the label in.
    QTimer::singleShot(0, this, [this] {
      QWidget* top = window();
      if (top == this) return;
      top->layout()->activate();
      const QSize needed = top->size().expandedTo(top->minimumSizeHint());
      if (needed != top->size()) top->resize(needed);
    });
  }
  // The box shows what the timer is now, also after a failure.
  showReminder();
}

void OptionsPage::remindTimeExit() {
  if (!remindBox->isChecked() || m_reminder.installedTime() == remindTime->time()) return;
  remindBoxClick();
}

void OptionsPage::inWordsClick() {
  m_settings.inworten = inWordsBox->isChecked() ? 1 : 0;
  if (inWordsChanged) inWordsChanged();
}

void OptionsPage::RadioGroup2Click() {
  m_settings.prior = static_cast<std::uint8_t>(RadioGroup2Items->checkedId());
}

void OptionsPage::showHolidaySwitch() {
  CheckBox2->setChecked(m_holidays.computeHolidays());
  Button9->setEnabled(m_holidays.computeHolidays());
}

int OptionsPage::priorityHandling() const {
  return RadioGroup2Items->checkedId();
}

void OptionsPage::setPriorityHandling(int index) {
  if (QAbstractButton* item = RadioGroup2Items->button(index)) {
    item->setChecked(true);
    return;
  }
  // An exclusive group cannot uncheck its last item.
  RadioGroup2Items->setExclusive(false);
  for (QAbstractButton* item : RadioGroup2Items->buttons()) item->setChecked(false);
  RadioGroup2Items->setExclusive(true);
}

void OptionsPage::Button9Click() {
  if (chooseHolidays) chooseHolidays();
}

void OptionsPage::Button10Click() {
  if (testTodayBox) testTodayBox();
}

}  // namespace tavik
