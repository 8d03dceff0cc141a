// The editor page: the sorted list of all events; add, change and delete through the edit dialog.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "store/typs.h"

class QButtonGroup;
class QGroupBox;
class QListWidget;
class QPushButton;

namespace tavik {

class EventTable;
class Messages;
class TForm2;

// The four line forms of the list, in UTF-8 (the event's text as eventText gives it): 0 text only,
// 1 "MM.TT.JJJJ", 2 "TT.MM.JJJJ", 3 "JJJJ-MM-TT". Year-less events leave the year out and pad with
// blanks so that the texts line up (under 3 they begin with blanks and so sort first).
std::string editorLine(const EventRecord& record, int sortChoice);

// One line of the editor list and the slot (1..1000) it shows.
struct EditorListLine {
  std::string text;
  int slot = 0;
};

// The lines of all used slots in list order (textSortKey of the whole line; equal lines in
// slot order) for the line form `sortChoice`.
std::vector<EditorListLine> editorList(const EventTable& table, int sortChoice);

class EditorPage : public QWidget {
  Q_OBJECT

 public:
  EditorPage(EventTable& table, TForm2& editDialog, Messages& messages, QWidget* parent = nullptr);
  // The edit dialog comes from `editDialog` when first needed.
  EditorPage(EventTable& table, std::function<TForm2&()> editDialog, Messages& messages,
             QWidget* parent = nullptr);

  // Rebuilds the list from the table in the chosen line form, keeping the selected position.
  // The main window calls it whenever the page is shown.
  void ListBox2Update();

  void Button2Click();  // add
  void Button3Click();  // delete
  void Button4Click();  // edit
  void ListBox2Click();
  void RadioGroup1Click();

  QListWidget* ListBox2;
  QGroupBox* RadioGroup1Box;
  QButtonGroup* RadioGroup1;  // ids are the item indexes 0..3
  QGroupBox* GroupBox1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The slot of the selected line, or 0 when none is selected.
  int selectedSlot() const;
  bool ListBox2KeyDown(QKeyEvent* event);

  EventTable& m_table;
  std::function<TForm2&()> m_editDialog;
  Messages& m_messages;
};

}  // namespace tavik
