// Qt's message boxes, file dialogs and desktop services.
#include "platform/qt_seams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

namespace tavik {

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

// Filter strings come as "Description|*.ext|Description|*.ext"; Qt wants "Description (*.ext)".
QStringList qtFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    out << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(u';', u' ') +
               QStringLiteral(")");
  }
  return out;
}

}  // namespace

void QtMessages::info(QWidget* parent, const QString& text) {
  showBox(parent, QMessageBox::NoIcon, text);
}

void QtMessages::error(QWidget* parent, const QString& text) {
  showBox(parent, QMessageBox::Critical, text);
}

bool QtMessages::confirm(QWidget* parent, const QString& text, bool cancelIsDefault) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Bestätigung"), text,
                  QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.setDefaultButton(cancelIsDefault ? QMessageBox::Cancel : QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtFileDialogs::openFile(
    QWidget* parent, const QString& filter,
    const std::function<void(const QString&)>& selectionChanged) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(qtFilters(filter));
  QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog,
                   [&](const QString& path) { selectionChanged(path); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

std::optional<std::pair<QString, int>> QtFileDialogs::saveFile(QWidget* parent,
                                                               const QString& filter,
                                                               const QString& defaultSuffix) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  const QStringList filters = qtFilters(filter);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return std::pair{dialog.selectedFiles().first(),
                   static_cast<int>(filters.indexOf(dialog.selectedNameFilter()))};
}

void QtShell::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

QDate SystemClock::today() const { return QDate::currentDate(); }

QString SystemClock::shortDate(const QDate& date) const {
  return QLocale::system().toString(date, QLocale::ShortFormat);
}

}  // namespace tavik
