#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DateStamp.h"

class HistoryStore;
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
  std::string runId{};  // the run the attempt belonged to, e.g. "20261209171500-12345"
  int seq = 0;          // the attempt's place in its run, from 1
};

// A run's place in the history: its id, whether SENDRUNS holds it yet, and how many
// entries it has written.
struct HistoryRun {
  std::string id;
  bool entered = false;
  int entries = 0;

  // A new run's id from the clock: "yyyymmddhhnnss-NNNNN".
  static HistoryRun start();
  // Writes an entry of this run, numbered after the last one (joining an open
  // transaction); the run is entered with its first entry, in that entry's transaction.
  // A caller whose transaction failed restores the run as it was before.
  void add(HistoryStore& store, HistoryEntry entry);
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
  // A reader deferred in this many runs, over at least this many days, is given up on.
  static constexpr int kDeferralRuns = 5;
  static constexpr int kDeferralDays = 3;
  // Whether the deferrals of a reader, seen on the date today (yyyymmdd), give it up.
  static bool givesUp(const Deferrals& deferrals, int today);
  // The times ("yyyymmddhhnnss") of the mails that went out (sent, or unknown and maybe
  // delivered) from the given date yyyymmdd on: what the provider's limits count.
  std::vector<std::string> mailsSince(int sinceDate);
  // The entries of the newest run entered, oldest first, of readers still listed (the
  // search goes reader by reader through the one index); empty without any history.
  std::vector<HistoryEntry> lastRun();

 private:
  Statement& m_q;
};
