#pragma once

// What a long import needs from the window that runs it. The window's running flag is
// the only way a stop request reaches the loop; the loop lets the window process its
// pending events between lines so that the stop button can be pressed at all.
class ImportHost {
 public:
  virtual ~ImportHost() = default;

  virtual bool running() const = 0;
  virtual void stopRunning() = 0;
  // One more reader inserted: the window raises its count and shows it ("%5d").
  virtual void readerRegistered() = 0;
  virtual void processEvents() = 0;
};
