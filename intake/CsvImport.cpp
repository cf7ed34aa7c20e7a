#include "intake/CsvImport.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/ImportHost.h"
#include "intake/ImportRules.h"

namespace {

const QString kFilter = QStringLiteral("テキストファイル (*.txt *.csv)");

std::filesystem::path pathOf(const QString& chosen) { return std::filesystem::path(chosen.toStdString()); }

}  // namespace

CsvImport::CsvImport(Statement& q, ImportHost& host) : m_q(q), m_host(host) {}

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

CsvImport::Outcome CsvImport::Csv_To_DB() {
  m_rejected.clear();
  const QString chosen = Dialogs::instance().openFile(QString(), QString(), kFilter);
  if (chosen.isEmpty()) return Outcome::NotStarted;
  if (!askYesNo(QStringLiteral("処理を開始してもよろしいですか？"), MsgIcon::Information)) return Outcome::NotStarted;

  std::ifstream in(pathOf(chosen), std::ios::binary);
  if (!in) {
    const int err = errno;
    showError(chosen + QStringLiteral("ファイルの読み込みに失敗しました") + "\r" +
              QStringLiteral("他のソフトで使用中の場合は、終了させて下さい。") + "\r" +
              QString::fromLocal8Bit(std::strerror(err)));
    m_host.stopRunning();
    return Outcome::NotStarted;
  }

  std::string line;
  while (std::getline(in, line)) {
    // A stop between two lines takes effect before the next reader is inserted.
    if (!m_host.running()) break;
    std::vector<std::string> f = splitLine(line);
    f.resize(2);
    for (std::string& s : f) s = trim(s);
    f[0] = fitWidth(f[0], 60);
    const std::string address = trim(f[0]);
    if (trim(address + f[1]).empty()) continue;
    if (ImportRules::holdsChar(f[0], '@')) {
      if (!DB_Inseart(f)) break;
      m_host.processEvents();
    } else {
      m_rejected.push_back(address + "," + f[1]);
    }
  }
  in.close();

  offerRejected();
  return m_host.running() ? Outcome::Completed : Outcome::Stopped;
}

bool CsvImport::DB_Inseart(const std::vector<std::string>& fields) {
  const std::string address = fields.empty() ? std::string() : fields[0];
  const std::string name = fields.size() < 2 ? std::string() : fields[1];
  try {
    const int last = ImportRules::lastReaderNo(m_q);
    if (last < 0 || last >= ImportRules::kLastReaderNo) {
      showMessage(QStringLiteral("IDが０より小さいか、MAX 99999を超えました。->名前-> [") + Sjis::toQ(trim(name)) + "]" +
                  QStringLiteral(" メールアドレス") + " [" + Sjis::toQ(trim(address)) + "]");
      m_host.stopRunning();
      return false;
    }
    const std::string now = Clock::nowStamp();
    m_q.close();
    m_q.setCommandText(
        Sql::insertReader(ImportRules::newReader(last + 1, address, now.substr(0, 8), now.substr(8, 6), name)));
    m_q.execute();
  } catch (const DbError& e) {
    m_q.close();
    m_host.stopRunning();
    showMessage(QStringLiteral("DB INSERT 失敗 ") + "\r" + Sjis::toQ(e.what()));
    return false;
  }
  if (m_host.running()) {
    m_host.readerRegistered();
    m_host.processEvents();
  }
  return m_host.running();
}

void CsvImport::offerRejected() {
  if (m_rejected.empty()) return;
  if (!askYesNo(QStringLiteral("メールアドレスに誤りがあった為、登録できなかったデータがあります。") + "\r" +
                    QStringLiteral("登録できなかったデータをファイルに保存しますか？"),
                MsgIcon::Warning))
    return;
  QString target =
      Dialogs::instance().saveFile(QString(), QString(), QStringLiteral("メールアドレスエラー.csv"), kFilter);
  if (target.isEmpty()) return;
  if (QFileInfo(target).suffix().isEmpty()) target += QStringLiteral(".csv");
  std::ofstream out(pathOf(target), std::ios::binary | std::ios::trunc);
  for (const std::string& l : m_rejected) out << l << "\r\n";
  out.close();
  // The operator relies on this file to correct the refused lines: say when it is not there.
  if (out.fail()) showError(target + "\r" + QString::fromLocal8Bit(std::strerror(errno)));
}
