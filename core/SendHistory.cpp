#include "core/SendHistory.h"

#include <array>
#include <ctime>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/StoreQuery.h"
#include "core/TextUtil.h"

namespace {

// Column widths of SENDHISTORY, in bytes.
constexpr int kCodeWidth = 20;
constexpr int kReplyWidth = 1000;
constexpr int kRunIdWidth = 40;

const char* const kColumns = " SELECT READERID, STORY, SENTDATE, SENTTIME, OUTCOME, REPLYCODE, REPLY, RUNID, SEQ FROM SENDHISTORY";
// The order of the entries (see db/schema.sql).
const char* const kOrder = " ORDER BY SENTDATE, SENTTIME, RUNID, SEQ";
const char* const kInsert =
    " INSERT INTO SENDHISTORY (READERID, STORY, SENTDATE, SENTTIME, OUTCOME, REPLYCODE, REPLY, RUNID, SEQ)"
    " VALUES (:pREADER, :pSTORY, :pDATE, :pTIME, :pOUTCOME, :pCODE, :pREPLY, :pRUN, :pSEQ)";
// Outcome 1 is a deferral (SendOutcome::deferred).
const char* const kDeferrals =
    " SELECT COUNT(DISTINCT RUNID) AS N, MIN(SENTDATE) AS FIRSTDATE FROM SENDHISTORY"
    " WHERE READERID = :pREADER AND STORY = :pSTORY AND OUTCOME = 1";
const char* const kRecordRun = " UPDATE OR INSERT INTO SENDRUNS (RUNID, STARTED) VALUES (:pRUN, :pSTARTED) MATCHING (RUNID)";
const char* const kNewestRun = " SELECT FIRST 1 RUNID FROM SENDRUNS ORDER BY STARTED DESC, RUNID DESC";
// Reader by reader (the listed readers are few next to the history), each looked up in
// the history's one index by reader and run.
const char* const kRunEntries =
    " SELECT H.READERID, H.STORY, H.SENTDATE, H.SENTTIME, H.OUTCOME, H.REPLYCODE, H.REPLY, H.RUNID, H.SEQ"
    " FROM USERLIST U JOIN SENDHISTORY H ON H.READERID = CAST(U.ID AS INTEGER) AND H.RUNID = :pRUN"
    " PLAN SORT (JOIN (U NATURAL, H INDEX (IX_SENDHISTORY_READER_RUN))) ORDER BY H.SENTDATE, H.SENTTIME, H.SEQ";

// A text as its column takes it: at most width bytes, a double-byte character kept whole.
std::string cut(const std::string& text, int width) {
  const size_t w = static_cast<size_t>(width);
  size_t keep = 0;
  while (keep < text.size()) {
    const size_t len = isLeadByte(static_cast<unsigned char>(text[keep])) && keep + 1 < text.size() ? 2 : 1;
    if (keep + len > w) break;
    keep += len;
  }
  return text.substr(0, keep);
}

SendOutcome outcomeOf(const std::string& column) {
  const int n = toIntOr(trim(column), -1);
  return n >= 0 && n <= static_cast<int>(SendOutcome::unknown) ? static_cast<SendOutcome>(n) : SendOutcome::unknown;
}

HistoryEntry readRow(const Statement& q) {
  HistoryEntry e;
  e.readerId = toIntOr(trim(q.fieldByName("READERID")), 0);
  e.story = toIntOr(trim(q.fieldByName("STORY")), 0);
  e.time = DateStamp::fromText(q.fieldByName("SENTDATE"), q.fieldByName("SENTTIME"));
  e.outcome = outcomeOf(q.fieldByName("OUTCOME"));
  e.code = q.fieldByName("REPLYCODE");
  e.reply = q.fieldByName("REPLY");
  e.runId = q.fieldByName("RUNID");
  e.seq = toIntOr(trim(q.fieldByName("SEQ")), 0);
  return e;
}

}  // namespace

const std::string& outcomeText(SendOutcome outcome) {
  static const std::array<std::string, 5> texts{Sjis::fromUtf8("送信済"), Sjis::fromUtf8("保留"),
                                                Sjis::fromUtf8("宛先不明で停止"), Sjis::fromUtf8("スキップ"),
                                                Sjis::fromUtf8("結果不明")};
  return texts.at(static_cast<size_t>(outcome));
}

