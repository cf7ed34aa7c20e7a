#pragma once
#include <functional>

#include "core/WindowBase.h"
#include "core/ReaderStore.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class NavigatingEdit;
class StripedGrid;

// Reader search dialog: opens listing the readers registered last, and lists the readers
// whose name or mail address begins with the condition; the chosen reader's ID is
// written into the opener's ID field.
class ReaderSearchDialog : public WindowBase {
  Q_OBJECT
 public:
  explicit ReaderSearchDialog(AppContext& ctx, QWidget* parent = nullptr);

  // Opens the dialog modally with an empty condition and the newest readers listed; a
  // chosen reader's ID is written into idField.
  void chooseInto(QLineEdit* idField);

  void activate() override;
  // Empties the list and the hit count and unlocks the condition.
  void clearResults();
  // Lists the readers matching the condition (Enter in the condition).
  void search();
  // Lists the readers registered last, newest first (the dialog opens with them).
  void listNewest();
  // Writes the selected reader's ID into the opener's field and closes (Yes).
  void choose();
  // Empties the condition and the list.
  void clearScreen();
  // Closes without a choice (No).
  void cancel();
  // The name search opens the Japanese input method, the address search closes it.
  void searchByChanged();

  ReaderSearchBy searchBy() const;
  void setSearchBy(ReaderSearchBy by);

  QGroupBox* searchByGroup;
  QRadioButton* byNameRadio;
  QRadioButton* byAddressRadio;
  NavigatingEdit* conditionEdit;
  QLabel* hitCountLabel;
  StripedGrid* resultGrid;
  QPushButton* chooseButton;
  QPushButton* clearButton;
  QPushButton* cancelButton;

 protected:
  bool handleKey(QKeyEvent* event) override;

 private:
  // Fills the list through query, which hands each reader to its argument and returns
  // the number of hits.
  int fill(const std::function<int(const std::function<void(const Reader&)>&)>& query);
  QLineEdit* m_idField = nullptr;
  // Raised while chooseInto runs, so the first activation focuses the condition.
  bool m_initPending = false;
};
