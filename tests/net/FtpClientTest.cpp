#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <thread>

#include "net/NetErrors.h"
#include "net/PassiveReply.h"
#include "net/FtpClient.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"

namespace {

struct Events {
  std::vector<std::pair<int, std::string>> statuses;
  std::vector<std::int64_t> work;
  void attach(FtpClient& ftp) {
    ftp.onStatus = [this](TcpConnection&, ConnectionStatus s, const std::string& t) {
      statuses.emplace_back(static_cast<int>(s), t);
    };
    ftp.onWork = [this](FtpClient&, WorkMode, std::int64_t count) { work.push_back(count); };
  }
};

void point(FtpClient& ftp, int port) {
  ftp.host = "127.0.0.1";
  ftp.port = port;
  ftp.user = "quor";
  ftp.password = "pass";
}

}  // namespace

class FtpClientReal : public ::testing::TestWithParam<bool> {};

TEST_P(FtpClientReal, ReceiveRunAgainstPyftpdlib) {
  FtpTestServer server("quor", "pass");
  std::filesystem::create_directories(server.home() + "/cgi-bin");
  std::string data;
  for (int i = 0; i < 50000; ++i) data += "name" + std::to_string(i) + ",mail" + std::to_string(i) + "@example.org\r\n";
  writeFileBytes(server.home() + "/cgi-bin/registdata.cgi", data);
  writeFileBytes(server.home() + "/index.html", "<html></html>");

  TempDir local;
  writeFileBytes(local.file("registdata.cgi"), std::string(2000000, 'z'));  // replaced, never appended to
  writeFileBytes(local.file("empty.cgi"), "");

  FtpClient ftp;
  EXPECT_EQ(ftp.port, 21);
  EXPECT_EQ(ftp.readTimeoutMs, 10000);
  point(ftp, server.port());
  ftp.passive = GetParam();
  Events events;
  events.attach(ftp);
  ftp.connect(true, 50000);
  EXPECT_EQ(ftp.systemDescription, "UNIX Type: L8");
  std::vector<std::string> listing = {"old line"};
  ftp.list(listing, "*.*", true);
  ASSERT_EQ(listing.size(), 1u);
  EXPECT_NE(listing[0].find("index.html"), std::string::npos);
  ftp.changeDir("cgi-bin");
  EXPECT_EQ(ftp.size("registdata.cgi"), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(ftp.size("missing.cgi"), -1);
  events.work.clear();
  ftp.get("registdata.cgi", local.file("registdata.cgi"), true, false);
  EXPECT_EQ(readFileBytes(local.file("registdata.cgi")), data);
  ASSERT_FALSE(events.work.empty());
  EXPECT_EQ(events.work.back(), static_cast<std::int64_t>(data.size()));
  ftp.put(local.file("empty.cgi"), "registdata.cgi", false);
  EXPECT_EQ(std::filesystem::file_size(server.home() + "/cgi-bin/registdata.cgi"), 0u);
  ftp.put(local.file("registdata.cgi"), "copy.cgi", false);
  EXPECT_EQ(readFileBytes(server.home() + "/cgi-bin/copy.cgi"), data);
  try {
    ftp.changeDir("nowhere");
    FAIL();
  } catch (const ProtocolReplyError& e) {
    EXPECT_EQ(e.replyCode(), 550);
  }
  EXPECT_THROW(ftp.get("copy.cgi", local.file("registdata.cgi"), false, false), NetError);
  ftp.disconnect();

  const std::vector<std::pair<int, std::string>> start = {
      {1, "Connecting to 127.0.0.1."}, {2, "Connected."}, {7, "Connection established"},
      {6, "Starting FTP transfer"},    {7, "Transfer complete"}};
  ASSERT_GE(events.statuses.size(), start.size());
  const std::vector<std::pair<int, std::string>> first(events.statuses.begin(), events.statuses.begin() + 5);
  EXPECT_EQ(first, start);
  EXPECT_EQ(events.statuses.back(), std::make_pair(4, std::string("Disconnected.")));

  // A wrong password is refused with the server's text.
  ftp.password = "wrong";
  try {
    ftp.connect(true, 50000);
    FAIL();
  } catch (const ProtocolReplyError& e) {
    EXPECT_EQ(e.replyCode(), 530);
    EXPECT_EQ(e.command(), "PASS");
    EXPECT_EQ(std::string(e.what()).rfind("530 ", 0), 0u) << e.what();
  }
  EXPECT_FALSE(ftp.connected());
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, FtpClientReal, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST(FtpClient, RenameAndDeleteAgainstPyftpdlib) {
  // permissions, from, to, and the command refused with 550: a rename refused, else the
  // second DELE of the renamed file.
  const std::vector<std::array<std::string, 4>> cases = {
      {"elradfmwMT", "a.cgi", "a.cgi.taking-1", "DELE"},
      {"elradmwMT", "a.cgi", "a.cgi.taking-1", "RNFR"},  // no "f": renames refused
      {"elradfmwMT", "missing.cgi", "b.cgi", "RNFR"},
      {"elradfmwMT", "a.cgi", "nowhere/b.cgi", "RNTO"}};
  for (const auto& [perm, from, to, refused] : cases) {
    FtpTestServer server("quor", "pass", perm);
    writeFileBytes(server.home() + "/a.cgi", "line\n");
    FtpClient ftp;
    point(ftp, server.port());
    ftp.connect(true, 50000);
    try {
      ftp.rename(from, to);
      EXPECT_EQ(readFileBytes(server.home() + "/" + to), "line\n");
      ftp.deleteFile(to);
      ftp.deleteFile(to);
      ADD_FAILURE() << "nothing refused: " << perm << " " << to;
    } catch (const ProtocolReplyError& e) {
      EXPECT_EQ(e.command(), refused) << perm << " " << from << " " << to;
      EXPECT_EQ(std::string(e.what()).rfind("550 ", 0), 0u) << e.what();
    }
    EXPECT_EQ(std::filesystem::exists(server.home() + "/a.cgi"), refused != "DELE") << to;
    EXPECT_FALSE(std::filesystem::exists(server.home() + "/" + to));
  }
}

TEST(FtpClient, PassiveReplyParsing) {
  PassiveAddress a = parsePassiveReply("Entering Passive Mode (192,168,1,2,19,137).");
  EXPECT_EQ(a.host, "192.168.1.2");
  EXPECT_EQ(a.port, 5001);
  a = parsePassiveReply("  Entering Passive Mode 192,168,1,2,19,137  ");
  EXPECT_EQ(a.host, "192.168.1.2");
  EXPECT_EQ(a.port, 5001);
  for (const char* bad : {"Entering Passive Mode", "(1,2,3,4,5)", "(1,2,3,4,5,6,7)", "(256,0,0,1,1,1)",
                          "(1,2,3,4,5,x)", "", "(1,,3,4,5,6)", "(99999999999999999999,1,1,1,1,1)"})
    EXPECT_THROW(parsePassiveReply(bad), NetError) << bad;
}

TEST(FtpClient, ScriptedServerShapes) {
  int dataPort = 0;
  const int dataFd = listenLoopback(&dataPort);
  ScriptedServer server([dataFd, dataPort](ScriptedServer::Peer& p) {
    p.send("220 scripted\r\n");
    p.readLine();
    p.send("230 no password needed\r\n");
    p.readLine();
    p.send("200 binary\r\n");
    p.readLine();
    p.send("500 SYST unknown\r\n");
    p.readLine();  // PASV
    p.send("227 Entering Passive Mode (127,0,0,1," + std::to_string(dataPort >> 8) + "," +
           std::to_string(dataPort & 255) + ")\r\n");
    p.readLine();  // RETR
    const int fd = acceptWithin(dataFd, 10000);
    p.send("150 opening\r\n");
    ::send(fd, "partial", 7, 0);
    ::close(fd);
    p.send("426 Connection closed; transfer aborted.\r\n226 closing\r\n");
    p.readLine();  // PASV
    p.send("227 =)\r\n");
    p.readLine();  // SIZE
    p.send("213 1234\r\n");
    p.readAll();
  });
  FtpClient ftp;
  point(ftp, server.port());
  Events events;
  events.attach(ftp);
  ftp.connect(true, 50000);
  EXPECT_EQ(ftp.systemDescription, "\x95\x73\x96\xbe");
  TempDir local;
  try {
    ftp.get("data.cgi", local.file("data.cgi"), true, false);
    FAIL() << "an aborted transfer reported as complete";
  } catch (const ProtocolReplyError& e) {
    EXPECT_EQ(e.replyCode(), 426);
    EXPECT_EQ(e.command(), "RETR");
    EXPECT_STREQ(e.what(), "426 Connection closed; transfer aborted.\r\n");
  }
  EXPECT_EQ(events.statuses.back(), std::make_pair(8, std::string("Transfer aborted")));
  EXPECT_THROW(ftp.get("data.cgi", local.file("data.cgi"), true, false), NetError);
  EXPECT_EQ(ftp.size("x"), 1234);
  ftp.disconnect();
  server.join();
  ::close(dataFd);
  const auto got = server.received();
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 5),
            std::vector<std::string>({"USER quor", "TYPE I", "SYST", "PASV", "RETR data.cgi"}));
}

