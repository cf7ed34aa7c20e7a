#include "text/JapaneseText.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/Sjis.h"
#include "net/MailMessage.h"
#include "tests/support/Servers.h"
#include "tests/support/TempDir.h"

using namespace JapaneseText;

namespace {

std::string sj(const std::string& utf8) { return Sjis::fromUtf8(utf8); }

// An independent decoder: glibc iconv from ISO-2022-JP to UTF-8.
std::string iconvToUtf8(const std::string& in, const char* from) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == iconv_t(-1)) throw std::runtime_error("iconv_open");
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (rc == size_t(-1)) throw std::runtime_error("iconv rejected the text");
  out.resize(out.size() - dstLeft);
  return out;
}

// Another independent decoder: Python's codecs, run on a file.
std::string pythonDecode(const std::string& bytes, const std::string& codec) {
  TempDir dir;
  const std::string in = dir.file("in.bin");
  writeFileBytes(in, bytes);
  const std::string cmd = "/usr/bin/python3 -c \"import sys; sys.stdout.buffer.write(open(sys.argv[1],'rb')"
                          ".read().decode('" + codec + "').encode('utf-8'))\" " + in;
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  size_t got;
  while ((got = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, got);
  EXPECT_EQ(pclose(p), 0) << "python could not decode as " << codec;
  return out;
}

// Plain JIS X 0208 text: every ISO-2022-JP decoder must read it.
const char kPlain[] =
    "こんにちは、山田太郎様。\r\nNo.3 のお知らせです：漢字・カタカナ・ＡＢＣ\r\n"
    "最後の行は日本語で終わる\r\n";
// With a CP932 extension character, which only the Microsoft variants know.
const char kMixed[] = "丸数字①と高橋さん\r\nend";

}  // namespace

TEST(SjisToJis, EscapesAroundRunsAndBeforeEveryLineEnd) {
  const std::string jis = sjisToJis(sj("あa漢\r\nb"));
  EXPECT_EQ(jis, "\x1b$B$\"\x1b(Ba\x1b$B4A\x1b(B\r\nb");
  EXPECT_EQ(sjisToJis(sj("終")), "\x1b$B=*\x1b(B");
  EXPECT_EQ(sjisToJis("abc"), "abc");
  EXPECT_EQ(sjisToJis(""), "");
}

TEST(SjisToJis, HalfWidthKanaBecomeFullWidthWithMarksMerged) {
  EXPECT_EQ(sjisToJis("\xb6\xde"), "\x1b$B%,\x1b(B");          // ｶﾞ → ガ
  EXPECT_EQ(sjisToJis("\xca\xdf"), "\x1b$B%Q\x1b(B");          // ﾊﾟ → パ
  EXPECT_EQ(sjisToJis("\xb3\xde"), "\x1b$B%t\x1b(B");          // ｳﾞ → ヴ
  EXPECT_EQ(sjisToJis("\xb1\xde"), "\x1b$B%\"!+\x1b(B");       // ｱﾞ → ア゛
  EXPECT_EQ(sjisToJis("\xa1\xa2\xa4\xb0\xdd"), "\x1b$B!#!V!\"!<%s\x1b(B");
  EXPECT_EQ(sjisToJis("\xca"), "\x1b$B%O\x1b(B");              // ﾊ at the very end
}

TEST(SjisToJis, EveryHalfWidthKanaDecodesToItsFullWidthForm) {
  // Python's NFKC maps each half-width katakana to its full-width form; our table
  // must agree for every one of the 63.
  std::string kana;
  for (int c = 0xA1; c <= 0xDF; ++c) {
    kana += char(c);
    kana += ' ';  // keep marks from merging
  }
  const std::string ours = pythonDecode(sjisToJis(kana), "iso-2022-jp");
  TempDir dir;
  writeFileBytes(dir.file("k"), kana);
  const std::string cmd = "/usr/bin/python3 -c \"import sys,unicodedata; t=open(sys.argv[1],'rb').read()"
                          ".decode('cp932'); sys.stdout.buffer.write(''.join(unicodedata.normalize('NFKC',c)"
                          " if c!=' ' else c for c in t).replace('\\u3099','\\u309b').replace('\\u309a',"
                          "'\\u309c').encode())\" " + dir.file("k");
  FILE* p = popen(cmd.c_str(), "r");
  std::string expected;
  char buf[4096];
  size_t got;
  while ((got = fread(buf, 1, sizeof buf, p)) > 0) expected.append(buf, got);
  ASSERT_EQ(pclose(p), 0);
  EXPECT_EQ(ours, expected);
}

TEST(SjisToJis, IndependentDecodersGiveBackTheText) {
  const std::string jis = sjisToJis(sj(kPlain));
  for (unsigned char c : jis) ASSERT_LT(c, 0x80);
  EXPECT_EQ(iconvToUtf8(jis, "ISO-2022-JP"), kPlain);
  EXPECT_EQ(pythonDecode(jis, "iso-2022-jp"), kPlain);
  EXPECT_EQ(jisToSjis(sjisToJis(sj(kMixed))), sj(kMixed));  // the preview's round trip
}

