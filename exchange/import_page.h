// The Import page: choose a file, list the events read from it, add the ticked ones to the table.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "exchange/import_candidate.h"
#include "platform/seams.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedLayout;

namespace tavik {

class EventTable;

class ImportPage : public QWidget {
  Q_OBJECT

 public:
  // The page adds to `table` and reaches files, boxes and dialogs through `platform`; both
  // outlive the page.
  ImportPage(EventTable& table, Platform& platform, QWidget* parent = nullptr);
  ~ImportPage() override;

  // The candidates the list's lines stand for, in list order.
  const std::vector<OTdaten>& candidates() const { return m_candidates; }

  QLabel* StaticText7;
  QLineEdit* Edit3;
  QPushButton* Button5;
  QLabel* Label6;
  QLabel* Label7;
  QFrame* Panel1;
  QLabel* StaticText8;
  QLabel* Label4;
  QListWidget* CheckListBox1;
  QPushButton* Button7;
  QPushButton* Button8;
  QPushButton* Button6;
  // The open dialog's filter, entry and file, kept between uses.
  FileDialogSetup OpenDialog1;

 public slots:
  // Empties the list, then runs the open dialog; its end reads the file (OpenDialog1Close).
  void Button5Click();
  // A file selected while the dialog is open becomes the file to read.
  void OpenDialog1SelectionChange(const QString& path);
  // The dialog closed: a confirmed file becomes the file to read; confirmed or cancelled, the
  // file named in Edit3 is read.
  void OpenDialog1Close(const std::optional<QString>& confirmed);
  // Shows the status panel for good and reads the file.
  void Timer2Timer();
  // Reads the file named in Edit3 and lists its candidates; "Import !" is enabled only when
  // the read ended cleanly.
  void readImportFile();
  // Empties the list and releases its candidates.
  void clearImportList();
  void Button7Click();
  void Button8Click();
  // Stores the ticked candidates into free slots and reports how many.
  void Button6Click();

 private:
  void setAllChecks(bool checked);

  EventTable& m_table;
  Platform& m_platform;
  QStackedLayout* m_infoOrPanel;
  std::vector<OTdaten> m_candidates;  // a line's item data is its index here
};

}  // namespace tavik
