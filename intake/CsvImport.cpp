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

namespace {

// A line's address and name, with what the import checks of them by themselves.
struct Fields {
  bool blank = false;
  std::string address;       // as stored, before cutting at the column
  std::string shownAddress;  // trimmed, control bytes as '?'
  std::string name;
  bool hasAt = false;
  std::string fault;  // a refused address's reason (an address without "@" has none)
};

Fields fieldsOf(const std::string& line, const CsvLayout& layout) {
  std::vector<std::string> f = CsvImport::splitLine(line);
  f.resize(2);
  for (std::string& s : f) s = trim(s);
  Fields out;
  out.address = fitWidth(f[static_cast<std::size_t>(layout.addressColumn)], ColumnWidth::kName);
  out.name = f[static_cast<std::size_t>(layout.nameColumn())];
  out.shownAddress = trim(out.address);
  out.blank = trim(out.shownAddress + out.name).empty();
  out.hasAt = ImportRules::holdsChar(out.address, '@');
  // Checked as it would be stored: an address cut at the column's width is refused.
  if (out.hasAt) out.fault = ImportRules::addressFault(trim(fitWidth(out.address, ColumnWidth::kAddress)));
  // The list is a text file: no control bytes in it.
  if (!out.fault.empty())
    for (char& c : out.shownAddress)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

}  // namespace

std::vector<std::string> CsvImport::firstLines(const std::filesystem::path& file, std::size_t count) {
  std::vector<std::string> found;
  std::ifstream in(file, std::ios::binary);
  if (!in) return found;
  LineReader lines(in, false);
  for (std::string line; found.size() < count && lines.next(line);)
    if (!trim(line).empty()) found.push_back(line);
  return found;
}

CsvLayout CsvImport::detectLayout(const std::vector<std::string>& lines) {
  CsvLayout layout;
  const auto atIn = [](const std::string& line, int column) {
    std::vector<std::string> f = splitLine(line);
    f.resize(2);
    return ImportRules::holdsChar(f[static_cast<std::size_t>(column)], '@');
  };
  int first = 0;
  int second = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    first += atIn(lines[i], 0) ? 1 : 0;
    second += atIn(lines[i], 1) ? 1 : 0;
  }
  if (first + second == 0) return layout;  // no address anywhere: nothing to go by
  // A header names its columns: no "@" and no "." (an address that lost its "@" is a
  // line to refuse, not a header).
  layout.header = !lines.empty() && !atIn(lines[0], 0) && !atIn(lines[0], 1) &&
                  lines[0].find('.') == std::string::npos;
  if (first == 0) layout.addressColumn = 1;
  return layout;
}

std::vector<CsvPreviewRow> CsvImport::preview(const std::vector<std::string>& lines, const CsvLayout& layout) {
  std::vector<CsvPreviewRow> rows;
  for (std::size_t i = layout.header ? 1 : 0; i < lines.size(); ++i) {
    const Fields f = fieldsOf(lines[i], layout);
    if (f.blank) continue;
    CsvPreviewRow row{trim(fitWidth(f.address, ColumnWidth::kAddress)), trim(fitWidth(f.name, ColumnWidth::kName)),
                      f.fault};
    if (!f.hasAt) row.refusal = text("メールアドレスがありません。");
    rows.push_back(std::move(row));
  }
  return rows;
}

IntakeReport CsvImport::run(const std::filesystem::path& file, CsvLayout layout) {
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
    bool headerPending = layout.header;
    for (std::string line; lines.next(line);) {
      // A stop between two lines takes effect before the next reader is inserted.
      if (m_stop.load()) {
        completed = false;
        break;
      }
      const Fields f = fieldsOf(line, layout);
      if (f.blank) continue;
      if (headerPending) {
        headerPending = false;
        continue;
      }
      if (!f.fault.empty() || !f.hasAt) {
        ++report.refused;
        report.rejected.push_back(f.shownAddress + "," + f.name + (f.fault.empty() ? "" : "," + f.fault));
        continue;
      }
      const std::string key = addressKey(fitWidth(f.address, ColumnWidth::kAddress));
      if (known.count(key) != 0) {
        ++report.refused;
        ++report.duplicates;
        report.rejected.push_back(f.shownAddress + "," + f.name + "," + text("このメールアドレスは既に登録されています。"));
        continue;
      }
      if (!insertReader(f.address, f.name, transaction)) {
        completed = false;
        break;
      }
      known.insert(key);
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
