#pragma once
#include <string>

class Statement;

// The numbers the main menu's status line shows: story mails, readers, and readers due
// a mail now (sendable, and their next story mail exists).
struct MenuCounts {
  int stories = 0;
  int readers = 0;
  int dueReaders = 0;

  // Reads them through the shared statement; a database failure propagates as DbError.
  static MenuCounts read(Statement& q);
};
