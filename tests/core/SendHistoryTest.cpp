#include <gtest/gtest.h>

#include <tuple>

#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/SendHistory.h"
#include "tests/support/TestProgram.h"

namespace {

// Three runs over three days: reader 7 deferred twice in run A (counted once), then in
// run C; reader 8 sent, refused and skipped.
TEST(HistoryStore, ReadsBackByReaderDateAndRunOldestFirst) {
  TestProgram p;
  HistoryStore store(p.sql());
  EXPECT_TRUE(store.lastRun().empty());
  const struct {
    int reader, story, date;
    SendOutcome outcome;
    const char* run;
  } rows[] = {{7, 2, 20261201, SendOutcome::deferred, "A"}, {8, 1, 20261201, SendOutcome::sent, "A"},
              {7, 2, 20261201, SendOutcome::deferred, "A"}, {8, 2, 20261202, SendOutcome::refused, "B"},
              {7, 2, 20261203, SendOutcome::deferred, "C"}, {7, 3, 20261203, SendOutcome::unknown, "C"},
              {8, 2, 20261203, SendOutcome::skipped, "C"}};
  int n = 0;
  for (const auto& r : rows) {
    store.recordRun(r.run, DateStamp(r.date, 90000 + n));
    store.add({r.reader, r.story, DateStamp(r.date, 90000 + n++), r.outcome, "450 4.2.1", sj("混雑"), r.run});
  }

  const HistoryEntry sixth = store.forReader(7).at(3);
  EXPECT_EQ(std::make_tuple(sixth.outcome, sixth.code, sixth.reply, sixth.runId),
            std::make_tuple(SendOutcome::unknown, std::string("450 4.2.1"), sj("混雑"), std::string("C")));

  const struct {
    std::optional<int> reader, since;
    std::vector<int> times;  // the seconds of the entries met
  } filters[] = {{std::nullopt, std::nullopt, {0, 1, 2, 3, 4, 5, 6}},
                 {8, std::nullopt, {1, 3, 6}},
                 {std::nullopt, 20261202, {3, 4, 5, 6}},
                 {8, 20261203, {6}},
                 {9, std::nullopt, {}}};
  for (const auto& f : filters) {
    std::vector<int> seen;
    store.forEach(f.reader, f.since, [&](const HistoryEntry& e) { seen.push_back(e.time.time() - 90000); });
    EXPECT_EQ(seen, f.times) << f.reader.value_or(0) << " " << f.since.value_or(0);
  }

  const struct {
    int reader, story, runs, firstDate;
  } deferrals[] = {{7, 2, 2, 20261201}, {7, 3, 0, 0}, {8, 2, 0, 0}};
  for (const auto& d : deferrals) {
    const HistoryStore::Deferrals got = store.deferrals(d.reader, d.story);
    EXPECT_EQ(std::make_pair(got.runs, got.firstDate), std::make_pair(d.runs, d.firstDate)) << d.reader << "/" << d.story;
  }

  // The last run shows the readers still listed.
  for (int id : {7, 8}) {
    Reader reader;
    reader.id = id;
    ReaderStore(p.sql()).insert(reader);
  }
  const std::vector<HistoryEntry> last = store.lastRun();
  ASSERT_EQ(last.size(), 3u);
  EXPECT_EQ(last[0].time.time(), 90004);
  EXPECT_EQ(last[2].outcome, SendOutcome::skipped);
  p.exec(" DELETE FROM USERLIST WHERE ID = '00007'");
  EXPECT_EQ(store.lastRun().size(), 1u);
}

// A long reply is cut to its column between two characters; an entry written in a
// transaction that is rolled back is gone with the rest of it.
TEST(HistoryStore, LongReplyIsCutAtACharacterAndEntriesJoinTheTransaction) {
  TestProgram p;
  HistoryStore store(p.sql());
  std::string text = "x";
  for (int i = 0; i < 600; ++i) text += sj("あ");  // 1,201 bytes: the 1,000th is a lead byte
  store.add({1, 1, DateStamp(20261209, 1), SendOutcome::refused, "550 5.1.1", text, "R"});
  EXPECT_EQ(store.forReader(1).at(0).reply, text.substr(0, 999));

  for (bool commit : {false, true}) {
    Transaction t(p.ctx().database);
    store.add({2, 1, DateStamp(20261209, 2), SendOutcome::sent, "", "", "R"});
    if (commit) t.commit();
  }
  EXPECT_EQ(store.forReader(2).size(), 1u);
}

}  // namespace
