#include "intake/CancelImport.h"

#include <fstream>
#include <utility>
#include <vector>

#include "core/Database.h"
#include "core/Sjis.h"
#include "core/Tables.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "intake/LineReader.h"
#include "intake/RunLog.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }


}  // namespace

CancelImport::CancelImport(Statement& query, RunLog& log) : m_query(query), m_log(log) {}

int CancelImport::importFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  LineReader lines(in, true);
  int changed = 0;
  for (std::string line; lines.next(line);) {
    const std::string what = trim(line.substr(0, line.find('\t')));
    if (!what.empty()) changed += cancel(what);
  }
  return changed;
}

int CancelImport::cancel(const std::string& what) {
  // A number is a reader's number; anything else is compared with the addresses,
  // without regard to letter case. Values are bound, never put into the SQL text.
  const bool byNumber = !what.empty() && what.size() <= 5 && ImportRules::isDigits(what, what.size());
  const std::string key = byNumber ? zeroFill(what, 5) : what;
  Statement& q = m_query;
  q.close();
  q.setCommandText(byNumber ? " SELECT ID, SYORIKBN FROM USERLIST WHERE ID = :pKEY"
                            : " SELECT ID, SYORIKBN FROM USERLIST WHERE UPPER(TRIM(MAILADDRESS)) = UPPER(:pKEY)");
  q.setParam("pKEY", key);
  q.open();
  std::vector<std::pair<std::string, std::string>> found;
  for (q.first(); !q.eof(); q.next()) found.emplace_back(q.fieldByName("ID"), q.fieldByName("SYORIKBN"));
  q.close();
  if (found.empty()) {
    m_log.write(u8("配信停止: 該当する読者がいません -> ") + what);
    return 0;
  }
  int changed = 0;
  for (const auto& [id, status] : found) {
    if (status == "00") {
      m_log.write(u8("配信停止: 既に送信不可です -> ") + id + " " + what);
      continue;
    }
    q.close();
    q.setCommandText(" UPDATE USERLIST SET SYORIKBN = '00' WHERE ID = :pID");
    q.setParam("pID", id);
    q.execute();
    q.close();
    m_log.write(u8("配信停止: 送信区分を不可にしました -> ") + id + " " + what);
    ++changed;
  }
  return changed;
}
