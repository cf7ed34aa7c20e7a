// The registration script of contrib/web under PHP's own web server: what it accepts,
// what it refuses, and the whole way of a registration from the form into the
// database through the receive run (pyftpdlib serving the script's folder).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <thread>
#include <atomic>
#include <cstdio>

#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "intake/ReceiveRun.h"
#include "settings/SettingsFiles.h"
#include "tests/intake/IntakeFixture.h"
#include "tests/support/Servers.h"
#include "tests/support/WebServer.h"

namespace fs = std::filesystem;

namespace {

// application/x-www-form-urlencoded bytes of a value (any bytes, as a browser sends them).
std::string encoded(const std::string& bytes) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '@') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string form(const std::string& name, const std::string& email) {
  return "name=" + encoded(name) + "&email=" + encoded(email);
}

struct RegistrationScriptTest : IntakeTest {
  PhpTestServer web;
  std::string data() const { return web.docroot() + "/registdata.cgi"; }
  std::string stored() const { return fs::exists(data()) ? TestProgram::readFile(data()) : std::string(); }
};

TEST_F(RegistrationScriptTest, AppendsOneShiftJisLinePerRegistrationWhateverThePageEncoding) {
  int status = 0;
  // A UTF-8 page and the program's own Shift-JIS snippet.
  std::string page = web.post("/regist_kny.cgi", form("山田 太郎", "taro@example.com"), &status);
  EXPECT_EQ(status, 200) << page;
  EXPECT_NE(page.find("ご登録ありがとうございました"), std::string::npos) << page;
  web.post("/regist_kny.cgi", form(sj("佐藤 花子"), "hanako@example.co.jp"), &status);
  EXPECT_EQ(status, 200);
  web.post("/regist_kny.cgi", form("", "noname@example.com"), &status);
  EXPECT_EQ(status, 200);
  // By the form's "_charset_" field: Shift-JIS "ﾎｼ" (CE BC) reads as UTF-8 "μ" too.
  web.post("/regist_kny.cgi", form(sj("ﾎｼﾐｷ"), "kana@example.com") + "&_charset_=Shift_JIS", &status);
  EXPECT_EQ(status, 200);
  web.post("/regist_kny.cgi", form("\xa4\xa2", "euc@example.com") + "&_charset_=EUC-JP", &status);
  EXPECT_EQ(status, 200);

  // The last field is the address the form posted to, without the query.
  web.post("/regist_kny.cgi?from=top", form("", "query@example.com"), &status);
  EXPECT_EQ(status, 200);
  const std::regex line("([^\t\n]*)\t([^\t\n]+)\t(\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d)\t([^\t\n]+)\n");
  const std::string text = stored();
  std::vector<std::pair<std::string, std::string>> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it) {
    found.emplace_back((*it)[1], (*it)[2]);
    EXPECT_EQ((*it)[4].str(), web.url("/regist_kny.cgi"));
  }
  const std::vector<std::pair<std::string, std::string>> expected = {
      {sj("山田 太郎"), "taro@example.com"}, {sj("佐藤 花子"), "hanako@example.co.jp"}, {"", "noname@example.com"},
      {sj("ﾎｼﾐｷ"), "kana@example.com"},     {sj("あ"), "euc@example.com"},
      {"", "query@example.com"}};
  EXPECT_EQ(found, expected) << text;
}

TEST_F(RegistrationScriptTest, RefusesWhatWouldBreakTheFileOrTheDatabase) {
  const std::vector<std::pair<std::string, std::string>> hostile = {
      {"Evil\r\nInjected\tline", "evil@example.com"},      // line break and TAB in the name
      {"Mallory", "m@example.com\r\nx@example.com"},       // line break in the address
      {"Mallory", "m@example.com\tx"},                      // TAB in the address
      {"Mallory", ""},                                      // no address
      {"Mallory", "no-at-sign.example.com"},                // not an address
      {"Mallory", "m@localhost"},                           // no dot in the domain
      {"Mallory", "<m@example.com>"},                       // angle brackets
      {"Mallory", "m a@example.com"},                       // blank
      {"Mallory", std::string(40, 'a') + "@example.com"},   // 52 bytes: longer than the column
      {std::string(31, 'N') + sj("名前名前名前名前名前名前名前名前"), "long@example.com"},  // 63 bytes
      {"\xff\xfe\x80", "bytes@example.com"},               // neither UTF-8 nor Shift-JIS
  };
  for (const auto& [name, email] : hostile) {
    int status = 0;
    const std::string page = web.post("/regist_kny.cgi", form(name, email), &status);
    EXPECT_EQ(status, 400) << name << " / " << email << "\n" << page;
    EXPECT_NE(page.find("登録できません"), std::string::npos) << page;
  }
  int status = 0;
  // The control-byte check itself refuses a line feed inside an address.
  const std::string page = web.post("/regist_kny.cgi", form("M", "m@exam\nple.com"), &status);
  EXPECT_NE(page.find("お名前又はメールアドレスに使用できない文字"), std::string::npos) << page;
  web.post("/regist_kny.cgi", form("Name", "koi@example.com") + "&_charset_=KOI8-R", &status);
  EXPECT_EQ(status, 400);
  web.post("/regist_kny.cgi", "name[]=a&email[]=b@example.com", &status);
  EXPECT_EQ(status, 400);
  web.get("/regist_kny.cgi", &status);
  EXPECT_EQ(status, 405);
  EXPECT_EQ(stored(), "") << "a refused registration reached the file";

  // The data file, with its readers' addresses, is never served.
  web.post("/regist_kny.cgi", form("ok", "ok@example.com"), &status);
  ASSERT_EQ(status, 200);
  for (const char* taken : {"/registdata.cgi", "/registdata.cgi.taking-20240507123456-42",
                            "/canceldata.cgi.taking-20240507123456-42"}) {
    web.get(taken, &status);
    EXPECT_EQ(status, 403) << taken;
  }
}

