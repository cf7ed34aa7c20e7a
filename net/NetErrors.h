#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

class ServerReply;

// The exceptions of the protocol clients. Each carries the text the operator is shown.
class NetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class AlreadyConnectedError : public NetError {
 public:
  AlreadyConnectedError() : NetError("Already connected.") {}
};

class NotConnectedError : public NetError {
 public:
  NotConnectedError() : NetError("Not Connected") {}
};

class ConnectionClosedError : public NetError {
 public:
  ConnectionClosedError() : NetError("Connection Closed Gracefully.") {}
};

// No data within the read time-out of one wait.
class ReadTimeoutError : public NetError {
 public:
  ReadTimeoutError() : NetError("Read Timeout") {}

 protected:
  explicit ReadTimeoutError(const std::string& text) : NetError(text) {}
};

// A reply that did not complete within its overall limit, however slowly it trickled in.
class ReplyDeadlineError : public ReadTimeoutError {
 public:
  ReplyDeadlineError() : ReadTimeoutError("Read timed out.") {}
};

// A reply of more lines or bytes than a reply may have.
class ReplyTooLongError : public NetError {
 public:
  ReplyTooLongError(std::size_t lines, std::size_t bytes)
      : NetError("Server reply too long (more than " + std::to_string(lines) + " lines or " + std::to_string(bytes) +
                 " bytes).") {}
};

// A directory listing larger than a listing may be.
class ListingTooLongError : public NetError {
 public:
  explicit ListingTooLongError(std::size_t bytes)
      : NetError("Directory listing too long (more than " + std::to_string(bytes) + " bytes).") {}
};

class ConnectTimeoutError : public NetError {
 public:
  ConnectTimeoutError() : NetError("Connect timed out.") {}
};

// The operator's stop request ended a network wait.
class StoppedError : public NetError {
 public:
  StoppedError() : NetError("Stopped.") {}
};

class LineTooLongError : public NetError {
 public:
  LineTooLongError() : NetError("Max line length exceeded.") {}
};

// An operating-system socket error: "Socket Error # n", CR LF, the description.
class SocketError : public NetError {
 public:
  SocketError(int code, const std::string& description)
      : NetError("Socket Error # " + std::to_string(code) + "\r\n" + description), m_code(code) {}
  int errorCode() const { return m_code; }

 private:
  int m_code;
};

// A reply whose code was not among the expected ones. The operator sees the reply as
// the server gave it, code first: "535 5.7.8 Authentication credentials invalid" CR LF
// (POP3: "-ERR unknown user" CR LF), further lines each followed by CR LF.
class ProtocolReplyError : public NetError {
 public:
  // command: what the reply answered ("connect" for the greeting, "EHLO", "MAIL FROM",
  // "RCPT TO", "DATA", "." for the end of the mail, "USER", "RETR", ...).
  // enhancedCode: the reply's RFC 3463 code where the protocol has them (SMTP).
  ProtocolReplyError(std::string command, const ServerReply& reply, std::string enhancedCode = std::string());
  const std::string& command() const { return m_command; }
  // The three-digit code; 0 for a reply without one (POP3 "-ERR").
  int replyCode() const { return m_code; }
  // "class.subject.detail" ("5.1.1"), or empty when the reply has none.
  const std::string& enhancedCode() const { return m_enhancedCode; }
  // The reply's text lines, without the code.
  const std::vector<std::string>& serverText() const { return m_serverText; }

 private:
  std::string m_command;
  int m_code;
  std::string m_enhancedCode;
  std::vector<std::string> m_serverText;
};

// The server lacks what the settings ask for: STARTTLS, or a login mechanism we speak.
class MissingServerFeatureError : public NetError {
 public:
  enum class Feature {
    secureConnection,  // STARTTLS, STLS or AUTH TLS
    loginMechanism,    // SMTP AUTH PLAIN or LOGIN
    plainLogin,        // we refuse to send the password without encryption
  };
  explicit MissingServerFeatureError(const std::string& text, Feature feature = Feature::secureConnection)
      : NetError(text), m_feature(feature) {}
  Feature feature() const { return m_feature; }

 private:
  Feature m_feature;
};

class AddressParseError : public NetError {
 public:
  using NetError::NetError;
};

// lines that would break out of its command line or header line (CR or LF inside).
class UnsafeTextError : public NetError {
 public:
  using NetError::NetError;
};

// A TLS failure: the handshake, or a broken TLS record.
class TlsError : public NetError {
 public:
  using NetError::NetError;
};

// The server's certificate could not be verified; the message names OpenSSL's reason.
class CertificateError : public TlsError {
 public:
  enum class Problem {
    untrusted,  // no trusted authority vouches for it (self-signed, unknown issuer)
    expired,    // outside its validity period
    otherHost,  // made out for another host name or address
    other,
  };
  explicit CertificateError(const std::string& text, Problem problem = Problem::other)
      : TlsError(text), m_problem(problem) {}
  Problem problem() const { return m_problem; }

 private:
  Problem m_problem;
};

// A local file the client writes or reads failed; errorNumber() is the system's errno
// (ENOSPC: the disk is full).
class LocalFileError : public NetError {
 public:
  LocalFileError(const std::string& text, int errorNumber) : NetError(text), m_errno(errorNumber) {}
  int errorNumber() const { return m_errno; }

 private:
  int m_errno;
};
