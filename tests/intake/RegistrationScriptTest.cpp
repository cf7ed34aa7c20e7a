// The registration script of contrib/web under PHP's own web server: what it accepts,
// what it refuses, and the whole way of a registration from the form into the
// database through the receive run (pyftpdlib serving the script's folder).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

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

TEST_F(RegistrationScriptTest, AppendsOneShiftJisLinePerRegistrationInTheEncodingTheFormNames) {
  // "ﾎｼﾐｷ" in Shift-JIS (CE BC D0 B7) reads as UTF-8 too ("μз"): only the form's
  // "_charset_" field tells the two apart.
  const std::string halfWidth = sj("ﾎｼﾐｷ");
  struct Case {
    std::string charset, posted, stored;
  };
  const std::vector<Case> cases = {
      {"Shift_JIS", halfWidth, halfWidth},
      {"shift_jis", sj("佐藤 花子"), sj("佐藤 花子")},
      {"UTF-8", "山田 太郎", sj("山田 太郎")},
      {"UTF-8", "ﾎｼﾐｷ", halfWidth},
      {"EUC-JP", "\xa4\xa2\xa4\xa4", sj("あい")},
      {"", sj("鈴木"), sj("鈴木")},    // a form pasted before it had the field
      {"", "田中", sj("田中")},
      {"Shift_JIS", "", ""},
  };
  std::string expected;
  for (const Case& c : cases) {
    int status = 0;
    const std::string page = web.post(
        "/regist_kny.cgi", form(c.posted, "taro@example.com") + (c.charset.empty() ? "" : "&_charset_=" + c.charset),
        &status);
    EXPECT_EQ(status, 200) << c.charset << "\n" << page;
    EXPECT_NE(page.find("ご登録ありがとうございました"), std::string::npos) << page;
    expected += c.stored + "\ttaro@example.com\n";
  }
  // Each line: name TAB address TAB the moment.
  EXPECT_EQ(std::regex_replace(stored(), std::regex("\t\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\n"), "\n"), expected);
}

TEST_F(RegistrationScriptTest, RefusesWhatWouldBreakTheFileOrTheDatabase) {
  const std::string control = "お名前又はメールアドレスに使用できない文字が含まれています。";
  const std::string malformed = "メールアドレスに誤りがあります。";
  struct Case {
    std::string name, email, fields, message;  // fields: more form fields
  };
  const std::vector<Case> hostile = {
      {"Evil\r\nInjected\tline", "evil@example.com", "", control},  // line break and TAB in the name
      {"Mallory", "m@example.com\r\nx@example.com", "", control},     // line break in the address
      {"Mallory", "m@exam\nple.com", "", control},                     // by the control-byte check itself
      {"Mallory", "m@example.com\tx", "", control},                    // TAB in the address
      {"Mallory", "", "", "メールアドレスを入力して下さい。"},
      {"Mallory", "no-at-sign.example.com", "", malformed},
      {"Mallory", "m@localhost", "", malformed},                        // no dot in the domain
      {"Mallory", "<m@example.com>", "", malformed},
      {"Mallory", "m a@example.com", "", malformed},
      {"Mallory", std::string(40, 'a') + "@example.com", "", "メールアドレスが長すぎます"},  // 52 bytes
      {std::string(31, 'N') + sj("名前名前名前名前名前名前名前名前"), "long@example.com", "", "お名前が長すぎます"},
      {"\xff\xfe\x80", "bytes@example.com", "", "お名前に使用できない文字"},  // neither UTF-8 nor Shift-JIS
      {"\x82\xa0", "bytes@example.com", "&_charset_=UTF-8", "お名前に使用できない文字"},  // not what it claims
      {"Name", "enc@example.com", "&_charset_=KOI8-R", "お名前に使用できない文字"},        // unknown encoding
  };
  for (const Case& c : hostile) {
    int status = 0;
    const std::string page = web.post("/regist_kny.cgi", form(c.name, c.email) + c.fields, &status);
    EXPECT_EQ(status, 400) << c.name << " / " << c.email << "\n" << page;
    EXPECT_NE(page.find(c.message), std::string::npos) << c.email << "\n" << page;
  }
  int status = 0;
  web.post("/regist_kny.cgi", "name[]=a&email[]=b@example.com", &status);
  EXPECT_EQ(status, 400);
  web.get("/regist_kny.cgi", &status);
  EXPECT_EQ(status, 405);
  EXPECT_EQ(stored(), "") << "a refused registration reached the file";
}

