#pragma once
#include <string>

#include "tests/support/Servers.h"

// Debian's Firebird server (firebird3.0-server) on 127.0.0.1 and a free port, run as the
// user firebird with a configuration of its own, and one fresh database on it made from
// the schema. Needs root (to act as firebird and to set the SYSDBA password); available()
// says whether this machine can run it. The servers share the system's security database,
// so one test process at a time runs one (a lock file waits for the other's end).
class FirebirdTestServer : public ServerProcess {
 public:
  FirebirdTestServer();
  ~FirebirdTestServer() override;

  static bool available();
  // The name the program puts under [Database] to reach the database.
  std::string databaseName() const;

 private:
  std::string m_file;
  int m_lockFd = -1;
};
