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
  const std::string* values[] = {&r.ID,         &r.MAILADDRESS, &r.TOUROKUDATE, &r.TOUROKUTIME, &r.NAME,
                                 &r.SYORIKBN,   &r.NEXTSTORY,   &r.SNDFASTDATE, &r.SNDFASTTIME, &r.SNDLASTDATE,
                                 &r.SNDLASTTIME, &r.BIKO1,      &r.BIKO2,       &r.BIKO3};
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
      {" TOUROKUDATE   = ", &r.TOUROKUDATE}, {" TOUROKUTIME   = ", &r.TOUROKUTIME},
      {" NAME          = ", &r.NAME},        {" SYORIKBN      = ", &r.SYORIKBN},
      {" NEXTSTORY     = ", &r.NEXTSTORY},   {" SNDFASTDATE   = ", &r.SNDFASTDATE},
      {" SNDFASTTIME   = ", &r.SNDFASTTIME}, {" SNDLASTDATE   = ", &r.SNDLASTDATE},
      {" SNDLASTTIME   = ", &r.SNDLASTTIME}, {" BIKO1         = ", &r.BIKO1},
      {" BIKO2         = ", &r.BIKO2},       {" BIKO3         = ", &r.BIKO3}};
  std::string sql = " UPDATE USERLIST SET  MAILADDRESS   = " + quoted(r.MAILADDRESS);
  for (const auto& piece : rest) sql += std::string(",") + piece.first + quoted(*piece.second);
  return sql + " WHERE      ID = " + quoted(r.ID);
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
  return " INSERT INTO STORYLIST ( STORYNO, STORY, SUBJECT, INTERVALDAYS) VALUES(" + quoted(s.STORYNO) + ",:pSTORY," +
         quoted(s.SUBJECT) + "," + std::to_string(s.intervalDays) + ")";
}

std::string updateStory(const StoryRow& s) {
  return " UPDATE STORYLIST SET  STORY         = :pSTORY, SUBJECT       = " + quoted(s.SUBJECT) +
         ", INTERVALDAYS  = " + std::to_string(s.intervalDays) + " WHERE STORYNO = " + quoted(s.STORYNO);
}

std::string deleteStory() { return " DELETE FROM STORYLIST WHERE STORYNO = :pSTORYNO"; }

}  // namespace Sql

ReaderRow readReader(const Statement& q, size_t addressWidth) {
  auto cut = [&](const char* name, size_t width) { return q.fieldByName(name).substr(0, width); };
  ReaderRow r;
  r.ID = cut("ID", 5);
  r.MAILADDRESS = cut("MAILADDRESS", addressWidth);
  r.TOUROKUDATE = cut("TOUROKUDATE", 8);
  r.TOUROKUTIME = cut("TOUROKUTIME", 6);
  r.NAME = cut("NAME", 60);
  r.SYORIKBN = cut("SYORIKBN", 2);
  r.NEXTSTORY = cut("NEXTSTORY", 5);
  r.SNDFASTDATE = cut("SNDFASTDATE", 8);
  r.SNDFASTTIME = cut("SNDFASTTIME", 6);
  r.SNDLASTDATE = cut("SNDLASTDATE", 8);
  r.SNDLASTTIME = cut("SNDLASTTIME", 6);
  r.BIKO1 = cut("BIKO1", 60);
  r.BIKO2 = cut("BIKO2", 60);
  r.BIKO3 = cut("BIKO3", 60);
  return r;
}

int readIntervalDays(const Statement& q) {
  const int days = toIntOr(trim(q.fieldByName("INTERVALDAYS")), 0);
  return days < 0 ? 0 : days;
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
  writeRow(q, Sql::readerById(r.ID), Sql::insertReader(r), Sql::updateReader(r), kind);
}

void writeStory(Statement& q, const StoryRow& s, WriteKind* kind) {
  writeRow(q, Sql::storyByNo(s.STORYNO), Sql::insertStory(s), Sql::updateStory(s), kind, &s.STORY);
}

std::string readMax(Statement& q, const std::string& sql) {
  q.close();
  q.setCommandText(sql);
  q.open();
  std::string value = trim(q.fieldByName("MAX"));
  q.close();
  return value;
}
