#pragma once
#include "core/WindowBase.h"

class QLineEdit;
class StripedGrid;

// Story search dialog: lists the stored mails from the opener's number on; a choice is
// written back into that number field.
class StorySearchDialog : public WindowBase {
  Q_OBJECT
 public:
  explicit StorySearchDialog(AppContext& ctx, QWidget* parent = nullptr);

  // The opener's number field: lower bound of the list and where the choice goes.
  void setNumberField(QLineEdit* field) { m_numberField = field; }

  // Fills the list from the opener's number on (on every showing).
  void fillList();
  // Writes the selected mail's number into the opener's field and closes (Yes).
  void choose();
  // Closes without a choice (No).
  void cancel();

  StripedGrid* listGrid;
  QPushButton* chooseButton;
  QPushButton* cancelButton;

 protected:
  bool handleKey(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* m_numberField = nullptr;
};
