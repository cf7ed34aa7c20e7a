#include <gtest/gtest.h>

#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/TextUtil.h"
#include "tests/support/TestProgram.h"

namespace {

Reader sampleReader(int id) {
  Reader r;
  r.id = id;
  r.address = "taro@example.com";
  r.registered = DateStamp(20240507, 123456);
  r.name = sj("山田　太郎");
  r.status = SendStatus::sendable;
  r.nextStory = 1;
  return r;
}

const char* const kAllReaders = " SELECT USERLIST.* FROM USERLIST ORDER BY ID ";

TEST(Database, StoresCp932QuotesAndFullWidthBytesUnchanged) {
  TestProgram p;
  Reader r = sampleReader(1);
  r.name = sj("①～O'Brien　髙橋") + std::string(60 - sj("①～O'Brien　髙橋").size(), 'x');
  r.note1 = "it's";
  ReaderStore(p.sql()).insert(r);
  auto rows = p.rows(" SELECT NAME, BIKO1, MAILADDRESS FROM USERLIST WHERE ID = '00001'", {"NAME", "BIKO1", "MAILADDRESS"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], r.name);
  EXPECT_EQ(rows[0][1], "it's" + std::string(56, ' '));  // CHAR columns come back blank-padded
  EXPECT_EQ(rows[0][2].substr(0, 16), "taro@example.com");
}

TEST(Database, NamedParameterDeletesOneRow) {
  TestProgram p;
  ReaderStore(p.sql()).insert(sampleReader(1));
  ReaderStore(p.sql()).insert(sampleReader(2));
  Statement& q = p.sql();
  q.close();
  q.setCommandText(" DELETE FROM USERLIST WHERE ID = :pID");
  q.setParam("pID", "00001");
  q.execute();
  auto rows = p.rows(kAllReaders, {"ID"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "00002");
}

// Inside a transaction a statement is prepared once and executed again with values of
// other lengths; after the transaction the table can be changed (nothing holds it).
TEST(Database, AStatementReusedInATransactionTakesEachValueAndLetsGoAtItsEnd) {
  TestProgram p;
  {
    Transaction transaction(p.sql().database());
    for (int id : {1, 2, 3}) {
      Reader r = sampleReader(id);
      r.name = std::string(static_cast<std::size_t>(id * 7), 'n');
      ReaderStore(p.sql()).insert(r);
    }
    transaction.commit();
  }
  auto rows = p.rows(" SELECT ID, NAME FROM USERLIST ORDER BY ID", {"ID", "NAME"});
  ASSERT_EQ(rows.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(trimRight(rows[i][1]), std::string(static_cast<std::size_t>((i + 1) * 7), 'n'));
  p.exec(" ALTER TABLE USERLIST ADD SCRATCH INTEGER");
  p.exec(" ALTER TABLE USERLIST DROP SCRATCH");
}

// A text column's parameter cannot carry more than a text value holds.
TEST(Database, ATextParameterIsLimitedToWhatATextValueHolds) {
  TestProgram p;
  Statement& q = p.sql();
  q.close();
  q.setCommandText(" DELETE FROM USERLIST WHERE ID = :pID");
  q.setParam("pID", std::string(40000, '1'));
  EXPECT_THROW(q.execute(), DbError);
}

TEST(Database, FailingStatementCarriesEngineMessageAndLeavesRowsAsTheyWere) {
  TestProgram p;
  ReaderStore(p.sql()).insert(sampleReader(1));
  Statement& q = p.sql();
  try {
    ReaderStore(q).insert(sampleReader(1));
    FAIL() << "duplicate key accepted";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("PRIMARY or UNIQUE KEY"), std::string::npos) << e.what();
  }
  q.close();
  q.setCommandText(" SELECT NOSUCH FROM USERLIST");
  EXPECT_THROW(q.open(), DbError);
  q.close();
  EXPECT_EQ(p.rows(kAllReaders, {"ID"}).size(), 1u);
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
  p.sql().setCommandText(kAllReaders);
  EXPECT_THROW(p.sql().open(), DbError);
}

TEST(Database, FirstRewindsToFirstRow) {
  TestProgram p;
  for (int id : {1, 2}) ReaderStore(p.sql()).insert(sampleReader(id));
  Statement& q = p.sql();
  q.setCommandText(kAllReaders);
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

// A NUL byte inside a value is part of the value, not the end of anything.
TEST(Database, NulByteInsideAValueDoesNotCutTheStatement) {
  TestProgram p;
  Reader r = sampleReader(1);
  r.note1 = std::string("a\0b", 3);
  try {
    ReaderStore(p.sql()).insert(r);
    EXPECT_EQ(p.rows(" SELECT BIKO1 FROM USERLIST WHERE ID = '00001'", {"BIKO1"})[0][0].substr(0, 3), r.note1);
  } catch (const DbError& e) {
    // Refusing the byte is fine too; a half statement reaching the engine is not.
    EXPECT_EQ(std::string(e.what()).find("Unexpected end of command"), std::string::npos) << e.what();
  }
}

}  // namespace
