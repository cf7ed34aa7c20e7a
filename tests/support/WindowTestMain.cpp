// Entry of the window test programs: a QApplication on the offscreen platform, so the
// windows run without a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "core/Clock.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  // The program's own zone, as its start puts it in place, whatever the machine's is.
  Clock::setTimeZone(Clock::kDefaultTimeZone);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
