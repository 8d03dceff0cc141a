// The Export page: tick events in the list of stored events, choose a format, write a file.
#pragma once

#include <QWidget>

#include "platform/seams.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tavik {

class EventTable;

class ExportPage : public QWidget {
  Q_OBJECT

 public:
  // The page reads `table` and gives the events a calendar export takes their identity
  // (saved with the table at the close); it writes files and shows boxes and dialogs through
  // `platform`. Both outlive the page.
  ExportPage(EventTable& table, Platform& platform, QWidget* parent = nullptr);
  ~ExportPage() override;

  // What the main window calls each time the page is entered: the list is built anew from the
  // table with nothing ticked (checklistbox2update).
  void rebuildExportList() { checklistbox2update(); }

  QLabel* StaticText13;
  QLabel* Label10;
  QListWidget* CheckListBox2;
  QPushButton* Button11;
  QPushButton* Button12;
  QPushButton* Button13;
  // The format choice; its buttons' ids are the item indexes (ExportFormat), none at start.
  QGroupBox* RadioGroup3;
  QButtonGroup* RadioGroup3Items;
  // The save dialog's filter, entry, default suffix and file, kept between uses.
  FileDialogSetup SaveDialog1;

 public slots:
  // One unticked line for each used slot, in slot order; then the count.
  void checklistbox2update();
  // Sets the count line and enables the three buttons when the list has lines.
  void Label10Click();
  void CheckListBox2Click();
  void Button11Click();
  void Button12Click();
  // Writes the ticked lines' records in the chosen format to the file chosen in the dialog.
  void Button13Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void setAllChecks(bool checked);
  void clearFormatChoice();

  EventTable& m_table;
  Platform& m_platform;
};

}  // namespace tavik
