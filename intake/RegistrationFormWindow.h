#pragma once
#include "core/WindowBase.h"

class QPlainTextEdit;
class QPushButton;
class QLabel;

// "クオル　読者登録フォーム出力": shows the two registration form snippets and copies
// either one to the clipboard exactly, CR LF line ends included. Escape closes it.
class RegistrationFormWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit RegistrationFormWindow(AppContext& ctx, QWidget* parent = nullptr);

  void activate() override;

  QPlainTextEdit* nameAndAddressView;
  QPlainTextEdit* addressOnlyView;
  QPushButton* copyNameAndAddressButton;
  QPushButton* copyAddressOnlyButton;
  QPlainTextEdit* cancelFormView;
  QPushButton* copyCancelFormButton;
  QPushButton* backButton;
  // Confirms a copy ("コピーしました") without a box to close.
  QLabel* copyStatusLabel;

 public slots:
  void copyNameAndAddress();
  void copyAddressOnly();
  void copyCancelForm();
  void backToMenu();
};
