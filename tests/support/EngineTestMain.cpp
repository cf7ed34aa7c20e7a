// Entry of the engine test programs: a QCoreApplication for the event loop and the
// threads' queued reports; no window system.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "core/Clock.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The program's own zone, as its start puts it in place, whatever the machine's is.
  Clock::setTimeZone(Clock::kDefaultTimeZone);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
