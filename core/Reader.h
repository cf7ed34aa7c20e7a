#pragma once
#include <string>

#include "core/DateStamp.h"

// SYORIKBN: whether the send run may send the reader a story mail. A stored code other
// than 0 and 1 is kept as its number (shown and written back unchanged) and is never
// sendable; a code that is not a number reads as stopped.
enum class SendStatus : int { stopped = 0, sendable = 1 };

// A reader of USERLIST. Texts are CP932 without the column's trailing blanks.
struct Reader {
  int id = 0;
  std::string address;
  DateStamp registered;
  std::string name;
  SendStatus status = SendStatus::stopped;
  int nextStory = 0;
  DateStamp firstSent;
  DateStamp lastSent;
  std::string note1, note2, note3;
};

// The column text of a reader ID or a story number: five digits, zero-filled ("00012").
std::string idText(int number);

// Lower-cases the ASCII letters in place, leaving the second byte of a double-byte
// character alone.
void lowerAscii(std::string& text);
// An address as readers' addresses are compared: trimmed, letter case aside.
std::string addressKey(const std::string& address);
