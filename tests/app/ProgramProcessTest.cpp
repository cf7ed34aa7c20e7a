// The built program as a child process in a portable folder of its own: how it ends on
// the signals of a kill, Ctrl+C and a logout, and a second window on the same data.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "core/InstanceLock.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Polls the condition until it holds or the deadline has passed, so a wrong program
// fails the test instead of hanging it.
bool waitUntil(const std::function<bool()>& condition, int deadlineMs = 60000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// A copy of the program with a fresh database beside it: a portable installation.
struct PortableFolder {
  TempDir temp;
  fs::path dir{temp.path()};
  fs::path program{dir / "quormail"};
  PortableFolder() {
    fs::copy_file(QUORMAIL_PROGRAM, program);
    fs::copy_file(QUORMAIL_TEMPLATE_DB, dir / "QUORMAIL.GDB");
  }
};

// The program started without a display; killed if a test leaves it running.
class ProgramProcess {
 public:
  ProgramProcess(const fs::path& program, const fs::path& errorFile) {
    m_pid = ::fork();
    if (m_pid == 0) {
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      const int fd = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
      }
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~ProgramProcess() {
    if (!m_status) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }

  pid_t pid() const { return m_pid; }
  bool running() { return !reaped(); }
  // The wait status once the program has ended within the deadline.
  std::optional<int> waitForExit(int deadlineMs = 60000) {
    waitUntil([this] { return reaped(); }, deadlineMs);
    return m_status;
  }
  // Whether the program has the database file open.
  bool hasDatabaseOpen() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(m_pid) + "/fd", ec)) {
      std::error_code linkError;
      if (fs::read_symlink(entry.path(), linkError).filename() == "QUORMAIL.GDB") return true;
    }
    return false;
  }

 private:
  bool reaped() {
    if (m_status) return true;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) m_status = status;
    return m_status.has_value();
  }
  pid_t m_pid = -1;
  std::optional<int> m_status;
};

bool exitedWithZero(const std::optional<int>& status) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

TEST(ProgramProcess, EndsWithStatusZeroOnTerminateInterruptAndHangUp) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    PortableFolder folder;
    ProgramProcess program(folder.program, folder.dir / "stderr.txt");
    ASSERT_TRUE(waitUntil([&] { return program.hasDatabaseOpen() || !program.running(); })) << signal;
    ASSERT_TRUE(program.running()) << signal;
    ::kill(program.pid(), signal);
    const std::optional<int> status = program.waitForExit();
    ASSERT_TRUE(status.has_value()) << "still running after signal " << signal;
    EXPECT_TRUE(exitedWithZero(status)) << "signal " << signal << ", wait status " << *status;
  }
}

// A lock file that cannot be made (here a folder stands in its place) is nobody's lock:
// the program starts as usual.
TEST(ProgramProcess, StartsWhereItsLockFileCannotBeCreated) {
  PortableFolder folder;
  fs::create_directory(folder.dir / "QuorMail.lock");
  ProgramProcess program(folder.program, folder.dir / "stderr.txt");
  ASSERT_TRUE(waitUntil([&] {
    return program.hasDatabaseOpen() || !program.running() ||
           readFileBytes(folder.dir / "stderr.txt").find("QuorMailは既に起動しています。") != std::string::npos;
  }));
  EXPECT_TRUE(program.hasDatabaseOpen()) << readFileBytes(folder.dir / "stderr.txt");
  ::kill(program.pid(), SIGTERM);
  EXPECT_TRUE(exitedWithZero(program.waitForExit()));
}

TEST(ProgramProcess, ASecondWindowOnTheSameDataIsRefusedAndTheFirstGoesOn) {
  PortableFolder folder;
  ProgramProcess first(folder.program, folder.dir / "first.txt");
  ASSERT_TRUE(waitUntil([&] { return first.hasDatabaseOpen() || !first.running(); }));
  ASSERT_TRUE(first.running());
  EXPECT_TRUE(InstanceLock(folder.dir / "QuorMail.lock").heldElsewhere());

  ProgramProcess second(folder.program, folder.dir / "second.txt");
  const std::string refusal = "QuorMailは既に起動しています。";
  ASSERT_TRUE(waitUntil([&] { return readFileBytes(folder.dir / "second.txt").find(refusal) != std::string::npos; }))
      << readFileBytes(folder.dir / "second.txt");
  EXPECT_FALSE(second.hasDatabaseOpen());
  // The second one waits for its error box to be closed; a signal closes it as well.
  if (second.running()) ::kill(second.pid(), SIGTERM);
  EXPECT_TRUE(exitedWithZero(second.waitForExit()));
  EXPECT_EQ(readFileBytes(folder.dir / "second.txt").find("Database already opened"), std::string::npos);

  EXPECT_TRUE(first.running());
  ::kill(first.pid(), SIGTERM);
  EXPECT_TRUE(exitedWithZero(first.waitForExit()));
  EXPECT_TRUE(InstanceLock(folder.dir / "QuorMail.lock").acquired());
}

}  // namespace
