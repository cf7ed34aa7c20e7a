#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/NetErrors.h"
#include "net/ServerReply.h"
#include "net/TcpClient.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"

namespace {

// Replies from a list of lines; raises when they run out.
ServerReply parse(std::vector<std::string> lines) {
  std::size_t next = 0;
  ServerReply reply;
  reply.readFrom([&]() -> std::string {
    if (next == lines.size()) throw std::runtime_error("read past the reply");
    return lines[next++];
  });
  return reply;
}

struct StatusLog {
  std::vector<std::pair<int, std::string>> entries;
  void attach(TcpConnection& c) {
    c.onStatus = [this](TcpConnection&, ConnectionStatus s, const std::string& t) {
      entries.emplace_back(static_cast<int>(s), t);
    };
  }
};

std::unique_ptr<TcpClient> clientFor(int port) {
  auto c = std::make_unique<TcpClient>();
  c->host = "127.0.0.1";
  c->port = port;
  return c;
}

}  // namespace

TEST(ServerReply, SingleAndMultiLineShapes) {
  ServerReply r = parse({"250 ok"});
  EXPECT_EQ(r.code, 250);
  EXPECT_EQ(r.codeText, "250");
  EXPECT_EQ(r.lines, std::vector<std::string>({"ok"}));

  r = parse({"250-first", "250-second", "250 last", "unread"});
  EXPECT_EQ(r.code, 250);
  EXPECT_EQ(r.lines, std::vector<std::string>({"first", "second", "last"}));
  EXPECT_EQ(r.textWithLineEnds(), "first\r\nsecond\r\nlast\r\n");

  // Empty lines are skipped and lines trimmed; continuation lines of another shape
  // belong to the reply until the closing line.
  r = parse({"", "  220-hello  ", "   ", "free text", "220 done"});
  EXPECT_EQ(r.code, 220);
  EXPECT_EQ(r.lines, std::vector<std::string>({"hello", " text", "done"}));

  // A short line ends a multi-line reply.
  r = parse({"211-status", "211", "next"});
  EXPECT_EQ(r.lines.size(), 2u);

  // Non-numeric codes give 0; POP3 style text codes are kept.
  r = parse({"+OK Logged in."});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.codeText, "+OK");
  EXPECT_EQ(r.lines[0], "Logged in.");
  r = parse({"-ERR [AUTH] Authentication failed."});
  EXPECT_EQ(r.codeText, "-ERR");
  EXPECT_EQ(r.lines[0], " [AUTH] Authentication failed.");
}

TEST(TcpConnection, ReadsRepliesAcrossPacketsAndChecksCodes) {
  ScriptedServer server([](ScriptedServer::Peer& p) {
    p.send("220-Welcome\r\n220-");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    p.send("still here\n220 ready\r\n");
    p.readLine();
    p.send("550 No such user\r\n");
    p.readLine();
  });
  auto cp = clientFor(server.port());
    auto& c = *cp;
  c.readTimeoutMs = 5000;
  c.connect();
  EXPECT_EQ(c.getResponse({220}), 220);
  EXPECT_EQ(c.lastReply.lines.size(), 3u);
  try {
    c.sendCommand("VRFY x", {250, 251});
    FAIL() << "550 accepted";
  } catch (const ProtocolReplyError& e) {
    EXPECT_EQ(e.replyCode(), 550);
    EXPECT_STREQ(e.what(), "550 No such user\r\n");
  }
  c.disconnect();
  server.join();
  EXPECT_EQ(server.received(), std::vector<std::string>({"VRFY x"}));
}

// Plays script, reads one reply with the given time limit, and expects exception E
// with exactly message; answers how long the read took.
template <typename E>
std::chrono::steady_clock::duration expectReadFails(ScriptedServer::Script script, int readTimeout,
                                                    const char* message) {
  ScriptedServer server(std::move(script));
  auto cp = clientFor(server.port());
  cp->readTimeoutMs = readTimeout;
  cp->connect();
  const auto t0 = std::chrono::steady_clock::now();
  try {
    cp->readReply();
    ADD_FAILURE() << "no exception";
  } catch (const E& e) {
    EXPECT_STREQ(e.what(), message);
  }
  const auto took = std::chrono::steady_clock::now() - t0;
  cp->disconnect();
  return took;
}

