#include "sending/DueList.h"

#include <algorithm>

#include "core/Clock.h"
#include "core/ReaderStore.h"
#include "core/StoryStore.h"
#include "core/TextUtil.h"
#include "sending/SendOptions.h"

namespace {

// The last story number as the list shows it, "0" when there is none.
std::string lastStoryOf(Statement& q) {
  const int last = StoryStore(q).maxNumber().value_or(0);
  return last == 0 ? "0" : zeroSuppress(idText(last));
}

// The intervals of the story mails up to the last one, read once for a whole list.
SendSchedule scheduleOf(Statement& q, int lastStory, bool onePerDay) {
  std::vector<int> intervals(static_cast<std::size_t>(std::max(lastStory, 0)) + 1, 0);
  for (const auto& [story, days] : StoryStore(q).intervals())
    if (story >= 0 && story <= lastStory) intervals[static_cast<std::size_t>(story)] = days;
  return SendSchedule(std::move(intervals), onePerDay);
}

}  // namespace

Eligibility DueList::decideEligibility(DueReader& reader) const {
  const int next = reader.reader.nextStory;
  if (next > m_lastStory) {
    reader.dueDate = DateStamp();
    return Eligibility::allSent;
  }
  const std::string due =
      m_schedule.dueDate(next, reader.reader.registered.dateText(), reader.reader.lastSent.dateText());
  reader.dueDate = DateStamp::fromText(due, "");
  return SendSchedule::dueBy(due, m_today) ? Eligibility::eligible : Eligibility::notYetDue;
}

int DueList::countDueNow(Statement& q, const SendOptions& options) {
  const int lastStory = toIntOr(trim(lastStoryOf(q)), 0);
  const SendSchedule schedule = scheduleOf(q, lastStory, options.onePerDay);
  const std::string today = Clock::nowStamp().substr(0, 8);
  // Only the columns that decide, by the same rules as the list.
  int due = 0;
  ReaderStore(q).forEachDueColumns(
      [&](SendStatus status, int next, const std::string& registeredDate, const std::string& lastSentDate) {
        if (status != SendStatus::sendable || next > lastStory) return;
        if (SendSchedule::dueBy(schedule.dueDate(next, registeredDate, lastSentDate), today)) ++due;
      });
  return due;
}

void DueList::load(bool onePerDay) {
  Statement& q = m_query;
  m_lastStoryText = lastStoryOf(q);
  m_lastStory = toIntOr(trim(m_lastStoryText), 0);
  m_schedule = scheduleOf(q, m_lastStory, onePerDay);
  m_today = Clock::nowStamp().substr(0, 8);
  m_readers.clear();
  // Room for every reader at once: a list of many thousands is not moved as it grows.
  m_readers.reserve(static_cast<std::size_t>(std::max(ReaderStore(q).count(), 0)));
  ReaderStore(q).forEach([&](Reader& r) {
    if (r.status != SendStatus::sendable || r.nextStory > m_lastStory) return;
    DueReader d;
    d.reader = std::move(r);
    d.eligibility = decideEligibility(d);
    m_readers.push_back(std::move(d));
  });
}

void DueList::mark(std::size_t index) {
  if (index < m_readers.size() && m_readers[index].eligibility == Eligibility::eligible)
    m_readers[index].mark = SendMark::marked;
}

void DueList::unmark(std::size_t index) {
  if (index < m_readers.size()) m_readers[index].mark = SendMark::none;
}

void DueList::markAll() {
  for (DueReader& r : m_readers)
    if (r.eligibility == Eligibility::eligible) r.mark = SendMark::marked;
}

void DueList::unmarkAll() {
  for (DueReader& r : m_readers) r.mark = SendMark::none;
}

int DueList::markedCount() const {
  return static_cast<int>(std::count_if(m_readers.begin(), m_readers.end(), [](const DueReader& r) { return r.marked(); }));
}

std::vector<std::size_t> DueList::markedIndexes() const {
  std::vector<std::size_t> marked;
  for (std::size_t i = 0; i < m_readers.size(); ++i)
    if (m_readers[i].marked()) marked.push_back(i);
  return marked;
}

int DueList::dueCount() const {
  return static_cast<int>(std::count_if(m_readers.begin(), m_readers.end(),
                                        [](const DueReader& r) { return r.eligibility == Eligibility::eligible; }));
}

std::vector<int> DueList::markedStories() const {
  std::vector<int> stories;
  for (const DueReader& r : m_readers)
    if (r.marked()) stories.push_back(r.reader.nextStory);
  std::sort(stories.begin(), stories.end());
  stories.erase(std::unique(stories.begin(), stories.end()), stories.end());
  return stories;
}

void DueList::recordSent(std::size_t index, const DateStamp& sent) {
  DueReader& due = m_readers.at(index);
  Reader& reader = due.reader;
  reader.nextStory += 1;
  reader.lastSent = sent;
  if (reader.firstSent.none()) reader.firstSent = sent;
  m_today = sent.dateText();
  due.eligibility = decideEligibility(due);
}
