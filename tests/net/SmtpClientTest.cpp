#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "core/Sjis.h"
#include "net/DeliveryVerdict.h"
#include "net/NetErrors.h"
#include "net/HeaderList.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"
#include "text/JapaneseText.h"

namespace {

std::string sj(const std::string& utf8) { return Sjis::fromUtf8(utf8); }

// A message filled the way the send run fills it.
void compose(MailMessage& m, const std::string& to, const std::string& subjectUtf8, const std::string& bodyUtf8) {
  m.from.setText("office@example.com");
  m.from.name = sj("クオル事務局");
  m.recipients.setText(to);
  m.subject = JapaneseText::cutAtInvalidChar(sj(subjectUtf8));
  m.setBodyText(JapaneseText::sjisToJis(sj(bodyUtf8)));
}

void sendOne(int port, MailMessage& m) {
  SmtpClient smtp;
  smtp.host = "127.0.0.1";
  smtp.port = port;
  smtp.connect(-1);
  smtp.send(m);
  smtp.disconnect();
}

std::string decoded(const std::string& emlPath) {
  int rc = 0;
  const std::string out = runCommand(std::string(kPython) + " " QUORMAIL_SOURCE_DIR "/tests/support/decode_mail.py " +
                                         emlPath,
                                     &rc);
  EXPECT_EQ(rc, 0);
  return out;
}

std::vector<std::string> headerNames(const std::string& data) {
  std::vector<std::string> names;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = data.find("\r\n", pos);
    if (end == pos || end == std::string::npos) break;
    if (data[pos] != ' ' && data[pos] != '\t') names.push_back(data.substr(pos, data.find(':', pos) - pos));
    pos = end + 2;
  }
  return names;
}

}  // namespace

