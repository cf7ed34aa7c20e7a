#pragma once
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class NavigatingEdit;

// The password prompt: Enter in the field or OK confirms, キャンセル cancels.
class PasswordPrompt : public QDialog {
  Q_OBJECT
 public:
  // Dialog results; callers treat every result but kConfirmed as cancelled.
  static constexpr int kClosed = 2;
  static constexpr int kConfirmed = 6;
  static constexpr int kCancelled = 7;

  explicit PasswordPrompt(QWidget* parent = nullptr);

  QLabel* promptLabel;
  NavigatingEdit* passwordEdit;
  QPushButton* okButton;
  QPushButton* cancelButton;

 public slots:
  void passwordKeyPressed(int key);
  void cancel();
  // The close box and Escape.
  void reject() override;
};

// The password rule of the runs: trims the password in place, then refuses a blank one
// or one with a double-byte character, showing the message.
bool askSavedOrTypedPassword(std::string& password);