TEST(TcpConnection, FaultsRaiseTheirExactTexts) {
  const auto silence = expectReadFails<ReadTimeoutError>([](ScriptedServer::Peer& p) { p.readLine(); }, 200,
                                                       "Read Timeout");
  EXPECT_LT(silence, std::chrono::seconds(3));
  expectReadFails<ConnectionClosedError>([](ScriptedServer::Peer& p) { p.send("250-one\r\n250-tw"); }, 0,
                                           "Connection Closed Gracefully.");
  expectReadFails<LineTooLongError>(
      [](ScriptedServer::Peer& p) {
        p.send("220 " + std::string(20000, 'x') + "\r\n");
        p.readLine();
      },
      0, "Max line length exceeded.");
  {  // exactly the longest line allowed is fine
    ScriptedServer server([](ScriptedServer::Peer& p) { p.send("220 " + std::string(16380, 'x') + "\r\n"); });
    auto cp = clientFor(server.port());
    auto& c = *cp;
    c.connect();
    c.readReply();
    EXPECT_EQ(c.lastReply.lines[0].size(), 16380u);
  }
}

TEST(TcpConnection, ConnectFailuresAndStates) {
  auto rp = clientFor(freeLocalPort());
  auto& refused = *rp;
  try {
    refused.connect();
    FAIL();
  } catch (const SocketError& e) {
    EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
  }
  TcpClient unknown;
  unknown.host = "no-such-host.invalid";
  unknown.port = 25;
  StatusLog log;
  log.attach(unknown);
  try {
    unknown.connect();
    FAIL();
  } catch (const SocketError& e) {
    EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
  }
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0], std::make_pair(0, std::string("Resolving hostname no-such-host.invalid.")));

  TcpClient idle;
  EXPECT_THROW(idle.writeLine("NOOP"), NotConnectedError);
  EXPECT_THROW(idle.readLine(), NotConnectedError);

  ScriptedServer server([](ScriptedServer::Peer& p) { p.readLine(); });
  auto cp = clientFor(server.port());
    auto& c = *cp;
  StatusLog statuses;
  statuses.attach(c);
  int connected = 0, disconnected = 0;
  c.onConnected = [&](TcpConnection&) { ++connected; };
  c.onDisconnected = [&](TcpConnection&) { ++disconnected; };
  c.connect();
  EXPECT_THROW(c.connect(), AlreadyConnectedError);
  EXPECT_THROW(c.writeLine("MAIL FROM:<a@b>\r\nRCPT TO:<x@y>"), UnsafeTextError);
  c.disconnect();
  c.disconnect();
  EXPECT_EQ(connected, 1);
  EXPECT_EQ(disconnected, 2);
  const std::vector<std::pair<int, std::string>> expected = {
      {1, "Connecting to 127.0.0.1."}, {2, "Connected."},    {3, "Disconnecting."},
      {4, "Disconnected."},            {3, "Disconnecting."}, {4, "Disconnected."}};
  EXPECT_EQ(statuses.entries, expected);
  server.join();
  EXPECT_TRUE(server.received().empty()) << "the refused line reached the server";
}

TEST(TcpConnection, StopRequestEndsAWaitOnASilentServer) {
  // The server greets nothing and reads nothing until the client gives up.
  ScriptedServer server([](ScriptedServer::Peer& p) { p.readAll(); });
  auto c = clientFor(server.port());
  std::atomic<bool> stop{false};
  c->setStopFlag(&stop);
  c->connect();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.store(true);
  });
  EXPECT_THROW(c->readLine(), StoppedError);
  stopper.join();
  c->disconnect();
  server.join();

  // A stop already requested ends the next wait at once, with no limit of its own set.
  auto again = clientFor(server.port());
  again->setStopFlag(&stop);
  EXPECT_THROW(again->connect(), StoppedError);
}

namespace {

// Sends piece every intervalMs until the client has gone, for at most 5 s: a client
// without an overall limit would see the connection close instead of a time-out.
ScriptedServer::Script trickle(std::string first, std::string piece, int intervalMs) {
  return [=](ScriptedServer::Peer& p) {
    p.send(first);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end && p.send(piece))
      std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
  };
}

