#include "maintenance/ReaderBook.h"

#include "core/Database.h"
#include "core/TextUtil.h"
#include "maintenance/RowQuery.h"

namespace {
ReaderRow readRow(const Statement& q) { return readReader(q); }
}  // namespace

std::optional<ReaderRow> ReaderBook::find(const std::string& id) {
  return RowQuery::first(m_q, Sql::readerById(id), readRow);
}

int ReaderBook::lastId() { return toIntOr(trim(readMax(m_q, Sql::maxReaderId()).substr(0, 5)), 0); }

std::optional<ReaderRow> ReaderBook::after(const std::string& id) {
  return RowQuery::first(m_q, Sql::readerAfter(id), readRow);
}

std::optional<ReaderRow> ReaderBook::before(const std::string& id) {
  return RowQuery::first(m_q, Sql::readerBefore(id), readRow);
}

std::optional<std::string> ReaderBook::addressHolder(const std::string& address, const std::string& ownId) {
  // The typed address goes as a parameter, never into the text.
  m_q.close();
  m_q.setCommandText(
      " SELECT ID FROM USERLIST WHERE UPPER(TRIM(MAILADDRESS)) = UPPER(:pMAILADDRESS) AND ID <> :pID ORDER BY ID");
  m_q.setParam("pMAILADDRESS", trim(address));
  m_q.setParam("pID", ownId);
  std::optional<std::string> id;
  try {
    m_q.open();
    if (!m_q.eof()) id = m_q.fieldByName("ID").substr(0, 5);
  } catch (...) {
    m_q.close();
    throw;
  }
  m_q.close();
  return id;
}

void ReaderBook::write(const ReaderRow& r, WriteKind& kind) { writeReader(m_q, r, &kind); }

void ReaderBook::remove(const std::string& id) { RowQuery::executeWith(m_q, Sql::deleteReader(), "pID", id); }

int ReaderBook::search(ReaderSearchBy by, const std::string& condition,
                       const std::function<void(const std::string&, const std::string&, const std::string&)>& hit) {
  const bool byName = by == ReaderSearchBy::Name;
  const size_t n = condition.size();
  m_q.close();
  m_q.setCommandText(byName ? Sql::readersByName(condition) : Sql::readersByAddress(condition));
  m_q.open();
  int k = 0;
  try {
    for (; !m_q.eof(); m_q.next()) {
      const std::string id = m_q.fieldByName("ID").substr(0, 5);
      const std::string name = m_q.fieldByName("NAME").substr(0, 60);
      const std::string address = m_q.fieldByName("MAILADDRESS").substr(0, 50);
      // The rows come in the column's order: the first one that does not begin with
      // the condition ends the hits.
      if ((byName ? name : address).compare(0, n, condition) != 0) break;
      hit(id, name, address);
      ++k;
    }
  } catch (...) {
    m_q.close();
    throw;
  }
  m_q.close();
  return k;
}