TEST(FtpClient, SilentServerRaisesReadTimeout) {
  ScriptedServer server([](ScriptedServer::Peer& p) { p.readAll(); });
  FtpClient ftp;
  point(ftp, server.port());
  ftp.readTimeoutMs = 300;
  try {
    ftp.connect(true, 50000);
    FAIL();
  } catch (const ReadTimeoutError& e) {
    EXPECT_STREQ(e.what(), "Read Timeout");
  }
  EXPECT_FALSE(ftp.connected());
}

namespace {

// Logs in without a password and answers SYST; the first steps of every scripted run.
void greetAndLogin(ScriptedServer::Peer& p) {
  p.send("220 scripted\r\n");
  p.readLine();
  p.send("230 no password needed\r\n");
  p.readLine();
  p.send("200 binary\r\n");
  p.readLine();
  p.send("215 UNIX Type: L8\r\n");
}

std::string pasvReply(const std::string& host, int port) {
  std::string numbers = host;
  for (char& c : numbers)
    if (c == '.') c = ',';
  return "227 Entering Passive Mode (" + numbers + "," + std::to_string(port >> 8) + "," + std::to_string(port & 255) +
         ")\r\n";
}

}  // namespace

TEST(FtpClient, PassiveDataGoesToTheControlPeerNotToTheHostOfTheReply) {
  int dataPort = 0;
  const int dataFd = listenLoopback(&dataPort);
  ScriptedServer server([dataFd, dataPort](ScriptedServer::Peer& p) {
    greetAndLogin(p);
    p.readLine();  // PASV naming a host elsewhere
    p.send(pasvReply("10.1.2.3", dataPort));
    p.readLine();  // RETR
    const int fd = acceptWithin(dataFd, 5000);
    if (fd < 0) return;
    p.send("150 opening\r\n");
    ::send(fd, "registration", 12, MSG_NOSIGNAL);
    ::close(fd);
    p.send("226 done\r\n");
    p.readAll();
  });
  FtpClient ftp;
  point(ftp, server.port());
  ftp.readTimeoutMs = 2000;
  ftp.connect(true, 5000);
  TempDir local;
  ftp.get("registdata.cgi", local.file("registdata.cgi"), true, false);
  EXPECT_EQ(readFileBytes(local.file("registdata.cgi")), "registration");
  ftp.disconnect();
  server.join();
  ::close(dataFd);
}