template <typename E>
void expectReplyFails(ScriptedServer::Script script, int readTimeout, int replyTimeout, const char* message,
                      const std::atomic<bool>* stop = nullptr) {
  ScriptedServer server(std::move(script));
  auto c = clientFor(server.port());
  c->readTimeoutMs = readTimeout;
  c->replyTimeoutMs = replyTimeout;
  c->setStopFlag(stop);
  c->connect();
  try {
    c->readReply();
    ADD_FAILURE() << "no exception";
  } catch (const E& e) {
    EXPECT_STREQ(e.what(), message);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "other exception: " << e.what();
  }
  c->disconnect();
}

}  // namespace

TEST(TcpConnection, AReplyHasAnOverallDeadlineNotOnePerReceive) {
  // One byte every 100 ms: each wait is short, the reply never ends.
  expectReplyFails<ReplyDeadlineError>(trickle("220-", "x", 100), 1000, 600, "Read timed out.");
  // Endless continuation lines.
  expectReplyFails<ReplyDeadlineError>(trickle("", "250-more\r\n", 50), 1000, 600, "Read timed out.");
  // No read time-out at all (the mail client's setting): the overall limit alone ends it.
  expectReplyFails<ReplyDeadlineError>([](ScriptedServer::Peer& p) { p.readAll(); }, 0, 300, "Read timed out.");
  // A server that stays silent for the read time-out is still a plain read time-out.
  expectReplyFails<ReadTimeoutError>([](ScriptedServer::Peer& p) { p.readAll(); }, 300, 300, "Read Timeout");
  // The operator's stop request ends the wait on a trickling server too.
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.store(true);
  });
  expectReplyFails<StoppedError>(trickle("220-", "x", 50), 0, 0, "Stopped.", &stop);
  stopper.join();
}

TEST(TcpConnection, OversizedRepliesAreRefused) {
  const char* tooLong = "Server reply too long (more than 1000 lines or 1048576 bytes).";
  expectReplyFails<ReplyTooLongError>(
      [](ScriptedServer::Peer& p) {
        std::string lines;
        for (int i = 0; i < 1001; ++i) lines += "250-line\r\n";
        p.send(lines + "250 end\r\n");
        p.readAll();
      },
      5000, 0, tooLong);
  // Empty lines count although the reply reader skips them.
  expectReplyFails<ReplyTooLongError>(
      [](ScriptedServer::Peer& p) {
        p.send("250-start\r\n" + std::string(2000, '\n'));
        p.readAll();
      },
      5000, 0, tooLong);
  expectReplyFails<ReplyTooLongError>(
      [](ScriptedServer::Peer& p) {
        const std::string line = "250-" + std::string(16000, 'x') + "\r\n";
        for (int i = 0; i < 70; ++i) p.send(line);
        p.readAll();
      },
      5000, 0, tooLong);
  // 1,000 lines are allowed.
  ScriptedServer server([](ScriptedServer::Peer& p) {
    std::string lines;
    for (int i = 0; i < 999; ++i) lines += "250-line\r\n";
    p.send(lines + "250 end\r\n");
    p.readAll();
  });
  auto c = clientFor(server.port());
  c->connect();
  c->readReply();
  EXPECT_EQ(c->lastReply.lines.size(), 1000u);
  c->disconnect();
}

TEST(TcpConnection, ConnectHasItsOwnLimit) {
  // A listener with a full backlog: the next connect is never answered.
  int port = 0;
  const int listener = listenLoopback(&port);
  ::listen(listener, 0);
  auto first = clientFor(port);
  first->connect();
  auto second = clientFor(port);
  EXPECT_EQ(second->connectTimeoutMs, 30000);
  second->connectTimeoutMs = 300;
  std::atomic<bool> stop{false};  // ends the wait of a client that ignores its limit
  second->setStopFlag(&stop);
  std::thread stopper([&] {
    for (int i = 0; i < 100 && !stop.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.store(true);
  });
  try {
    second->connect();
    ADD_FAILURE() << "connected";
  } catch (const ConnectTimeoutError& e) {
    EXPECT_STREQ(e.what(), "Connect timed out.");
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
  stop.store(true);
  stopper.join();
  first->disconnect();
  ::close(listener);
}
