#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

#include "net/DeliveryVerdict.h"
#include "net/NetErrors.h"
#include "net/ServerReply.h"

namespace {

using V = DeliveryVerdict;

ServerReply replyOf(const std::vector<std::string>& lines) {
  ServerReply reply;
  std::size_t next = 0;
  reply.readFrom([&] { return lines.at(next++); });
  return reply;
}

}  // namespace

// Replies as real servers (Postfix, Gmail, Exchange, aiosmtpd) give them, the enhanced
// code read from each, and what each means at its command.
TEST(DeliveryVerdict, RealRepliesAtTheirCommands) {
  struct Case {
    const char* command;
    std::vector<std::string> reply;
    const char* enhancedCode;
    V verdict;
  };
  const std::vector<Case> cases = {
      {"RCPT TO", {"550 5.1.1 <a@b>: Recipient address rejected: User unknown in virtual mailbox table"}, "5.1.1",
       V::RecipientRefused},
      {"RCPT TO",
       {"550-5.1.1 The email account that you tried to reach does not exist.",
        "550 5.1.1 https://support.google.com/mail/?p=NoSuchUser"},
       "5.1.1", V::RecipientRefused},
      {"RCPT TO", {"550 5.1.10 RESOLVER.ADR.RecipientNotFound; Recipient not found"}, "5.1.10", V::RecipientRefused},
      {"RCPT TO", {"550 5.2.1 The email account that you tried to reach is disabled."}, "5.2.1", V::RecipientRefused},
      {"RCPT TO", {"552 5.2.2 mailbox full"}, "5.2.2", V::RecipientRefused},
      {"RCPT TO", {"550 Requested action not taken: mailbox unavailable"}, "", V::RecipientRefused},
      {"RCPT TO", {"550 5.7.1 <a@b>: Recipient address rejected: Access denied"}, "5.7.1", V::RecipientRefused},
      {"RCPT TO", {"450 4.2.1 mailbox busy"}, "4.2.1", V::RecipientDeferred},
      {"RCPT TO", {"452 4.5.3 too many recipients"}, "4.5.3", V::RecipientDeferred},
      {"RCPT TO", {"450 4.7.1 <a@b>: Recipient address rejected: try again later"}, "4.7.1", V::ServerDeferred},
      {"RCPT TO", {"421 4.4.2 mx.example.jp Error: timeout exceeded"}, "4.4.2", V::ServerDeferred},
      {"connect", {"421 4.7.0 Too many connections"}, "4.7.0", V::ServerDeferred},
      {"connect", {"554 go away"}, "", V::SetupProblem},
      {"MAIL FROM", {"450 4.7.1 rate limited"}, "4.7.1", V::ServerDeferred},
      {"MAIL FROM", {"451 4.3.0 <a@b>: Temporary lookup failure"}, "4.3.0", V::ServerDeferred},
      {"MAIL FROM", {"530 5.7.0 Must issue a STARTTLS command first"}, "5.7.0", V::SetupProblem},
      {"MAIL FROM", {"553 5.1.8 <a@b>: Sender address rejected: Domain not found"}, "5.1.8", V::SetupProblem},
      {"EHLO", {"502 5.5.2 Error: command not recognized"}, "5.5.2", V::SetupProblem},
      {"STARTTLS", {"454 4.7.0 TLS not available due to local problem"}, "4.7.0", V::ServerDeferred},
      {"AUTH", {"535 5.7.8 Authentication credentials invalid"}, "5.7.8", V::SetupProblem},
      {"AUTH", {"454 4.7.0 Temporary authentication failure"}, "4.7.0", V::ServerDeferred},
      {"AUTH", {"334 VXNlcm5hbWU6"}, "", V::Accepted},
      {"DATA", {"354 End data with <CR><LF>.<CR><LF>"}, "", V::Accepted},
      {"DATA", {"554 5.5.1 Error: no valid recipients"}, "5.5.1", V::ContentRefused},
      {".", {"250 2.0.0 Ok: queued as 4F2A1"}, "2.0.0", V::Accepted},
      {".", {"552 5.3.4 Message size exceeds fixed limit"}, "5.3.4", V::ContentRefused},
      {".", {"554 5.7.1 spam content"}, "5.7.1", V::SetupProblem},
      {".", {"451 4.3.0 Error: queue file write error"}, "4.3.0", V::ServerDeferred},
      // Only a whole code of the reply's own class counts.
      {"RCPT TO", {"550 5.1 unknown"}, "", V::RecipientRefused},
      {"RCPT TO", {"550 5.1.1x unknown"}, "", V::RecipientRefused},
      {"RCPT TO", {"550 5.1234.1 unknown"}, "", V::RecipientRefused},
      {"RCPT TO", {"450 5.1.1 wrong class"}, "", V::RecipientDeferred},
      {"MAIL FROM", {"250 2.1.0"}, "2.1.0", V::Accepted},
      // Not an SMTP reply at all.
      {"connect", {"* OK IMAP4rev1 ready"}, "", V::SetupProblem},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply.back());
    const ServerReply reply = replyOf(c.reply);
    EXPECT_EQ(reply.enhancedCode(), c.enhancedCode);
    EXPECT_STREQ(verdictName(replyVerdict(c.command, reply.code, reply.enhancedCode())), verdictName(c.verdict))
        << c.command;
  }
}

TEST(DeliveryVerdict, CaughtFailuresByWhereTheyStruck) {
  const ServerReply refused = replyOf({"550 5.1.1 <a@b>: Recipient address rejected"});
  struct Case {
    std::exception_ptr failure;
    const char* pendingCommand;
    V verdict;
  };
  const std::vector<Case> cases = {
      {std::make_exception_ptr(ProtocolReplyError("RCPT TO", refused, "5.1.1")), "", V::RecipientRefused},
      {std::make_exception_ptr(SocketError(10061, "Connection refused.")), "connect", V::ServerUnreachable},
      {std::make_exception_ptr(SocketError(11001, "Host not found.")), "connect", V::ServerUnreachable},
      {std::make_exception_ptr(ConnectTimeoutError()), "connect", V::ServerUnreachable},
      {std::make_exception_ptr(ReadTimeoutError()), "MAIL FROM", V::ServerUnreachable},
      {std::make_exception_ptr(ConnectionClosedError()), "DATA", V::ServerUnreachable},
      {std::make_exception_ptr(ConnectionClosedError()), ".", V::OutcomeUnknown},
      {std::make_exception_ptr(ReplyDeadlineError()), ".", V::OutcomeUnknown},
      {std::make_exception_ptr(StoppedError()), ".", V::OutcomeUnknown},
      {std::make_exception_ptr(StoppedError()), "RCPT TO", V::Stopped},
      {std::make_exception_ptr(StoppedError()), "", V::Stopped},
      {std::make_exception_ptr(CertificateError("certificate has expired")), "connect", V::SetupProblem},
      {std::make_exception_ptr(MissingServerFeatureError("no STARTTLS")), "", V::SetupProblem},
      {std::make_exception_ptr(UnsafeTextError("Mail address or header contains CR or LF.")), "", V::SetupProblem},
  };
  for (const Case& c : cases) {
    try {
      std::rethrow_exception(c.failure);
    } catch (const std::exception& e) {
      EXPECT_STREQ(verdictName(failureVerdict(e, c.pendingCommand)), verdictName(c.verdict))
          << e.what() << " at " << c.pendingCommand;
    }
  }
}
