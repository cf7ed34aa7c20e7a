#include "core/AppContext.h"

#include <system_error>

#include "core/DataFolder.h"
#include "core/IniFile.h"
#include "core/SchemaText.h"
#include "core/SchemaUpgrade.h"
#include "core/Sjis.h"

AppContext::AppContext(std::filesystem::path programDir) : m_programDir(std::move(programDir)) {
  // The engine's lock files beside the data, where only its owner can plant anything;
  // every process working on this data folder's database uses the same folder.
  Database::setLockFolder(file("firebird-lock").string());
}

std::vector<std::string> connectionParams(const std::string& database) {
  return {"Database=" + database, "Password=lanternox", "RoleName=RoleName",
          "ServerCharSet=SJIS_0208", "SQLDialect=3", "User_Name=sysdba"};
}

std::string AppContext::databaseName() const {
  // A "Database" key of the [Database] section names another database, typically
  // "host:/path" on a Firebird server; without it the file beside the program is used.
  const std::string configured = IniFile(file("QuorMail.env")).readString("Database", "Database", "");
  return configured.empty() ? file("QUORMAIL.GDB").string() : configured;
}

void AppContext::openDatabase() {
  database.close();
  database.setParams(connectionParams(databaseName()));
  try {
    database.open();
  } catch (const DbError&) {
    // The operator is told the engine's reason once; the windows then say it briefly.
    database.setReopenFailureText(unavailableDatabaseText());
    throw;
  }
  database.setReopenFailureText(std::string());
  upgradeSchema(query);
}

std::string AppContext::unavailableDatabaseText() const {
  return Sjis::fromUtf8("データベースを開けません: ") + databaseName();
}

std::string AppContext::databaseProblemText(const std::string& clientText) const {
  const std::string name = databaseName();
  const std::string settings = Sjis::fromPath(file("QuorMail.env"));
  std::string advice;
  std::error_code ec;
  if (name != file("QUORMAIL.GDB").string()) {
    advice = Sjis::fromUtf8("設定ファイル ") + settings +
             Sjis::fromUtf8(" の [Database] の Database= がこのデータベースを指しています。\r"
                            "名前・サーバー・ファイルを確かめてください。その行を消すと、データフォルダの QUORMAIL.GDB を使います。");
  } else if (std::filesystem::exists(name, ec)) {
    advice = Sjis::fromUtf8("ファイルはありますが使えません（読み書きの権限がない、壊れている、など）。\r"
                            "ファイルの権限を確かめるか、バックアップから戻してください。");
  } else {
    advice = Sjis::fromUtf8("データフォルダ ") + Sjis::fromPath(m_programDir) +
             Sjis::fromUtf8(" にデータベースがありません。\r"
                            "・通常の使い方では、プログラムが初回起動時にデータフォルダへ自分で作成します。"
                            "フォルダに書き込めるか確かめて、プログラムを起動し直してください。\r"
                            "・プログラムのフォルダで使う（ポータブル）場合は、db/create-db.sh で作ったデータベースを"
                            "QUORMAIL.GDB としてそのフォルダへコピーしてください。\r"
                            "・別の場所やサーバーのデータベースは、") +
             settings + Sjis::fromUtf8(" の [Database] に Database= で指定できます。");
  }
  return unavailableDatabaseText() + "\r\r" + advice + "\r\r" + Sjis::fromUtf8("（詳細: ") + clientText +
         Sjis::fromUtf8("）");
}

bool AppContext::createMissingDatabase() {
  const std::string name = databaseName();
  std::error_code ec;
  if (!isLocalDatabase(name) || std::filesystem::exists(name, ec)) return false;
  std::filesystem::create_directories(std::filesystem::path(name).parent_path(), ec);
  database.close();
  database.setParams(connectionParams(name));
  database.create(schemaText());
  database.close();
  return true;
}
