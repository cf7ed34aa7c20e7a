#pragma once
#include <cstddef>
#include <string>

struct BounceReport;
struct DueReader;

// What a send run reports while it works, and the question it puts to the operator
// (an error box, answered by closing it). Every text is CP932. A window passes each
// call on to its user-interface thread; the run goes on when the call returns.
class SendListener {
 public:
  virtual ~SendListener() = default;

  // A listed reader changed: its mark, or after its mail its next story and dates.
  virtual void readerChanged(std::size_t /*index*/, const DueReader& /*reader*/) {}
  // "sent / marked 送信済".
  virtual void progress(int /*sent*/, int /*marked*/) {}
  // The POP3 connection's status and its detail; both empty clear them.
  virtual void connectionStatus(const std::string& /*status*/, const std::string& /*detail*/) {}
  // The POP3 login of POP before SMTP has begun.
  virtual void loggingIn() {}
  // The mail to this address is on its way.
  virtual void sending(const std::string& /*address*/) {}
  // The time left of a wait, as the text to show.
  virtual void countdown(const std::string& /*text*/) {}
  // No wait and no connection in progress: the working and countdown texts go away.
  virtual void idle() {}
  // The bounce mailbox was read at the start of the run (failed() says it could not be).
  virtual void bouncesRead(const BounceReport& /*report*/) {}
  // An error box; returns once the operator has closed it.
  virtual void error(const std::string& /*text*/) {}
};
