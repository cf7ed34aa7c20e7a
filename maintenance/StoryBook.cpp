#include "maintenance/StoryBook.h"

#include "core/Database.h"
#include "core/SjisText.h"
#include "maintenance/RowQuery.h"

namespace {
// The first count characters, a double-byte character never split.
std::string firstChars(const std::string& text, int count) { return text.empty() ? text : charCopy(text, 1, count); }
}  // namespace

StoryRow StoryBook::read(const Statement& q) {
  StoryRow s;
  s.number = q.fieldByName("STORYNO").substr(0, 5);
  s.subject = firstChars(q.fieldByName("SUBJECT"), kSubjectChars);
  s.body = firstChars(q.fieldByName("STORY"), kBodyChars);
  return s;
}

int StoryBook::count() {
  m_q.close();
  m_q.setCommandText(Sql::allStories());
  m_q.open();
  int n = 0;
  for (; !m_q.eof(); m_q.next()) ++n;
  m_q.close();
  return n;
}

std::string StoryBook::lastNo() { return readMax(m_q, Sql::maxStoryNo()).substr(0, 5); }

std::optional<StoryRow> StoryBook::find(const std::string& no) {
  return RowQuery::first(m_q, Sql::storyByNo(no), read);
}

std::optional<StoryRow> StoryBook::after(const std::string& no) {
  return RowQuery::first(m_q, Sql::storyAfter(no), read);
}

std::optional<StoryRow> StoryBook::before(const std::string& no, const std::string& lastNo) {
  return RowQuery::first(m_q, Sql::storyBefore(no, lastNo), read);
}

std::vector<StoryRow> StoryBook::listFrom(const std::string& no) {
  std::vector<StoryRow> rows;
  m_q.close();
  m_q.setCommandText(Sql::storiesFrom(no));
  m_q.open();
  for (; !m_q.eof(); m_q.next())
    rows.push_back(StoryRow{m_q.fieldByName("STORYNO").substr(0, 5),
                            firstChars(m_q.fieldByName("SUBJECT"), kSubjectChars), std::string()});
  m_q.close();
  return rows;
}

void StoryBook::write(const StoryRow& s, WriteKind& kind) { writeStory(m_q, s, &kind); }

void StoryBook::remove(const std::string& no) { RowQuery::executeWith(m_q, Sql::deleteStory(), "pSTORYNO", no); }
