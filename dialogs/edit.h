// The event edit dialog: text, date and switches of one working record.
#pragma once

#include <QString>
#include <optional>

#include "dialogs/dialog_behaviour.h"
#include "store/day_number.h"
#include "store/typs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tavik {

class Messages;
class QuickHelp;

// The day number of a date text: "TT.MM.JJJJ" (years 1..9995) or, year-less, "TT.MM" in the
// year 2000. Only the digits 0..9 count as digits. nullopt for any other text, for a day that
// does not exist and for 30.12.1899, whose day number 0 would mark the slot as free.
std::optional<DayNumber> parseEditDate(const QString& text, bool withoutYear);

// Why a text in another script cannot be stored in a record whose reserved bytes belong to
// another program.
inline const QString kForeignRecordText = QStringLiteral(
    "Dieses Ereignis stammt aus einem anderen Programm und kann nur Text in westeuropäischer "
    "Schrift speichern.");

// Why kind and lead time are disabled for a record whose reserved bytes belong to another
// program: they live in the record extension, which such a record cannot have.
inline const QString kForeignRecordKindText = QStringLiteral(
    "Dieses Ereignis stammt aus einem anderen Programm: Art und „Vorher erinnern“ lassen sich "
    "dafür nicht speichern.");

// Used once for the run; keeps its controls and working record between uses. A caller sets the
// five check marks, then Edit1 and Edit2, then the working record (which also sets kind and
// lead time from its record extension), and runs exec(): kResultOk (OK) or kResultCancel
// (Abbrechen, close box). OK stores a changed kind or lead time in the working record, which
// gets its extension for it.
class TForm2 : public ActivatedDialog {
  Q_OBJECT

 public:
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;

  TForm2(Messages& messages, QuickHelp& quickHelp, QWidget* parent = nullptr);
  ~TForm2() override;

  const EventRecord& workingRecord() const { return m_record; }
  // Everything the caller sets comes through here, the reserved bytes included.
  void setWorkingRecord(const EventRecord& record);

  // Date rule: the working record takes the date only while the text is valid; OK follows it.
  void Edit2Change();
  // Text rule: messages for an empty or over-long text, the focus back into the field; the
  // record takes the text (NFC, cut to what fits) in any case, unless it is one that only the
  // record extension holds and another program owns the record's reserved bytes.
  void Edit1Exit();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();
  void CheckBox4Click();
  void CheckBox5Click();
  void Button1Click();
  void Button2Click();
  void BitBtn2Click();
  void FormActivate() override;
  // Sets the fixed size at the first showing.
  void setVisible(bool visible) override;

  // Controls under their form names; callers fill them before a run.
  QGroupBox* GroupBox1;
  QLabel* StaticText1;
  QLineEdit* Edit1;
  QLabel* StaticText2;
  QLineEdit* Edit2;
  QLabel* Label1;
  QLabel* TextNote;  // why the text cannot be stored, while it cannot
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox5;
  QCheckBox* CheckBox4;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox1;
  QLabel* kindLabel;
  QComboBox* kindBox;  // index = kind
  QLabel* leadDaysLabel;
  QSpinBox* leadDaysBox;
  QLabel* leadDaysUnit;
  QLabel* kindNote;  // why kind and lead time cannot be stored, while they cannot
  QPushButton* Button2;
  QPushButton* Button1;
  QPushButton* BitBtn2;

 public slots:
  void reject() override;

 private:
  void FormCreate();
  void protectionRule();
  // True when the text rule had to complain (and put the focus back).
  bool applyTextRule();
  // Returns false when the record cannot hold the text (kForeignRecordText).
  bool takeText();
  bool textNeedsExtension() const;
  void showTextNote();
  // A note shown or hidden after the first showing: the fixed size follows it.
  void refit();
  // Stores a kind or lead time the user changed; a record left as it was stays untouched.
  void takeKindAndLeadDays();
  void onFocusChanged(QWidget* old, QWidget* now);

  Messages& m_messages;
  QuickHelp& m_quickHelp;
  EventRecord m_record;
  QMetaObject::Connection m_focusWatch;
  bool m_sized = false;  // the fixed size is set at the first showing
};

}  // namespace tavik
