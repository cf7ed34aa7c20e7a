#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "core/SendHistory.h"

class Pop3Client;
class Statement;
struct MailSettings;

// What one bounce did to one reader.
struct BounceOutcome {
  int readerId = 0;
  std::string address;
  int story = 0;
  // refused: the address is gone and the reader is stopped; deferred: a delay, counted
  // like a deferral of a send run (and, after enough of them, stopped as well).
  SendOutcome outcome = SendOutcome::refused;
  bool stopped = false;         // this bounce stopped the reader
  bool alreadyStopped = false;  // the reader was stopped before: nothing changed
  std::string code;    // "550 5.1.1", "5.1.1" or ""
  std::string reason;  // CP932
};

// One reading of the bounce mailbox.
struct BounceReport {
  int messages = 0;  // in the mailbox when it was listed
  std::vector<BounceOutcome> outcomes;
  int deleted = 0;   // bounces applied and deleted from the mailbox
  int unknown = 0;   // left in the mailbox: not bounces, or naming no reader
  // Why the mailbox could not be read or not all of it (CP932, with the reply or the
  // failure on a second line); empty when it was read.
  std::string error;
  bool stoppedByOperator = false;

  bool failed() const { return !error.empty(); }
  // "エラーメール 3 通: 停止 2 名、保留 1 名、不明なメール 4 通" (CP932).
  std::string summary() const;
};

// Reads the bounce mailbox once and applies what its bounces say: a permanent failure
// stops the reader (send status "00") with the reason in the send history, a delay is
// entered as a deferral. A message is deleted only after its outcome was committed;
// messages that are not bounces or name no reader stay in the mailbox. The statement is
// used only by the thread that calls.
class BounceRun {
 public:
  BounceRun(Statement& query, const MailSettings& settings, Pop3Client& pop3);

  void setStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }

  // The entries go into the given run of the history (a send run's, so that they are
  // shown with it); it is updated as entries are written.
  BounceReport run(HistoryRun& historyRun);

  // One line of the command's output: "00012 user@example.jp 宛先不明で停止 550 5.1.1 reason".
  static std::string lineText(const BounceOutcome& outcome);

  // A mail over this size is left in the mailbox unread.
  static constexpr std::size_t kMaxMessageBytes = 4u * 1024 * 1024;

 private:
  bool stopRequested() const { return m_stop && m_stop->load(); }

  Statement& m_query;
  const MailSettings& m_settings;
  Pop3Client& m_pop3;
  const std::atomic<bool>* m_stop = nullptr;
};
