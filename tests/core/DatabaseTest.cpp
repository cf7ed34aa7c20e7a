#include <gtest/gtest.h>

#include "core/Tables.h"
#include "tests/support/TestProgram.h"

namespace {

ReaderRow sampleReader(const std::string& id) {
  ReaderRow r;
  r.id = id;
  r.address = "taro@example.com";
  r.registeredDate = "20240507";
  r.registeredTime = "123456";
  r.name = sj("山田　太郎");
  r.status = "01";
  r.nextStory = "00001";
  r.firstSentDate = "00000000";
  r.firstSentTime = "000000";
  r.lastSentDate = "00000000";
  r.lastSentTime = "000000";
  return r;
}

TEST(Database, StoresCp932QuotesAndFullWidthBytesUnchanged) {
  TestProgram p;
  ReaderRow r = sampleReader("00001");
  r.name = sj("①～O'Brien　髙橋") + std::string(60 - sj("①～O'Brien　髙橋").size(), 'x');
  r.note1 = "it's";
  writeReader(p.sql(), r);
  auto rows = p.rows(Sql::readerById("00001"), {"NAME", "BIKO1", "MAILADDRESS"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], r.name);
  EXPECT_EQ(rows[0][1], "it's" + std::string(56, ' '));  // CHAR columns come back blank-padded
  EXPECT_EQ(rows[0][2].substr(0, 16), "taro@example.com");
}

TEST(Database, MaxOfEmptyTableIsEmptyAndReadsAsMax) {
  TestProgram p;
  EXPECT_EQ(readMax(p.sql(), Sql::maxReaderId()), "");
  EXPECT_EQ(readMax(p.sql(), Sql::maxStoryNo()), "");
  writeReader(p.sql(), sampleReader("00009"));
  writeReader(p.sql(), sampleReader("00010"));
  EXPECT_EQ(readMax(p.sql(), Sql::maxReaderId()), "00010");
}

TEST(Database, WriteReaderInsertsThenUpdates) {
  TestProgram p;
  ReaderRow r = sampleReader("00003");
  writeReader(p.sql(), r);
  r.nextStory = "00002";
  writeReader(p.sql(), r);
  auto rows = p.rows(Sql::allReaders(), {"ID", "NEXTSTORY"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], "00002");
}

TEST(Database, NavigationOrdersZeroFilledKeys) {
  TestProgram p;
  for (const char* id : {"00010", "00009", "00011"}) writeReader(p.sql(), sampleReader(id));
  EXPECT_EQ(p.rows(Sql::readerAfter("00009"), {"ID"}).front()[0], "00010");
  EXPECT_EQ(p.rows(Sql::readerBefore("00010"), {"ID"}).front()[0], "00009");
  auto all = p.rows(Sql::allReaders(), {"ID"});
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0][0], "00009");
  EXPECT_EQ(all[2][0], "00011");
}

