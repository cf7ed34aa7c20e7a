#include "core/ReaderStore.h"

#include "core/ColumnWidths.h"
#include "core/Database.h"
#include "core/StoreQuery.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

namespace {

using StoreQuery::eachRow;

// The statements on USERLIST.
const char* const kAll = " SELECT USERLIST.* FROM USERLIST ORDER BY ID ";
const char* const kById = " SELECT USERLIST.* FROM USERLIST WHERE ID = :pID ORDER BY ID";
const char* const kAfter = " SELECT USERLIST.* FROM USERLIST WHERE ID > :pID ORDER BY ID";
const char* const kBefore = " SELECT USERLIST.* FROM USERLIST WHERE ID < :pID ORDER BY ID DESC";
const char* const kByName = " SELECT USERLIST.* FROM USERLIST WHERE NAME >= :pNAME ORDER BY NAME";
const char* const kByAddress =
    " SELECT USERLIST.* FROM USERLIST WHERE MAILADDRESS >= :pMAILADDRESS ORDER BY MAILADDRESS";
const char* const kNewest =
    " SELECT FIRST 30 USERLIST.* FROM USERLIST ORDER BY TOUROKUDATE DESC, TOUROKUTIME DESC, ID DESC";
const char* const kMaxId = " SELECT MAX(ID) FROM USERLIST";
const char* const kCount = " SELECT COUNT(*) AS N FROM USERLIST";
const char* const kAddressHolder =
    " SELECT ID FROM USERLIST WHERE UPPER(TRIM(MAILADDRESS)) = UPPER(:pMAILADDRESS) AND ID <> :pID ORDER BY ID";
const char* const kDueColumns = " SELECT SYORIKBN, NEXTSTORY, TOUROKUDATE, SNDLASTDATE FROM USERLIST";
const char* const kAddresses = " SELECT MAILADDRESS FROM USERLIST";
const char* const kStatusById = " SELECT ID, SYORIKBN FROM USERLIST WHERE ID = :pKEY";
const char* const kStatusByAddress =
    " SELECT ID, SYORIKBN FROM USERLIST WHERE UPPER(TRIM(MAILADDRESS)) = UPPER(:pKEY)";
const char* const kInsert =
    " INSERT INTO USERLIST ( ID, MAILADDRESS, TOUROKUDATE, TOUROKUTIME, NAME, SYORIKBN, NEXTSTORY, SNDFASTDATE, "
    "SNDFASTTIME, SNDLASTDATE, SNDLASTTIME, BIKO1, BIKO2, BIKO3) VALUES(:pID, :pMAILADDRESS, :pTOUROKUDATE, "
    ":pTOUROKUTIME, :pNAME, :pSYORIKBN, :pNEXTSTORY, :pSNDFASTDATE, :pSNDFASTTIME, :pSNDLASTDATE, :pSNDLASTTIME, "
    ":pBIKO1, :pBIKO2, :pBIKO3)";
const char* const kUpdate =
    " UPDATE USERLIST SET  MAILADDRESS   = :pMAILADDRESS, TOUROKUDATE   = :pTOUROKUDATE, TOUROKUTIME   = "
    ":pTOUROKUTIME, NAME          = :pNAME, SYORIKBN      = :pSYORIKBN, NEXTSTORY     = :pNEXTSTORY, SNDFASTDATE   = "
    ":pSNDFASTDATE, SNDFASTTIME   = :pSNDFASTTIME, SNDLASTDATE   = :pSNDLASTDATE, SNDLASTTIME   = :pSNDLASTTIME, "
    "BIKO1         = :pBIKO1, BIKO2         = :pBIKO2, BIKO3         = :pBIKO3 WHERE      ID = :pID";
const char* const kDelete = " DELETE FROM USERLIST WHERE ID = :pID";
const char* const kStop = " UPDATE USERLIST SET SYORIKBN = '00' WHERE ID = :pID";
// The first sent date and time are set only while neither is stored yet.
const char* const kAdvance =
    " UPDATE USERLIST SET NEXTSTORY = :pNEXT,"
    " SNDFASTDATE = CASE WHEN COALESCE(TRIM(SNDFASTDATE), '') IN ('', '00000000') AND"
    " COALESCE(TRIM(SNDFASTTIME), '') IN ('', '000000') THEN :pDATE ELSE SNDFASTDATE END,"
    " SNDFASTTIME = CASE WHEN COALESCE(TRIM(SNDFASTDATE), '') IN ('', '00000000') AND"
    " COALESCE(TRIM(SNDFASTTIME), '') IN ('', '000000') THEN :pTIME ELSE SNDFASTTIME END,"
    " SNDLASTDATE = :pDATE, SNDLASTTIME = :pTIME"
    " WHERE ID = :pID AND NEXTSTORY = :pSENT AND SYORIKBN = '01'";

// The sentinels that lie below and above every ID.
const char* const kBelowEveryId = "     ";
const char* const kAboveEveryId = "zzzzz";

SendStatus statusOf(const std::string& column) {
  const std::string t = trim(column);
  for (char c : t)
    if (c < '0' || c > '9') return SendStatus::stopped;
  return static_cast<SendStatus>(toIntOr(t, 0));
}

std::string statusText(SendStatus status) {
  return zeroFill(std::to_string(static_cast<int>(status)), ColumnWidth::kStatus);
}

int numberOf(const std::string& column) { return toIntOr(trim(column), 0); }

// A text as the program holds it: without the column's trailing blanks.
std::string textOf(const std::string& column) { return trimRight(column); }

// A text as the column takes it: at most width bytes, a double-byte character kept whole.
std::string columnText(const std::string& text, int width) { return trimRight(fitWidth(text, width)); }

// The current row, column by column in table order.
Reader readRow(const Statement& q) {
  Reader r;
  r.id = numberOf(q.fieldByName("ID"));
  r.address = textOf(q.fieldByName("MAILADDRESS"));
  const std::string registeredDate = q.fieldByName("TOUROKUDATE");
  r.registered = DateStamp::fromText(registeredDate, q.fieldByName("TOUROKUTIME"));
  r.name = textOf(q.fieldByName("NAME"));
  r.status = statusOf(q.fieldByName("SYORIKBN"));
  r.nextStory = numberOf(q.fieldByName("NEXTSTORY"));
  const std::string firstDate = q.fieldByName("SNDFASTDATE");
  r.firstSent = DateStamp::fromText(firstDate, q.fieldByName("SNDFASTTIME"));
  const std::string lastDate = q.fieldByName("SNDLASTDATE");
  r.lastSent = DateStamp::fromText(lastDate, q.fieldByName("SNDLASTTIME"));
  r.note1 = textOf(q.fieldByName("BIKO1"));
  r.note2 = textOf(q.fieldByName("BIKO2"));
  r.note3 = textOf(q.fieldByName("BIKO3"));
  return r;
}

void bindRow(Statement& q, const Reader& r) {
  q.setParam("pID", idText(r.id));
  q.setParam("pMAILADDRESS", columnText(r.address, ColumnWidth::kAddress));
  q.setParam("pTOUROKUDATE", r.registered.dateText());
  q.setParam("pTOUROKUTIME", r.registered.timeText());
  q.setParam("pNAME", columnText(r.name, ColumnWidth::kName));
  q.setParam("pSYORIKBN", statusText(r.status));
  q.setParam("pNEXTSTORY", idText(r.nextStory));
  q.setParam("pSNDFASTDATE", r.firstSent.dateText());
  q.setParam("pSNDFASTTIME", r.firstSent.timeText());
  q.setParam("pSNDLASTDATE", r.lastSent.dateText());
  q.setParam("pSNDLASTTIME", r.lastSent.timeText());
  q.setParam("pBIKO1", columnText(r.note1, ColumnWidth::kNote));
  q.setParam("pBIKO2", columnText(r.note2, ColumnWidth::kNote));
  q.setParam("pBIKO3", columnText(r.note3, ColumnWidth::kNote));
}

std::optional<Reader> firstReader(Statement& q, const char* sql, const std::string& id) {
  std::optional<Reader> found;
  eachRow(q, sql, {{"pID", id}}, [&](Statement& row) {
    found = readRow(row);
    return false;
  });
  return found;
}

}  // namespace

