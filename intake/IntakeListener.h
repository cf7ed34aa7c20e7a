#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The two boxes an intake run may show: the standard error box and the plain box.
enum class OperatorBox { Error, Plain };

// How a receive run or a reader import ended.
struct IntakeReport {
  enum class Outcome {
    NotStarted,  // the file could not be opened: nothing was read
    Completed,   // every stage and line was done
    Interrupted  // a failure, the ID limit or the operator's stop ("エラー又は中断")
  };
  Outcome outcome = Outcome::NotStarted;
  int registered = 0;                 // readers counted as added by this run
  int cancelled = 0;                  // readers the receive run's unsubscribe requests stopped
  std::vector<std::string> stoppedReaders;  // those readers, "number address"
  bool refusedLinesLogged = false;    // the receive run wrote FtpRcv_Err.log
  bool stopped = false;               // the operator's stop ended the receive run
  std::string failedStage;            // the receive run's first failed stage, as shown
  std::vector<std::string> rejected;  // CSV lines refused for their address, "address,name"
  int refused = 0;     // CSV lines not stored (those in rejected)
  int duplicates = 0;  // of them, addresses a reader already has or an earlier line had
};

// What an intake engine tells its window while it works. The calls come from the
// engine's own thread; texts are CP932. Only showBox waits for the operator.
class IntakeListener {
 public:
  virtual ~IntakeListener() = default;

  // The message line of the window.
  virtual void messageLine(const std::string& text) { (void)text; }
  // A download of size bytes begins; then count bytes of it have arrived.
  virtual void transferStarted(std::int64_t size) { (void)size; }
  virtual void transferProgress(std::int64_t count, std::int64_t size) { (void)count, (void)size; }
  // One more reader counted; count is the run's total so far.
  virtual void readerRegistered(int count) { (void)count; }
  // Shows the box and returns once the operator has closed it.
  virtual void showBox(OperatorBox box, const std::string& text) = 0;
  // The run is over; nothing else is reported after this.
  virtual void finished(const IntakeReport& report) { (void)report; }
};
