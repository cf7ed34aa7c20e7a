#include "core/WindowBase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

WindowBase::WindowBase(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx) {
  qApp->installEventFilter(this);
}

WindowBase::~WindowBase() = default;

void WindowBase::applyButtonMask(const std::string& mask) {
  for (size_t i = 0; i < m_functionButtons.size() && i < mask.size(); ++i) {
    QPushButton* b = m_functionButtons[i];
    if (!b) continue;
    switch (mask[i]) {
      case '0':
        b->setVisible(true);
        b->setEnabled(false);
        break;
      case '1':
        b->setVisible(true);
        b->setEnabled(true);
        break;
      case '9':
        b->setVisible(false);
        break;
      default:
        break;
    }
  }
}

bool WindowBase::pressFunctionKey(int qtKey) {
  if (qtKey < Qt::Key_F1 || qtKey > Qt::Key_F12) return false;
  QPushButton* b = m_functionButtons[static_cast<size_t>(qtKey - Qt::Key_F1)];
  if (b && b->isEnabled() && b->isVisible()) b->click();
  return true;
}

bool WindowBase::handleKey(QKeyEvent* event) { return pressFunctionKey(event->key()); }

bool WindowBase::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible()) {
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() == this) {
      auto* key = static_cast<QKeyEvent*>(event);
      // Only the window's own buttons and close box end it; Escape does only where the
      // window allows it.
      if (key->key() == Qt::Key_Escape) {
        if (m_closesOnEscape) close();
        return true;
      }
      return handleKey(key);
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool WindowBase::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) activate();
  return QDialog::event(event);
}

void WindowBase::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Also when the platform does not activate windows (offscreen tests); the init
  // flags make a second call harmless.
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) activate();
  });
}
