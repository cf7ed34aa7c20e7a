#include <gtest/gtest.h>

#include <optional>

#include "core/InstanceLock.h"
#include "tests/support/TempDir.h"

namespace {

TEST(InstanceLock, OneHolderAtATimeAndFreeAgainWhenReleased) {
  TempDir dir;
  std::optional<InstanceLock> first;
  first.emplace(dir.file("QuorMail.lock"));
  EXPECT_TRUE(first->acquired());
  {
    InstanceLock second(dir.file("QuorMail.lock"));
    EXPECT_FALSE(second.acquired());
    EXPECT_TRUE(second.heldElsewhere());
  }
  first.reset();
  InstanceLock third(dir.file("QuorMail.lock"));
  EXPECT_TRUE(third.acquired());

  // A folder that does not exist holds no lock of anybody's: nothing to refuse for.
  InstanceLock nowhere(dir.file("missing/QuorMail.lock"));
  EXPECT_FALSE(nowhere.acquired());
  EXPECT_FALSE(nowhere.heldElsewhere());
}

}  // namespace
