#include "core/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

namespace PrivateFile {
namespace {

[[noreturn]] void fail(const char* what, const fs::path& path, int err) {
  throw std::system_error(err, std::generic_category(), std::string(what) + " " + path.string());
}

// An open descriptor, closed at the end of its scope.
struct Descriptor {
  int fd;
  explicit Descriptor(int f) : fd(f) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  int release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

Descriptor openPrivate(const fs::path& path, int flags) {
  Descriptor d(::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, 0600));
  if (d.fd < 0) fail("Cannot create file", path, errno);
  ::fchmod(d.fd, 0600);  // an earlier file with wider rights is narrowed
  return Descriptor(d.release());
}

int writeAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    done += static_cast<size_t>(n);
  }
  return 0;
}

void finish(Descriptor& d, const fs::path& path, bool durable) {
  if (durable && ::fsync(d.fd) != 0) fail("Cannot write file", path, errno);
  if (::close(d.release()) != 0) fail("Cannot write file", path, errno);
}

void syncFolder(const fs::path& file) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  Descriptor d(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (d.fd >= 0) ::fsync(d.fd);
}

}  // namespace

void create(const fs::path& path) {
  Descriptor d = openPrivate(path, O_WRONLY | O_TRUNC);
  finish(d, path, false);
}

void write(const fs::path& path, const std::string& bytes) {
  Descriptor d = openPrivate(path, O_WRONLY | O_TRUNC);
  if (const int err = writeAll(d.fd, bytes.data(), bytes.size())) fail("Cannot write file", path, err);
  finish(d, path, false);
}

bool append(const fs::path& path, const std::string& bytes) {
  if (path.empty()) return false;
  try {
    Descriptor d = openPrivate(path, O_WRONLY | O_APPEND);
    if (writeAll(d.fd, bytes.data(), bytes.size()) != 0) return false;
    finish(d, path, false);
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void copyDurably(const fs::path& from, const fs::path& to) {
  Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) fail("Cannot open file", from, errno);
  Descriptor out = openPrivate(to, O_WRONLY | O_TRUNC);
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("Cannot read file", from, errno);
    if (n == 0) break;
    if (const int err = writeAll(out.fd, buffer, static_cast<size_t>(n))) fail("Cannot write file", to, err);
  }
  finish(out, to, true);
  syncFolder(to);
}

void replaceDurably(const fs::path& path, const std::string& bytes) {
  fs::path temp = path;
  temp += ".tmp";
  Descriptor out = openPrivate(temp, O_WRONLY | O_TRUNC);
  if (const int err = writeAll(out.fd, bytes.data(), bytes.size())) fail("Cannot write file", temp, err);
  finish(out, temp, true);
  if (::rename(temp.c_str(), path.c_str()) != 0) fail("Cannot rename file", temp, errno);
  syncFolder(path);
}

}  // namespace PrivateFile
