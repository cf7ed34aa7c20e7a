#include "intake/CancelImport.h"

#include <fstream>
#include <optional>
#include <utility>
#include <vector>

#include "core/Database.h"
#include "core/Sjis.h"
#include "core/ReaderStore.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "intake/LineReader.h"
#include "intake/RunLog.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

// "nnnnn-yyyymmddhhnnss": a reader's number and registration moment, as a link names them.
bool isNumberAndMoment(const std::string& what) {
  return what.size() == 20 && what[5] == '-' && ImportRules::isDigits(what.substr(0, 5), 5) &&
         ImportRules::isDigits(what.substr(6), 14);
}

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
  const bool withMoment = isNumberAndMoment(what);
  const bool byNumber = withMoment || (!what.empty() && what.size() <= 5 && ImportRules::isDigits(what, what.size()));
  ReaderStore store(m_query);
  const std::vector<std::pair<int, SendStatus>> found =
      byNumber ? store.statusById(toIntOr(what.substr(0, 5), 0)) : store.statusByAddress(what);
  if (withMoment && !found.empty()) {
    const std::optional<Reader> reader = store.find(found.front().first);
    if (!reader || reader->registered != DateStamp::fromText(what.substr(6, 8), what.substr(14, 6))) {
      m_log.write(u8("配信停止: 登録日時が違います（番号を引き継いだ別の読者です） -> ") + what);
      return 0;
    }
  }
  if (found.empty()) {
    m_log.write(u8("配信停止: 該当する読者がいません -> ") + what);
    return 0;
  }
  int changed = 0;
  for (const auto& [id, status] : found) {
    if (status == SendStatus::stopped) {
      m_log.write(u8("配信停止: 既に送信不可です -> ") + idText(id) + " " + what);
      continue;
    }
    store.stop(id);
    const std::optional<Reader> reader = store.find(id);
    m_stopped.push_back(idText(id) + " " + (reader ? trim(reader->address) : what));
    m_log.write(u8("配信停止: 送信区分を不可にしました -> ") + idText(id) + " " + what);
    ++changed;
  }
  return changed;
}
