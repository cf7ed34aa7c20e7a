#pragma once
#include <array>
#include <string>
#include <vector>

// What the mark column of a listed reader says: chosen for sending, or how the run
// left it.
enum class SendMark { none, marked, working, sent, skipped, failed, stopped };

// Whether a listed reader can be sent a story mail now; notYetDue: its next story
// mail waits for its interval (or for tomorrow, at one mail a day).
enum class Eligibility { eligible, notEligible, allSent, notYetDue };

// One reader due a story mail, as the send list shows it: every text CP932, the
// number columns without their leading zeros, the rest as stored.
struct DueReader {
  SendMark mark = SendMark::none;
  Eligibility eligibility = Eligibility::eligible;
  std::string id;
  std::string nextStory;
  std::string lastSentDate;
  std::string lastSentTime;
  std::string name;
  std::string address;
  std::string firstSentDate;
  std::string firstSentTime;
  std::string registeredDate;
  std::string registeredTime;
  std::string note1;
  std::string note2;
  std::string note3;
  // The date the next story mail falls due ("yyyymmdd"; empty: due at once). Shown in
  // the window only, not logged.
  std::string dueDate;

  static constexpr int kColumnCount = 15;
  // The column captions (UTF-8), also the header of the send log.
  static const std::array<const char*, kColumnCount> kCaptions;

  bool marked() const { return mark == SendMark::marked; }
  // The fifteen cells as shown and logged, in column order (CP932).
  std::vector<std::string> cells() const;
  // The captions as CP932 cells.
  static std::vector<std::string> headerCells();
};

// The text of a mark or an eligibility as the list shows it (CP932).
const std::string& markText(SendMark mark);
const std::string& eligibilityText(Eligibility eligibility);
