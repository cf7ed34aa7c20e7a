#pragma once
#include <exception>
#include <string>

// Which connection or store a failure met.
enum class FailedLink {
  smtp,           // the SMTP server of the mail page
  popBeforeSmtp,  // the POP3 login before SMTP, on the mail page
  bouncePop,      // the bounce mailbox of the エラーメール page
  ftp,            // the FTP server of the FTP page
  database,       // the database file
};

// What went wrong, as far as the operator can mend it.
enum class FailureKind {
  connectRefused,
  hostNotFound,
  connectTimeout,
  replyTimeout,
  connectionLost,
  certificateUntrusted,
  certificateExpired,
  certificateOtherHost,
  secureConnectionFailed,  // the TLS handshake failed for another reason
  secureConnectionMissing,  // no STARTTLS, STLS or AUTH TLS
  loginMechanismMissing,
  plainLoginRefused,  // we do not send the password unencrypted
  loginRefused,
  senderRefused,
  folderMissing,
  diskFull,
  databaseLocked,
  databaseUnavailable,
  serverRefused,  // another reply the settings may explain
  other,
};

// The kind of a failure caught on link; the protocol replies are told apart by the
// command they answered.
FailureKind failureKind(const std::exception& failure, FailedLink link);

// The operator's text of a failure, CP932: on the first line what happened and what to
// check, naming the settings page and its fields; on the second line the failure's own
// text (the server's reply) on one line. A failure of no known kind gets fallback as
// its first line.
std::string failureText(const std::exception& failure, FailedLink link, const std::string& fallback = std::string());

// The first line alone; empty for FailureKind::other.
std::string failureAdvice(FailureKind kind, FailedLink link);

// The failure's own text on one line: CR and LF runs become one space, ends trimmed.
std::string failureReason(const std::string& raw);
