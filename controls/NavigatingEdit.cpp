#include "controls/NavigatingEdit.h"

#include <QKeyEvent>
#include <QToolTip>

NavigatingEdit::NavigatingEdit(QWidget* parent) : QLineEdit(parent) {}

bool NavigatingEdit::event(QEvent* e) {
  // Claim Up and Down so no shortcut or container navigation takes them first.
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    if ((k->key() == Qt::Key_Up && useUp) || (k->key() == Qt::Key_Down && useDown)) {
      e->accept();
      return true;
    }
  }
  return QLineEdit::event(e);
}

void NavigatingEdit::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;

  // Key down: navigation keys move the focus and raise no key-down event.
  if (enter) {
    if (useEnter) moveFocus(true);
  } else if (key == Qt::Key_Up) {
    if (useUp) moveFocus(false);
  } else if (key == Qt::Key_Down) {
    if (useDown) moveFocus(true);
  } else {
    emit keyDown(e);
  }

  // Key press: the character, if any.
  if (enter) {
    emit keyPressed(13);  // never inserted, never beeps
    e->accept();
    return;
  }
  if (key == Qt::Key_Up || key == Qt::Key_Down) {
    e->accept();
    return;
  }
  const QString text = e->text();
  // Selecting all and copying change nothing a check would have to judge.
  if (text.isEmpty() || e->matches(QKeySequence::SelectAll) || e->matches(QKeySequence::Copy)) {
    QLineEdit::keyPressEvent(e);  // caret movement, remove, ...
    return;
  }
  const QChar ch = text.at(0);
  const bool isBackspace = key == Qt::Key_Backspace;
  const bool digit = ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
  if (digitsOnly && !isBackspace && !digit && !digitsAlsoAllow.contains(ch)) {
    emit keyPressed(0);  // discarded, paste and cut included
    // A printable character gets its reason; a refused shortcut needs none.
    if (ch.isPrint()) {
      QToolTip::showText(mapToGlobal(cursorRect().bottomLeft()), refusalText, this);
      emit characterRefused(refusalText);
    }
    e->accept();
    return;
  }
  emit keyPressed(isBackspace ? 8 : ch.unicode());
  QLineEdit::keyPressEvent(e);
}

namespace {
// Turns Enter on the control it watches into a move to the next control.
class EnterMovesOn : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        NavigatingEdit::moveFocusFrom(static_cast<QWidget*>(watched), true);
        return true;
      }
    }
    return QObject::eventFilter(watched, e);
  }
};
}  // namespace

void NavigatingEdit::letEnterMoveOn(QWidget* control) {
  control->setFocusPolicy(Qt::StrongFocus);
  control->installEventFilter(new EnterMovesOn(control));
}

void NavigatingEdit::moveFocusFrom(QWidget* from, bool forward) {
  QWidget* top = from->window();
  if (!top || top == from) return;
  // Tab order of every focusable control of the window, nested containers included.
  QList<QWidget*> order;
  QWidget* w = top->nextInFocusChain();
  while (w && w != top) {
    order.append(w);
    w = w->nextInFocusChain();
  }
  const int n = order.size();
  if (n == 0) return;
  int pos = order.indexOf(from);
  if (pos < 0) pos = forward ? -1 : 0;
  for (int step = 0; step < n; ++step) {
    if (forward)
      pos = (pos + 1) % n;
    else
      pos = (pos - 1 + n) % n;
    QWidget* c = order[pos];
    const bool qualifies = c->isVisibleTo(top) && c->isEnabled() && (c->focusPolicy() & Qt::TabFocus) &&
                           c->window() == top && c->isVisible();
    if (qualifies) {
      c->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return;
    }
  }
}
