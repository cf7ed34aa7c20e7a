// The unsubscribe links and the web script that answers them (contrib/web under PHP's
// own server): codes the program makes are accepted, anything else changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sending/UnsubscribeLink.h"
#include "settings/UnsubscribeSecret.h"
#include "tests/support/TestProgram.h"
#include "tests/support/WebServer.h"

namespace fs = std::filesystem;

namespace {

TEST(UnsubscribeLink, CheckCodesAreTheCutHmac) {
  // The well-known HMAC-SHA256 example, cut to 32 hex digits.
  EXPECT_EQ(UnsubscribeLink::checkCode("key", "The quick brown fox jumps over the lazy dog"),
            "f7bc83f430538424b13298e6aa6fb143");
  EXPECT_NE(UnsubscribeLink::checkCode("key", "00012"), UnsubscribeLink::checkCode("key", "00013"));
  EXPECT_EQ(UnsubscribeLink::url("https://example.jp/u.php", "key", "00012", "20240102030405"),
            "https://example.jp/u.php?id=00012&since=20240102030405&code=" +
                UnsubscribeLink::checkCode("key", "00012-20240102030405"));
  EXPECT_EQ(UnsubscribeLink::url("https://example.jp/u.php?list=a", "key", "00012", "0").find("?list=a&id=00012&"),
            std::string("https://example.jp/u.php").size());

  EXPECT_TRUE(UnsubscribeLink::usableUrl("https://example.jp/mail/unsubscribe.php"));
  EXPECT_FALSE(UnsubscribeLink::usableUrl("http://example.jp/unsubscribe.php"));
  EXPECT_FALSE(UnsubscribeLink::usableUrl("https://"));
  EXPECT_FALSE(UnsubscribeLink::usableUrl("https://example.jp/a b"));
  EXPECT_FALSE(UnsubscribeLink::usableUrl("https://example.jp/>"));

  EXPECT_EQ(UnsubscribeLink::listUnsubscribe("owner@example.jp", "00012", ""),
            "<mailto:owner@example.jp?subject=unsubscribe%2000012>");
  EXPECT_EQ(UnsubscribeLink::listUnsubscribe("owner@example.jp", "00012", "https://x.jp/u?id=1"),
            "<mailto:owner@example.jp?subject=unsubscribe%2000012>, <https://x.jp/u?id=1>");
  EXPECT_EQ(UnsubscribeLink::listUnsubscribePost("https://x.jp/u"), "List-Unsubscribe=One-Click");
  EXPECT_EQ(UnsubscribeLink::listUnsubscribePost(""), "");
}

struct UnsubscribeScriptTest : ::testing::Test {
  TestProgram program{false, false};
  PhpTestServer web;
  std::string secret;

  void SetUp() override {
    secret = UnsubscribeSecret::loadOrCreate(program.file(UnsubscribeSecret::kFile));
    fs::copy_file(program.file(UnsubscribeSecret::kFile), web.docroot() + "/QuorMailSecret.env");
  }
  std::string cancelled() const {
    const std::string f = web.docroot() + "/canceldata.cgi";
    return fs::exists(f) ? TestProgram::readFile(f) : std::string();
  }
  // A link for reader 00012 registered at 2024/01/02 03:04:05.
  std::string query(const std::string& id, const std::string& code, const char* since = "20240102030405") const {
    return "/unsubscribe.php?id=" + id + "&since=" + since + "&code=" + code;
  }
};

TEST_F(UnsubscribeScriptTest, OneClickPostWithAValidCodeAppendsTheNumberAndNothingElseDoes) {
  const std::string code = UnsubscribeLink::checkCode(secret, "00012-20240102030405");
  int status = 0;
  // A GET (a person clicking, or a link scanner) only asks.
  std::string page = web.get(query("00012", code), &status);
  EXPECT_EQ(status, 200);
  EXPECT_NE(page.find("配信を停止する"), std::string::npos) << page;
  EXPECT_EQ(cancelled(), "");

  // Wrong code, another reader's code, a code without the one-click body: nothing.
  web.post(query("00012", UnsubscribeLink::checkCode(secret, "00013-20240102030405")), "List-Unsubscribe=One-Click",
           &status);
  EXPECT_EQ(status, 400);
  web.post(query("00012", std::string(32, '0')), "List-Unsubscribe=One-Click", &status);
  EXPECT_EQ(status, 400);
  web.post(query("00012", UnsubscribeLink::checkCode("another secret", "00012-20240102030405")),
           "List-Unsubscribe=One-Click", &status);
  EXPECT_EQ(status, 400);
  // Another reader who had the number, and a link made before the moment was part of it.
  web.post(query("00012", code, "20230102030405"), "List-Unsubscribe=One-Click", &status);
  EXPECT_EQ(status, 400);
  web.post("/unsubscribe.php?id=00012&code=" + UnsubscribeLink::checkCode(secret, "00012"), "List-Unsubscribe=One-Click",
           &status);
  EXPECT_EQ(status, 400);
  web.post(query("0012", code), "List-Unsubscribe=One-Click", &status);
  EXPECT_EQ(status, 400);
  web.post(query("00012", code), "x=y", &status);
  EXPECT_EQ(status, 200);  // the confirmation page again
  EXPECT_EQ(cancelled(), "");

  page = web.post(query("00012", code), "List-Unsubscribe=One-Click", &status);
  EXPECT_EQ(status, 200);
  EXPECT_NE(page.find("配信を停止しました"), std::string::npos) << page;
  EXPECT_EQ(cancelled().substr(0, 21), "00012-20240102030405\t");

  // The data and the secret are never served.
  web.get("/canceldata.cgi", &status);
  EXPECT_EQ(status, 403);
  web.get("/QuorMailSecret.env", &status);
  EXPECT_EQ(status, 403);
}

// A test mail's link, GET or one-click POST, only says it is a test; with the marker
// removed (or added to a real link) the code no longer matches.
TEST_F(UnsubscribeScriptTest, TestMailLinkRecordsNothingAndDoesNotWorkWithoutItsMarker) {
  const std::string link = UnsubscribeLink::testUrl("/unsubscribe.php", secret, "00012");
  int status = 0;
  EXPECT_NE(web.get(link, &status).find("テストメールのリンクです"), std::string::npos);
  EXPECT_NE(web.post(link, "List-Unsubscribe=One-Click", &status).find("テストメールのリンクです"), std::string::npos);
  EXPECT_EQ(status, 200);
  for (const std::string& forged : {query("00012", link.substr(link.find("code=") + 5)),
                                    query("00012", UnsubscribeLink::checkCode(secret, "00012-20240102030405")) + "&test=1"}) {
    web.post(forged, "List-Unsubscribe=One-Click", &status);
    EXPECT_EQ(status, 400) << forged;
  }
  EXPECT_EQ(cancelled(), "");
}

TEST_F(UnsubscribeScriptTest, TheCancelFormAppendsAnAddress) {
  int status = 0;
  web.post("/unsubscribe.php", "email=taro%40example.com", &status);
  EXPECT_EQ(status, 200);
  web.post("/unsubscribe.php", "email=taro%40example.com%0D%0Aevil", &status);
  EXPECT_EQ(status, 400);
  web.post("/unsubscribe.php", "email=no-address", &status);
  EXPECT_EQ(status, 400);
  const std::string text = cancelled();
  EXPECT_EQ(text.substr(0, 17), "taro@example.com\t");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

}  // namespace
