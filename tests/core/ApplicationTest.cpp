#include <gtest/gtest.h>

#include <stdexcept>

#include "core/Database.h"
#include "core/Application.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

// An error no window caught reaches the standard error box instead of ending the program.
TEST(Application, UncaughtErrorIsShownInTheErrorBox) {
  ScriptedDialogs boxes;
  EXPECT_FALSE(deliverShowingErrors([]() -> bool { throw DbError("lock conflict on no wait transaction"); }));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("lock conflict on no wait transaction"));
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Error);
  EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("クオル"));
  EXPECT_TRUE(deliverShowingErrors([] { return true; }));
  EXPECT_EQ(boxes.shown().size(), 1u);
}

}  // namespace