std::string idText(int number) { return zeroFill(std::to_string(number), ColumnWidth::kReaderId); }

void lowerAscii(std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (isLeadByte(c) && i + 1 < text.size())
      ++i;
    else if (c >= 'A' && c <= 'Z')
      text[i] = static_cast<char>(c - 'A' + 'a');
  }
}

std::string addressKey(const std::string& address) {
  std::string key = trim(address);
  lowerAscii(key);
  return key;
}

std::optional<Reader> ReaderStore::find(int id) { return firstReader(m_q, kById, idText(id)); }

int ReaderStore::maxId() {
  int id = 0;
  eachRow(m_q, kMaxId, {}, [&](Statement& row) {
    id = toIntOr(trim(row.fieldByName("MAX")), 0);
    return false;
  });
  return id;
}

std::optional<Reader> ReaderStore::after(std::optional<int> id) {
  return firstReader(m_q, kAfter, id ? idText(*id) : kBelowEveryId);
}

std::optional<Reader> ReaderStore::before(std::optional<int> id) {
  return firstReader(m_q, kBefore, id ? idText(*id) : kAboveEveryId);
}

std::optional<int> ReaderStore::addressHolder(const std::string& address, int ownId) {
  std::optional<int> holder;
  eachRow(m_q, kAddressHolder, {{"pMAILADDRESS", trim(address)}, {"pID", idText(ownId)}}, [&](Statement& row) {
    holder = numberOf(row.fieldByName("ID"));
    return false;
  });
  return holder;
}

