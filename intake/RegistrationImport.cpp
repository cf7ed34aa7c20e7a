#include "intake/RegistrationImport.h"

#include <algorithm>
#include <fstream>

#include "core/Clock.h"
#include "core/ColumnWidths.h"
#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "intake/IntakeListener.h"
#include "intake/LineReader.h"
#include "intake/RunLog.h"
#include "settings/FailureText.h"

namespace {

std::string text(const char* utf8) { return Sjis::fromUtf8(utf8); }

const char kLineSavepoint[] = "REGISTRATION_LINE";

struct Registration {
  std::string name, mail, stamp, form;  // the four fields, trimmed
};

// Splits at TAB; text after a fourth TAB is ignored, missing fields stay empty (lines
// written before the scripts added the form's address have three).
Registration splitLine(const std::string& line) {
  std::string fields[4];
  size_t start = 0;
  for (int i = 0; i < 4 && start <= line.size(); ++i) {
    const size_t tab = line.find('\t', start);
    fields[i] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  for (std::string& f : fields) f = trimFullWidth(trim(f));
  return {fields[0], fields[1], fields[2], fields[3]};
}

// Characters from..to (1-based, inclusive) of the text, as far as they exist.
std::string chars(const std::string& s, size_t from, size_t to) {
  return from > s.size() ? std::string() : s.substr(from - 1, to - from + 1);
}

}  // namespace

RegistrationImport::RegistrationImport(Statement& query, RunLog& log, IntakeListener& listener,
                                       const std::atomic<bool>& stop)
    : m_query(query), m_log(log), m_listener(listener), m_stop(stop) {}

void RegistrationImport::showAndLog(const std::string& t) {
  m_listener.messageLine(t);
  m_log.write(t);
}

void RegistrationImport::fail(const std::string& t) {
  m_succeeded = false;
  showAndLog(t);
  m_listener.showBox(OperatorBox::Error, t);
}

void RegistrationImport::databaseFailed(const std::exception& e) {
  // The log keeps the database's own words; the box says what to do first.
  m_succeeded = false;
  showAndLog(e.what());
  m_listener.showBox(OperatorBox::Error, failureText(e, FailedLink::database));
}

void RegistrationImport::refuseLine(const std::string& t) {
  m_listener.messageLine(t);
  if (m_log.writeError(t)) m_refusedLinesLogged = true;
}

bool RegistrationImport::importFile(const std::filesystem::path& file, bool runSucceeded) {
  m_succeeded = runSucceeded;
  m_complete = false;
  m_inserted = 0;
  const std::string path = Sjis::fromPath(file);
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    fail(text("登録データを開けません -> ") + path);
    return false;
  }
  showAndLog(text("DB登録開始"));
  int last = 0;
  bool numbered = true;
  try {
    ReaderStore store(m_query);
    last = ImportRules::lastReaderNo(store);
  } catch (const DbError& e) {
    // Without the largest number no reader can be numbered: nothing is read.
    m_query.close();
    databaseFailed(e);
    numbered = false;
  }
  if (numbered) {
    const int countedBefore = m_registered;
    try {
      Transaction transaction(m_query.database());
      m_knownAddresses.clear();
      ReaderStore store(m_query);
      if (refuseKnownAddresses) m_knownAddresses = ImportRules::knownAddresses(store);
      Reader inserted;
      LineReader lines(in, true);
      for (std::string line; lines.next(line);) {
        // A stop marks the run failed; the lines are still imported (see the class comment).
        if (m_stop.load()) m_succeeded = false;
        if (!importLine(line, last, transaction, inserted)) break;
      }
      m_query.close();
      if (m_inserted > 0 && beforeCommit) beforeCommit(inserted);
      transaction.commit();
      m_complete = true;
    } catch (const DbError& e) {
      // Not one reader of the file is stored: none of them counts.
      m_query.close();
      m_registered = countedBefore;
      databaseFailed(e);
    }
  }
  // Success only when the file's readers were stored; refused lines are logged on their own.
  if (m_complete) showAndLog(text("DB登録成功"));
  m_query.close();
  if (in.bad()) {
    fail(text("登録データ読み込み失敗 -> ") + path);
    return false;
  }
  return m_succeeded;
}

bool RegistrationImport::importLine(const std::string& line, int& last, Transaction& transaction,
                                    Reader& inserted) {
  const Registration r = splitLine(line);
  const std::string name = fitWidth(trimFullWidth(trim(r.name)), ColumnWidth::kName);
  const std::string mail = fitWidth(r.mail, ColumnWidth::kAddress);
  // The refused line's data, as every error line ends.
  auto tail = [&] {
    return text("->名前-> [") + trim(name) + "]" + text(" メールアドレス") + " [" + trim(mail) + "]" +
           text(" 登録時間 [") + r.stamp + "]";
  };
  auto outOfNumbers = [&] {
    refuseLine(text("IDが０より小さいか、MAX 99999を超えました。") + tail());
    m_succeeded = false;
    return false;
  };

  if (last < 0 || last >= ImportRules::kLastReaderNo) return outOfNumbers();
  if (trim(mail).empty()) {
    refuseLine(text("メールアドレスが未登録です。DBに登録出来ませんでした。") + tail());
    return true;
  }
  const std::string fault = ImportRules::addressFault(trim(mail));
  if (!fault.empty()) {
    refuseLine(fault + text("DBに登録出来ませんでした。") + tail());
    return true;
  }
  const std::string key = addressKey(mail);
  if (refuseKnownAddresses && m_knownAddresses.count(key) != 0) {
    refuseLine(text("このメールアドレスは既に登録されています。DBに登録出来ませんでした。") + tail());
    return true;
  }

  const std::string id = idText(last + 1);
  const std::string now = Clock::nowStamp();
  std::string date = chars(r.stamp, 1, 4) + chars(r.stamp, 6, 7) + chars(r.stamp, 9, 10);
  std::string time = chars(r.stamp, 12, 13) + chars(r.stamp, 15, 16) + chars(r.stamp, 18, 19);
  if (!ImportRules::isDigits(date, 8)) {
    refuseLine(id + text("登録日に誤りがありました。システム日をセットしました。") + tail());
    date = now.substr(0, 8);
  }
  if (!ImportRules::isDigits(time, 6)) {
    refuseLine(id + text("登録時間に誤りがありました。システム時間をセットしました。") + tail());
    time = now.substr(8, 6);
  }

  ++last;  // used up even when the insert fails
  Reader reader = ImportRules::newReader(last, mail, DateStamp::fromText(date, time), name);
  Consent consent;
  consent.source = ConsentSource::webForm;
  consent.given = reader.registered;
  consent.detail = r.form.empty() ? text("フォームのアドレス不明") : r.form;
  try {
    if (ImportRules::insertReader(m_query, transaction, kLineSavepoint, reader, consent) ==
        ImportRules::InsertOutcome::outOfNumbers)
      return outOfNumbers();
  } catch (const DbError& e) {
    m_succeeded = false;
    m_log.write(text("DB INSERT 失敗"));
    showAndLog(e.what());
    m_listener.showBox(OperatorBox::Error, failureText(e, FailedLink::database));
    return true;
  }
  last = reader.id;
  inserted = reader;
  ++m_inserted;
  if (refuseKnownAddresses) m_knownAddresses.insert(key);
  // A failed run counts no readers, though the ones inserted stay.
  if (m_succeeded) m_listener.readerRegistered(++m_registered);
  return true;
}
