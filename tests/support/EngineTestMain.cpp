// Entry of the engine test programs: a QCoreApplication for the event loop and the
// threads' queued reports; no window system.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <QCoreApplication>

#include "core/Clock.h"

int main(int argc, char** argv) {
  // One lock folder for the database engine of every test and of the programs they
  // start, whose data folders come and go.
  ::setenv("FIREBIRD_LOCK", ("/tmp/quormail-tests-" + std::to_string(::getuid())).c_str(), 0);
  ::testing::InitGoogleTest(&argc, argv);
  // The program's own zone, as its start puts it in place, whatever the machine's is.
  Clock::setTimeZone(Clock::kDefaultTimeZone);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
