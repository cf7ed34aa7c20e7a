#include "core/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/Sjis.h"

namespace fs = std::filesystem;

namespace {

std::runtime_error fileError(const char* what, const fs::path& path, int err) {
  return std::runtime_error(std::string(what) + " " + Sjis::fromPath(path) + ": " + std::strerror(err));
}

void writeOwnerOnly(const fs::path& path, const std::string& bytes, int mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | mode, 0600);
  if (fd < 0) throw fileError("Cannot create file", path, errno);
  int err = ::fchmod(fd, 0600) == 0 ? 0 : errno;
  size_t done = 0;
  while (!err && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      err = errno;
    else
      done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && !err) err = errno;
  if (err) throw fileError("Cannot write file", path, err);
}

}  // namespace

void writePrivateFile(const fs::path& path, const std::string& bytes) { writeOwnerOnly(path, bytes, O_TRUNC); }

void appendPrivateFile(const fs::path& path, const std::string& bytes) { writeOwnerOnly(path, bytes, O_APPEND); }
