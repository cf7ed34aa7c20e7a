#include "core/ConsentStore.h"

#include <array>

#include "core/ColumnWidths.h"
#include "core/Database.h"
#include "core/Reader.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/StoreQuery.h"
#include "core/TextUtil.h"

namespace {

constexpr int kDetailWidth = 400;  // CONSENTS.DETAIL, in bytes

const char* const kColumns = " SELECT READERID, MAILADDRESS, SOURCE, GIVEN, DETAIL, SEQ FROM CONSENTS";
// SEQ numbers the rows in the order they were written: an ID's largest is its newest.
// A sequence, not a look-up of the ID's rows, so an import pays one insert per reader.
const char* const kInsert =
    " INSERT INTO CONSENTS (READERID, MAILADDRESS, SOURCE, GIVEN, DETAIL, SEQ)"
    " VALUES (:pID, :pADDRESS, :pSOURCE, :pGIVEN, :pDETAIL, NEXT VALUE FOR CONSENTS_SEQ)";

ConsentSource sourceOf(const std::string& column) {
  const int n = toIntOr(trim(column), -1);
  return n >= 0 && n <= static_cast<int>(ConsentSource::typedByHand) ? static_cast<ConsentSource>(n)
                                                                      : ConsentSource::typedByHand;
}

Consent readRow(const Statement& q) {
  Consent c;
  c.readerId = toIntOr(trim(q.fieldByName("READERID")), 0);
  c.address = trimRight(q.fieldByName("MAILADDRESS"));
  c.source = sourceOf(q.fieldByName("SOURCE"));
  const std::string given = q.fieldByName("GIVEN");
  c.given = DateStamp::fromText(given.substr(0, 8), given.size() > 8 ? given.substr(8, 6) : std::string());
  c.detail = q.fieldByName("DETAIL");
  return c;
}

}  // namespace

const std::string& consentSourceText(ConsentSource source) {
  static const std::array<std::string, 3> texts{Sjis::fromUtf8("Webフォーム"), Sjis::fromUtf8("CSV取込"),
                                                Sjis::fromUtf8("手入力")};
  return texts.at(static_cast<size_t>(source));
}

std::string consentLine(const std::optional<Consent>& consent) {
  std::string line = Sjis::fromUtf8("同意: ");
  if (!consent) return line + Sjis::fromUtf8("記録なし");
  line += consentSourceText(consent->source) + " " + consent->given.displayText();
  if (!consent->detail.empty()) line += " " + consent->detail;
  return line;
}

void ConsentStore::add(const Consent& c) {
  StoreQuery::execute(m_q, kInsert,
                      {{"pID", idText(c.readerId)},
                       {"pADDRESS", trimRight(fitWidth(c.address, ColumnWidth::kAddress))},
                       {"pSOURCE", std::to_string(static_cast<int>(c.source))},
                       {"pGIVEN", c.given.dateText() + c.given.timeText()},
                       {"pDETAIL", trimRight(fitWidth(c.detail, kDetailWidth))}});
}

std::optional<Consent> ConsentStore::newest(int readerId) {
  std::optional<Consent> found;
  const std::string sql = std::string(kColumns) + " WHERE READERID = :pID ORDER BY SEQ DESC";
  StoreQuery::eachRow(m_q, sql.c_str(), {{"pID", idText(readerId)}}, [&](const Statement& q) {
    found = readRow(q);
    return false;
  });
  return found;
}

std::map<int, Consent> ConsentStore::newestOfEach() {
  std::map<int, Consent> newest;
  const std::string sql = std::string(kColumns) + " ORDER BY READERID, SEQ";
  // In SEQ order, so each reader ID ends with its newest row.
  StoreQuery::eachRow(m_q, sql.c_str(), {}, [&](const Statement& q) {
    Consent c = readRow(q);
    newest[c.readerId] = std::move(c);
    return true;
  });
  return newest;
}
