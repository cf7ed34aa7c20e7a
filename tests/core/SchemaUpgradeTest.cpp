#include <gtest/gtest.h>

#include "core/SendGuard.h"
#include "core/SendHistory.h"
#include "core/StoryStore.h"
#include "tests/support/TestProgram.h"

namespace {

std::vector<std::vector<std::string>> intervalColumn(TestProgram& p) {
  return p.rows(" SELECT RDB$FIELD_NAME AS F FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'STORYLIST' AND "
                "RDB$FIELD_NAME = 'INTERVALDAYS'",
                {"F"});
}

// A database of an older version gains the interval column, the send history and the
// send lock row when the program opens it, once, and keeps its story mails.
TEST(SchemaUpgrade, AnOlderDatabaseGainsTheNewColumnAndTablesOnceWhenOpened) {
  TestProgram p;
  StoryStore(p.sql()).save(Story{1, "s", "b"});
  p.exec(" ALTER TABLE STORYLIST DROP INTERVALDAYS");
  p.exec(" DROP TABLE SENDHISTORY");
  p.exec(" DROP TABLE SENDLOCK");
  ASSERT_TRUE(intervalColumn(p).empty());

  p.ctx().openDatabase();
  EXPECT_EQ(intervalColumn(p).size(), 1u);
  p.ctx().openDatabase();  // already there: nothing to do, nothing fails
  EXPECT_EQ(intervalColumn(p).size(), 1u);
  const auto stories = p.rows(" SELECT STORYNO, INTERVALDAYS FROM STORYLIST", {"STORYNO", "INTERVALDAYS"});
  ASSERT_EQ(stories.size(), 1u);
  EXPECT_EQ(stories[0][1], "") << "an old story mail's interval reads as NULL, meaning 0";
  HistoryStore(p.sql()).add({5, 1, DateStamp(20261209, 120000), SendOutcome::deferred, "450 4.2.1", "busy", "R"});
  EXPECT_EQ(HistoryStore(p.sql()).lastRun().size(), 1u);
  auto guard = SendGuard::acquire(p.ctx().databaseName());
  EXPECT_TRUE(guard);
  EXPECT_FALSE(SendGuard::acquire(p.ctx().databaseName())) << "the upgrade made the one lock row";
}

}  // namespace
