#pragma once
#include <QPushButton>
#include <QString>
#include <array>
#include <functional>

class QBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QWidget;

// Pieces the maintenance screens share.
namespace WindowParts {

// The twelve function-key buttons, F1 first, in one row added to the layout. A button
// whose caption is the bare key name has no function and stays disabled. Over each
// button whose caption does not name its key stands a label with the key ("F1", buddy
// of the button); a hint, where given, stands over that.
std::array<QPushButton*, 12> makeFunctionBar(QWidget* parent, QBoxLayout* layout,
                                             const std::array<const char*, 12>& names,
                                             const std::array<QString, 12>& captions,
                                             const std::array<QString, 12>& hints = {});

// Runs a handler; a database error that the screen does not catch itself is shown in
// the error box with the client's text, as the application's default error display.
void runGuarded(const std::function<void()>& action);

// Limits what can be typed to maxChars characters while text set by the program may be
// longer (the checks then judge it), as an edit box's length limit does.
void limitTyping(QLineEdit* edit, int maxChars);

// Limits what can be typed to maxBytes bytes of CP932 (a full-width character counts
// two), the width of the column the field is stored in. Text set by the program may be
// longer; the checks then judge it.
void limitTypingBytes(QLineEdit* edit, int maxBytes);

// A failed write: the prefix and the database client's text in the message line and
// in the error box.
void reportFailure(QLabel* messageLine, const QString& prefix, const char* what);

// Whether the key is Enter and the widget has the focus.
bool isEnterIn(const QKeyEvent* event, const QWidget* widget);

// A button whose click runs the window's handler under runGuarded.
template <typename Window>
void connectGuarded(QPushButton* button, Window* window, void (Window::*handler)()) {
  QObject::connect(button, &QPushButton::clicked, window,
                   [window, handler] { runGuarded([window, handler] { (window->*handler)(); }); });
}

// A field that is disabled while browsing keeps its text in the normal colour: read
// only, but as readable as while editing.
void keepTextReadable(QWidget* field);

// Asks before unsaved edits are thrown away by closing; true to close.
bool confirmDiscard();
// Asks before unsaved edits are thrown away by the clear key; true to clear.
bool confirmClear();

// The confirmation of a save in a window's message line.
QString savedText();

// Closed: half-width entry; open: the Japanese input method.
void setInputMethodOpen(QWidget* w, bool open);

}  // namespace WindowParts
