#include "intake/CsvImport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <unordered_set>

#include "core/Clock.h"
#include "core/ColumnWidths.h"
#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "intake/LineReader.h"

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
  m_fileName = Sjis::fromPath(file);
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
  try {
    Transaction transaction(m_query.database());
    ReaderStore store(m_query);
    m_last = ImportRules::lastReaderNo(store);
    // Loaded once: each line is looked up in memory, not in the database.
    std::unordered_set<std::string> known = ImportRules::knownAddresses(store);
    LineReader lines(in, false);
    for (std::string line; lines.next(line);) {
      // A stop between two lines takes effect before the next reader is inserted.
      if (m_stop.load()) {
        completed = false;
        break;
      }
      std::vector<std::string> f = splitLine(line);
      f.resize(2);
      for (std::string& s : f) s = trim(s);
      f[0] = fitWidth(f[0], ColumnWidth::kName);
      const std::string address = trim(f[0]);
      if (trim(address + f[1]).empty()) continue;
      const bool hasAt = ImportRules::holdsChar(f[0], '@');
      // Checked as it would be stored: an address cut at the column's width is refused.
      const std::string fault =
          hasAt ? ImportRules::addressFault(trim(fitWidth(f[0], ColumnWidth::kAddress))) : std::string();
      if (!fault.empty()) {
        std::string shown = address;  // the list is a text file: no control bytes in it
        for (char& c : shown)
          if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        report.rejected.push_back(shown + "," + f[1] + "," + fault);
      } else if (hasAt) {
        const std::string key = ImportRules::addressKey(fitWidth(f[0], ColumnWidth::kAddress));
        if (known.count(key) != 0) {
          report.rejected.push_back(address + "," + f[1] + "," + text("このメールアドレスは既に登録されています。"));
          continue;
        }
        if (!insertReader(f[0], f[1], transaction)) {
          completed = false;
          break;
        }
        known.insert(key);
      } else {
        report.rejected.push_back(address + "," + f[1]);
      }
    }
    m_query.close();
    transaction.commit();
  } catch (const DbError& e) {
    m_query.close();
    m_listener.showBox(OperatorBox::Plain, text("DB INSERT 失敗 ") + "\r" + e.what());
    completed = false;
    m_registered = 0;
  }

  report.outcome = completed ? IntakeReport::Outcome::Completed : IntakeReport::Outcome::Interrupted;
  report.registered = m_registered;
  m_listener.finished(report);
  return report;
}

bool CsvImport::insertReader(const std::string& address, const std::string& name, Transaction& transaction) {
  const char* const kSavepoint = "CSV_LINE";
  auto outOfNumbers = [&] {
    m_listener.showBox(OperatorBox::Plain, text("IDが０より小さいか、MAX 99999を超えました。->名前-> [") + trim(name) +
                                               "]" + text(" メールアドレス") + " [" + trim(address) + "]");
    return false;
  };
  if (m_last < 0 || m_last >= ImportRules::kLastReaderNo) return outOfNumbers();
  const std::string now = Clock::nowStamp();
  const DateStamp imported = DateStamp::fromText(now.substr(0, 8), now.substr(8, 6));
  Reader reader = ImportRules::newReader(m_last + 1, address, imported, name);
  Consent consent;
  consent.source = ConsentSource::csvImport;
  consent.given = imported;
  consent.detail = m_fileName;
  try {
    if (ImportRules::insertReader(m_query, transaction, kSavepoint, reader, consent) ==
        ImportRules::InsertOutcome::outOfNumbers)
      return outOfNumbers();
  } catch (const DbError& e) {
    m_listener.showBox(OperatorBox::Plain, text("DB INSERT 失敗 ") + "\r" + e.what());
    return false;
  }
  m_last = reader.id;
  m_listener.readerRegistered(++m_registered);
  return true;
}

std::string CsvImport::saveRejected(const std::filesystem::path& target, const std::vector<std::string>& lines) {
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  for (const std::string& l : lines) out << l << "\r\n";
  out.close();
  return out.fail() ? std::strerror(errno) : std::string();
}
