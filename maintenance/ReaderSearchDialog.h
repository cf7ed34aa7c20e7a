#pragma once
#include "core/WindowBase.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class NavigatingEdit;
class StripedGrid;

// Reader search dialog: lists the readers whose name or mail address begins with the
// condition; the chosen reader's ID is written into the opener's ID field.
class ReaderSearchDialog : public WindowBase {
  Q_OBJECT
 public:
  explicit ReaderSearchDialog(AppContext& ctx, QWidget* parent = nullptr);

  // The opener's ID field, where the choice goes.
  void setIdField(QLineEdit* field) { m_idField = field; }

  void activate() override;
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
  NavigatingEdit* EJyouKen;
  QLabel* Lhit;
  StripedGrid* SG1;
  QPushButton* Bok;
  QPushButton* BClr;
  QPushButton* BEnd;

 protected:
  bool handleKey(QKeyEvent* event) override;

 private:
  QLineEdit* m_idField = nullptr;
};
