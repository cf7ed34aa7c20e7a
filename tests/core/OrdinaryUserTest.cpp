#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "tests/support/TestProgram.h"

namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::array<char, 256> buf{};
  while (pipe && fgets(buf.data(), buf.size(), pipe.get())) out += buf.data();
  return out;
}

// An ordinary user works with a database beside the program even when root has used
// the embedded engine first and owns the engine's default lock folder.
TEST(OrdinaryUser, OpensAndWritesTheDatabaseAfterRootUsedTheEngine) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // Root uses the engine in this process first, as a root-run program would.
  TestProgram rootsOwn;
  rootsOwn.exec(" DELETE FROM USERLIST");
  ::mkdir("/tmp/firebird", 0770);  // what a root-run engine leaves for everyone else

  const fs::path dir = fs::temp_directory_path() / ("quormail-user-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::copy_file(QUORMAIL_TEMPLATE_DB, dir / "QUORMAIL.GDB", fs::copy_options::overwrite_existing);
  const std::string owner = "65534:65534";
  ASSERT_EQ(std::system(("chown -R " + owner + " " + dir.string()).c_str()), 0);
  // The probe binary must be reachable by that user.
  const fs::path probe = dir / "dbprobe";
  fs::copy_file(QUORMAIL_DBPROBE, probe);
  fs::permissions(probe, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);

  const std::string out = run("cd / && env -u FIREBIRD_LOCK -u FIREBIRD setpriv --reuid=65534 --regid=65534 --clear-groups " +
                              probe.string() + " " + dir.string() + " 2>&1");
  EXPECT_EQ(out, "ok\n");
  fs::remove_all(dir);
}

}  // namespace

namespace {

// A committed reader must survive a power cut: the database is made with forced writes.
TEST(DatabaseFile, IsMadeWithForcedWrites) {
  const std::string out = run("fbstat -h " + std::string(QUORMAIL_TEMPLATE_DB) + " 2>&1");
  EXPECT_NE(out.find("force write"), std::string::npos) << out;
}

}  // namespace