TEST(FtpClient, TricklingControlRepliesAndOversizedListingsFail) {
  {  // The control reply's overall limit is the read time-out.
    ScriptedServer server([](ScriptedServer::Peer& p) {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      p.send("220-");
      while (std::chrono::steady_clock::now() < end && p.send("220-welcome\r\n"))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    FtpClient ftp;
    point(ftp, server.port());
    ftp.readTimeoutMs = 500;
    try {
      ftp.connect(true, 5000);
      FAIL();
    } catch (const ReplyDeadlineError& e) {
      EXPECT_STREQ(e.what(), "Read timed out.");
    }
  }
  int dataPort = 0;
  const int dataFd = listenLoopback(&dataPort);
  ScriptedServer server([dataFd, dataPort](ScriptedServer::Peer& p) {
    greetAndLogin(p);
    p.readLine();  // PASV
    p.send(pasvReply("127.0.0.1", dataPort));
    p.readLine();  // LIST
    const int fd = acceptWithin(dataFd, 5000);
    if (fd < 0) return;
    p.send("150 listing\r\n");
    const std::string line = "-rw-r--r-- 1 owner group 1 Jan 01 00:00 " + std::string(60, 'n') + "\r\n";
    for (int i = 0; i < 2000 && ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) > 0; ++i) {
    }
    ::close(fd);
    p.send("226 done\r\n");
    p.readAll();
  });
  FtpClient ftp;
  point(ftp, server.port());
  ftp.readTimeoutMs = 2000;
  EXPECT_EQ(ftp.maxListingBytes, 16u << 20);
  ftp.maxListingBytes = 100000;
  ftp.connect(true, 5000);
  std::vector<std::string> listing;
  try {
    ftp.list(listing, "", true);
    FAIL();
  } catch (const ListingTooLongError& e) {
    EXPECT_STREQ(e.what(), "Directory listing too long (more than 100000 bytes).");
  }
  ftp.disconnect();
  server.join();
  ::close(dataFd);
}
