#include "core/Tables.h"

#include "core/Database.h"
#include "core/TextUtil.h"

namespace Sql {

std::string quoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

std::string allReaders() { return " SELECT USERLIST.* FROM USERLIST ORDER BY ID "; }

std::string readerById(const std::string& id) {
  return " SELECT USERLIST.* FROM USERLIST WHERE ID = " + quoted(id) + " ORDER BY ID";
}

std::string readerAfter(const std::string& id) {
  return " SELECT USERLIST.* FROM USERLIST WHERE ID > " + quoted(id) + " ORDER BY ID";
}

std::string readerBefore(const std::string& id) {
  return " SELECT USERLIST.* FROM USERLIST WHERE ID < " + quoted(id) + " ORDER BY ID DESC";
}

std::string readersByName(const std::string& text) {
  return " SELECT USERLIST.* FROM USERLIST WHERE NAME >= " + quoted(text) + " ORDER BY NAME";
}

std::string readersByAddress(const std::string& text) {
  return " SELECT USERLIST.* FROM USERLIST WHERE MAILADDRESS >= " + quoted(text) + " ORDER BY MAILADDRESS";
}

std::string maxReaderId() { return " SELECT MAX(ID) FROM USERLIST"; }

std::string insertReader(const ReaderRow& r) {
  const std::string* values[] = {&r.id,         &r.address, &r.registeredDate, &r.registeredTime, &r.name,
                                 &r.status,   &r.nextStory,   &r.firstSentDate, &r.firstSentTime, &r.lastSentDate,
                                 &r.lastSentTime, &r.note1,      &r.note2,       &r.note3};
  std::string sql =
      " INSERT INTO USERLIST ( ID, MAILADDRESS, TOUROKUDATE, TOUROKUTIME, NAME, SYORIKBN, NEXTSTORY, SNDFASTDATE, "
      "SNDFASTTIME, SNDLASTDATE, SNDLASTTIME, BIKO1, BIKO2, BIKO3) VALUES(";
  for (size_t i = 0; i < 14; ++i) {
    if (i) sql += ",";
    sql += quoted(*values[i]);
  }
  return sql + ")";
}

std::string updateReader(const ReaderRow& r) {
  const std::pair<const char*, const std::string*> rest[] = {
      {" TOUROKUDATE   = ", &r.registeredDate}, {" TOUROKUTIME   = ", &r.registeredTime},
      {" NAME          = ", &r.name},        {" SYORIKBN      = ", &r.status},
      {" NEXTSTORY     = ", &r.nextStory},   {" SNDFASTDATE   = ", &r.firstSentDate},
      {" SNDFASTTIME   = ", &r.firstSentTime}, {" SNDLASTDATE   = ", &r.lastSentDate},
      {" SNDLASTTIME   = ", &r.lastSentTime}, {" BIKO1         = ", &r.note1},
      {" BIKO2         = ", &r.note2},       {" BIKO3         = ", &r.note3}};
  std::string sql = " UPDATE USERLIST SET  MAILADDRESS   = " + quoted(r.address);
  for (const auto& piece : rest) sql += std::string(",") + piece.first + quoted(*piece.second);
  return sql + " WHERE      ID = " + quoted(r.id);
}

std::string deleteReader() { return " DELETE FROM USERLIST WHERE ID = :pID"; }

std::string allStories() { return " SELECT STORYLIST.* FROM STORYLIST"; }

std::string storyByNo(const std::string& no) {
  return " SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO = " + quoted(no) + " ORDER BY STORYNO";
}

std::string storyAfter(const std::string& no) {
  return " SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO > " + quoted(no) + " ORDER BY STORYNO";
}

std::string storyBefore(const std::string& no, const std::string& lastNo) {
  const bool fromEmpty = trim(no).empty();
  return std::string(" SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO ") + (fromEmpty ? "=" : "<") + " " +
         quoted(fromEmpty ? lastNo : no) + " ORDER BY STORYNO DESC";
}

std::string storiesFrom(const std::string& no) {
  return " SELECT STORYLIST.* FROM STORYLIST WHERE STORYNO >= " + quoted(no) + " ORDER BY STORYNO ";
}

std::string maxStoryNo() { return " SELECT MAX(STORYNO) FROM STORYLIST"; }

std::string insertStory(const StoryRow& s) {
  return " INSERT INTO STORYLIST ( STORYNO, STORY, SUBJECT) VALUES(" + quoted(s.number) + ",:pSTORY," +
         quoted(s.subject) + ")";
}

std::string updateStory(const StoryRow& s) {
  return " UPDATE STORYLIST SET  STORY         = :pSTORY, SUBJECT       = " + quoted(s.subject) +
         " WHERE STORYNO = " + quoted(s.number);
}

std::string deleteStory() { return " DELETE FROM STORYLIST WHERE STORYNO = :pSTORYNO"; }

}  // namespace Sql

ReaderRow readReader(const Statement& q, size_t addressWidth) {
  auto cut = [&](const char* name, size_t width) { return q.fieldByName(name).substr(0, width); };
  ReaderRow r;
  r.id = cut("ID", 5);
  r.address = cut("MAILADDRESS", addressWidth);
  r.registeredDate = cut("TOUROKUDATE", 8);
  r.registeredTime = cut("TOUROKUTIME", 6);
  r.name = cut("NAME", 60);
  r.status = cut("SYORIKBN", 2);
  r.nextStory = cut("NEXTSTORY", 5);
  r.firstSentDate = cut("SNDFASTDATE", 8);
  r.firstSentTime = cut("SNDFASTTIME", 6);
  r.lastSentDate = cut("SNDLASTDATE", 8);
  r.lastSentTime = cut("SNDLASTTIME", 6);
  r.note1 = cut("BIKO1", 60);
  r.note2 = cut("BIKO2", 60);
  r.note3 = cut("BIKO3", 60);
  return r;
}

namespace {
// The body of a story can be longer than any literal: it is bound as a blob.
void writeRow(Statement& q, const std::string& lookup, const std::string& insert, const std::string& update,
              WriteKind* kind, const std::string* story = nullptr) {
  q.close();
  q.setCommandText(lookup);
  q.open();
  const bool absent = q.eof();
  q.close();
  if (kind) *kind = absent ? WriteKind::Insert : WriteKind::Update;
  q.setCommandText(absent ? insert : update);
  if (story) q.setParam("pSTORY", *story);
  q.execute();
  q.close();
}
}  // namespace

void writeReader(Statement& q, const ReaderRow& r, WriteKind* kind) {
  writeRow(q, Sql::readerById(r.id), Sql::insertReader(r), Sql::updateReader(r), kind);
}

void writeStory(Statement& q, const StoryRow& s, WriteKind* kind) {
  writeRow(q, Sql::storyByNo(s.number), Sql::insertStory(s), Sql::updateStory(s), kind, &s.body);
}

std::string readMax(Statement& q, const std::string& sql) {
  q.close();
  q.setCommandText(sql);
  q.open();
  std::string value = trim(q.fieldByName("MAX"));
  q.close();
  return value;
}
