#pragma once
#include <stdexcept>
#include <string>

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

class ReadTimeoutError : public NetError {
 public:
  ReadTimeoutError() : NetError("Read Timeout") {}
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

// A reply whose code was not among the expected ones; the message is the reply's text.
class ProtocolReplyError : public NetError {
 public:
  ProtocolReplyError(int code, const std::string& text) : NetError(text), m_code(code) {}
  int replyCode() const { return m_code; }

 private:
  int m_code;
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
