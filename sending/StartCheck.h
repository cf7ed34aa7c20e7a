#pragma once
#include <string>

class DueList;
struct MailSettings;

// Why a run cannot start, with the text the operator is shown (CP932).
struct StartCheck {
  enum class Outcome { ready, noStory, nothingDue, nothingMarked, settingsProblem, busy };
  Outcome outcome = Outcome::ready;
  std::string message;

  bool ready() const { return outcome == Outcome::ready; }
};

// The start check: the first problem in the order the operator meets them. Trims the
// texts of the settings it checks. The saved password is checked by the caller.
StartCheck checkStart(const DueList& list, MailSettings& settings);
// Its settings part alone (for a test mail).
StartCheck checkSettings(MailSettings& settings);
// The bounce mailbox's settings, when it is to be read (part of checkSettings).
StartCheck checkBounceSettings(MailSettings& settings);