// A full disk (here a size limit on the server's files) stops the write part way: the
// script answers 503 and leaves no half line for the next registration to join.
TEST_F(RegistrationScriptTest, AWriteThatFailsPartWayLeavesTheFileAsItWas) {
  PhpTestServer full("", 1);  // files up to 512 bytes
  const std::string file = full.docroot() + "/registdata.cgi";
  TestProgram::writeFile(file, std::string(499, 'x') + "\n");
  int status = 0;
  full.post("/regist_kny.cgi", form("Lost", "lost1@example.com"), &status);
  EXPECT_EQ(status, 503);
  EXPECT_EQ(TestProgram::readFile(file), std::string(499, 'x') + "\n");
}

// php -S with the router: no spelling of a data file's name reaches it, nor any file of
// the data folder but the scripts.
TEST_F(RegistrationScriptTest, TheRouterServesNoDataFileByAnyPathTrick) {
  for (const char* name : {"QuorMailSecret.env", "registdata.cgi", "canceldata.cgi", "x_20240507_123456.bak"})
    TestProgram::writeFile(web.docroot() + "/" + name, "secret");
  for (const char* path :
       {"/registdata%2ecgi", "/registdata.cgi/", "//registdata.cgi", "/x/../registdata.cgi", "/%2e/registdata.cgi",
        "/REGISTDATA.CGI", "/registdata.cgi.", "/registdata.cgi%20", "/registdata.cgi%00", "/registdata.cgi/x.php",
        "/canceldata.cgi?x", "/QuorMailSecret.en%76", "//QuorMailSecret.env", "/QuorMailSecret.env/",
        "/x%2f..%2fQuorMailSecret.env", "/x_20240507_123456.bak", "/config.php", "/router.php", "/.htaccess", "/"}) {
    int status = 0;
    EXPECT_EQ(web.get(path, &status).find("secret"), std::string::npos) << path;
    EXPECT_EQ(status, 403) << path;
  }
}

TEST_F(RegistrationScriptTest, ARegistrationFromTheFormEndsUpAsAReader) {
  FtpTestServer ftp("quor", "pass");
  const std::string site = ftp.home() + "/data";
  // The scripts' data folder, outside their document root, is the one the receive run fetches from.
  fs::create_directories(site);
  PhpTestServer onTheSite;
  TestProgram::writeFile(onTheSite.docroot() + "/config.php", "<?php\nconst DATA_DIR = '" + site + "';\n");
  int status = 0;
  onTheSite.post("/regist_kny.cgi", form("山田 太郎", "taro@example.com"), &status);
  ASSERT_EQ(status, 200);
  onTheSite.post("/regist_kny.cgi", form("Bad\r\nName", "bad@example.com"), &status);
  ASSERT_EQ(status, 400);
  onTheSite.post("/regist_kny.cgi", form(sj("鈴木"), "suzuki@example.com"), &status);
  ASSERT_EQ(status, 200);

  const IntakeReport report = receiveFrom(ftp.port());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 2);
  const auto rows = readers({"NAME", "MAILADDRESS", "SYORIKBN", "NEXTSTORY"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(trim(rows[0][0]), sj("山田 太郎"));
  EXPECT_EQ(trim(rows[0][1]), "taro@example.com");
  EXPECT_EQ(rows[0][2], "01");
  EXPECT_EQ(rows[0][3], "00001");
  EXPECT_EQ(trim(rows[1][0]), sj("鈴木"));
  // The script goes on appending to the emptied file.
  EXPECT_EQ(TestProgram::readFile(site + "/registdata.cgi"), "");
  onTheSite.post("/regist_kny.cgi", form("次の人", "next@example.com"), &status);
  EXPECT_EQ(status, 200);
  EXPECT_NE(TestProgram::readFile(site + "/registdata.cgi").find("next@example.com"), std::string::npos);
}

TEST_F(RegistrationScriptTest, RegistrationsPostedDuringReceiveRunsAreNeverLost) {
  FtpTestServer ftp("quor", "pass");
  const std::string site = ftp.home() + "/data";
  PhpTestServer onTheSite(site);
  std::atomic<bool> posted{false};
  std::vector<std::string> accepted;  // the addresses the script told "ご登録を受け付けました"
  std::thread poster([&] {
    for (int i = 0; i < 150; ++i) {
      int status = 0;
      const std::string address = "r" + std::to_string(i) + "@example.com";
      onTheSite.post("/regist_kny.cgi", form("r", address), &status);
      if (status == 200) accepted.push_back(address);
    }
    posted = true;
  });
  int runs = 0;
  for (; !posted; ++runs) {
    char stamp[15];
    std::snprintf(stamp, sizeof stamp, "2024050712%02d%02d", runs / 60 % 60, runs % 60);
    Clock::setFixedStamp(stamp);
    receiveFrom(ftp.port());
  }
  poster.join();

  // Every accepted address is a reader now or still in a file on the server.
  std::set<std::string> found;
  for (const auto& row : readers({"MAILADDRESS"})) found.insert(trim(row[0]));
  for (const auto& entry : fs::directory_iterator(site)) {
    const std::string content = TestProgram::readFile(entry.path().string());
    static const std::regex address("r[0-9]+@example\\.com");
    for (std::sregex_iterator m(content.begin(), content.end(), address), end; m != end; ++m) found.insert(m->str());
  }
  EXPECT_EQ(accepted.size(), 150u);
  for (const std::string& a : accepted) EXPECT_EQ(found.count(a), 1u) << a;
  EXPECT_GE(runs, 2);
}

}  // namespace
