#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "sending/DueReader.h"
#include "sending/SendSchedule.h"

class Statement;
struct SendOptions;

// The readers due a story mail and their marks: the send window shows it, the run
// sends to its marked readers. Listing reads the database through the stores; a
// database failure propagates as DbError.
class DueList {
 public:
  explicit DueList(Statement& query) : m_query(query) {}

  // Reads the last story number and the story mails' intervals, then lists the
  // sendable readers whose next story is no later, all unmarked, each with the date its
  // next mail falls due; readers not due yet are listed but cannot be marked.
  void load(bool onePerDay);
  // The number of readers due a mail now, by the same rules, without listing them
  // (for the main menu's status line).
  static int countDueNow(Statement& query, const SendOptions& options);

  // The last story number as shown ("0" when there is none) and as a number.
  const std::string& lastStoryText() const { return m_lastStoryText; }
  int lastStory() const { return m_lastStory; }
  const std::vector<DueReader>& readers() const { return m_readers; }
  const DueReader& at(std::size_t index) const { return m_readers.at(index); }
  std::size_t size() const { return m_readers.size(); }

  // Marking: only an eligible reader can be marked; out-of-range indexes are ignored.
  void mark(std::size_t index);
  void unmark(std::size_t index);
  void markAll();
  void unmarkAll();
  int markedCount() const;
  std::vector<std::size_t> markedIndexes() const;
  // Readers that can be marked: due a story mail now.
  int dueCount() const;
  // The story numbers the marked readers are due, ascending, each once.
  std::vector<int> markedStories() const;

  // How the run left a reader (the mark column).
  void setMark(std::size_t index, SendMark mark) { m_readers.at(index).mark = mark; }
  // The reader was sent story `story` at `sent`: its next story, its dates and when the
  // next one falls due, as the database now holds them.
  void recordSent(std::size_t index, const DateStamp& sent);

 private:
  // Sets the reader's due date and says whether it can be marked now.
  Eligibility decideEligibility(DueReader& reader) const;

  Statement& m_query;
  SendSchedule m_schedule;
  std::string m_today;
  std::vector<DueReader> m_readers;
  std::string m_lastStoryText = "0";
  int m_lastStory = 0;
};
