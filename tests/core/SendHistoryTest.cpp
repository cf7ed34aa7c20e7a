#include <gtest/gtest.h>

#include "core/Database.h"
#include "core/SendHistory.h"
#include "tests/support/TestProgram.h"

namespace {

struct Row {
  int reader;
  int story;
  int date;
  SendOutcome outcome;
  const char* run;
};

// Three runs over three days: reader 7 deferred twice in run A (counted once), then in
// run C; reader 8 sent, refused and skipped.
const Row kRows[] = {
    {7, 2, 20261201, SendOutcome::deferred, "A"}, {8, 1, 20261201, SendOutcome::sent, "A"},
    {7, 2, 20261201, SendOutcome::deferred, "A"}, {8, 2, 20261202, SendOutcome::refused, "B"},
    {7, 2, 20261203, SendOutcome::deferred, "C"}, {7, 3, 20261203, SendOutcome::unknown, "C"},
    {8, 2, 20261203, SendOutcome::skipped, "C"},
};

std::vector<int> dates(const std::vector<HistoryEntry>& entries) {
  std::vector<int> out;
  for (const HistoryEntry& e : entries) out.push_back(e.time.date());
  return out;
}

TEST(HistoryStore, ReadsBackByReaderDateAndRunOldestFirst) {
  TestProgram p;
  HistoryStore store(p.sql());
  int n = 0;
  for (const Row& r : kRows)
    store.add({r.reader, r.story, DateStamp(r.date, 90000 + n++), r.outcome, "450 4.2.1", sj("混雑"), r.run});

  const std::vector<HistoryEntry> seven = store.forReader(7);
  ASSERT_EQ(seven.size(), 4u);
  EXPECT_EQ(seven[0].time, DateStamp(20261201, 90000));
  EXPECT_EQ(seven[3].outcome, SendOutcome::unknown);
  EXPECT_EQ(seven[3].code, "450 4.2.1");
  EXPECT_EQ(seven[3].reply, sj("混雑"));
  EXPECT_EQ(seven[3].runId, "C");

  const struct {
    std::optional<int> reader;
    std::optional<int> since;
    std::vector<int> dates;
  } filters[] = {
      {std::nullopt, std::nullopt, {20261201, 20261201, 20261201, 20261202, 20261203, 20261203, 20261203}},
      {8, std::nullopt, {20261201, 20261202, 20261203}},
      {std::nullopt, 20261202, {20261202, 20261203, 20261203, 20261203}},
      {8, 20261203, {20261203}},
      {9, std::nullopt, {}},
  };
  for (const auto& f : filters) {
    std::vector<HistoryEntry> seen;
    store.forEach(f.reader, f.since, [&](const HistoryEntry& e) { seen.push_back(e); });
    EXPECT_EQ(dates(seen), f.dates) << f.reader.value_or(0) << " " << f.since.value_or(0);
  }

  const struct {
    int reader, story, runs, firstDate;
  } deferrals[] = {{7, 2, 2, 20261201}, {7, 3, 0, 0}, {8, 2, 0, 0}};
  for (const auto& d : deferrals) {
    const HistoryStore::Deferrals got = store.deferrals(d.reader, d.story);
    EXPECT_EQ(got.runs, d.runs) << d.reader << "/" << d.story;
    EXPECT_EQ(got.firstDate, d.firstDate) << d.reader << "/" << d.story;
  }

  const std::vector<HistoryEntry> last = store.lastRun();
  ASSERT_EQ(last.size(), 3u);
  EXPECT_EQ(last[0].readerId, 7);
  EXPECT_EQ(last[2].outcome, SendOutcome::skipped);
}

// A long reply is cut to its column between two characters; an entry written in a
// transaction that is rolled back is gone with the rest of it.
TEST(HistoryStore, LongReplyIsCutAtACharacterAndEntriesJoinTheTransaction) {
  TestProgram p;
  HistoryStore store(p.sql());
  EXPECT_TRUE(store.lastRun().empty());
  std::string text = "x";
  for (int i = 0; i < 600; ++i) text += sj("あ");  // 1 + 1200 bytes: byte 1000 is a lead byte
  store.add({1, 1, DateStamp(20261209, 1), SendOutcome::refused, "550 5.1.1", text, "R"});
  const std::string stored = store.forReader(1).at(0).reply;
  EXPECT_EQ(stored.size(), 999u);
  EXPECT_EQ(stored, text.substr(0, 999));

  {
    Transaction t(p.ctx().database);
    store.add({2, 1, DateStamp(20261209, 2), SendOutcome::sent, "", "", "R"});
  }
  EXPECT_TRUE(store.forReader(2).empty());
  Transaction t(p.ctx().database);
  store.add({2, 1, DateStamp(20261209, 2), SendOutcome::sent, "", "", "R"});
  t.commit();
  EXPECT_EQ(store.forReader(2).size(), 1u);
}

TEST(HistoryStore, OutcomeTexts) {
  EXPECT_EQ(outcomeText(SendOutcome::sent), sj("送信済"));
  EXPECT_EQ(outcomeText(SendOutcome::deferred), sj("保留"));
  EXPECT_EQ(outcomeText(SendOutcome::refused), sj("宛先不明で停止"));
  EXPECT_EQ(outcomeText(SendOutcome::skipped), sj("スキップ"));
  EXPECT_EQ(outcomeText(SendOutcome::unknown), sj("結果不明"));
}

}  // namespace