TEST(Database, NamedParameterDeletesOneRow) {
  TestProgram p;
  writeReader(p.sql(), sampleReader("00001"));
  writeReader(p.sql(), sampleReader("00002"));
  Statement& q = p.sql();
  q.close();
  q.setCommandText(Sql::deleteReader());
  q.setParam("pID", "00001");
  q.execute();
  auto rows = p.rows(Sql::allReaders(), {"ID"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "00002");
}

TEST(Database, StoryBodyIsABlobReadBackWhole) {
  TestProgram p;
  StoryRow s{"00001", sj("件名 'テスト'"), std::string()};
  for (int i = 0; i < 2000; ++i) s.body += sj("本文です。##readername##\r\n");
  writeStory(p.sql(), s);
  auto rows = p.rows(Sql::storyByNo("00001"), {"STORY", "SUBJECT"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], s.body);
  EXPECT_EQ(rows[0][1], s.subject);
  // Going back from an empty number field lands on the last mail.
  writeStory(p.sql(), StoryRow{"00002", "b", "c"});
  EXPECT_EQ(p.rows(Sql::storyBefore("", readMax(p.sql(), Sql::maxStoryNo())), {"STORYNO"}).front()[0], "00002");
}

// A body beyond any literal (65,535 bytes) is bound as a blob, on insert and update, and
// comes back byte for byte; quotes and parameter-like text in it are plain text.
TEST(Database, StoryBodyOfAnyLengthIsSavedAndReadBackIdentical) {
  TestProgram p;
  std::string body;
  while (body.size() < 200000) body += sj("長い本文 'quoted' :pSTORY ①\r\n");
  writeStory(p.sql(), StoryRow{"00001", "s", body});
  EXPECT_EQ(p.rows(Sql::storyByNo("00001"), {"STORY"}).at(0)[0], body);
  body = std::string(70000, 'y');
  WriteKind kind = WriteKind::Insert;
  writeStory(p.sql(), StoryRow{"00001", sj("件名:pSTORY"), body}, &kind);
  EXPECT_EQ(kind, WriteKind::Update);
  const auto rows = p.rows(Sql::storyByNo("00001"), {"STORY", "SUBJECT"});
  EXPECT_EQ(rows.at(0)[0], body);
  EXPECT_EQ(rows.at(0)[1], sj("件名:pSTORY"));
  writeStory(p.sql(), StoryRow{"00002", "s", ""});
  EXPECT_EQ(p.rows(Sql::storyByNo("00002"), {"STORY"}).at(0)[0], "");

  // A text column's parameter cannot carry more than a text value holds.
  Statement& q = p.sql();
  q.close();
  q.setCommandText(" DELETE FROM USERLIST WHERE ID = :pID");
  q.setParam("pID", std::string(40000, '1'));
  EXPECT_THROW(q.execute(), DbError);
}

TEST(Database, FailingStatementCarriesEngineMessageAndLeavesRowsAsTheyWere) {
  TestProgram p;
  writeReader(p.sql(), sampleReader("00001"));
  Statement& q = p.sql();
  q.close();
  q.setCommandText(Sql::insertReader(sampleReader("00001")));
  try {
    q.execute();
    FAIL() << "duplicate key accepted";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("PRIMARY or UNIQUE KEY"), std::string::npos) << e.what();
  }
  q.close();
  q.setCommandText(" SELECT NOSUCH FROM USERLIST");
  EXPECT_THROW(q.open(), DbError);
  q.close();
  EXPECT_EQ(p.rows(Sql::allReaders(), {"ID"}).size(), 1u);
}

TEST(Database, MissingFileRaisesClientError) {
  TestProgram p(false);
  try {
    p.ctx().openDatabase();
    FAIL() << "opened a missing database";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("QUORMAIL.GDB"), std::string::npos) << e.what();
  }
  // Later statements fail with the same kind of error instead of crashing.
  p.sql().setCommandText(Sql::allReaders());
  EXPECT_THROW(p.sql().open(), DbError);
}

TEST(Database, FirstRewindsToFirstRow) {
  TestProgram p;
  for (const char* id : {"00001", "00002"}) writeReader(p.sql(), sampleReader(id));
  Statement& q = p.sql();
  q.setCommandText(Sql::allReaders());
  q.open();
  q.next();
  EXPECT_EQ(q.fieldByName("ID"), "00002");
  q.first();
  EXPECT_EQ(q.fieldByName("id"), "00001");
  q.next();
  q.next();
  EXPECT_TRUE(q.eof());
  q.close();
}

}  // namespace

namespace {

// A NUL byte inside a value is part of the statement text, not its end.
TEST(Database, NulByteInsideAValueDoesNotCutTheStatement) {
  TestProgram p;
  ReaderRow r = sampleReader("00001");
  r.note1 = std::string("a\0b", 3);
  Statement& q = p.sql();
  q.setCommandText(Sql::insertReader(r));
  try {
    q.execute();
    EXPECT_EQ(p.rows(Sql::readerById("00001"), {"BIKO1"})[0][0].substr(0, 3), r.note1);
  } catch (const DbError& e) {
    // Refusing the byte is fine too; a half statement reaching the engine is not.
    EXPECT_EQ(std::string(e.what()).find("Unexpected end of command"), std::string::npos) << e.what();
  }
}

}  // namespace
