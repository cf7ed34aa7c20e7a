#include "core/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

InstanceLock::InstanceLock(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  int rc;
  while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    m_heldElsewhere = errno == EWOULDBLOCK;
    ::close(fd);
    return;
  }
  m_fd = fd;
}

InstanceLock::~InstanceLock() {
  if (m_fd >= 0) ::close(m_fd);
}
