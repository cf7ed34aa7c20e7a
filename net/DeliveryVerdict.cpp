#include "net/DeliveryVerdict.h"

#include "net/NetErrors.h"

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

DeliveryVerdict replyVerdict(const std::string& command, int code, const std::string& enhancedCode) {
  // Positive and intermediate replies (354 to DATA, 334 to AUTH) let the mail go on.
  if (code >= 200 && code < 400) return DeliveryVerdict::Accepted;
  // Anything but a 4xx or 5xx code: we are not talking to an SMTP server as we should.
  if (code < 400 || code > 599) return DeliveryVerdict::SetupProblem;
  // 421 closes the session whatever it answers; 4.7.x is a rate or policy limit.
  if (code == 421 || startsWith(enhancedCode, "4.7.")) return DeliveryVerdict::ServerDeferred;
  const bool permanent = code >= 500;
  // At RCPT the reply concerns this one address (5.1.x unknown, 5.2.x mailbox, 5.7.x
  // refused by policy, or no enhanced code at all).
  if (command == "RCPT TO") return permanent ? DeliveryVerdict::RecipientRefused : DeliveryVerdict::RecipientDeferred;
  // Any other 4xx: the server defers us, not this reader.
  if (!permanent) return DeliveryVerdict::ServerDeferred;
  // 5.7.x elsewhere: authentication, TLS, sender or relay policy the settings must meet.
  if (startsWith(enhancedCode, "5.7.")) return DeliveryVerdict::SetupProblem;
  // 5xx at DATA or at the final ".": this mail's content is refused.
  if (command == "DATA" || command == ".") return DeliveryVerdict::ContentRefused;
  // 5xx at the greeting, EHLO/HELO, STARTTLS, AUTH or MAIL FROM: the settings are wrong.
  return DeliveryVerdict::SetupProblem;
}

DeliveryVerdict failureVerdict(const std::exception& failure, const std::string& pendingCommand) {
  if (const auto* reply = dynamic_cast<const ProtocolReplyError*>(&failure))
    return replyVerdict(reply->command(), reply->replyCode(), reply->enhancedCode());
  // Once the final "." has gone out the server may have taken the mail, whatever ended
  // the wait for its reply (a lost connection, a time-out, a stop).
  if (pendingCommand == ".") return DeliveryVerdict::OutcomeUnknown;
  if (dynamic_cast<const StoppedError*>(&failure)) return DeliveryVerdict::Stopped;
  // A certificate that does not verify, a failed handshake, a missing STARTTLS or AUTH.
  if (dynamic_cast<const TlsError*>(&failure) || dynamic_cast<const MissingServerFeatureError*>(&failure))
    return DeliveryVerdict::SetupProblem;
  // Host not found, connect refused, a time-out or a lost connection before the mail
  // went out whole: nothing was delivered.
  if (dynamic_cast<const SocketError*>(&failure) || dynamic_cast<const ConnectTimeoutError*>(&failure) ||
      dynamic_cast<const ReadTimeoutError*>(&failure) || dynamic_cast<const ConnectionClosedError*>(&failure) ||
      dynamic_cast<const NotConnectedError*>(&failure))
    return DeliveryVerdict::ServerUnreachable;
  // The rest (a garbled or oversized reply, text we refuse to send) ends the run for
  // the operator to look at.
  return DeliveryVerdict::SetupProblem;
}

const char* verdictName(DeliveryVerdict verdict) {
  switch (verdict) {
    case DeliveryVerdict::Accepted:
      return "Accepted";
    case DeliveryVerdict::RecipientRefused:
      return "RecipientRefused";
    case DeliveryVerdict::RecipientDeferred:
      return "RecipientDeferred";
    case DeliveryVerdict::ServerDeferred:
      return "ServerDeferred";
    case DeliveryVerdict::SetupProblem:
      return "SetupProblem";
    case DeliveryVerdict::ContentRefused:
      return "ContentRefused";
    case DeliveryVerdict::OutcomeUnknown:
      return "OutcomeUnknown";
    case DeliveryVerdict::ServerUnreachable:
      return "ServerUnreachable";
    case DeliveryVerdict::Stopped:
      return "Stopped";
  }
  return "?";
}
