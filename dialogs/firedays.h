// The holiday selection dialog: which public holidays and other days the countdown computes.
#pragma once

#include "dialogs/dialog_behaviour.h"
#include "store/typs.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tavik {

class QuickHelp;

// Works directly on the selection it is given: every change of a check mark is written at
// once to its byte (left list item j -> byte j + 1, right list item j -> byte j + 21). Byte 0
// and the reserved bytes 16..20 and 32..50 are never written. A state preset sets the left
// list and, where the state's law has one of the right list's days, checks that day too. There is
// no cancel; exec() gives kResultOk for OK and kResultClosed for the close box, and both keep every
// change.
class TForm3 : public ActivatedDialog {
  Q_OBJECT

 public:
  static constexpr int kResultOk = 1;
  static constexpr int kResultClosed = 2;

  TForm3(HolidaySelection& selection, QuickHelp& quickHelp, QWidget* parent = nullptr);

  // Sets the check marks from the selection (a byte other than 0 is checked, Weltkindertag's only
  // when it is 1) and writes no byte.
  // Called after every read of the holiday file.
  void showSelection();

  void CheckListBox1Click();
  void CheckListBox2Click();
  void ComboBox1Change();
  void ComboBox2Change();
  void BitBtn2Click();
  void FormActivate() override;
  // Sets the fixed size at the first showing.
  void setVisible(bool visible) override;

  QLabel* StaticText1;
  QComboBox* ComboBox1;
  QListWidget* CheckListBox1;
  QLabel* StaticText2;
  QComboBox* ComboBox2;
  QListWidget* CheckListBox2;
  QLabel* StaticText3;
  QPushButton* Button1;
  QPushButton* BitBtn2;

 public slots:
  void reject() override;

 private:
  void checkItemChanged(QListWidgetItem* item);
  // Sets the marks of a list to the preset (a bit per item) and writes their bytes.
  void applyPreset(QListWidget* list, int firstByte, unsigned preset);
  // Checks the right list's items of `rows` (a bit per item) and writes their bytes; leaves
  // the others.
  void checkOtherDays(unsigned rows);
  void writeByte(QListWidget* list, int firstByte, int row);

  HolidaySelection& m_selection;
  QuickHelp& m_quickHelp;
  bool m_settingMarks = false;  // marks set by code, written (or not) by the caller
  // The right box's preset holds as shown: its rule ran and no mark was changed since.
  bool m_combo2Applied = false;
  bool m_sized = false;  // the fixed size is set at the first showing
};

}  // namespace tavik
