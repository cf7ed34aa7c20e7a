#include <gtest/gtest.h>

#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"

namespace {

void point(Pop3Client& pop, int port, const std::string& user, const std::string& password) {
  pop.host = "127.0.0.1";
  pop.port = port;
  pop.user = user;
  pop.password = password;
}

// A login against a scripted server that must fail with E and exactly message.
template <typename E>
void expectLoginFails(ScriptedServer::Script script, const char* message) {
  ScriptedServer server(std::move(script));
  Pop3Client pop;
  point(pop, server.port(), "who", "pw");
  try {
    pop.connect(-1);
    ADD_FAILURE() << "login succeeded";
  } catch (const E& e) {
    EXPECT_STREQ(e.what(), message);
  }
  EXPECT_FALSE(pop.connected());
}

}  // namespace

TEST(Pop3Client, LoginAndLogoutAgainstDovecot) {
  Pop3TestServer server("reader", "s3cret");
  Pop3Client pop;
  EXPECT_EQ(pop.port, 110);
  point(pop, server.port(), "reader", "s3cret");
  std::vector<int> statuses;
  pop.onStatus = [&](TcpConnection&, ConnectionStatus s, const std::string&) { statuses.push_back(static_cast<int>(s)); };
  pop.connect(-1);
  EXPECT_EQ(pop.lastReply.code, Pop3Client::OK);
  EXPECT_EQ(pop.lastReply.lines.at(0), "Logged in.");
  pop.disconnect();
  EXPECT_FALSE(pop.connected());
  EXPECT_EQ(statuses, std::vector<int>({1, 2, 3, 4}));

  point(pop, server.port(), "reader", "wrong");
  try {
    pop.connect(-1);
    FAIL() << "wrong password accepted";
  } catch (const ProtocolReplyError& e) {
    EXPECT_EQ(e.replyCode(), 0);  // "-ERR" has no number
    EXPECT_EQ(e.command(), "PASS");
    EXPECT_STREQ(e.what(), "-ERR [AUTH] Authentication failed.\r\n");
  }
  EXPECT_FALSE(pop.connected());
}

TEST(Pop3Client, ExchangeAndOddReplies) {
  {  // USER refused: PASS is never sent; QUIT goes out without waiting for an answer
    ScriptedServer server([](ScriptedServer::Peer& p) {
      p.send("+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n");
      p.readLine();
      p.send("-ERR unknown user\r\n");
      p.readAll();
    });
    Pop3Client pop;
    point(pop, server.port(), "who", "pw");
    try {
      pop.connect(-1);
      FAIL();
    } catch (const ProtocolReplyError& e) {
      EXPECT_EQ(e.command(), "USER");
      EXPECT_STREQ(e.what(), "-ERR unknown user\r\n");
    }
    server.join();
    EXPECT_EQ(server.received(), std::vector<std::string>({"USER who"}));
  }
  expectLoginFails<NetError>(
      [](ScriptedServer::Peer& p) {
        p.send("* OK IMAP4 ready\r\n");
        p.readAll();
      },
      "Unrecognized POP3 Response Header:\n\"* OK IMAP4 ready\"");
  expectLoginFails<ConnectionClosedError>(
      [](ScriptedServer::Peer& p) {
        p.send("+OK hi\r\n");
        p.readLine();
      },
      "Connection Closed Gracefully.");
  {  // the full exchange of a successful call; the server never answers QUIT
    ScriptedServer server([](ScriptedServer::Peer& p) {
      p.send("+OK ready\r\n");
      p.readLine();
      p.send("+OK\r\n");
      p.readLine();
      p.send("+OK Logged in.\r\n");
      p.readLine();
      p.readAll();
    });
    Pop3Client pop;
    point(pop, server.port(), "u", "p w");
    pop.connect(-1);
    pop.disconnect();
    server.join();
    EXPECT_EQ(server.received(), std::vector<std::string>({"USER u", "PASS p w", "QUIT"}));
  }
}
