#include "intake/RegistrationImport.h"

#include <algorithm>
#include <fstream>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "intake/IntakeListener.h"
#include "intake/RunLog.h"

namespace {

std::string text(const char* utf8) { return Sjis::fromUtf8(utf8); }

struct Registration {
  std::string name, mail, stamp;  // the three fields, trimmed
};

// Splits at TAB; text after a third TAB is ignored, missing fields stay empty.
Registration splitLine(const std::string& line) {
  std::string fields[3];
  size_t start = 0;
  for (int i = 0; i < 3 && start <= line.size(); ++i) {
    const size_t tab = line.find('\t', start);
    fields[i] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  for (std::string& f : fields) f = trimFullWidth(trim(f));
  return {fields[0], fields[1], fields[2]};
}

// Characters from..to (1-based, inclusive) of the text, as far as they exist.
std::string chars(const std::string& s, size_t from, size_t to) {
  return from > s.size() ? std::string() : s.substr(from - 1, to - from + 1);
}

// A line ends at LF; every CR is dropped.
bool readLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
  return true;
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

void RegistrationImport::refuseLine(const std::string& t) {
  m_listener.messageLine(t);
  if (m_log.writeError(t)) m_refusedLinesLogged = true;
}

bool RegistrationImport::importFile(const std::filesystem::path& file, bool runSucceeded) {
  m_succeeded = runSucceeded;
  const std::string path = Sjis::fromPath(file);
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    fail(text("Reset(DB_Insert)失敗 -> ") + path);
    return false;
  }
  showAndLog(text("DB登録開始"));
  importLines(in);
  showAndLog(text("DB登録成功"));
  m_query.close();
  if (in.bad()) {
    fail(text("CloseFile(DB_Insert)失敗 -> ") + path);
    return false;
  }
  return m_succeeded;
}

void RegistrationImport::importLines(std::istream& in) {
  int last = 0;
  try {
    last = ImportRules::lastReaderNo(m_query);
  } catch (const DbError& e) {
    // Without the largest number no reader can be numbered: nothing is read.
    m_query.close();
    fail(e.what());
    return;
  }

  std::string line;
  for (;;) {
    // A stop marks the run failed; the lines are still imported (see the class comment).
    if (m_stop.load()) m_succeeded = false;
    if (!readLine(in, line)) break;
    const Registration r = splitLine(line);
    const std::string name = fitWidth(trimFullWidth(trim(r.name)), 60);
    const std::string mail = fitWidth(r.mail, 50);
    // The refused line's data, as every error line ends.
    auto tail = [&] {
      return text("->名前-> [") + trim(name) + "]" + text(" メールアドレス") + " [" + trim(mail) + "]" +
             text(" 登録時間 [") + r.stamp + "]";
    };

    if (last < 0 || last >= ImportRules::kLastReaderNo) {
      refuseLine(text("IDが０より小さいか、MAX 99999を超えました。") + tail());
      m_succeeded = false;
      break;
    }
    if (trim(mail).empty()) {
      refuseLine(text("メールアドレスが未登録です。DBに登録出来ませんでした。") + tail());
      continue;
    }

    const std::string id = zeroFill(std::to_string(last + 1), 5);
    const std::string now = Clock::nowStamp();
    std::string date = chars(r.stamp, 1, 4) + chars(r.stamp, 6, 7) + chars(r.stamp, 9, 10);
    std::string time = chars(r.stamp, 12, 13) + chars(r.stamp, 15, 16) + chars(r.stamp, 18, 19);
    if (toIntOr(date, -1) == -1) {
      refuseLine(id + text("登録日に誤りがありました。システム日をセットしました。") + tail());
      date = now.substr(0, 8);
    }
    if (toIntOr(time, -1) == -1) {
      refuseLine(id + text("登録時間に誤りがありました。システム時間をセットしました。") + tail());
      time = now.substr(8, 6);
    }

    ++last;  // used up even when the insert fails
    try {
      m_query.close();
      m_query.setCommandText(Sql::insertReader(ImportRules::newReader(last, mail, date, time, name)));
      m_query.execute();
    } catch (const DbError& e) {
      m_query.close();
      m_succeeded = false;
      m_log.write(text("DB INSERT 失敗"));
      showAndLog(e.what());
      m_listener.showBox(OperatorBox::Error, e.what());
      continue;
    }
    // A failed run counts no readers, though the ones inserted stay.
    if (m_succeeded) m_listener.readerRegistered(++m_registered);
  }
}
