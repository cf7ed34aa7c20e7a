#include "tests/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

int listenLoopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::listen(fd, 16);
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  *port = ntohs(sa.sin_port);
  return fd;
}

namespace {

// Waits until fd is readable (or has a connection to accept); false after timeoutMs.
bool readable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

int acceptWithin(int listenFd, int timeoutMs) {
  pollfd p{listenFd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return -1;
  return ::accept(listenFd, nullptr, nullptr);
}

int ScriptedServer::Peer::acceptData(int listenFd) { return acceptWithin(listenFd, kDeadlineMs); }

bool ScriptedServer::Peer::send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string ScriptedServer::Peer::readLine() {
  for (;;) {
    const std::size_t lf = m_buffer.find('\n');
    if (lf != std::string::npos) {
      std::string line = m_buffer.substr(0, lf);
      m_buffer.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::lock_guard<std::mutex> lock(m_owner.m_mutex);
      m_owner.m_received.push_back(line);
      return line;
    }
    char buffer[4096];
    if (!readable(m_fd, kDeadlineMs)) return std::string();
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) return std::string();
    m_buffer.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string ScriptedServer::Peer::readAll() {
  std::string all = m_buffer;
  m_buffer.clear();
  char buffer[4096];
  ssize_t n;
  while (readable(m_fd, kDeadlineMs) && (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0)
    all.append(buffer, static_cast<std::size_t>(n));
  return all;
}

bool ScriptedServer::Peer::waitForClose(int deadlineMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    if (::recv(m_fd, buffer, sizeof buffer, 0) <= 0) return true;
  }
}

ScriptedServer::ScriptedServer(Script script, int connections) {
  m_listenFd = listenLoopback(&m_port);
  m_thread = std::thread([this, script, connections] {
    for (int k = 0; k < connections; ++k) {
      if (!readable(m_listenFd, kDeadlineMs)) return;
      const int fd = ::accept(m_listenFd, nullptr, nullptr);
      if (fd < 0) return;
      Peer peer(fd, *this);
      script(peer);
      ::close(fd);
    }
  });
}

ScriptedServer::~ScriptedServer() {
  join();
  ::close(m_listenFd);
}

void ScriptedServer::join() {
  if (m_thread.joinable()) {
    ::shutdown(m_listenFd, SHUT_RDWR);
    m_thread.join();
  }
}

std::vector<std::string> ScriptedServer::received() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_received;
}
