#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

#include "core/IniFile.h"
#include "core/StoryStore.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/Servers.h"
#include "tests/support/TestProgram.h"

namespace {

std::string run(const std::string& command) { return runCommand(command); }

// A scheduled command must work on the database while the window holds it open: the
// embedded engine of every process runs in shared mode with the user's lock folder.
TEST(SharedDatabase, AnotherProcessWritesWhileThisOneHoldsTheFileOpen) {
  TestProgram program;
  program.exec(" DELETE FROM USERLIST");
  ASSERT_TRUE(program.ctx().database.connected());

  EXPECT_EQ(run(std::string(QUORMAIL_DBPROBE) + " " + program.dir().string() + " 2>&1"), "ok\n");

  // This process sees the other's reader at once, through its own open attachment.
  const auto rows = program.rows(" SELECT ID FROM USERLIST", {"ID"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "00001");
}

}  // namespace

namespace {

// With [Database] naming a database on a Firebird server, this process and another
// program process work on it at once.
TEST(SharedDatabase, TwoProcessesWorkOnOneServerDatabase) {
  if (!FirebirdTestServer::available()) GTEST_SKIP() << "needs root and Debian's firebird3.0-server";
  FirebirdTestServer server;
  TestProgram program(false, false);
  IniFile(program.file("QuorMail.env")).writeString("Database", "Database", server.databaseName());
  program.ctx().openDatabase();
  program.exec(" DELETE FROM USERLIST");

  EXPECT_EQ(run(std::string(QUORMAIL_DBPROBE) + " " + program.dir().string() + " 2>&1"), "ok\n");
  const auto rows = program.rows(" SELECT ID FROM USERLIST", {"ID"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "00001");
}

}  // namespace
