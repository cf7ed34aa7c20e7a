#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"

// A server program run for one test on 127.0.0.1 and a free port: started in the
// constructor (which waits until the port accepts and fails early if the program
// died), stopped by PID with SIGTERM in the destructor.
class ServerProcess {
 public:
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  virtual ~ServerProcess();

  int port() const { return m_port; }
  const std::string& host() const { return m_host; }
  const std::string& folder() const { return m_dir.path(); }
  std::string log() const;
  void stop();

 protected:
  ServerProcess();
  void start(const std::vector<std::string>& argv);

  TempDir m_dir;
  int m_port;
  std::string m_host = "127.0.0.1";  // a loopback address

 private:
  pid_t m_pid = -1;
};

// A port nobody listens on right now.
int freeLocalPort();

// aiosmtpd storing every message; see smtp_server.py.
class SmtpTestServer : public ServerProcess {
 public:
  struct Options {
    std::vector<std::string> rejectRecipients;
    // "address=reply": the server's reply to RCPT TO of that address ("450 4.2.1 busy").
    std::vector<std::string> recipientReplies;
    // Replies in place of MAIL FROM's and DATA's "250" / "354" (empty: as usual); a
    // dataReply of "drop" closes the connection after the final "." without a reply.
    std::string mailFromReply;
    std::string dataReply;
    bool refuseEhlo = false;
    // TLS: STARTTLS offered, or TLS from the first byte with implicitTls.
    std::string certFile;
    std::string keyFile;
    bool implicitTls = false;
    // SMTP AUTH required with this account (over STARTTLS only after the handshake).
    std::string authUser;
    std::string authPassword;
    bool offerPlain = true;  // false: LOGIN only
  };
  SmtpTestServer() : SmtpTestServer(Options{}) {}
  // A submission server: STARTTLS (or TLS from the first byte) and AUTH with one account.
  static Options tlsLogin(const std::string& certFile, const std::string& keyFile, const std::string& user,
                          const std::string& password, bool implicitTls = false) {
    Options o;
    o.certFile = certFile;
    o.keyFile = keyFile;
    o.implicitTls = implicitTls;
    o.authUser = user;
    o.authPassword = password;
    return o;
  }
  explicit SmtpTestServer(const Options& options);

  struct Message {
    std::string data;      // raw DATA bytes
    std::string envelope;  // JSON: mail_from, rcpt_tos, host_name, extended_smtp, tls, login,
                           // connection (its number, from 1)
    std::string emlPath;
  };
  // Complete messages so far, in arrival order.
  std::vector<Message> messages() const;
  // Waits until count messages are complete (false after a few seconds).
  bool waitForMessages(std::size_t count) const;
};

// pyftpdlib with one user; home is created inside the server's folder. perm is
// pyftpdlib's permission letters of the user ("elr": read only, no STOR).
class FtpTestServer : public ServerProcess {
 public:
  FtpTestServer(const std::string& user, const std::string& password, const std::string& perm = "elradfmwMT");
  // pyftpdlib's TLS_FTPHandler requiring TLS on control and data connections.
  FtpTestServer(const std::string& user, const std::string& password, const std::string& perm,
                const std::string& certFile, const std::string& keyFile);
  // pyftpdlib as it comes, which refuses a mask in LIST ("LIST *.*" gets 550).
  struct PlainListing {};
  FtpTestServer(const std::string& user, const std::string& password, PlainListing);
  std::string home() const { return folder() + "/home"; }
};

// dovecot POP3 with one user, in the foreground, with its own configuration.
class Pop3TestServer : public ServerProcess {
 public:
  Pop3TestServer(const std::string& user, const std::string& password);
  // With a certificate: STLS offered on the port, or (implicitTls) TLS from the first byte.
  Pop3TestServer(const std::string& user, const std::string& password, const std::string& certFile,
                 const std::string& keyFile, bool implicitTls);
  // Drops a mail (its bytes as received) into the user's mailbox.
  void deliver(const std::string& raw);
  // The mails in the mailbox now, as their bytes, in the order they were dropped.
  std::vector<std::string> mails() const;

 private:
  int m_delivered = 0;
};

// Debian's Python, which has the server packages.
extern const char kPython[];
// Runs a shell command and returns its standard output; exitCode gets the status.
std::string runCommand(const std::string& command, int* exitCode = nullptr);
