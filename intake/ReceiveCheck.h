#pragma once
#include <string>
#include <vector>

struct FtpSettings;

// The check before a receive run, without any window: trims the settings it looks at
// and names the first problem in the order the operator meets them. A missing local
// folder is its own outcome, because the window offers to create it.
struct ReceiveCheck {
  enum class Outcome { ready, settingsProblem, missingLocalFolder };
  Outcome outcome = Outcome::ready;
  std::string message;  // CP932

  bool ready() const { return outcome == Outcome::ready; }
  static ReceiveCheck of(FtpSettings& settings);
  // The FTP page's fields a receive needs and the settings leave empty, by their
  // captions (CP932), in the page's order; empty when FTP is set up.
  static std::vector<std::string> missingItems(const FtpSettings& settings);
};
