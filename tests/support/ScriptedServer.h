#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback server that plays a script on each accepted connection, for faults a
// real server cannot be made to show (silence, a close mid-reply, odd replies). Every
// wait of the server (accepting, reading) ends after kDeadlineMs, so a client that goes
// wrong fails its test instead of hanging the suite.
class ScriptedServer {
 public:
  static constexpr int kDeadlineMs = 30000;

  class Peer {
   public:
    explicit Peer(int fd, ScriptedServer& owner) : m_fd(fd), m_owner(owner) {}
    // false once the client has gone.
    bool send(const std::string& bytes);
    // One line without its CR LF; "" when the client closed or the deadline passed.
    std::string readLine();
    // Reads until the client closes or the deadline passes; returns everything.
    std::string readAll();
    // Answers nothing: drops what the client sends until it closes (true) or
    // deadlineMs have passed (false), so a client that never gives up cannot hang a test.
    bool waitForClose(int deadlineMs);
    // Accepts a data connection on a listenLoopback socket; -1 after the deadline.
    int acceptData(int listenFd);
    int fd() const { return m_fd; }

   private:
    int m_fd;
    ScriptedServer& m_owner;
    std::string m_buffer;
  };
  using Script = std::function<void(Peer& peer)>;

  // connections: how many connections the script is played on.
  explicit ScriptedServer(Script script, int connections = 1);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return m_port; }
  // Every line the clients sent, in order.
  std::vector<std::string> received() const;
  // Waits until the script has finished on all connections.
  void join();

 private:
  int m_listenFd = -1;
  int m_port = 0;
  std::thread m_thread;
  mutable std::mutex m_mutex;
  std::vector<std::string> m_received;
};

// A listening socket on 127.0.0.1 that accepts nothing itself; for data connections.
int listenLoopback(int* port);
// Accepts one connection on a listening socket within timeoutMs; -1 when none came.
int acceptWithin(int listenFd, int timeoutMs);
