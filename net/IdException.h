#pragma once
#include <stdexcept>
#include <string>

// The exceptions of the protocol clients. Each carries the text the operator is shown.
class EIdException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EIdAlreadyConnected : public EIdException {
 public:
  EIdAlreadyConnected() : EIdException("Already connected.") {}
};

class EIdNotConnected : public EIdException {
 public:
  EIdNotConnected() : EIdException("Not Connected") {}
};

class EIdConnClosedGracefully : public EIdException {
 public:
  EIdConnClosedGracefully() : EIdException("Connection Closed Gracefully.") {}
};

class EIdReadTimeout : public EIdException {
 public:
  EIdReadTimeout() : EIdException("Read Timeout") {}
};

class EIdConnectTimeout : public EIdException {
 public:
  EIdConnectTimeout() : EIdException("Connect timed out.") {}
};

class EIdMaxLineLengthExceeded : public EIdException {
 public:
  EIdMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};

// An operating-system socket error: "Socket Error # n", CR LF, the description.
class EIdSocketError : public EIdException {
 public:
  EIdSocketError(int code, const std::string& description)
      : EIdException("Socket Error # " + std::to_string(code) + "\r\n" + description), m_code(code) {}
  int LastError() const { return m_code; }

 private:
  int m_code;
};

// A reply whose code was not among the expected ones; the message is the reply's text.
class EIdProtocolReplyError : public EIdException {
 public:
  EIdProtocolReplyError(int code, const std::string& text) : EIdException(text), m_code(code) {}
  int ReplyErrorCode() const { return m_code; }

 private:
  int m_code;
};

class EIdEmailParseError : public EIdException {
 public:
  using EIdException::EIdException;
};

// Text that would break out of its command line or header line (CR or LF inside).
class EIdUnsafeText : public EIdException {
 public:
  using EIdException::EIdException;
};
