#pragma once
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What the command line asks for: the windows (no arguments), an unattended run, or
// help and version. Parsing needs no display and no database.
struct CommandLine {
  enum class Action { Windows, Help, Version, Receive, Send, ReceiveAndSend, History, Bounces, UsageError };
  Action action = Action::Windows;
  bool dryRun = false;
  // For History: only this reader's entries, only entries from this date (yyyymmdd) on.
  std::optional<int> reader;
  std::optional<int> since;
  std::string error;  // for UsageError, in Japanese

  static CommandLine parse(const std::vector<std::string>& args);
  static void printHelp(std::ostream& out);
  static void printVersion(std::ostream& out);
};
