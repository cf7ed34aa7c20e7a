#pragma once
#include <string>

class Statement;

// The numbers the main menu's status line shows besides the readers due now, which the
// send run counts by its own rules: story mails and readers.
struct MenuCounts {
  int stories = 0;
  int readers = 0;

  // Reads them through the shared statement; a database failure propagates as DbError.
  static MenuCounts read(Statement& q);
};
