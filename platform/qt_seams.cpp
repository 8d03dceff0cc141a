// Qt's message boxes, file dialogs and desktop services.
#include "platform/qt_seams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
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
// "*.*" means every file, also one without a dot in its name.
QStringList qtFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = QString(parts[i + 1]).replace(u';', u' ').simplified();
    if (patterns == QStringLiteral("*.*")) patterns = QStringLiteral("*");
    out << parts[i] + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  return out;
}

// Qt's own dialog, not the desktop's: only it reports selection changes, carries the
// objectName and speaks German through the loaded translations.
void prepare(QFileDialog& dialog, const FileDialogSetup& setup, const QStringList& filters) {
  dialog.setObjectName(setup.name);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The combo box shows the descriptions alone; they name their patterns themselves.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(filters);
  if (setup.filterIndex >= 1 && setup.filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[setup.filterIndex - 1]);
  }
  if (!setup.fileName.isEmpty()) dialog.selectFile(setup.fileName);
}

// Keeps the confirmed file and filter entry for the next use; nullopt when cancelled.
std::optional<QString> finish(QFileDialog& dialog, FileDialogSetup& setup,
                              const QStringList& filters, int result) {
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  setup.fileName = dialog.selectedFiles().first();
  const QString chosen = dialog.selectedNameFilter();
  const QStringList descriptions = setup.filter.split(u'|');
  for (qsizetype i = 0; i < filters.size(); ++i) {
    if (chosen == filters[i] || chosen == descriptions[2 * i].simplified()) {
      setup.filterIndex = static_cast<int>(i + 1);
    }
  }
  return setup.fileName;
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
    QWidget* parent, FileDialogSetup& setup,
    const std::function<void(const QString&)>& selectionChanged) {
  QFileDialog dialog(parent);
  const QStringList filters = qtFilters(setup.filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  prepare(dialog, setup, filters);
  // The current item also turns empty or into a folder while the user moves about; neither
  // is a file chosen.
  QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&](const QString& path) {
    if (!path.isEmpty() && !QFileInfo(path).isDir()) selectionChanged(path);
  });
  const int result = dialog.exec();
  return finish(dialog, setup, filters, result);
}

std::optional<QString> QtFileDialogs::saveFile(QWidget* parent, FileDialogSetup& setup) {
  QFileDialog dialog(parent);
  const QStringList filters = qtFilters(setup.filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  prepare(dialog, setup, filters);
  dialog.setDefaultSuffix(setup.defaultSuffix);
  const int result = dialog.exec();
  return finish(dialog, setup, filters, result);
}

void QtShell::openUrl(const QUrl& url) {
  QDesktopServices::openUrl(url);
}

QDate SystemClock::today() const {
  return QDate::currentDate();
}

QString SystemClock::shortDate(const QDate& date) const {
  QLocale locale = QLocale::system();
  // Without a configured locale ("C") the German sentence would get "10 Dec 2026".
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::German, QLocale::Germany);
  return locale.toString(date, QLocale::ShortFormat);
}

}  // namespace tavik
