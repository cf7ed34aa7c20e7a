#pragma once
#include <string>

#include "intake/IntakeListener.h"

class RunThread;

// The base of the intake windows' listeners: a box an engine shows appears on the
// user-interface thread while the engine, on its worker thread, waits for it to close.
class WindowListener : public IntakeListener {
 public:
  explicit WindowListener(RunThread& thread) : m_thread(thread) {}

  void showBox(OperatorBox box, const std::string& text) override;

 protected:
  RunThread& m_thread;
};