int ReaderStore::search(ReaderSearchBy by, const std::string& condition, const std::function<void(const Reader&)>& hit) {
  const bool byName = by == ReaderSearchBy::Name;
  // A condition longer than the column starts at the part that fits; the prefix test
  // below still compares the whole condition.
  const std::string from = columnText(condition, byName ? ColumnWidth::kName : ColumnWidth::kAddress);
  int hits = 0;
  eachRow(m_q, byName ? kByName : kByAddress, {{byName ? "pNAME" : "pMAILADDRESS", from}}, [&](Statement& row) {
    const Reader r = readRow(row);
    // The rows come in the column's order: the first one that does not begin with the
    // condition ends the hits.
    if ((byName ? r.name : r.address).compare(0, condition.size(), condition) != 0) return false;
    hit(r);
    ++hits;
    return true;
  });
  return hits;
}

void ReaderStore::newest(const std::function<void(const Reader&)>& visit) {
  static_assert(kNewestCount == 30, "the statement's FIRST");
  eachRow(m_q, kNewest, {}, [&](Statement& row) {
    visit(readRow(row));
    return true;
  });
}

void ReaderStore::forEach(const std::function<void(Reader&)>& visit) {
  eachRow(m_q, kAll, {}, [&](Statement& row) {
    Reader r = readRow(row);
    visit(r);
    return true;
  });
}

int ReaderStore::count() {
  int n = 0;
  eachRow(m_q, kCount, {}, [&](Statement& row) {
    n = toIntOr(trim(row.fieldByName("N")), 0);
    return false;
  });
  return n;
}

void ReaderStore::forEachDueColumns(
    const std::function<void(SendStatus, int, const std::string&, const std::string&)>& visit) {
  eachRow(m_q, kDueColumns, {}, [&](Statement& row) {
    const SendStatus status = statusOf(row.fieldByName("SYORIKBN"));
    const int next = numberOf(row.fieldByName("NEXTSTORY"));
    visit(status, next, row.fieldByName("TOUROKUDATE"), row.fieldByName("SNDLASTDATE"));
    return true;
  });
}

void ReaderStore::forEachAddress(const std::function<void(std::string&)>& visit) {
  eachRow(m_q, kAddresses, {}, [&](Statement& row) {
    std::string address = row.fieldByName("MAILADDRESS");
    visit(address);
    return true;
  });
}

namespace {
std::vector<std::pair<int, SendStatus>> statuses(Statement& q, const char* sql, const std::string& key) {
  std::vector<std::pair<int, SendStatus>> found;
  eachRow(q, sql, {{"pKEY", key}}, [&](Statement& row) {
    const int id = numberOf(row.fieldByName("ID"));
    found.emplace_back(id, statusOf(row.fieldByName("SYORIKBN")));
    return true;
  });
  return found;
}
}  // namespace

std::vector<std::pair<int, SendStatus>> ReaderStore::statusById(int id) { return statuses(m_q, kStatusById, idText(id)); }

std::vector<std::pair<int, SendStatus>> ReaderStore::statusByAddress(const std::string& address) {
  return statuses(m_q, kStatusByAddress, address);
}

void ReaderStore::save(const Reader& r, WriteKind* kind) {
  const bool absent = !find(r.id);
  if (kind) *kind = absent ? WriteKind::Insert : WriteKind::Update;
  if (absent)
    insert(r);
  else
    update(r);
}

namespace {
void writeRow(Statement& q, const char* sql, const Reader& r) {
  q.close();
  q.setCommandText(sql);
  bindRow(q, r);
  try {
    q.execute();
  } catch (...) {
    q.close();
    throw;
  }
  q.close();
}
}  // namespace

void ReaderStore::insert(const Reader& r) { writeRow(m_q, kInsert, r); }

void ReaderStore::update(const Reader& r) { writeRow(m_q, kUpdate, r); }

void ReaderStore::remove(int id) { StoreQuery::execute(m_q, kDelete, {{"pID", idText(id)}}); }

void ReaderStore::stop(int id) { StoreQuery::execute(m_q, kStop, {{"pID", idText(id)}}); }

bool ReaderStore::advance(int id, int sentStory, const DateStamp& sent) {
  return StoreQuery::execute(m_q, kAdvance,
             {{"pNEXT", idText(sentStory + 1)},
              {"pDATE", sent.dateText()},
              {"pTIME", sent.timeText()},
              {"pID", idText(id)},
              {"pSENT", idText(sentStory)}}) > 0;
}
