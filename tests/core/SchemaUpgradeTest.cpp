#include <gtest/gtest.h>

#include "core/StoryStore.h"
#include "tests/support/TestProgram.h"

namespace {

std::vector<std::vector<std::string>> intervalColumn(TestProgram& p) {
  return p.rows(" SELECT RDB$FIELD_NAME AS F FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'STORYLIST' AND "
                "RDB$FIELD_NAME = 'INTERVALDAYS'",
                {"F"});
}

// A database of an older version gains the interval column when the program opens it,
// once, and keeps its story mails.
TEST(SchemaUpgrade, AnOlderDatabaseGainsTheIntervalColumnOnceWhenOpened) {
  TestProgram p;
  StoryStore(p.sql()).save(Story{1, "s", "b"});
  p.exec(" ALTER TABLE STORYLIST DROP INTERVALDAYS");
  ASSERT_TRUE(intervalColumn(p).empty());

  p.ctx().openDatabase();
  EXPECT_EQ(intervalColumn(p).size(), 1u);
  p.ctx().openDatabase();  // already there: nothing to do, nothing fails
  EXPECT_EQ(intervalColumn(p).size(), 1u);
  const auto stories = p.rows(" SELECT STORYNO, INTERVALDAYS FROM STORYLIST", {"STORYNO", "INTERVALDAYS"});
  ASSERT_EQ(stories.size(), 1u);
  EXPECT_EQ(stories[0][1], "") << "an old story mail's interval reads as NULL, meaning 0";
}

}  // namespace
