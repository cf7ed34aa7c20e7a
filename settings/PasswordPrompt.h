#pragma once
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class NavigatingEdit;

// The password prompt: Enter in the field confirms, the button cancels.
class PasswordPrompt : public QDialog {
  Q_OBJECT
 public:
  // Dialog results; callers treat every result but mrYes as cancelled.
  static constexpr int mrCancel = 2;
  static constexpr int mrYes = 6;
  static constexpr int mrNo = 7;

  explicit PasswordPrompt(QWidget* parent = nullptr);

  QLabel* Ltitle;
  NavigatingEdit* EPas;
  QPushButton* Bcan;

 public slots:
  void EPasKeyPress(int key);
  void BcanClick();
  // The close box and Escape.
  void reject() override;
};

// The password rule of the runs: trims the password in place, then refuses a blank one
// or one with a double-byte character, showing the message.
bool askSavedOrTypedPassword(std::string& password);
