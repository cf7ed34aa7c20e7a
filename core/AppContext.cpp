#include "core/AppContext.h"

#include <system_error>

#include "core/DataFolder.h"
#include "core/IniFile.h"
#include "core/SchemaText.h"
#include "core/SchemaUpgrade.h"

AppContext::AppContext(std::filesystem::path programDir) : m_programDir(std::move(programDir)) {}

std::vector<std::string> connectionParams(const std::string& database) {
  return {"DriverName=Interbase",
          "BlobSize=-1",
          "CommitRetain=False",
          "Database=" + database,
          "ErrorResourceFile=",
          "LocaleCode=0000",
          "Password=lanternox",
          "RoleName=RoleName",
          "ServerCharSet=SJIS_0208",
          "SQLDialect=3",
          "Interbase TransIsolation=ReadCommited",
          "User_Name=sysdba",
          "WaitOnLocks=True",
          "Trim Char=False"};
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
  database.open();
  upgradeSchema(query);
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
