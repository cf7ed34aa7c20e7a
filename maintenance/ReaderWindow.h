#pragma once
#include <string>

#include "core/WindowBase.h"
#include "core/Tables.h"

class QLabel;
class NavigatingEdit;
struct FieldCheck;

// Reader master maintenance: looks a reader up by ID, registers or corrects one,
// deletes one, walks the readers in ID order and finds them through the search dialog.
// Key-entry mode takes an ID; edit mode (entered by looking an ID up) the 13 columns.
class ReaderWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit ReaderWindow(AppContext& ctx, QWidget* parent = nullptr);

  void activate() override;

  bool Chk_Part(int Mode);
  void Kensaku();
  void B_To_E(const ReaderRow& row);
  void Data_Clear();
  void Data_Enabled(bool Edit);
  void All_Btn_False();
  void User_Write();
  void Midasi_Dsp();

  // Enter in a field: its own check (and for the ID the lookup).
  void FieldEnter(NavigatingEdit* field);
  void BaddClick();
  void BNxtClick();
  void BBfrClick();
  void BClrClick();
  void BdelClick();
  void BSarClick();
  void BendClick();

  NavigatingEdit* EID;
  NavigatingEdit* ESyoriKbn;
  NavigatingEdit* ENEXTSTORY;
  NavigatingEdit* ENAME;
  NavigatingEdit* EMAILADDRESS;
  NavigatingEdit* ESNDFASTDATE;
  NavigatingEdit* ESNDFASTTIME;
  NavigatingEdit* ESNDLASTDATE;
  NavigatingEdit* ESNDLASTTIME;
  NavigatingEdit* ETourokuDate;
  NavigatingEdit* ETourokuTime;
  NavigatingEdit* EBiko1;
  NavigatingEdit* EBiko2;
  NavigatingEdit* EBiko3;
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
  std::string text(const NavigatingEdit* field) const;
  void setText(NavigatingEdit* field, const std::string& value);
  // Puts a checked field's text back, or shows the refusal and empties the field.
  bool take(NavigatingEdit* field, const FieldCheck& check, bool focusOnlyIfEnabled);
  bool checkAddress();
  void focusId();
  // Data_Clear that keeps a write failure readable in the message line.
  void clearKeepingMessage();
  void browse(bool forward);
  std::array<NavigatingEdit*, 13> dataFields() const;
};
