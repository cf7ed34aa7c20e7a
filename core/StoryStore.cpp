#include "core/StoryStore.h"

#include <string>

#include "core/Database.h"
#include "core/StoreQuery.h"
#include "core/Reader.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

namespace {

using StoreQuery::eachRow;

// The statements on STORYLIST.
const char* const kAll = " SELECT STORYLIST.* FROM STORYLIST";
const char* const kCount = " SELECT COUNT(*) AS N FROM STORYLIST";
const char* const kByNo = " SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO = :pSTORYNO ORDER BY STORYNO";
const char* const kAfter = " SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO > :pSTORYNO ORDER BY STORYNO";
const char* const kBefore = " SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO < :pSTORYNO ORDER BY STORYNO DESC";
const char* const kFrom = " SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO >= :pSTORYNO ORDER BY STORYNO ";
const char* const kMax = " SELECT MAX(STORYNO) FROM STORYLIST";
const char* const kIntervals = " SELECT STORYNO, INTERVALDAYS FROM STORYLIST WHERE INTERVALDAYS > 0";
const char* const kInsert =
    " INSERT INTO STORYLIST ( STORYNO, STORY, SUBJECT, INTERVALDAYS) VALUES(:pSTORYNO, :pSTORY, :pSUBJECT, "
    ":pINTERVALDAYS)";
const char* const kUpdate =
    " UPDATE STORYLIST SET  STORY         = :pSTORY, SUBJECT       = :pSUBJECT, INTERVALDAYS  = :pINTERVALDAYS "
    "WHERE STORYNO = :pSTORYNO";
const char* const kDelete = " DELETE FROM STORYLIST WHERE STORYNO = :pSTORYNO";

// The first count characters, a double-byte character never split.
std::string firstChars(const std::string& text, int count) { return text.empty() ? text : charCopy(text, 1, count); }

// INTERVALDAYS: NULL and anything below zero as 0.
int intervalOf(const std::string& column) {
  const int days = toIntOr(trim(column), 0);
  return days < 0 ? 0 : days;
}

Story readRow(const Statement& q, bool withBody) {
  Story s;
  s.number = toIntOr(trim(q.fieldByName("STORYNO")), 0);
  s.subject = firstChars(q.fieldByName("SUBJECT"), kStorySubjectChars);
  if (withBody) s.body = firstChars(q.fieldByName("STORY"), kStoryBodyChars);
  s.intervalDays = intervalOf(q.fieldByName("INTERVALDAYS"));
  return s;
}

std::optional<Story> firstStory(Statement& q, const char* sql, int number) {
  std::optional<Story> found;
  eachRow(q, sql, {{"pSTORYNO", idText(number)}}, [&](Statement& row) {
    found = readRow(row, true);
    return false;
  });
  return found;
}

}  // namespace

int StoryStore::count() {
  int n = 0;
  eachRow(m_q, kCount, {}, [&](Statement& row) {
    n = toIntOr(trim(row.fieldByName("N")), 0);
    return false;
  });
  return n;
}

std::optional<int> StoryStore::maxNumber() {
  std::optional<int> number;
  eachRow(m_q, kMax, {}, [&](Statement& row) {
    const std::string max = trim(row.fieldByName("MAX"));
    if (!max.empty()) number = toIntOr(max, 0);
    return false;
  });
  return number;
}

std::optional<Story> StoryStore::find(int number) { return firstStory(m_q, kByNo, number); }
std::optional<Story> StoryStore::after(int number) { return firstStory(m_q, kAfter, number); }
std::optional<Story> StoryStore::before(int number) { return firstStory(m_q, kBefore, number); }

std::vector<Story> StoryStore::listFrom(int number) {
  std::vector<Story> stories;
  eachRow(m_q, kFrom, {{"pSTORYNO", idText(number)}}, [&](Statement& row) {
    stories.push_back(readRow(row, false));
    return true;
  });
  return stories;
}

void StoryStore::forEachSubject(const std::function<void(int, const std::string&)>& visit) {
  eachRow(m_q, kAll, {}, [&](Statement& row) {
    const int number = toIntOr(trim(row.fieldByName("STORYNO")), 0);
    visit(number, firstChars(row.fieldByName("SUBJECT"), kStorySubjectChars));
    return true;
  });
}

std::vector<std::pair<int, int>> StoryStore::intervals() {
  std::vector<std::pair<int, int>> days;
  eachRow(m_q, kIntervals, {}, [&](Statement& row) {
    const int number = toIntOr(trim(row.fieldByName("STORYNO")), -1);
    days.emplace_back(number, intervalOf(row.fieldByName("INTERVALDAYS")));
    return true;
  });
  return days;
}

void StoryStore::save(const Story& s, WriteKind* kind) {
  const bool absent = !find(s.number);
  if (kind) *kind = absent ? WriteKind::Insert : WriteKind::Update;
  StoreQuery::execute(m_q, absent ? kInsert : kUpdate,
      {{"pSTORYNO", idText(s.number)},
       {"pSTORY", s.body},
       {"pSUBJECT", s.subject},
       {"pINTERVALDAYS", std::to_string(s.intervalDays)}});
}

void StoryStore::remove(int number) { StoreQuery::execute(m_q, kDelete, {{"pSTORYNO", idText(number)}}); }