TEST(SjisToJis, BytesThatStartNoCharacterPassUnchanged) {
  // Converted as a pair, 0xEB 0x2C would become the JIS pair 0x75 0x0D: a CR.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xeb\x2c", "\xeb\x2c"},
      {sj("漢") + "\xeb\x2c", "\x1b$B4A\x1b(B\xeb\x2c"},
      {"a\x82", "a\x82"},
      {"\x82\xa0\x82", "\x1b$B$\"\x1b(B\x82"},
      {"\x80\xa0\xfd\xfe\xff", "\x80\xa0\xfd\xfe\xff"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(sjisToJis(in), out);
}

TEST(JisToSjis, EveryJisX0208CellRoundTripsAndOlderEscapesRead) {
  std::string jis = "\x1b$B";
  for (int b1 = 0x21; b1 <= 0x7E; ++b1)
    for (int b2 = 0x21; b2 <= 0x7E; ++b2) jis += {char(b1), char(b2)};
  jis += "\x1b(B";
  EXPECT_EQ(sjisToJis(jisToSjis(jis)), jis);
  EXPECT_EQ(jisToSjis("\x1b$@$\"\x1b(Ja~\x1b$B4"), sj("あ") + "a~");  // half a character at the end dropped
}

TEST(Base64, PaddingAndNoLineBreaks) {
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64("f"), "Zg==");
  EXPECT_EQ(base64("fo"), "Zm8=");
  EXPECT_EQ(base64("foo"), "Zm9v");
  EXPECT_EQ(base64("\xff\xfe\xfd"), "//79");
  const std::string long64 = base64(std::string(3000, 'x'));
  EXPECT_EQ(long64.size(), 4000u);
  EXPECT_EQ(long64.find('\n'), std::string::npos);
}

TEST(EncodeHeader, EncodesWordsThatNeedItAndKeepsBlanksBetweenJapaneseWords) {
  EXPECT_EQ(encodeHeader("Hello  world"), "Hello  world");
  EXPECT_EQ(encodeHeader(sj("お知らせ")), "=?ISO-2022-JP?B?GyRCJCpDTiRpJDsbKEI=?=");
  EXPECT_EQ(encodeHeader(sj("お知らせ No.1")), "=?ISO-2022-JP?B?GyRCJCpDTiRpJDsbKEI=?= No.1");
  EXPECT_EQ(encodeHeader(sj("山田 太郎")), encodeWord(sj("山田 太郎")));
  EXPECT_EQ(encodeHeader(sj("お知らせ\tNo.1\tです")), encodeWord(sj("お知らせ")) + "\tNo.1\t" + encodeWord(sj("です")));
}

// RFC 1468 ends a Japanese run with ESC ( B (ASCII); ESC ( J (JIS Roman) would make a
// reader show "~" as "‾" and "\" as "¥". Encoded words are at most 75 characters (the
// first 69), each a whole ISO-2022-JP text, so the header folds within 78. Through
// Python's email package, subject and body read back as typed, blanks included and
// half-width katakana widened; a plain ASCII subject stays unencoded.
TEST(JapaneseText, SubjectAndBodyReadBackExactlyInMail) {
  std::string eighty;
  for (int i = 0; i < 8; ++i) eighty += "第一話から第十話までの";
  const std::string mixed = "  お知らせ No.1 です  Vol.2 and an ASCII tail long enough to fold 終わり ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"テスト~1", "テスト~1"},
      {"価格\\100", "価格\\100"},
      {"波～~\\", "波〜~\\"},  // "～" is JIS 0x2141, which readers show as the wave dash
      {eighty, eighty},
      {"第2話 ﾒｰﾙﾏｶﾞｼﾞﾝ の使い方", "第2話 メールマガジン の使い方"},
      {"ｶﾞｷﾞｸﾞｹﾞｺﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞ", "ガギグゲゴパピプペポヴ"},
      {mixed, mixed},
      {"Plain ASCII subject", "Plain ASCII subject"},
  };
  for (const auto& [typed, read] : cases) {
    MailMessage m;
    m.from.setText("a@example.com");
    m.subject = sj(typed);
    m.generateHeader();
    const std::string subject = m.headers.value("Subject");
    for (std::size_t open = subject.find("=?"), close; open != std::string::npos; open = subject.find("=?", close)) {
      close = subject.find("?=", open + 16) + 2;
      EXPECT_LE(close - open, open == 0 ? 69u : 75u) << subject;
    }
    if (sj(typed) == typed) EXPECT_EQ(subject, typed);
    std::string mail;
    for (const std::string& line : m.headers.lines()) {
      EXPECT_LE(line.size(), 78u) << line;
      mail += line + "\r\n";
    }
    TempDir dir;
    writeFileBytes(dir.file("m.eml"), mail + "\r\n" + sjisToJis(sj(typed)) + "\r\n");
    const std::string text = runCommand(std::string(kPython) + " " QUORMAIL_SOURCE_DIR "/tests/support/decode_mail.py " +
                                        dir.file("m.eml"));
    EXPECT_NE(text.find("\nSubject: " + read + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\n" + read + "\r\n"), std::string::npos) << text;
  }
}

TEST(CutAtInvalidChar, CutsAtTheFirstByteAHeaderMayNotCarry) {
  EXPECT_EQ(cutAtInvalidChar("Subject text\t\r\n"), "Subject text\t\r\n");
  EXPECT_EQ(cutAtInvalidChar(sj("漢字") + "a"), sj("漢字") + "a");
  EXPECT_EQ(cutAtInvalidChar("ab\xb6\xde" "cd"), "ab\xb6\xde" "cd");  // half-width kana: widened when encoded
  EXPECT_EQ(cutAtInvalidChar(std::string("ab\x00" "c", 4)), "ab");
  EXPECT_EQ(cutAtInvalidChar("ab\x7f"), "ab");
  EXPECT_EQ(cutAtInvalidChar("\x82\x7f" "z"), "\x82\x7f" "z");  // trail byte is skipped
}
