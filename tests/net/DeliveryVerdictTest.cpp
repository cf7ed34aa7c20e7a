#include <gtest/gtest.h>

#include <exception>
#include <tuple>

#include "net/DeliveryVerdict.h"
#include "net/NetErrors.h"
#include "net/ServerReply.h"

namespace {

ServerReply replyOf(const std::vector<std::string>& lines) {
  ServerReply reply;
  std::size_t next = 0;
  reply.readFrom([&] { return lines.at(next++); });
  return reply;
}

using V = DeliveryVerdict;

}  // namespace

// Replies as Postfix, Gmail, Exchange and aiosmtpd give them: the enhanced code read
// from each, and what each means at its command.
TEST(DeliveryVerdict, RealRepliesAtTheirCommands) {
  const std::vector<std::tuple<const char*, std::vector<std::string>, const char*, V>> cases = {
      {"RCPT TO", {"550 5.1.1 <a@b>: Recipient address rejected: User unknown"}, "5.1.1", V::RecipientRefused},
      {"RCPT TO", {"550-5.1.10 RESOLVER.ADR.RecipientNotFound;", "550 5.1.10 ..."}, "5.1.10", V::RecipientRefused},
      {"RCPT TO", {"552 5.2.2 mailbox full"}, "5.2.2", V::RecipientRefused},
      {"RCPT TO", {"550 Requested action not taken: mailbox unavailable"}, "", V::RecipientRefused},
      {"RCPT TO", {"554 5.7.1 <a@b>: Recipient address rejected: Access denied"}, "5.7.1", V::RecipientRefused},
      {"RCPT TO", {"450 4.2.1 mailbox busy"}, "4.2.1", V::RecipientDeferred},
      {"RCPT TO", {"450 4.7.1 <a@b>: Recipient address rejected: try later"}, "4.7.1", V::ServerDeferred},
      {"RCPT TO", {"421 4.4.2 mx.example.jp Error: timeout exceeded"}, "4.4.2", V::ServerDeferred},
      {"connect", {"554 go away"}, "", V::SetupProblem},
      {"MAIL FROM", {"450 4.7.1 rate limited"}, "4.7.1", V::ServerDeferred},
      {"MAIL FROM", {"530 5.7.0 Must issue a STARTTLS command first"}, "5.7.0", V::SetupProblem},
      {"AUTH", {"535 5.7.8 Authentication credentials invalid"}, "5.7.8", V::SetupProblem},
      {"DATA", {"554 5.5.1 Error: no valid recipients"}, "5.5.1", V::ContentRefused},
      {".", {"250 2.0.0 Ok: queued as 4F2A1"}, "2.0.0", V::Accepted},
      {".", {"552 5.3.4 Message size exceeds fixed limit"}, "5.3.4", V::ContentRefused},
      {".", {"554 5.7.1 spam content"}, "5.7.1", V::SetupProblem},
      {".", {"451 4.3.0 Error: queue file write error"}, "4.3.0", V::ServerDeferred},
      // Only a whole code of the reply's own class counts.
      {"RCPT TO", {"550 5.1 unknown"}, "", V::RecipientRefused},
      {"RCPT TO", {"550 5.1.1x unknown"}, "", V::RecipientRefused},
      {"RCPT TO", {"450 5.1.1 wrong class"}, "", V::RecipientDeferred},
      {"connect", {"* OK IMAP4rev1 ready"}, "", V::SetupProblem},  // not an SMTP server
  };
  for (const auto& [command, lines, enhancedCode, verdict] : cases) {
    const ServerReply reply = replyOf(lines);
    EXPECT_EQ(reply.enhancedCode(), enhancedCode) << lines[0];
    EXPECT_STREQ(verdictName(replyVerdict(command, reply.code, reply.enhancedCode())), verdictName(verdict))
        << command << ": " << lines[0];
  }
}

TEST(DeliveryVerdict, CaughtFailuresByWhereTheyStruck) {
  const ServerReply refused = replyOf({"550 5.1.1 <a@b>: Recipient address rejected"});
  const std::vector<std::tuple<std::exception_ptr, const char*, V>> cases = {
      {std::make_exception_ptr(ProtocolReplyError("RCPT TO", refused, "5.1.1")), "", V::RecipientRefused},
      {std::make_exception_ptr(ReadTimeoutError()), "MAIL FROM", V::ServerUnreachable},
      {std::make_exception_ptr(ConnectionClosedError()), "DATA", V::ServerUnreachable},
      {std::make_exception_ptr(ConnectionClosedError()), ".", V::OutcomeUnknown},
      {std::make_exception_ptr(StoppedError()), ".", V::OutcomeUnknown},
      {std::make_exception_ptr(StoppedError()), "RCPT TO", V::Stopped},
      {std::make_exception_ptr(CertificateError("certificate has expired")), "connect", V::SetupProblem},
  };
  for (const auto& [failure, pending, verdict] : cases) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      EXPECT_STREQ(verdictName(failureVerdict(e, pending)), verdictName(verdict)) << e.what() << " at " << pending;
    }
  }
}
