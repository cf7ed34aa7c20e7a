#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

#include "core/Database.h"
#include "core/Application.h"
#include "core/ShutdownOnSignal.h"
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

// The handlers found at construction are back once the object goes away.
TEST(ShutdownOnSignal, GivesTheSignalsBackWhenItGoesAway) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction found[3];
  const int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};
  for (int i = 0; i < 3; ++i) ::sigaction(stopSignals[i], &ignore, &found[i]);
  {
    ShutdownOnSignal shutdown([] {});
  }
  for (int i = 0; i < 3; ++i) {
    struct sigaction now {};
    ::sigaction(stopSignals[i], &found[i], &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN) << stopSignals[i];
  }
}

}  // namespace
