#pragma once
#include <cstddef>
#include <string>

struct ssl_st;

// The client side of one TLS connection over a connected socket (OpenSSL): TLS 1.2 or
// later, the server's certificate verified against OpenSSL's default trust store
// (SSL_CERT_FILE, SSL_CERT_DIR) and its name checked against the host name. Works on a
// non-blocking socket: each step says whether it must wait for reading or writing, and
// the owning Socket does the waiting (with its stop flag and time limits).
class TlsSession {
 public:
  enum class Step { Done, WantRead, WantWrite, Closed };

  // resumeFrom: a session whose parameters this one offers to resume (the FTP data
  // connection resumes the control connection's session); nullptr for none.
  TlsSession(int fd, const std::string& hostName, const TlsSession* resumeFrom);
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Raises CertificateError ("証明書を検証できません: " and OpenSSL's reason) or TlsError.
  Step handshake();
  Step read(char* buffer, std::size_t capacity, std::size_t& got);
  Step write(const char* data, std::size_t size, std::size_t& sent);
  // Sends close_notify once, without waiting for the peer's.
  Step shutdown();

 private:
  Step failure(int rc, const char* during);
  ssl_st* m_ssl = nullptr;
};
