#pragma once
#include <string>

#include "intake/ReceiveCheck.h"

struct FtpSettings;
struct SettingsPaths;

// What a receive session asks of whoever starts it. The window asks the operator; an
// unattended command never asks: it refuses and remembers the exit status.
class ReceivePolicy {
 public:
  virtual ~ReceivePolicy() = default;
  // The settings could not be read (a password file that cannot be read).
  virtual void unreadable(const std::string& reason) = 0;
  // The local folder is missing: true when it exists now (the window offers to make it).
  virtual bool makeLocalFolder(const std::string& folder) = 0;
  // The check found a problem, or the folder was not made: nothing is received.
  virtual void refuse(const ReceiveCheck& check) = 0;
  // Puts the FTP password into the settings; false receives nothing.
  virtual bool obtainPassword(FtpSettings& settings) = 0;
};

// The one sequence before a receive, for the window and the command alike: the
// settings read and checked (trimmed as the check trims them), then the password.
class ReceiveSession {
 public:
  ReceiveSession(const SettingsPaths& paths, ReceivePolicy& policy) : m_paths(paths), m_policy(policy) {}

  // True when a run may begin with the settings it filled in.
  bool prepare(FtpSettings& settings);

 private:
  const SettingsPaths& m_paths;
  ReceivePolicy& m_policy;
};