// A full disk (here a file size limit) refuses the write part way: the script answers
// 503 and leaves the file as it was, so the next registration is a line of its own.
TEST_F(RegistrationScriptTest, AWriteThatFailsPartWayLeavesNoHalfLine) {
  PhpTestServer full("", 1);  // files up to 512 bytes
  const std::string file = full.docroot() + "/registdata.cgi";
  const std::string before = std::string(499, 'x') + "\n";
  TestProgram::writeFile(file, before);
  int status = 0;
  full.post("/regist_kny.cgi", form("Lost", "lost1@example.com"), &status);
  EXPECT_EQ(status, 503);
  EXPECT_EQ(TestProgram::readFile(file), before);
  TestProgram::writeFile(file, "");  // the receive run empties it
  full.post("/regist_kny.cgi", form("Kept", "ok2@example.com"), &status);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(TestProgram::readFile(file).substr(0, 21), "Kept\tok2@example.com\t");
}

// What php -S serves: the data files, the secret and the backups by no spelling of
// their names, and nothing else of the data folder but the scripts.
TEST_F(RegistrationScriptTest, TheRouterServesNoDataFileWhateverThePathTrick) {
  for (const char* name : {"QuorMailSecret.env", "canceldata.cgi", "registdata.non", "registdata_20240507_123456.bak"})
    TestProgram::writeFile(web.docroot() + "/" + name, "secret");
  TestProgram::writeFile(data(), "Taro\ttaro@example.com\t2024/05/07 12:34:56\n");
  const std::vector<std::string> tricks = {
      "/registdata.cgi",         "/registdata%2ecgi",       "/registdata.cgi/",      "//registdata.cgi",
      "/./registdata.cgi",       "/x/../registdata.cgi",    "/%2e/registdata.cgi",   "/REGISTDATA.CGI",
      "/registdata.cgi.",        "/registdata.cgi%00",      "/registdata.cgi%20",    "/registdata.cgi?x=1",
      "/registdata.cgi/x.php",   "/%72egistdata.cgi",       "/registdata.non",       "/canceldata.cgi",
      "/QuorMailSecret.env",     "/QuorMailSecret.en%76",   "//QuorMailSecret.env",  "/QuorMailSecret.env/",
      "/QuorMailSecret.env%2f",  "/x%2f..%2fQuorMailSecret.env",                     "/registdata_20240507_123456.bak",
      "/config.php",             "/common.php",             "/router.php",           "/.htaccess",
      "/",
  };
  for (const std::string& path : tricks) {
    int status = 0;
    const std::string body = web.get(path, &status);
    EXPECT_EQ(status, 403) << path;
    EXPECT_EQ(body.find("secret"), std::string::npos) << path;
    EXPECT_EQ(body.find("taro@"), std::string::npos) << path;
  }
  int status = 0;
  web.get("/unsubscribe.php", &status);
  EXPECT_EQ(status, 400);  // the script itself answers
  web.post("//regist_kny.cgi", form("ok", "ok@example.com"), &status);
  EXPECT_EQ(status, 200);
}

TEST_F(RegistrationScriptTest, ARegistrationFromTheFormEndsUpAsAReader) {
  FtpTestServer ftp("quor", "pass");
  const std::string site = ftp.home() + "/data";
  // The scripts' data folder lies outside their document root: the folder the receive
  // run fetches from.
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
  EXPECT_FALSE(fs::exists(onTheSite.docroot() + "/registdata.cgi"));
}

}  // namespace
