#include <gtest/gtest.h>

#include "core/Database.h"
#include "core/ReaderStore.h"
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

TEST(ReaderStore, MaxIdOfAnEmptyTableIsZero) {
  TestProgram p;
  ReaderStore store(p.sql());
  EXPECT_EQ(store.maxId(), 0);
  store.insert(sampleReader(9));
  store.insert(sampleReader(10));
  EXPECT_EQ(store.maxId(), 10);
}

TEST(ReaderStore, SaveInsertsThenUpdates) {
  TestProgram p;
  ReaderStore store(p.sql());
  Reader r = sampleReader(3);
  WriteKind kind = WriteKind::Update;
  store.save(r, &kind);
  EXPECT_EQ(kind, WriteKind::Insert);
  r.nextStory = 2;
  store.save(r, &kind);
  EXPECT_EQ(kind, WriteKind::Update);
  auto rows = p.rows(" SELECT ID, NEXTSTORY FROM USERLIST", {"ID", "NEXTSTORY"});
  EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"00003", "00002"}}));
}

TEST(ReaderStore, NavigationOrdersZeroFilledKeys) {
  TestProgram p;
  ReaderStore store(p.sql());
  for (int id : {10, 9, 11}) store.insert(sampleReader(id));
  EXPECT_EQ(store.after(9)->id, 10);
  EXPECT_EQ(store.before(10)->id, 9);
  EXPECT_EQ(store.after(std::nullopt)->id, 9);
  EXPECT_EQ(store.before(std::nullopt)->id, 11);
  EXPECT_FALSE(store.after(11));
  std::vector<int> all;
  store.forEach([&](Reader& r) { all.push_back(r.id); });
  EXPECT_EQ(all, (std::vector<int>{9, 10, 11}));
}

// What goes into the columns comes back as it was: texts cut at their widths between
// two characters, "no date" as zeros, a send status the program does not know kept.
TEST(ReaderStore, ColumnsRoundTrip) {
  TestProgram p;
  ReaderStore store(p.sql());
  Reader r = sampleReader(7);
  r.name = std::string(59, 'a') + sj("髙") + "b";  // the double-byte character straddles byte 60
  r.address = std::string(48, 'm') + "@example.com";
  r.note3 = sj("備考'; DROP TABLE USERLIST; --");
  r.status = static_cast<SendStatus>(2);
  r.nextStory = 12;
  r.lastSent = DateStamp(20240101, 0);
  store.insert(r);

  EXPECT_EQ(p.rows(" SELECT NAME, SNDFASTDATE, SNDFASTTIME, SYORIKBN FROM USERLIST",
                   {"NAME", "SNDFASTDATE", "SNDFASTTIME", "SYORIKBN"})[0],
            (std::vector<std::string>{std::string(59, 'a') + " ", "00000000", "000000", "02"}));
  const Reader back = *store.find(7);
  EXPECT_EQ(back.name, std::string(59, 'a'));
  EXPECT_EQ(back.address, std::string(48, 'm') + "@e");
  EXPECT_EQ(back.note3, r.note3);
  EXPECT_EQ(back.status, static_cast<SendStatus>(2));
  EXPECT_EQ(back.nextStory, 12);
  EXPECT_TRUE(back.firstSent.none());
  EXPECT_EQ(back.lastSent, DateStamp(20240101, 0));
  EXPECT_FALSE(back.lastSent.none());
  EXPECT_EQ(back.registered.dateText() + back.registered.timeText(), "20240507123456");
}

// The search condition is a value, never SQL: quotes in it are searched for.
TEST(ReaderStore, SearchTakesQuotesAsText) {
  TestProgram p;
  ReaderStore store(p.sql());
  Reader r = sampleReader(1);
  r.name = "O'Brien";
  store.insert(r);
  r = sampleReader(2);
  r.name = "Obama";
  r.address = "o@example.com";
  store.insert(r);
  std::vector<int> hits;
  const auto hit = [&](const Reader& found) { hits.push_back(found.id); };
  EXPECT_EQ(store.search(ReaderSearchBy::Name, "O'", hit), 1);
  EXPECT_EQ(store.search(ReaderSearchBy::Name, "' OR ''='", hit), 0);
  EXPECT_EQ(store.search(ReaderSearchBy::Address, "o@", hit), 1);
  EXPECT_EQ(hits, (std::vector<int>{1, 2}));
}

// The send run's step: only while the stored reader still waits for the story sent and
// may be sent to; the first sent moment only once; a missing reader is not inserted.
TEST(ReaderStore, AdvanceChangesOnlyAReaderStillWaitingForTheStorySent) {
  struct Case {
    const char* what;
    int storedNext;
    SendStatus storedStatus;
    bool changes;
  };
  const Case cases[] = {
      {"waiting and sendable", 3, SendStatus::sendable, true},
      {"advanced meanwhile", 4, SendStatus::sendable, false},
      {"stopped meanwhile", 3, SendStatus::stopped, false},
  };
  for (const Case& c : cases) {
    TestProgram p;
    ReaderStore store(p.sql());
    Reader r = sampleReader(5);
    r.nextStory = c.storedNext;
    r.status = c.storedStatus;
    r.firstSent = DateStamp(20240102, 80000);
    r.note1 = sj("備考");
    store.insert(r);
    EXPECT_EQ(store.advance(5, 3, DateStamp(20240601, 101010)), c.changes) << c.what;
    Reader expected = r;
    if (c.changes) {
      expected.nextStory = 4;
      expected.lastSent = DateStamp(20240601, 101010);
    }
    const Reader stored = *store.find(5);
    EXPECT_EQ(stored.nextStory, expected.nextStory) << c.what;
    EXPECT_EQ(stored.lastSent, expected.lastSent) << c.what;
    EXPECT_EQ(stored.firstSent, r.firstSent) << c.what;
    EXPECT_EQ(stored.note1, r.note1) << c.what;
  }

  TestProgram p;
  ReaderStore store(p.sql());
  store.insert(sampleReader(6));
  EXPECT_TRUE(store.advance(6, 1, DateStamp(20240601, 101010)));
  EXPECT_EQ(store.find(6)->firstSent, DateStamp(20240601, 101010));
  EXPECT_FALSE(store.advance(8, 1, DateStamp(20240601, 101010)));
  EXPECT_EQ(store.count(), 1);
}

}  // namespace
