#include "tests/support/Servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

const char kPython[] = "/usr/bin/python3";

namespace {

const std::string kSupportDir = QUORMAIL_SOURCE_DIR "/tests/support";

bool portAccepts(const std::string& host, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, host.c_str(), &sa.sin_addr);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

int freeLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  ::close(fd);
  return ntohs(sa.sin_port);
}

std::string runCommand(const std::string& command, int* exitCode) {
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) throw std::runtime_error("popen failed: " + command);
  std::string out;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, got);
  const int status = ::pclose(p);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

ServerProcess::ServerProcess() : m_port(freeLocalPort()) { ::chmod(m_dir.path().c_str(), 0755); }

ServerProcess::~ServerProcess() { stop(); }

std::string ServerProcess::log() const { return readFileBytes(m_dir.file("server.log")); }

void ServerProcess::start(const std::vector<std::string>& argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string logPath = m_dir.file("server.log");
  posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int rc = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!portAccepts(m_host, m_port)) {
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      throw std::runtime_error(argv[0] + " died at start:\n" + log());
    }
    if (std::chrono::steady_clock::now() > deadline) {
      stop();
      throw std::runtime_error(argv[0] + " did not open its port:\n" + log());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void ServerProcess::stop() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (::waitpid(m_pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  m_pid = -1;
}

SmtpTestServer::SmtpTestServer(const Options& options) {
  std::filesystem::create_directories(m_dir.file("mail"));
  std::vector<std::string> argv = {kPython, kSupportDir + "/smtp_server.py", "--port", std::to_string(m_port),
                                   "--folder", m_dir.file("mail")};
  for (const std::string& r : options.rejectRecipients) {
    argv.push_back("--reject");
    argv.push_back(r);
  }
  for (const std::string& r : options.recipientReplies) argv.insert(argv.end(), {"--reply", r});
  if (!options.mailFromReply.empty()) argv.insert(argv.end(), {"--mail-from-reply", options.mailFromReply});
  if (!options.dataReply.empty()) argv.insert(argv.end(), {"--data-reply", options.dataReply});
  if (options.refuseEhlo) argv.push_back("--refuse-ehlo");
  if (!options.certFile.empty()) argv.insert(argv.end(), {"--cert", options.certFile, "--key", options.keyFile});
  if (options.implicitTls) argv.push_back("--implicit-tls");
  if (!options.authUser.empty())
    argv.insert(argv.end(), {"--auth-user", options.authUser, "--auth-password", options.authPassword});
  if (!options.offerPlain) argv.push_back("--no-plain");
  start(argv);
}

std::vector<SmtpTestServer::Message> SmtpTestServer::messages() const {
  std::vector<std::string> envelopes;
  for (const auto& entry : std::filesystem::directory_iterator(m_dir.file("mail")))
    if (entry.path().extension() == ".json") envelopes.push_back(entry.path().string());
  std::sort(envelopes.begin(), envelopes.end());
  std::vector<Message> out;
  for (const std::string& env : envelopes) {
    const std::string eml = env.substr(0, env.size() - 5) + ".eml";
    out.push_back({readFileBytes(eml), readFileBytes(env), eml});
  }
  return out;
}

bool SmtpTestServer::waitForMessages(std::size_t count) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (messages().size() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

FtpTestServer::FtpTestServer(const std::string& user, const std::string& password, const std::string& perm) {
  std::filesystem::create_directories(home());
  start({kPython, kSupportDir + "/ftp_server.py", "--port", std::to_string(m_port), "--user", user, "--password",
         password, "--home", home(), "--perm", perm});
}

FtpTestServer::FtpTestServer(const std::string& user, const std::string& password, const std::string& perm,
                             const std::string& certFile, const std::string& keyFile) {
  std::filesystem::create_directories(home());
  start({kPython, kSupportDir + "/ftp_server.py", "--port", std::to_string(m_port), "--user", user, "--password",
         password, "--home", home(), "--perm", perm, "--cert", certFile, "--key", keyFile});
}

FtpTestServer::FtpTestServer(const std::string& user, const std::string& password, PlainListing) {
  std::filesystem::create_directories(home());
  start({kPython, kSupportDir + "/ftp_server.py", "--port", std::to_string(m_port), "--user", user, "--password",
         password, "--home", home(), "--plain-list"});
}

void Pop3TestServer::deliver(const std::string& raw) {
  // Maildir: written under tmp/ and renamed into new/, named so that the order holds.
  char name[64];
  std::snprintf(name, sizeof name, "%010d.M%d.test", 1700000000 + m_delivered, m_delivered);
  ++m_delivered;
  const std::string home = m_dir.path() + "/home/Maildir/";
  writeFileBytes(home + "tmp/" + name, raw);
  std::filesystem::rename(home + "tmp/" + name, home + "new/" + name);
  runCommand("chown 65534:65534 '" + home + "new/" + name + "'");
}

std::vector<std::string> Pop3TestServer::mails() const {
  std::vector<std::filesystem::path> files;
  for (const char* sub : {"new", "cur"})
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path() + "/home/Maildir/" + sub))
      files.push_back(entry.path());
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
  std::vector<std::string> out;
  for (const auto& f : files) out.push_back(readFileBytes(f.string()));
  return out;
}

Pop3TestServer::Pop3TestServer(const std::string& user, const std::string& password)
    : Pop3TestServer(user, password, std::string(), std::string(), false) {}

Pop3TestServer::Pop3TestServer(const std::string& user, const std::string& password, const std::string& certFile,
                               const std::string& keyFile, bool implicitTls) {
  const std::string d = m_dir.path();
  std::filesystem::create_directories(d + "/home/Maildir/new");
  std::filesystem::create_directories(d + "/home/Maildir/cur");
  std::filesystem::create_directories(d + "/home/Maildir/tmp");
  runCommand("chown -R 65534:65534 '" + d + "/home'");
  writeFileBytes(d + "/users", user + ":{PLAIN}" + password + ":65534:65534::" + d + "/home::\n");
  runCommand("chgrp dovecot '" + d + "/users' && chmod 640 '" + d + "/users'");
  const std::string port = std::to_string(m_port);
  const std::string ssl = certFile.empty() ? "ssl = no\n" : "ssl = yes\nssl_cert = <" + certFile + "\nssl_key = <" + keyFile + "\n";
  writeFileBytes(d + "/dovecot.conf",
                 "base_dir = " + d + "/run\n"
                 "state_dir = " + d + "/state\n"
                 "log_path = " + d + "/dovecot.log\n"
                 "protocols = pop3\n"
                 "listen = 127.0.0.1\n" + ssl +
                 "disable_plaintext_auth = no\n"
                 "auth_failure_delay = 0\n"
                 "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + d + "/users\n}\n"
                 "userdb {\n  driver = passwd-file\n  args = " + d + "/users\n}\n"
                 "mail_location = maildir:~/Maildir\n"
                 "service pop3-login {\n  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " +
                     (implicitTls ? std::string("0") : port) +
                     "\n  }\n  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " + (implicitTls ? port : std::string("0")) +
                     "\n    ssl = yes\n  }\n}\n"
                     "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n");
  start({"/usr/sbin/dovecot", "-F", "-c", d + "/dovecot.conf"});
}
