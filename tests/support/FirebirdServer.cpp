#include "tests/support/FirebirdServer.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
const char kPassword[] = "lanternox";  // the program's SYSDBA password
const char kDataDir[] = "/var/lib/firebird/3.0/data";

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void run(const std::string& command) {
  int status = -1;
  const std::string out = runCommand(command + " 2>&1", &status);
  if (status != 0) throw std::runtime_error(command + " failed:\n" + out);
}
}  // namespace

bool FirebirdTestServer::available() {
  return ::geteuid() == 0 && fs::exists("/usr/sbin/firebird") && ::getpwnam("firebird") != nullptr &&
         fs::exists("/var/lib/firebird/3.0/system/security3.fdb");
}

FirebirdTestServer::FirebirdTestServer() {
  m_lockFd = ::open("/tmp/quormail-firebird-test-server.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m_lockFd >= 0) ::flock(m_lockFd, LOCK_EX);
  const passwd* fb = ::getpwnam("firebird");
  if (!fb) throw std::runtime_error("no user firebird");
  const std::string conf = m_dir.file("conf");
  const std::string lock = m_dir.file("lock");
  fs::create_directories(conf);
  fs::create_directories(lock);
  for (const char* name : {"firebird.conf", "fbintl.conf", "plugins.conf", "databases.conf"})
    if (fs::exists(std::string("/etc/firebird/3.0/") + name))
      fs::copy_file(std::string("/etc/firebird/3.0/") + name, conf + "/" + name);
  std::ofstream(conf + "/firebird.conf", std::ios::app)
      << "\nRemoteServicePort = " << m_port << "\nRemoteBindAddress = 127.0.0.1\n";
  run("chown -R firebird:firebird " + conf + " " + lock);

  // The program logs in as SYSDBA with its own password; set it in the security database
  // through the embedded engine before the server opens it.
  const std::string setPassword = m_dir.file("password.sql");
  writeText(setPassword, std::string("create or alter user SYSDBA password '") + kPassword +
                             "' using plugin Srp;\ncommit;\n");
  run("FIREBIRD_LOCK=" + m_dir.file("rootlock") + " isql-fb -q -user SYSDBA -i " + setPassword +
      " /var/lib/firebird/3.0/system/security3.fdb");

  start({"/usr/bin/setpriv", "--reuid=" + std::to_string(fb->pw_uid), "--regid=" + std::to_string(fb->pw_gid),
         "--clear-groups", "/usr/bin/env", "FIREBIRD=" + conf, "FIREBIRD_LOCK=" + lock, "/usr/sbin/firebird"});

  m_file = std::string(kDataDir) + "/quormail-test-" + std::to_string(::getpid()) + "-" + std::to_string(m_port) +
           ".GDB";
  fs::remove(m_file);
  const std::string create = m_dir.file("create.sql");
  std::ifstream schema(QUORMAIL_SOURCE_DIR "/db/schema.sql", std::ios::binary);
  writeText(create, "SET SQL DIALECT 3;\nCREATE DATABASE '" + databaseName() + "' USER 'SYSDBA' PASSWORD '" +
                        kPassword + "' PAGE_SIZE 16384 DEFAULT CHARACTER SET NONE;\n" +
                        std::string(std::istreambuf_iterator<char>(schema), {}));
  run("FIREBIRD_LOCK=" + m_dir.file("rootlock") + " isql-fb -q -b -i " + create);
}

FirebirdTestServer::~FirebirdTestServer() {
  stop();
  std::error_code ec;
  fs::remove(m_file, ec);
  if (m_lockFd >= 0) ::close(m_lockFd);
}

std::string FirebirdTestServer::databaseName() const {
  return "127.0.0.1/" + std::to_string(m_port) + ":" + m_file;
}
