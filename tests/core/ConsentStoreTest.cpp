#include <gtest/gtest.h>

#include "core/ConsentStore.h"
#include "core/ReaderStore.h"
#include "tests/support/TestProgram.h"

namespace {

// Records are only added: the newest row of an ID counts (also when an ID used again
// carries an earlier time), a stopped or deleted reader keeps its record, and a detail
// longer than its column is cut.
TEST(ConsentStore, KeepsEveryRecordAndAnswersTheNewestOfEachReaderId) {
  TestProgram p;
  ReaderStore readers(p.sql());
  ConsentStore store(p.sql());
  const Consent rows[] = {
      {7, "old@example.jp", ConsentSource::webForm, DateStamp(20261209, 80000), "https://x.jp/r"},
      {8, "b@example.jp", ConsentSource::csvImport, DateStamp(20261210, 90000), sj("/op/読者.csv")},
      {7, "a@example.jp", ConsentSource::typedByHand, DateStamp(20261201, 70000), ""},
      {9, "c@example.jp", ConsentSource::webForm, DateStamp(20261211, 100000), std::string(401, 'u')}};
  for (const Consent& c : rows) {
    readers.save(Reader{c.readerId});
    store.add(c);
  }
  readers.stop(7);
  readers.remove(8);

  const std::pair<int, std::string> expected[] = {
      {7, sj("同意: 手入力 2026/12/01 07:00:00")},
      {8, sj("同意: CSV取込 2026/12/10 09:00:00 /op/読者.csv")},
      {9, sj("同意: Webフォーム 2026/12/11 10:00:00 ") + std::string(400, 'u')},
      {10, sj("同意: 記録なし")}};
  for (const auto& [id, line] : expected) EXPECT_EQ(consentLine(store.newest(id)), line) << id;
  const std::map<int, Consent> each = store.newestOfEach();
  EXPECT_EQ(each.size(), 3u);
  EXPECT_EQ(consentLine(each.at(7)), expected[0].second);
  EXPECT_EQ(store.newest(7)->address, "a@example.jp");
}

}  // namespace
