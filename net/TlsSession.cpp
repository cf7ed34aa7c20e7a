#include "net/TlsSession.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "net/NetErrors.h"
#include "net/Socket.h"

namespace {

// "証明書を検証できません: " in CP932.
const char kCannotVerify[] =
    "\x8f\xd8\x96\xbe\x8f\x91\x82\xf0\x8c\x9f\x8f\xd8\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1: ";

// What an OpenSSL verify result means for the operator.
CertificateError::Problem problemOf(long verify) {
  switch (verify) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return CertificateError::Problem::expired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return CertificateError::Problem::otherHost;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return CertificateError::Problem::untrusted;
    default:
      return CertificateError::Problem::other;
  }
}

std::string envOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// One client context for the process, made again when the trust store named by the
// environment changes. Returns a new SSL object on it.
SSL* newClientSsl() {
  static std::mutex mutex;
  static SSL_CTX* context = nullptr;
  static std::string storeKey;
  const std::string key = envOrEmpty("SSL_CERT_FILE") + '\n' + envOrEmpty("SSL_CERT_DIR");
  std::lock_guard<std::mutex> lock(mutex);
  if (!context || key != storeKey) {
    // OpenSSL writes to the socket with write(): a peer that has gone must give an
    // error, not end the program with SIGPIPE.
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) ::signal(SIGPIPE, SIG_IGN);
    SSL_CTX* made = SSL_CTX_new(TLS_client_method());
    if (!made) throw TlsError("TLS: cannot create a context.");
    SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
    SSL_CTX_set_verify(made, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(made);
    SSL_CTX_set_mode(made, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // A server closing a data connection without close_notify ends it like plain FTP.
    SSL_CTX_set_options(made, SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (context) SSL_CTX_free(context);  // live sessions keep their own reference
    context = made;
    storeKey = key;
  }
  SSL* ssl = SSL_new(context);
  if (!ssl) throw TlsError("TLS: cannot create a session.");
  return ssl;
}

std::string openSslReason() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "connection closed during the handshake";
  const char* reason = ERR_reason_error_string(code);
  return reason ? reason : "error " + std::to_string(code);
}

}  // namespace

TlsSession::TlsSession(int fd, const std::string& hostName, const TlsSession* resumeFrom) {
  m_ssl = newClientSsl();
  if (Socket::isNumericAddress(hostName)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), hostName.c_str());
  } else {
    SSL_set_tlsext_host_name(m_ssl, hostName.c_str());
    SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (SSL_set1_host(m_ssl, hostName.c_str()) != 1) {
      SSL_free(m_ssl);
      throw TlsError("TLS: invalid host name " + hostName);
    }
  }
  if (resumeFrom) {
    if (SSL_SESSION* session = SSL_get1_session(resumeFrom->m_ssl)) {
      SSL_set_session(m_ssl, session);
      SSL_SESSION_free(session);
    }
  }
  SSL_set_fd(m_ssl, fd);
}

TlsSession::~TlsSession() { SSL_free(m_ssl); }

TlsSession::Step TlsSession::failure(int rc, const char* during) {
  const int error = SSL_get_error(m_ssl, rc);
  switch (error) {
    case SSL_ERROR_WANT_READ:
      return Step::WantRead;
    case SSL_ERROR_WANT_WRITE:
      return Step::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
      return Step::Closed;
    case SSL_ERROR_SYSCALL:
      if (ERR_peek_error() == 0) {
        ERR_clear_error();
        if (errno == 0) return Step::Closed;
        throw SocketError(errno, std::strerror(errno));
      }
      break;
    default:
      break;
  }
  throw TlsError(std::string(during) + openSslReason());
}

TlsSession::Step TlsSession::handshake() {
  ERR_clear_error();
  const int rc = SSL_connect(m_ssl);
  if (rc == 1) return Step::Done;
  const int error = SSL_get_error(m_ssl, rc);
  if (error == SSL_ERROR_WANT_READ) return Step::WantRead;
  if (error == SSL_ERROR_WANT_WRITE) return Step::WantWrite;
  const long verify = SSL_get_verify_result(m_ssl);
  if (verify != X509_V_OK) {
    ERR_clear_error();
    throw CertificateError(kCannotVerify + std::string(X509_verify_cert_error_string(verify)), problemOf(verify));
  }
  const Step step = failure(rc, "TLS handshake failed: ");
  if (step == Step::Closed) throw TlsError("TLS handshake failed: connection closed during the handshake");
  return step;
}

TlsSession::Step TlsSession::read(char* buffer, std::size_t capacity, std::size_t& got) {
  ERR_clear_error();
  errno = 0;
  const int rc = SSL_read_ex(m_ssl, buffer, capacity, &got);
  if (rc == 1) return Step::Done;
  got = 0;
  return failure(rc, "TLS: ");
}

TlsSession::Step TlsSession::write(const char* data, std::size_t size, std::size_t& sent) {
  ERR_clear_error();
  errno = 0;
  const int rc = SSL_write_ex(m_ssl, data, size, &sent);
  if (rc == 1) return Step::Done;
  sent = 0;
  return failure(rc, "TLS: ");
}

TlsSession::Step TlsSession::shutdown() {
  ERR_clear_error();
  const int rc = SSL_shutdown(m_ssl);
  if (rc >= 0) return Step::Done;
  const int error = SSL_get_error(m_ssl, rc);
  ERR_clear_error();
  if (error == SSL_ERROR_WANT_WRITE) return Step::WantWrite;
  if (error == SSL_ERROR_WANT_READ) return Step::WantRead;
  return Step::Closed;
}
