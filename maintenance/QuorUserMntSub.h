#pragma once
#include "core/FormBase.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TCBEditEx;
class TStringGridEx;

// Reader search dialog: lists the readers whose name or mail address begins with the
// condition; the chosen reader's ID is written into the opener's ID field.
class TFormQuorUserMntSub : public FormBase {
  Q_OBJECT
 public:
  explicit TFormQuorUserMntSub(AppContext& ctx, QWidget* parent = nullptr);

  // The opener's ID field, where the choice goes.
  void setIdField(QLineEdit* field) { m_idField = field; }

  void FormActivate() override;
  void SG_Clr();
  void kensaku();
  void BokClick();
  void BClrClick();
  void BEndClick();
  void RKenKbnClick();

  // 0 name, 1 mail address.
  int ItemIndex() const;
  void setItemIndex(int index);

  // Raised by the opener before showing the dialog, lowered afterwards.
  std::uint8_t Init_Flg = 0;

  QGroupBox* RKenKbn;
  QRadioButton* RName;
  QRadioButton* RAddress;
  TCBEditEx* EJyouKen;
  QLabel* Lhit;
  TStringGridEx* SG1;
  QPushButton* Bok;
  QPushButton* BClr;
  QPushButton* BEnd;

 protected:
  bool FormKeyDown(QKeyEvent* event) override;

 private:
  QLineEdit* m_idField = nullptr;
};
