#pragma once
#include <string>

#include "core/FormBase.h"
#include "core/Tables.h"

class QLabel;
class TCBEditEx;
struct FieldCheck;

// Reader master maintenance: looks a reader up by ID, registers or corrects one,
// deletes one, walks the readers in ID order and finds them through the search dialog.
// Key-entry mode takes an ID; edit mode (entered by looking an ID up) the 13 columns.
class TForm4 : public FormBase {
  Q_OBJECT
 public:
  explicit TForm4(AppContext& ctx, QWidget* parent = nullptr);

  void FormActivate() override;

  bool Chk_Part(int Mode);
  void Kensaku();
  void B_To_E(const ReaderRow& row);
  void Data_Clear();
  void Data_Enabled(bool Edit);
  void All_Btn_False();
  void User_Write();
  void Midasi_Dsp();

  // Enter in a field: its own check (and for the ID the lookup).
  void FieldEnter(TCBEditEx* field);
  void BaddClick();
  void BNxtClick();
  void BBfrClick();
  void BClrClick();
  void BdelClick();
  void BSarClick();
  void BendClick();

  TCBEditEx* EID;
  TCBEditEx* ESyoriKbn;
  TCBEditEx* ENEXTSTORY;
  TCBEditEx* ENAME;
  TCBEditEx* EMAILADDRESS;
  TCBEditEx* ESNDFASTDATE;
  TCBEditEx* ESNDFASTTIME;
  TCBEditEx* ESNDLASTDATE;
  TCBEditEx* ESNDLASTTIME;
  TCBEditEx* ETourokuDate;
  TCBEditEx* ETourokuTime;
  TCBEditEx* EBiko1;
  TCBEditEx* EBiko2;
  TCBEditEx* EBiko3;
  QLabel* LCflg;
  QLabel* LSyoriKbnMsg;
  QLabel* LMsg;
  QPushButton* Badd;
  QPushButton* BNxt;
  QPushButton* BBfr;
  QPushButton* BClr;
  QPushButton* Bdel;
  QPushButton* BSar;
  QPushButton* Bend;

 private:
  std::string text(const TCBEditEx* field) const;
  void setText(TCBEditEx* field, const std::string& value);
  // Puts a checked field's text back, or shows the refusal and empties the field.
  bool take(TCBEditEx* field, const FieldCheck& check, bool focusOnlyIfEnabled);
  bool checkAddress();
  void focusId();
  // Data_Clear that keeps a write failure readable in the message line.
  void clearKeepingMessage();
  void browse(bool forward);
  std::array<TCBEditEx*, 13> dataFields() const;
};
