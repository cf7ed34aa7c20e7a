#pragma once
#include <exception>
#include <string>

// What a reply, or a failure, means for the delivery of one mail and for the run.
enum class DeliveryVerdict {
  Accepted,           // the step went through
  RecipientRefused,   // the server will never take this address
  RecipientDeferred,  // the server does not take this address now; a later run may
  ServerDeferred,     // the server asks us to slow down or stop for now
  SetupProblem,       // the operator's settings are wrong (server, login, TLS, sender)
  ContentRefused,     // the server refuses this mail's content
  OutcomeUnknown,     // the mail went out whole, its reply never came: it may be delivered
  ServerUnreachable,  // no connection, or it broke before the mail went out whole
  Stopped,            // the operator's stop request
};

// The meaning of a reply with code (and RFC 3463 enhancedCode, may be empty) to
// command: "connect" (the greeting), "EHLO", "HELO", "STARTTLS", "AUTH", "RSET",
// "MAIL FROM", "RCPT TO", "DATA" or "." (the end of the mail).
DeliveryVerdict replyVerdict(const std::string& command, int code, const std::string& enhancedCode);

// The meaning of a failure caught while connecting or sending; pendingCommand is the
// client's pendingCommand() when it was caught.
DeliveryVerdict failureVerdict(const std::exception& failure, const std::string& pendingCommand);

// The verdict's English name ("RecipientRefused"), for logs and test output.
const char* verdictName(DeliveryVerdict verdict);
