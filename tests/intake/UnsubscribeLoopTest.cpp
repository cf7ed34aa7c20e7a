// The whole way of an unsubscribe: the link a mail carries, the one-click POST a mail
// client makes to the script on the web site (PHP's own server in the folder that
// pyftpdlib serves), the receive run that fetches the request, and the reader no longer
// listed as due by the send run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "core/Sjis.h"
#include "core/ReaderStore.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "sending/SendRun.h"
#include "sending/UnsubscribeLink.h"
#include "settings/UnsubscribeSecret.h"
#include "tests/intake/IntakeFixture.h"
#include "tests/support/Servers.h"
#include "tests/support/WebServer.h"

namespace fs = std::filesystem;

namespace {

struct UnsubscribeLoopTest : IntakeTest {
  FtpTestServer ftp{"quor", "pass"};
  std::string site = ftp.home() + "/data";

  IntakeReport receive() { return receiveFrom(ftp.port()); }
  // The numbers of the readers the send run lists as due and sendable now.
  std::vector<std::string> dueNow() {
    DueList list(program.sql());
    list.load(SendOptions{}.onePerDay);
    std::vector<std::string> ids;
    for (const DueReader& r : list.readers())
      if (r.eligibility == Eligibility::eligible) ids.push_back(std::to_string(r.reader.id));
    return ids;
  }
};

TEST_F(UnsubscribeLoopTest, AOneClickUnsubscribeFromAMailStopsTheReaderAtTheNextReceive) {
  program.exec(" INSERT INTO STORYLIST (STORYNO, SUBJECT) VALUES ('00001', 'Welcome')");
  storeReader("00007", "taro@example.com");
  storeReader("00008", "hanako@example.com");
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001'");
  ASSERT_EQ(dueNow(), (std::vector<std::string>{"7", "8"}));

  // The program's secret goes on the site beside the script.
  const std::string secret = UnsubscribeSecret::loadOrCreate(program.file(UnsubscribeSecret::kFile));
  fs::create_directories(site);
  fs::copy_file(program.file(UnsubscribeSecret::kFile), site + "/" + UnsubscribeSecret::kFile);
  PhpTestServer web(site);

  // Reader 7's mail: its List-Unsubscribe header, of which a mail client takes the URL.
  const std::string base = "https://www.example.jp/quormail/unsubscribe.php";
  const std::string header = UnsubscribeLink::listUnsubscribe(
      "info@example.jp", "00007", UnsubscribeLink::url(base, secret, "00007", "00000000000000"));
  std::smatch link;
  ASSERT_TRUE(std::regex_search(header, link, std::regex("<https://www\\.example\\.jp/quormail(/[^>]+)>")))
      << header;
  const std::string path = link[1];

  // A scanner following the link changes nothing; the client's one-click POST does.
  int status = 0;
  web.get(path, &status);
  EXPECT_EQ(status, 200);
  EXPECT_FALSE(fs::exists(site + "/canceldata.cgi"));
  const std::string page = web.post(path, "List-Unsubscribe=One-Click", &status);
  ASSERT_EQ(status, 200) << page;
  // The site goes on taking registrations meanwhile.
  web.post("/regist_kny.cgi", "name=Jiro&email=jiro@example.com", &status);
  ASSERT_EQ(status, 200);

  const IntakeReport report = receive();
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed) << Sjis::toUtf8(report.failedStage);
  EXPECT_EQ(report.registered, 1);
  EXPECT_EQ(report.cancelled, 1);
  EXPECT_TRUE(listener.boxes.empty());
  EXPECT_EQ(statusOf("00007"), "00");
  EXPECT_EQ(statusOf("00008"), "01");
  // The new reader's registration carries the web server's real date: it is due
  // from that day on, so the listing is made with the real clock.
  Clock::setFixedStamp("");
  const std::vector<std::string> due = dueNow();
  Clock::setFixedStamp("20240507123456");
  EXPECT_EQ(std::count(due.begin(), due.end(), "7"), 0) << "the reader who unsubscribed is still due";
  EXPECT_EQ(due, (std::vector<std::string>{"8", "9"}));
  EXPECT_EQ(TestProgram::readFile(site + "/canceldata.cgi"), "");

  // The request is applied once: the next run has nothing to do.
  Clock::setFixedStamp("20240508090000");
  EXPECT_EQ(receive().cancelled, 0);
}

// The number of the largest reader passes to the next one registered after its deletion:
// a link from a mail of the deleted reader stops neither of them.
TEST_F(UnsubscribeLoopTest, AnOldMailsLinkDoesNotStopTheNewReaderOfItsNumber) {
  ReaderStore(program.sql()).insert(ImportRules::newReader(1, "alice@example.com", DateStamp(20240102, 30405), "A"));
  const std::string secret = UnsubscribeSecret::loadOrCreate(program.file(UnsubscribeSecret::kFile));
  fs::create_directories(site);
  fs::copy_file(program.file(UnsubscribeSecret::kFile), site + "/" + UnsubscribeSecret::kFile);
  PhpTestServer web(site);
  const std::string oldLink = UnsubscribeLink::url("/unsubscribe.php", secret, "00001", "20240102030405");
  program.exec(" DELETE FROM USERLIST WHERE ID = '00001'");
  int status = 0;
  web.post("/regist_kny.cgi", "name=Bob&email=bob@example.com", &status);
  web.post(oldLink, "List-Unsubscribe=One-Click", &status);
  EXPECT_EQ(status, 200);  // the site cannot tell: the receive run can
  const IntakeReport report = receive();
  EXPECT_EQ(report.registered, 1);
  EXPECT_EQ(report.cancelled, 0);
  EXPECT_EQ(statusOf("00001"), "01");

  // The new reader's own link does stop the new reader.
  const DateStamp since = ReaderStore(program.sql()).find(1)->registered;
  web.post(UnsubscribeLink::url("/unsubscribe.php", secret, "00001", since.dateText() + since.timeText()),
           "List-Unsubscribe=One-Click", &status);
  Clock::setFixedStamp("20240508090000");
  EXPECT_EQ(receive().cancelled, 1);
  EXPECT_EQ(statusOf("00001"), "00");
}

}  // namespace
