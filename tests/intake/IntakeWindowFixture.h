#pragma once
// The intake window tests: the intake fixture with the scripted message boxes and file
// dialogs the windows show.
#include "tests/intake/IntakeFixture.h"
#include "tests/support/ScriptedDialogs.h"

struct IntakeWindowTest : IntakeTest {
  ScriptedDialogs boxes;
};