void HistoryStore::add(const HistoryEntry& e) {
  StoreQuery::execute(m_q, kInsert,
                      {{"pREADER", std::to_string(e.readerId)},
                       {"pSTORY", std::to_string(e.story)},
                       {"pDATE", e.time.dateText()},
                       {"pTIME", e.time.timeText()},
                       {"pOUTCOME", std::to_string(static_cast<int>(e.outcome))},
                       {"pCODE", cut(e.code, kCodeWidth)},
                       {"pREPLY", cut(e.reply, kReplyWidth)},
                       {"pRUN", cut(e.runId, kRunIdWidth)},
                       {"pSEQ", std::to_string(e.seq)}});
}

void HistoryStore::recordRun(const std::string& runId, const DateStamp& started) {
  StoreQuery::execute(m_q, kRecordRun,
                      {{"pRUN", cut(runId, kRunIdWidth)}, {"pSTARTED", started.dateText() + started.timeText()}});
}

std::vector<HistoryEntry> HistoryStore::forReader(int readerId) {
  std::vector<HistoryEntry> entries;
  forEach(readerId, std::nullopt, [&](const HistoryEntry& e) { entries.push_back(e); });
  return entries;
}

void HistoryStore::forEach(std::optional<int> readerId, std::optional<int> sinceDate,
                           const std::function<void(const HistoryEntry&)>& each) {
  // The date column holds zero-filled "yyyymmdd", so text order is date order.
  std::string sql = kColumns;
  sql += " WHERE 1 = 1";
  if (readerId) sql += " AND READERID = :pREADER";
  if (sinceDate) sql += " AND SENTDATE >= :pSINCE";
  sql += kOrder;
  m_q.close();
  m_q.setCommandText(sql);
  if (readerId) m_q.setParam("pREADER", std::to_string(*readerId));
  if (sinceDate) m_q.setParam("pSINCE", DateStamp(*sinceDate, 0).dateText());
  try {
    m_q.open();
    for (; !m_q.eof(); m_q.next()) each(readRow(m_q));
  } catch (...) {
    m_q.close();
    throw;
  }
  m_q.close();
}

HistoryStore::Deferrals HistoryStore::deferrals(int readerId, int story) {
  Deferrals d;
  StoreQuery::eachRow(m_q, kDeferrals, {{"pREADER", std::to_string(readerId)}, {"pSTORY", std::to_string(story)}},
                      [&](const Statement& q) {
                        d.runs = toIntOr(trim(q.fieldByName("N")), 0);
                        d.firstDate = toIntOr(trim(q.fieldByName("FIRSTDATE")), 0);
                        return false;
                      });
  return d;
}

std::vector<std::string> HistoryStore::mailsSince(int sinceDate) {
  std::vector<std::string> times;
  StoreQuery::eachRow(m_q, " SELECT SENTDATE, SENTTIME FROM SENDHISTORY WHERE SENTDATE >= :pSINCE AND OUTCOME IN (0, 4)",
                      {{"pSINCE", DateStamp(sinceDate, 0).dateText()}}, [&](const Statement& q) {
                        times.push_back(q.fieldByName("SENTDATE") + q.fieldByName("SENTTIME"));
                        return true;
                      });
  return times;
}

std::vector<HistoryEntry> HistoryStore::lastRun() {
  std::optional<std::string> run;
  StoreQuery::eachRow(m_q, kNewestRun, {}, [&](const Statement& q) {
    run = q.fieldByName("RUNID");
    return false;
  });
  std::vector<HistoryEntry> entries;
  if (!run) return entries;
  StoreQuery::eachRow(m_q, kRunEntries, {{"pRUN", *run}}, [&](const Statement& q) {
    entries.push_back(readRow(q));
    return true;
  });
  return entries;
}

bool HistoryStore::givesUp(const Deferrals& deferrals, int today) {
  if (deferrals.runs < kDeferralRuns || deferrals.firstDate <= 0) return false;
  const auto toDays = [](int date) {
    std::tm t{};
    t.tm_year = date / 10000 - 1900;
    t.tm_mon = date / 100 % 100 - 1;
    t.tm_mday = date % 100;
    t.tm_hour = 12;
    return static_cast<long>(timegm(&t) / 86400);
  };
  return toDays(today) - toDays(deferrals.firstDate) >= kDeferralDays;
}

HistoryRun HistoryRun::start() {
  return HistoryRun{Clock::nowStamp() + "-" + std::to_string(Clock::tickMs() % 100000), false, 0};
}

void HistoryRun::add(HistoryStore& store, HistoryEntry entry) {
  entry.runId = id;
  entry.seq = ++entries;
  if (!entered) store.recordRun(id, entry.time);
  entered = true;
  store.add(entry);
}
