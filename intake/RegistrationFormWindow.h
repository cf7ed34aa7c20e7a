#pragma once
#include "core/WindowBase.h"

class QPlainTextEdit;
class QPushButton;

// "クオル　読者登録フォーム出力": shows the two registration form snippets and copies
// either one to the clipboard exactly, CR LF line ends included.
class RegistrationFormWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit RegistrationFormWindow(AppContext& ctx, QWidget* parent = nullptr);

  void activate() override;

  QPlainTextEdit* Memo1;
  QPlainTextEdit* Memo2;
  QPushButton* b1;
  QPushButton* B2;
  QPushButton* Bend;

 public slots:
  void b1Click();
  void B2Click();
  void BendClick();
};
