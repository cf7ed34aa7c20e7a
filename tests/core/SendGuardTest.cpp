#include <gtest/gtest.h>

#include "core/SendGuard.h"
#include "tests/support/Servers.h"
#include "tests/support/TestProgram.h"

namespace {

// What another process finds: "busy" while a run holds the lock, else "free".
std::string otherProcess(const TestProgram& p) {
  return runCommand(std::string(QUORMAIL_DBPROBE) + " " + p.dir().string() + " sendlock 2>&1");
}

// One run at a time: a second guard, of this process or another, is refused while the
// first lives, and is granted once it is gone. The window's own connection meanwhile
// keeps working on the database.
TEST(SendGuard, OneHolderAcrossAttachmentsAndProcesses) {
  TestProgram p;
  const std::string name = p.ctx().databaseName();
  {
    auto first = SendGuard::acquire(name, "run-1");
    ASSERT_TRUE(first);
    EXPECT_FALSE(SendGuard::acquire(name, "run-2"));
    EXPECT_EQ(otherProcess(p), "busy\n");
    p.exec(" DELETE FROM USERLIST");
  }
  EXPECT_EQ(otherProcess(p), "free\n");
  auto again = SendGuard::acquire(name);
  EXPECT_TRUE(again);
}

}  // namespace
