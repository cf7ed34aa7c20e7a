#pragma once
#include <array>
#include <string>
#include <vector>

#include "core/Reader.h"

// What the mark column of a listed reader says: chosen for sending, or how the run
// left it. skipped: its story is missing; failed: an error ended the run at this reader
// (its login or its mail failed); deferred: the server will
// take it later (the reader stays due); refused: the address is refused for good (the
// reader is stopped); passedOver: the reader was not sent to for a reason of its own;
// unknown: the mail went out whole but its reply never came.
enum class SendMark { none, marked, working, sent, skipped, failed, stopped, deferred, refused, passedOver, unknown };
constexpr std::size_t kSendMarkCount = 11;

// Whether a listed reader can be sent a story mail now; notYetDue: its next story
// mail waits for its interval (or for tomorrow, at one mail a day).
enum class Eligibility { eligible, allSent, notYetDue };

// The columns of the send list in the window's order. The send log writes them all
// but the due date, in the same order.
enum class DueColumn {
  mark, eligibility, id, nextStory, dueDate, lastSentDate, lastSentTime, name, address, firstSentDate,
  firstSentTime, registeredDate, registeredTime, note1, note2, note3
};
enum class CellAlignment { left, centre };

struct DueColumnSpec {
  DueColumn column;
  const char* caption;  // UTF-8; also the send log's header
  int width;            // in the window, pixels (at least)
  CellAlignment alignment;
  bool logged;
  int logWidth;  // the log writes the text blank-padded to this many bytes (0: as it is)
};

// One reader due a story mail, as the send list holds it.
struct DueReader {
  static constexpr int kColumnCount = 16;
  static const std::array<DueColumnSpec, kColumnCount> kColumns;

  SendMark mark = SendMark::none;
  Eligibility eligibility = Eligibility::eligible;
  Reader reader;
  // When the next story mail falls due; none: at once. Shown in the window only.
  DateStamp dueDate;

  bool marked() const { return mark == SendMark::marked; }
  // The text of one cell as the send log writes it, dates as stored (CP932).
  std::string cell(DueColumn column) const;
  // The text of one cell as the window shows it: dates "2026/12/09", times "08:00:00",
  // a dash for none (CP932).
  std::string shownCell(DueColumn column) const;
  // The logged cells in column order, as the send log writes them (CP932).
  std::vector<std::string> cells() const;
  // The logged captions as CP932 cells.
  static std::vector<std::string> headerCells();
};

// The text of a mark or an eligibility as the list shows it (CP932).
const std::string& markText(SendMark mark);
const std::string& eligibilityText(Eligibility eligibility);
