#include <gtest/gtest.h>

#include "core/Database.h"
#include "core/StoryStore.h"
#include "tests/support/TestProgram.h"

namespace {

TEST(StoryStore, BodyIsABlobReadBackWholeAndTheLastMailIsTheHighestNumber) {
  TestProgram p;
  StoryStore store(p.sql());
  EXPECT_FALSE(store.maxNumber());
  Story s{1, sj("件名 'テスト'"), std::string()};
  for (int i = 0; i < 2000; ++i) s.body += sj("本文です。##readername##\r\n");
  store.save(s);
  auto rows = p.rows(" SELECT STORY, SUBJECT FROM STORYLIST", {"STORY", "SUBJECT"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], s.body);
  EXPECT_EQ(rows[0][1], s.subject);
  store.save(Story{2, "b", "c"});
  EXPECT_EQ(store.maxNumber(), 2);
  EXPECT_EQ(store.before(2)->number, 1);
  EXPECT_EQ(store.after(1)->number, 2);
  EXPECT_EQ(store.count(), 2);
}

// A body beyond any literal (65,535 bytes) is bound as a blob, on insert and update, and
// comes back byte for byte; quotes and parameter-like text in it are plain text.
TEST(StoryStore, BodyOfAnyLengthIsSavedAndReadBackIdentical) {
  TestProgram p;
  StoryStore store(p.sql());
  std::string body;
  while (body.size() < 200000) body += sj("長い本文 'quoted' :pSTORY ①\r\n");
  store.save(Story{1, "s", body});
  EXPECT_EQ(p.rows(" SELECT STORY FROM STORYLIST", {"STORY"}).at(0)[0], body);
  body = std::string(70000, 'y');
  WriteKind kind = WriteKind::Insert;
  store.save(Story{1, sj("件名:pSTORY"), body, 3}, &kind);
  EXPECT_EQ(kind, WriteKind::Update);
  const auto rows = p.rows(" SELECT STORY, SUBJECT, INTERVALDAYS FROM STORYLIST", {"STORY", "SUBJECT", "INTERVALDAYS"});
  EXPECT_EQ(rows.at(0), (std::vector<std::string>{body, sj("件名:pSTORY"), "3"}));
  store.save(Story{2, "s", ""});
  EXPECT_EQ(store.find(2)->body, "");
  EXPECT_EQ(store.intervals(), (std::vector<std::pair<int, int>>{{1, 3}}));
}

}  // namespace
