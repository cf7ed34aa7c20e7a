#pragma once
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class TCBEditEx;

// The password prompt: Enter in the field confirms, the button cancels.
class TForm2 : public QDialog {
  Q_OBJECT
 public:
  // Dialog results; callers treat every result but mrYes as cancelled.
  static constexpr int mrCancel = 2;
  static constexpr int mrYes = 6;
  static constexpr int mrNo = 7;

  explicit TForm2(QWidget* parent = nullptr);

  QLabel* Ltitle;
  TCBEditEx* EPas;
  QPushButton* Bcan;

 public slots:
  void EPasKeyPress(int key);
  void BcanClick();
  // The close box and Escape.
  void reject() override;
};

// The password rule of the runs: trims the password in place, then refuses a blank one
// or one with a double-byte character, showing the message.
bool Pas_Chk(std::string& password);
