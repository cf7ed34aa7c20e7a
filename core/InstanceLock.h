#pragma once
#include <filesystem>

// One window program per data folder: an exclusive lock on a file in the folder, held
// for the lock's lifetime and released by the system when the process ends, however it
// ends. Unattended commands do not take it, so they run beside an open window.
class InstanceLock {
 public:
  // Tries the lock without waiting.
  explicit InstanceLock(const std::filesystem::path& file);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool acquired() const { return m_fd >= 0; }
  // Another process holds the lock (not merely: the file could not be opened).
  bool heldElsewhere() const { return m_heldElsewhere; }

 private:
  int m_fd = -1;
  bool m_heldElsewhere = false;
};
