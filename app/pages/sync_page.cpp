// The page "Abgleich".
#include "app/pages/sync_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "platform/display_scale.h"

namespace tavik {

namespace {

template <typename T>
T* named(T* widget, const char* name) {
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

// A label that names its field for screen readers too.
QLabel* labelFor(QWidget* field, const QString& text, const char* name, QWidget* parent) {
  auto* label = named(new QLabel(text, parent), name);
  label->setBuddy(field);
  QString accessible = text;
  if (accessible.endsWith(u':')) accessible.chop(1);
  field->setAccessibleName(accessible);
  return label;
}

}  // namespace

SyncPage::SyncPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("SyncPage"));
  const double s = uiScale(font());
  SyncGroup =
      named(new QGroupBox(QStringLiteral(" Kalender-Abgleich (CalDAV) "), this), "SyncGroup");
  SyncGroup->setStatusTip(QStringLiteral(
      "Die Ereignisse mit einem Kalender auf einem CalDAV-Server abgleichen (Nextcloud, "
      "Radicale, …)"));

  CalDavUrlEdit = named(new QLineEdit(SyncGroup), "CalDavUrlEdit");
  CalDavUrlEdit->setPlaceholderText(QStringLiteral("https://cloud.example.de/remote.php/dav"));
  CalDavUrlEdit->setStatusTip(QStringLiteral(
      "Die Adresse des Servers oder des Kalenders; nur https://, http:// nur für diesen Rechner"));
  CalDavUrlLabel =
      labelFor(CalDavUrlEdit, QStringLiteral("Serveradresse:"), "CalDavUrlLabel", SyncGroup);
  CalDavUserEdit = named(new QLineEdit(SyncGroup), "CalDavUserEdit");
  CalDavUserLabel =
      labelFor(CalDavUserEdit, QStringLiteral("Benutzername:"), "CalDavUserLabel", SyncGroup);
  CalDavPasswordEdit = named(new QLineEdit(SyncGroup), "CalDavPasswordEdit");
  CalDavPasswordEdit->setEchoMode(QLineEdit::Password);
  CalDavPasswordEdit->setStatusTip(QStringLiteral(
      "Das Passwort kommt in den Schlüsselbund des Desktops, nie in eine Datei von Tavik!"));
  CalDavPasswordLabel =
      labelFor(CalDavPasswordEdit, QStringLiteral("Passwort:"), "CalDavPasswordLabel", SyncGroup);
  FindCalendarsButton =
      named(new QPushButton(QStringLiteral("Kalender suchen"), SyncGroup), "FindCalendarsButton");
  FindCalendarsButton->setStatusTip(
      QStringLiteral("Die Kalender des Benutzers auf dem Server suchen"));
  CalendarBox = named(new QComboBox(SyncGroup), "CalendarBox");
  CalendarBox->setEnabled(false);
  CalendarBox->setPlaceholderText(QStringLiteral("Erst „Kalender suchen“, dann hier wählen"));
  CalendarBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CalendarBox->setMinimumContentsLength(20);
  CalendarLabel = labelFor(CalendarBox, QStringLiteral("Kalender:"), "CalendarLabel", SyncGroup);
  SyncNowButton =
      named(new QPushButton(QStringLiteral("Jetzt abgleichen"), SyncGroup), "SyncNowButton");
  SyncNowButton->setStatusTip(
      QStringLiteral("Die Ereignisse jetzt mit dem gewählten Kalender abgleichen"));
  SyncStatusLabel = named(new QLabel(SyncGroup), "SyncStatusLabel");
  SyncStatusLabel->setWordWrap(true);
  SyncStatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* grid = new QGridLayout(SyncGroup);
  grid->setHorizontalSpacing(scaled(8, s));
  grid->addWidget(CalDavUrlLabel, 0, 0);
  grid->addWidget(CalDavUrlEdit, 0, 1, 1, 2);
  grid->addWidget(CalDavUserLabel, 1, 0);
  grid->addWidget(CalDavUserEdit, 1, 1, 1, 2);
  grid->addWidget(CalDavPasswordLabel, 2, 0);
  grid->addWidget(CalDavPasswordEdit, 2, 1, 1, 2);
  grid->addWidget(FindCalendarsButton, 3, 1, Qt::AlignLeft);
  grid->addWidget(CalendarLabel, 4, 0);
  grid->addWidget(CalendarBox, 4, 1, 1, 2);
  grid->addWidget(SyncNowButton, 5, 1, Qt::AlignLeft);
  grid->addWidget(SyncStatusLabel, 6, 0, 1, 3);
  grid->setColumnStretch(2, 1);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(scaled(8, s), scaled(4, s), scaled(8, s), scaled(4, s));
  column->addWidget(SyncGroup);
  column->addStretch();

  setTabOrder(CalDavUrlEdit, CalDavUserEdit);
  setTabOrder(CalDavUserEdit, CalDavPasswordEdit);
  setTabOrder(CalDavPasswordEdit, FindCalendarsButton);
  setTabOrder(FindCalendarsButton, CalendarBox);
  setTabOrder(CalendarBox, SyncNowButton);

  connect(FindCalendarsButton, &QPushButton::clicked, this, [this] {
    if (findCalendars) findCalendars();
  });
  connect(SyncNowButton, &QPushButton::clicked, this, [this] {
    if (syncNow) syncNow();
  });
  connect(CalendarBox, &QComboBox::currentIndexChanged, this, &SyncPage::calendarIndexChanged);
}

void SyncPage::showAccount(const QString& url, const QString& user) {
  CalDavUrlEdit->setText(url);
  CalDavUserEdit->setText(user);
}

void SyncPage::showCalendars(const QStringList& urls, const QStringList& names) {
  const QSignalBlocker blocker(CalendarBox);
  CalendarBox->clear();
  int current = -1;
  for (qsizetype i = 0; i < urls.size(); ++i) {
    const QString name = i < names.size() && !names[i].isEmpty() ? names[i] : urls[i];
    CalendarBox->addItem(name, urls[i]);
    if (urls[i] == url()) current = static_cast<int>(i);
  }
  CalendarBox->addItem(QString::fromUtf8(kNewCalendarEntry));
  CalendarBox->setCurrentIndex(current);
  CalendarBox->setEnabled(true);
}

void SyncPage::calendarIndexChanged(int index) {
  if (index < 0) return;
  const QString chosen = CalendarBox->itemData(index).toString();
  if (chosen.isEmpty()) {
    // Not a calendar yet: the entry can be chosen again, and a calendar made replaces the list.
    {
      const QSignalBlocker blocker(CalendarBox);
      CalendarBox->setCurrentIndex(-1);
    }
    if (newCalendarChosen) newCalendarChosen();
    return;
  }
  CalDavUrlEdit->setText(chosen);
  if (calendarChosen) calendarChosen(chosen);
}

void SyncPage::showStatus(const QString& status) {
  SyncStatusLabel->setText(status);
}

void SyncPage::showRunning(bool running) {
  SyncNowButton->setEnabled(!running);
}

QString SyncPage::url() const {
  return CalDavUrlEdit->text().trimmed();
}

QString SyncPage::user() const {
  return CalDavUserEdit->text();
}

QString SyncPage::password() const {
  return CalDavPasswordEdit->text();
}

}  // namespace tavik
