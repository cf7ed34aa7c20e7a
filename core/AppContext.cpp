#include "core/AppContext.h"

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

void AppContext::openDatabase() {
  SQLConnection1.close();
  SQLConnection1.setParams(connectionParams(file("QUORMAIL.GDB").string()));
  SQLConnection1.open();
}
