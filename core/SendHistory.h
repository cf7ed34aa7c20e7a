#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DateStamp.h"

class Statement;

// What one attempt of a send run to mail a reader came to.
enum class SendOutcome { sent, deferred, refused, skipped, unknown };

// The outcome as the windows, the log and `quormail history` name it (CP932):
// "送信済" "保留" "宛先不明で停止" "スキップ" "結果不明".
const std::string& outcomeText(SendOutcome outcome);

// One row of the send history.
struct HistoryEntry {
  int readerId = 0;
  int story = 0;
  DateStamp time;
  SendOutcome outcome = SendOutcome::sent;
  std::string code;     // "550 5.1.1": the reply code, a blank, the enhanced code; or ""
  std::string reply;    // the server's text (CP932), or the reason of a skip
  std::string runId;    // the run the attempt belonged to, e.g. "20261209171500-12345"
  int seq = 0;          // the attempt's place in its run, from 1
};

// Every statement on SENDHISTORY, run on the given statement object with bound values.
// Writes join a Transaction open on the connection, so a reader's change and its
// history entry are kept or undone together. Texts longer than their column are cut
// without splitting a double-byte character. Failures propagate as DbError.
class HistoryStore {
 public:
  explicit HistoryStore(Statement& query) : m_q(query) {}

  void add(const HistoryEntry& entry);
  // Enters a run (once; again is harmless) with the time of its first attempt: the
  // newest run entered is the last run.
  void recordRun(const std::string& runId, const DateStamp& started);
  // A reader's entries, oldest first.
  std::vector<HistoryEntry> forReader(int readerId);
  // Every entry (optionally of one reader, optionally from a date yyyymmdd on), oldest first.
  void forEach(std::optional<int> readerId, std::optional<int> sinceDate,
               const std::function<void(const HistoryEntry&)>& each);
  // The deferrals of a reader for a story: how many different runs deferred it and the
  // date (yyyymmdd) of the first; 0 and 0 when none did.
  struct Deferrals {
    int runs = 0;
    int firstDate = 0;
  };
  Deferrals deferrals(int readerId, int story);
  // The times ("yyyymmddhhnnss") of the mails that went out (sent, or unknown and maybe
  // delivered) from the given date yyyymmdd on: what the provider's limits count.
  std::vector<std::string> mailsSince(int sinceDate);
  // The entries of the newest run entered, oldest first, of readers still listed (the
  // search goes reader by reader through the one index); empty without any history.
  std::vector<HistoryEntry> lastRun();

 private:
  Statement& m_q;
};
