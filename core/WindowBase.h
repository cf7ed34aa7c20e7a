#pragma once
#include <QDialog>
#include <array>
#include <string>

class AppContext;
class QPushButton;
class QKeyEvent;

// Base of every working window: sees each key before its controls do (function
// keys press the bar buttons), and calls activate whenever the window becomes
// active, including the first time it is shown.
class WindowBase : public QDialog {
  Q_OBJECT
 public:
  explicit WindowBase(AppContext& ctx, QWidget* parent = nullptr);
  ~WindowBase() override;

  AppContext& context() const { return m_ctx; }

  // Runs on every activation; a window initialises here when it was prepared.
  virtual void activate() {}
  // Asks for the initialisation at the window's next activation (an opening).
  void prepare() { m_initPending = true; }
  // Prepares the window and runs it modally.
  int openModal() {
    prepare();
    return exec();
  }

  // The bar buttons for F1 .. F12 (nullptr where the window has none).
  void setFunctionButtons(const std::array<QPushButton*, 12>& buttons) { m_functionButtons = buttons; }
  const std::array<QPushButton*, 12>& functionButtons() const { return m_functionButtons; }

  // Switches the bar buttons with a 12-character mask, one character per button:
  // "0" shown and disabled, "1" shown and enabled, "9" hidden, anything else unchanged.
  void applyButtonMask(const std::string& mask);

 protected:
  // Key preview: return true when the key was handled and must not reach the control.
  // The default presses the enabled bar button of a function key.
  virtual bool handleKey(QKeyEvent* event);
  bool pressFunctionKey(int qtKey);
  // True once after prepare(): the activation that initialises the window.
  bool takePendingInit() {
    const bool pending = m_initPending;
    m_initPending = false;
    return pending;
  }

  // Escape closes the window instead of being ignored.
  void setClosesOnEscape(bool closes) { m_closesOnEscape = closes; }

  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

  AppContext& m_ctx;

 private:
  std::array<QPushButton*, 12> m_functionButtons{};
  bool m_closesOnEscape = false;
  bool m_initPending = false;
};
