#pragma once
#include <QLineEdit>

// Single-line edit box for keyboard-driven entry: Up, Down and Enter move the focus
// between the fields of the form in tab order, and digitsOnly limits typing to digits
// (selecting all and copying still work; a refused character is explained).
// A screen's Enter handler (keyPressed with Qt::Key_Return) runs after the focus moved.
class NavigatingEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit NavigatingEdit(QWidget* parent = nullptr);

  bool useUp = true;
  bool useDown = true;
  bool useEnter = true;
  bool digitsOnly = false;
  // Characters a digits-only box takes besides the digits ("/" in a date field).
  QString digitsAlsoAllow;
  // What the operator is told when a digits-only box refuses a character.
  QString refusalText = QStringLiteral("半角数字で入力して下さい。");

  // Moves the focus to the next (forward) or previous qualifying control of the window.
  void moveFocus(bool forward) { moveFocusFrom(this, forward); }
  static void moveFocusFrom(QWidget* from, bool forward);
  // Enter on a check box or option button moves on as in the edits, without toggling it;
  // the control takes the focus from the keyboard, so its focus frame shows.
  static void letEnterMoveOn(QWidget* control);

 signals:
  // Raised for keys the box does not use for navigation (the key-down event).
  void keyDown(QKeyEvent* event);
  // Raised for every typed character, Enter (13) included, after filtering (the key-press event).
  void keyPressed(int character);
  // A digits-only box refused a typed character; the reason is shown at the box too.
  void characterRefused(const QString& why);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
};
