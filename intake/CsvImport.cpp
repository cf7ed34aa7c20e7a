#include "intake/CsvImport.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"

namespace {

std::string text(const char* utf8) { return Sjis::fromUtf8(utf8); }

}  // namespace

CsvImport::CsvImport(Statement& query, IntakeListener& listener, const std::atomic<bool>& stop)
    : m_query(query), m_listener(listener), m_stop(stop) {}

std::vector<std::string> CsvImport::splitLine(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == ',') {
      if (fields.size() == kMaxFields) break;
      fields.emplace_back();
    } else if (c != '"') {
      fields.back() += c;
    }
  }
  return fields;
}

IntakeReport CsvImport::run(const std::filesystem::path& file) {
  IntakeReport report;
  m_registered = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    const int err = errno;
    m_listener.showBox(OperatorBox::Error, Sjis::fromPath(file) + text("ファイルの読み込みに失敗しました") + "\r" +
                                               text("他のソフトで使用中の場合は、終了させて下さい。") + "\r" +
                                               std::strerror(err));
    m_listener.finished(report);
    return report;
  }

  bool completed = true;
  std::string line;
  while (std::getline(in, line)) {
    // A stop between two lines takes effect before the next reader is inserted.
    if (m_stop.load()) {
      completed = false;
      break;
    }
    std::vector<std::string> f = splitLine(line);
    f.resize(2);
    for (std::string& s : f) s = trim(s);
    f[0] = fitWidth(f[0], 60);
    const std::string address = trim(f[0]);
    if (trim(address + f[1]).empty()) continue;
    if (ImportRules::holdsChar(f[0], '@')) {
      if (!insertReader(f[0], f[1])) {
        completed = false;
        break;
      }
    } else {
      report.rejected.push_back(address + "," + f[1]);
    }
  }
  in.close();

  report.outcome = completed ? IntakeReport::Outcome::Completed : IntakeReport::Outcome::Interrupted;
  report.registered = m_registered;
  m_listener.finished(report);
  return report;
}

bool CsvImport::insertReader(const std::string& address, const std::string& name) {
  try {
    const int last = ImportRules::lastReaderNo(m_query);
    if (last < 0 || last >= ImportRules::kLastReaderNo) {
      m_listener.showBox(OperatorBox::Plain, text("IDが０より小さいか、MAX 99999を超えました。->名前-> [") + trim(name) +
                                                 "]" + text(" メールアドレス") + " [" + trim(address) + "]");
      return false;
    }
    const std::string now = Clock::nowStamp();
    m_query.close();
    m_query.setCommandText(
        Sql::insertReader(ImportRules::newReader(last + 1, address, now.substr(0, 8), now.substr(8, 6), name)));
    m_query.execute();
  } catch (const DbError& e) {
    m_query.close();
    m_listener.showBox(OperatorBox::Plain, text("DB INSERT 失敗 ") + "\r" + e.what());
    return false;
  }
  m_listener.readerRegistered(++m_registered);
  return true;
}

std::string CsvImport::saveRejected(const std::filesystem::path& target, const std::vector<std::string>& lines) {
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  for (const std::string& l : lines) out << l << "\r\n";
  out.close();
  return out.fail() ? std::strerror(errno) : std::string();
}