TEST(SmtpClient, ComposedMailArrivesWithExactHeadersAndBody) {
  SmtpTestServer server;
  MailMessage m;
  const std::string body = "山田太郎様\r\n\r\nステップメール第１回です。ｶﾞｲﾄﾞ付き。\r\n.\r\n.hidden line\r\nend.\r\n";
  compose(m, "reader@example.org", "第１回 お知らせ No.1", body);
  sendOne(server.port(), m);
  ASSERT_TRUE(server.waitForMessages(1)) << server.log();
  const auto msg = server.messages().at(0);

  EXPECT_NE(msg.envelope.find("\"mail_from\": \"office@example.com\""), std::string::npos) << msg.envelope;
  EXPECT_NE(msg.envelope.find("\"rcpt_tos\": [\"reader@example.org\"]"), std::string::npos);
  EXPECT_NE(msg.envelope.find("\"extended_smtp\": true"), std::string::npos);

  // body bytes unchanged: the converted text, CR LF line ends, dots un-stuffed.
  const std::string sent = JapaneseText::sjisToJis(sj(body));
  const std::size_t bodyStart = msg.data.find("\r\n\r\n") + 4;
  EXPECT_EQ(msg.data.substr(bodyStart), sent);
  EXPECT_TRUE(std::regex_search(msg.data, std::regex("\r\nDate: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), [1-9][0-9]? "
                                                     "[A-Z][a-z]{2} 20[0-9]{2} [0-2][0-9]:[0-5][0-9]:[0-5][0-9] "
                                                     "[+-][0-9]{4}\r\n")));
  EXPECT_NE(msg.data.find("\r\nX-Priority: 3\r\nX-Mailer: KnyMailer 1.00.10\r\n\r\n"), std::string::npos);

  // An independent reader decodes the words and the body back to the text.
  const std::string text = decoded(msg.emlPath);
  EXPECT_NE(text.find("From: クオル事務局 <office@example.com>\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Subject: 第１回 お知らせ No.1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("To: reader@example.org\n"), std::string::npos);
  EXPECT_NE(text.find("\n\n山田太郎様\r\n\r\nステップメール第１回です。ガイド付き。\r\n.\r\n.hidden line\r\nend.\r\n"),
            std::string::npos)
      << text;
}

TEST(SmtpClient, HeloFallbackRejectedRecipientAndSecondMailOnNewConnection) {
  SmtpTestServer::Options options;
  options.refuseEhlo = true;
  options.rejectRecipients = {"nobody@example.org"};
  SmtpTestServer server(options);

  MailMessage ok;
  compose(ok, "reader@example.org", "hello", "plain body\nLF only\n");
  SmtpClient smtp;
  smtp.host = "127.0.0.1";
  smtp.port = server.port();
  smtp.heloName = "quormail.test";
  smtp.connect(-1);
  smtp.send(ok);
  smtp.disconnect();

  MailMessage bad;
  compose(bad, "nobody@example.org", "hello", "x");
  smtp.connect(-1);
  try {
    smtp.send(bad);
    FAIL() << "rejected recipient accepted";
  } catch (const ProtocolReplyError& e) {
    // aiosmtpd's own refusal carries its command, code and enhanced code.
    EXPECT_EQ(e.command(), "RCPT TO");
    EXPECT_EQ(e.replyCode(), 550);
    EXPECT_EQ(e.enhancedCode(), "5.1.1");
    EXPECT_EQ(e.serverText(), std::vector<std::string>{"5.1.1 <nobody@example.org>: Recipient address rejected"});
    EXPECT_STREQ(e.what(), "550 5.1.1 <nobody@example.org>: Recipient address rejected\r\n");
    EXPECT_EQ(failureVerdict(e, smtp.pendingCommand()), DeliveryVerdict::RecipientRefused);
  }
  smtp.disconnect();

  ASSERT_TRUE(server.waitForMessages(1));
  const auto msgs = server.messages();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_NE(msgs[0].envelope.find("\"host_name\": \"quormail.test\""), std::string::npos) << msgs[0].envelope;
  EXPECT_NE(msgs[0].envelope.find("\"extended_smtp\": false"), std::string::npos);
  EXPECT_NE(msgs[0].data.find("\r\n\r\nplain body\r\nLF only\r\n"), std::string::npos);
}

TEST(SmtpClient, LineBreaksInAddressesOrHeadersAreRefusedBeforeAnyCommand) {
  SmtpTestServer server;
  const std::vector<std::function<void(MailMessage&)>> poisons = {
      [](MailMessage& m) { m.recipients.items[0].address = "a@example.org>\r\nRCPT TO:<victim@example.org"; },
      [](MailMessage& m) { m.from.address = "a@example.org\nDATA"; },
      [](MailMessage& m) { m.subject = "hi\r\nBcc: victim@example.org"; },
      [](MailMessage& m) { m.from.name = "Eve\rX-Evil: 1"; },
      [](MailMessage& m) { m.extraHeaders.setValue("X-Campaign", "1\r\n\r\nspoofed body"); },
  };
  ScriptedServer scripted(
      [](ScriptedServer::Peer& p) {
        p.send("220 scripted\r\n");
        p.readLine();
        p.send("250 ok\r\n");
        p.readLine();  // QUIT
      },
      static_cast<int>(poisons.size()));
  for (const auto& poison : poisons) {
    MailMessage m;
    compose(m, "reader@example.org", "s", "b");
    poison(m);
    SmtpClient smtp;
    smtp.host = "127.0.0.1";
    smtp.port = scripted.port();
    smtp.connect(-1);
    try {
      smtp.send(m);
      FAIL() << "unsafe message sent";
    } catch (const UnsafeTextError& e) {
      EXPECT_STREQ(e.what(), "Mail address or header contains CR or LF.");
    }
    smtp.disconnect();
  }
  scripted.join();
  for (const std::string& line : scripted.received())
    EXPECT_TRUE(line.rfind("EHLO ", 0) == 0 || line == "QUIT") << line;

  // Bare line breaks in a body line are line ends, never the end of DATA.
  MailMessage m;
  compose(m, "reader@example.org", "s", "b");
  m.body = {"first\r\n.\r\nQUIT", "last"};
  sendOne(server.port(), m);
  ASSERT_TRUE(server.waitForMessages(1));
  EXPECT_NE(server.messages()[0].data.find("\r\n\r\nfirst\r\n.\r\nQUIT\r\nlast\r\n"), std::string::npos);
}

// Without encryption the password never goes out unless the caller allows it.
TEST(SmtpClient, NoLoginInClearUnlessAllowed) {
  for (const bool allowed : {false, true}) {
    ScriptedServer scripted([](ScriptedServer::Peer& p) {
      p.send("220 scripted ESMTP\r\n");
      p.readLine();
      p.send("250-scripted\r\n250-STARTTLS\r\n250 AUTH PLAIN\r\n");
      if (p.readLine().rfind("AUTH", 0) == 0) p.send("235 ok\r\n");
      p.waitForClose(5000);
    });
    SmtpClient smtp;
    smtp.host = "127.0.0.1";
    smtp.port = scripted.port();
    smtp.user = "quor";
    smtp.password = "secret";
    smtp.loginWithoutTls = allowed;
    smtp.setAuthenticationType(AuthenticationType::login);
    if (allowed) {
      smtp.connect(-1);
    } else {
      EXPECT_THROW(smtp.connect(-1), MissingServerFeatureError);
    }
    smtp.disconnect();
    scripted.join();
    const auto got = scripted.received();
    EXPECT_EQ(std::count_if(got.begin(), got.end(), [](const std::string& l) { return l.rfind("AUTH", 0) == 0; }),
              allowed ? 1 : 0);
  }
}

TEST(SmtpClient, EhloSchemesAndTheExactExchange) {
  ScriptedServer scripted([](ScriptedServer::Peer& p) {
    p.send("220 scripted ESMTP\r\n");
    p.readLine();
    p.send("250-scripted\r\n250-AUTH LOGIN PLAIN\r\n250-AUTH=LOGIN CRAM-MD5\r\n250 8BITMIME\r\n");
    for (const char* reply : {"235 accepted", "250 reset", "250 sender ok", "251 will forward", "354 go ahead"}) {
      p.readLine();
      p.send(std::string(reply) + "\r\n");
    }
    for (int i = 0; i < 100 && p.readLine() != "."; ++i) {
    }
    p.send("250 queued\r\n");
    p.readLine();  // QUIT, then the client closes without waiting
  });
  MailMessage m;
  m.from.setText("\"Shop \\\"A\\\"\" <shop@example.com>");
  m.recipients.setText("reader@example.org");
  m.subject = "Hello";
  m.setBodyText(".\r\nx");
  SmtpClient smtp;
  smtp.host = "127.0.0.1";
  smtp.port = scripted.port();
  smtp.heloName = "me";
  smtp.user = "u";
  smtp.password = "p";
  smtp.setAuthenticationType(AuthenticationType::login);  // PLAIN is chosen over LOGIN
  smtp.loginWithoutTls = true;                           // the scripted server speaks no TLS
  smtp.connect(-1);
  EXPECT_EQ(smtp.authSchemes, std::vector<std::string>({"LOGIN", "PLAIN", "CRAM-MD5"}));
  smtp.send(m);
  smtp.disconnect();
  scripted.join();
  const auto got = scripted.received();
  ASSERT_GE(got.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 7),
            std::vector<std::string>({"EHLO me", "AUTH PLAIN AHUAcA==", "RSET", "MAIL FROM:<shop@example.com>", "RCPT TO:<reader@example.org>",
                                      "DATA", "From: \"Shop \\\"A\\\"\" <shop@example.com>"}));
  EXPECT_EQ(std::vector<std::string>(got.end() - 4, got.end()), std::vector<std::string>({"..", "x", ".", "QUIT"}));
}

TEST(SmtpClient, GreetingOtherThan220DisconnectsAndRaises) {
  ScriptedServer scripted([](ScriptedServer::Peer& p) {
    p.send("554 go away\r\n");
    p.readLine();
  });
  SmtpClient smtp;
  smtp.host = "127.0.0.1";
  smtp.port = scripted.port();
  try {
    smtp.connect(-1);
    FAIL();
  } catch (const ProtocolReplyError& e) {
    EXPECT_EQ(e.command(), "connect");
    EXPECT_STREQ(e.what(), "554 go away\r\n");
  }
  EXPECT_FALSE(smtp.connected());
}

TEST(MailMessage, HeaderFoldingAndEmptyHeaders) {
  MailMessage m;
  m.from.setText("a@example.com");
  m.recipients.setText("b@example.org, \"Doe, John\" <john@example.org>");
  m.subject = std::string(100, 'x');
  m.generateHeader();
  const auto lines = m.headers.lines();
  EXPECT_EQ(lines[0], "From: a@example.com");
  // An over-long word stays on the name's line: a fold there would read as a blank.
  EXPECT_EQ(lines[1], "Subject: " + m.subject);
  EXPECT_EQ(lines[2], "To: b@example.org, \"Doe, John\" <john@example.org>");
  EXPECT_EQ(m.headers.value("Subject"), m.subject);

  MailMessage empty;
  empty.from.setText("a@example.com");
  empty.generateHeader();
  EXPECT_EQ(empty.headers.value("Subject"), "");
  EXPECT_EQ(empty.headers.lines()[1], "MIME-Version: 1.0");  // no empty Subject or To line

  // Break after the last space or comma before the 78th character, never inside quotes.
  const auto folded = foldHeaderLine("To: " + std::string(40, 'a') + "@x.org, \"" + std::string(30, 'q') + " " +
                                     std::string(10, 'q') + "\" <b@x.org>");
  ASSERT_EQ(folded.size(), 2u);
  EXPECT_EQ(folded[0], "To: " + std::string(40, 'a') + "@x.org,");
  EXPECT_EQ(folded[1].substr(0, 2), " \"");
  EXPECT_EQ(foldHeaderLine("Subject: short").size(), 1u);
}

TEST(MailMessage, AddressParsing) {
  EmailAddress item;
  item.setText("Taro <taro@example.org>");
  EXPECT_EQ(item.name, "Taro");
  EXPECT_EQ(item.address, "taro@example.org");
  EXPECT_EQ(item.headerText(), "\"Taro\" <taro@example.org>");
  item.setText("  plain@example.org ");
  EXPECT_EQ(item.headerText(), "plain@example.org");
  EXPECT_THROW(item.setText("a@b <c@d>"), AddressParseError);
  try {
    item.setText("a@b <c@d>");
  } catch (const AddressParseError& e) {
    EXPECT_STREQ(e.what(), "@ Outside address");
  }
  // A Japanese name the writer encodes itself, with ESC ( B as kanji-out.
  item.name = sj("太郎");
  item.address = "t@example.org";
  EXPECT_EQ(item.headerText(), "=?ISO-2022-JP?B?GyRCQkBPOhsoQg==?= <t@example.org>");
}

TEST(SmtpClient, RepliesHaveOverallLimitsAndTheDataReplyItsOwn) {
  SmtpClient defaults;
  EXPECT_EQ(defaults.replyTimeoutMs, 60000);
  EXPECT_EQ(defaults.dataReplyTimeoutMs, 300000);
  // The server accepts the mail and then never answers the final ".".
  ScriptedServer scripted([](ScriptedServer::Peer& p) {
    p.send("220 scripted\r\n");
    p.readLine();
    p.send("250 hello\r\n");
    for (const char* reply : {"250 reset", "250 sender ok", "250 rcpt ok", "354 go ahead"}) {
      p.readLine();
      p.send(std::string(reply) + "\r\n");
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end && p.send("2"))  // trickles, never a whole line
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  });
  MailMessage m;
  m.from.setText("office@example.com");
  m.recipients.setText("reader@example.org");
  m.setBodyText("body");
  SmtpClient smtp;
  smtp.host = "127.0.0.1";
  smtp.port = scripted.port();
  smtp.readTimeoutMs = 0;  // as the send run sets it
  smtp.replyTimeoutMs = 5000;
  smtp.dataReplyTimeoutMs = 500;
  smtp.connect(-1);
  try {
    smtp.send(m);
    FAIL();
  } catch (const ReplyDeadlineError& e) {
    EXPECT_STREQ(e.what(), "Read timed out.");
    // The mail went out whole: the server may have taken it.
    EXPECT_EQ(smtp.pendingCommand(), ".");
    EXPECT_EQ(failureVerdict(e, smtp.pendingCommand()), DeliveryVerdict::OutcomeUnknown);
  }
  smtp.disconnect();
}

TEST(MailMessage, InvalidShiftJisPairsNeverBecomeLineBreaks) {
  // Lead byte 0xEB with trail 0x2C would convert to the JIS pair 0x75 0x0D (a CR).
  const std::string fuzzed("\x28\xfe\xff\xff\xeb\x2c\x06\x2c\x06\x22\x3c", 11);
  MailMessage m;
  m.from.setText("office@example.com");
  m.from.name = fuzzed;
  m.subject = fuzzed;
  m.recipients.setText("reader@example.org");
  m.setBodyText(fuzzed);
  m.generateHeader();
  for (const std::string& line : SmtpClient::messageLines(m))
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
}

TEST(MailMessage, HeadersAndBlanksBetweenJapaneseWordsReadBackAsTyped) {
  SmtpTestServer server;
  MailMessage m;
  m.from.name = sj("クオル 事務局");
  m.from.address = "office@quor.example.jp";
  m.recipients.setText("reader@example.org");
  m.subject = sj("第2話 最終  回　です No.1");
  m.setBodyText(sj("本文です。\r\n"));
  sendOne(server.port(), m);
  MailMessage second = m;
  sendOne(server.port(), second);
  ASSERT_TRUE(server.waitForMessages(2)) << server.log();
  const auto msg = server.messages().at(0);
  EXPECT_EQ(headerNames(msg.data),
            std::vector<std::string>({"From", "Subject", "To", "MIME-Version", "Content-Type",
                                      "Content-Transfer-Encoding", "Date", "Message-ID", "X-Priority", "X-Mailer"}));
  EXPECT_NE(msg.data.find("\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
                          "Content-Transfer-Encoding: 7bit\r\n"),
            std::string::npos);
  std::smatch id;
  ASSERT_TRUE(std::regex_search(msg.data, id, std::regex("\r\nMessage-ID: <([^@<>\r\n]+)@quor\\.example\\.jp>\r\n")));
  EXPECT_EQ(server.messages().at(1).data.find(id[0].str()), std::string::npos) << "Message-ID repeated";

  const std::string text = decoded(msg.emlPath);
  EXPECT_NE(text.find("From: クオル 事務局 <office@quor.example.jp>\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Subject: 第2話 最終  回　です No.1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\n本文です。\r\n"), std::string::npos) << text;

}
