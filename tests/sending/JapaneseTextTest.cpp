#include "sending/JapaneseText.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "core/Sjis.h"
#include "tests/support/TempDir.h"

namespace {

// The target numbers convertJapaneseText takes.
constexpr int kToJis = static_cast<int>(JapaneseCode::jis);
constexpr int kToEuc = static_cast<int>(JapaneseCode::euc);
constexpr int kToSjis = static_cast<int>(JapaneseCode::sjis);

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

TEST(DetectJapaneseCode, ClassifiesEachEncoding) {
  EXPECT_EQ(detectJapaneseCode(""), JapaneseCode::ascii);
  EXPECT_EQ(detectJapaneseCode("x"), JapaneseCode::ascii);
  EXPECT_EQ(detectJapaneseCode("plain ascii text\r\n"), JapaneseCode::ascii);
  EXPECT_EQ(detectJapaneseCode(sj("あいう\r\n")), JapaneseCode::sjis);
  EXPECT_EQ(detectJapaneseCode(sj("漢字\r\n")), JapaneseCode::sjis);
  EXPECT_EQ(detectJapaneseCode("abc\x1b$B$\"\x1b(Jz"), JapaneseCode::jis);
  EXPECT_EQ(detectJapaneseCode("abc\x1b$@$\"\x1b(Jz"), JapaneseCode::jisOld);
  EXPECT_EQ(detectJapaneseCode("\xa4\xa2\xa4\xa4\xf3\xf3x"), JapaneseCode::euc);  // EUC あい + a row-0x73 char
  EXPECT_EQ(detectJapaneseCode("\xb1\xb2\r\n"), JapaneseCode::eucOrSjis);        // ｱｲ CR LF
  EXPECT_EQ(detectJapaneseCode("\xb1\xb2\xb3\r\n"), JapaneseCode::sjis);         // ｱｲｳ CR LF
}

TEST(DetectJapaneseCode, BinaryOnlyWithinTheFirst512BytesAndNeverTheLastByte) {
  EXPECT_EQ(detectJapaneseCode(std::string("ab\x01" "cd", 5)), JapaneseCode::binary);
  EXPECT_EQ(detectJapaneseCode("ab\xff" "cd"), JapaneseCode::binary);
  EXPECT_EQ(detectJapaneseCode(std::string("abc\x00", 4)), JapaneseCode::ascii);  // last byte
  std::string late(600, 'a');
  late[550] = '\xff';
  late += sj("あ");
  EXPECT_EQ(detectJapaneseCode(late), JapaneseCode::binary);  // found by the scan, not the window
  std::string sjisFirst = sj("あ") + std::string(600, 'a');
  sjisFirst[560] = '\x01';
  EXPECT_EQ(detectJapaneseCode(sjisFirst), JapaneseCode::sjis);
}

TEST(SjisToJis, EscapesAroundRunsAndBeforeEveryLineEnd) {
  const std::string jis = sjisTextToJis(sj("あa漢\r\nb"));
  EXPECT_EQ(jis, "\x1b$B$\"\x1b(Ja\x1b$B4A\x1b(J\r\nb");
  EXPECT_EQ(sjisTextToJis(sj("終")), "\x1b$B=*\x1b(J");
  EXPECT_EQ(sjisTextToJis("abc"), "abc");
  EXPECT_EQ(sjisTextToJis(""), "");
}

TEST(SjisToJis, HalfWidthKanaBecomeFullWidthWithMarksMerged) {
  EXPECT_EQ(sjisTextToJis("\xb6\xde"), "\x1b$B%,\x1b(J");          // ｶﾞ → ガ
  EXPECT_EQ(sjisTextToJis("\xca\xdf"), "\x1b$B%Q\x1b(J");          // ﾊﾟ → パ
  EXPECT_EQ(sjisTextToJis("\xb3\xde"), "\x1b$B%t\x1b(J");          // ｳﾞ → ヴ
  EXPECT_EQ(sjisTextToJis("\xb1\xde"), "\x1b$B%\"!+\x1b(J");       // ｱﾞ → ア゛
  EXPECT_EQ(sjisTextToJis("\xa1\xa2\xa4\xb0\xdd"), "\x1b$B!#!V!\"!<%s\x1b(J");
  EXPECT_EQ(sjisTextToJis("\xca"), "\x1b$B%O\x1b(J");              // ﾊ at the very end
}

TEST(SjisToJis, EveryHalfWidthKanaDecodesToItsFullWidthForm) {
  // Python's NFKC maps each half-width katakana to its full-width form; our table
  // must agree for every one of the 63.
  std::string kana;
  for (int c = 0xA1; c <= 0xDF; ++c) {
    kana += char(c);
    kana += ' ';  // keep marks from merging
  }
  const std::string ours = pythonDecode(sjisTextToJis(kana), "iso-2022-jp");
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
  const std::string jis = convertJapaneseText(sj(kPlain), kToJis);
  for (unsigned char c : jis) ASSERT_LT(c, 0x80);
  EXPECT_EQ(iconvToUtf8(jis, "ISO-2022-JP"), kPlain);
  EXPECT_EQ(pythonDecode(jis, "iso-2022-jp"), kPlain);
  EXPECT_EQ(iconvToUtf8(jisTextToEuc(convertJapaneseText(sj(kMixed), kToJis)), "EUC-JP-MS"), kMixed);
}

TEST(SjisToJis, BytesThatCannotStartACharacterNeverReadPastTheEnd) {
  // A lone lead byte at the end is dropped; 0x80, 0xA0 and 0xFD-0xFF are taken as lead
  // bytes and converted by the arithmetic.
  EXPECT_EQ(sjisTextToJis("a\x82"), "a");
  EXPECT_EQ(sjisTextToJis("\x82\xa0\x82"), "\x1b$B$\"\x1b(J");
  for (const char* odd : {"\x80", "\xa0", "\xfd", "\xfe", "\xff", "\xfd" "a", "\x8e"}) {
    const std::string out = sjisTextToJis(odd);
    EXPECT_LE(out.size(), 8u);
  }
}

TEST(ConvertJapaneseText, DispatchesOnTheDetectedCode) {
  const std::string sjis = sj(kMixed);
  const std::string jis = convertJapaneseText(sjis, kToJis);
  const std::string euc = convertJapaneseText(sjis, kToEuc);
  EXPECT_EQ(euc, sjisTextToEuc(sjis));
  EXPECT_EQ(iconvToUtf8(euc, "EUC-JP-MS"), kMixed);
  EXPECT_EQ(convertJapaneseText(jis, kToJis), jis);
  EXPECT_EQ(convertJapaneseText(jis, kToSjis), sjis);
  EXPECT_EQ(convertJapaneseText(jis, kToEuc), euc);
  EXPECT_EQ(convertJapaneseText(euc, kToSjis), sjis);
  EXPECT_EQ(convertJapaneseText(euc, kToJis), jis);
  EXPECT_EQ(convertJapaneseText(sjis, 7), sjis);
  // Codes 0, 1 and 6 pass unchanged.
  EXPECT_EQ(convertJapaneseText("\xb1\xb2\r\n", kToJis), "\xb1\xb2\r\n");
  EXPECT_EQ(convertJapaneseText(std::string("\x01") + sjis, kToJis), std::string("\x01") + sjis);
}

TEST(ConvertJapaneseText, EucHalfWidthKanaMergeLikeShiftJis) {
  EXPECT_EQ(eucTextToJis("\x8e\xb6\x8e\xde" "a"), sjisTextToJis("\xb6\xde" "a"));
  EXPECT_EQ(eucTextToJis("\x8e\xca\x8e\xdf"), sjisTextToJis("\xca\xdf"));
  EXPECT_EQ(eucTextToJis("\x8e\xb1\x8e\xde"), sjisTextToJis("\xb1\xde"));
  EXPECT_EQ(eucTextToSjis("\x8e\xb1"), "\xb1");
}

TEST(CharConversions, RoundTripEveryJisX0208Cell) {
  for (int b1 = 0x21; b1 <= 0x7E; ++b1)
    for (int b2 = 0x21; b2 <= 0x7E; ++b2) {
      const std::string sjis = jisCharToSjis(b1, b2);
      const std::string back = sjisCharToJis(sjis[0], sjis[1]);
      ASSERT_EQ(back, std::string({char(b1), char(b2)})) << b1 << "," << b2;
    }
}

TEST(Base64EncodeText, PaddingAndNoLineBreaks) {
  EXPECT_EQ(base64EncodeText(""), "");
  EXPECT_EQ(base64EncodeText("f"), "Zg==");
  EXPECT_EQ(base64EncodeText("fo"), "Zm8=");
  EXPECT_EQ(base64EncodeText("foo"), "Zm9v");
  EXPECT_EQ(base64EncodeText("\xff\xfe\xfd"), "//79");
  const std::string long64 = base64EncodeText(std::string(3000, 'x'));
  EXPECT_EQ(long64.size(), 4000u);
  EXPECT_EQ(long64.find('\n'), std::string::npos);
}

TEST(EncodeHeaderText, OneEncodedWordPerDoubleByteRun) {
  EXPECT_EQ(encodeHeaderText("Hello world"), "Hello world");
  EXPECT_EQ(encodeHeaderText(sj("お知らせ")), "=?ISO-2022-JP?B?GyRCJCpDTiRpJDsbKEo=?=");
  EXPECT_EQ(encodeHeaderText(sj("お知らせ No.3")), "=?ISO-2022-JP?B?GyRCJCpDTiRpJDsbKEo=?= No.3");
  const std::string two = encodeHeaderText(sj("山田 太郎"));
  EXPECT_EQ(two, "=?ISO-2022-JP?B?" + base64EncodeText(sjisTextToJis(sj("山田"))) + "?= =?ISO-2022-JP?B?" +
                     base64EncodeText(sjisTextToJis(sj("太郎"))) + "?=");
  EXPECT_EQ(encodeHeaderText("a\xb1" "b"), "a\xb1" "b");  // half-width kana pass raw
  std::string hundred;
  for (int i = 0; i < 100; ++i) hundred += sj("漢");
  const std::string word = encodeHeaderText(hundred);
  EXPECT_EQ(word.find("?=", 0), word.size() - 2);  // never split
}

TEST(CutAtInvalidChar, CutsAtTheFirstByteAHeaderMayNotCarry) {
  EXPECT_EQ(cutAtInvalidChar("Subject text\t\r\n"), "Subject text\t\r\n");
  EXPECT_EQ(cutAtInvalidChar(sj("漢字") + "a"), sj("漢字") + "a");
  EXPECT_EQ(cutAtInvalidChar("ab\xb1" "cd"), "ab");
  EXPECT_EQ(cutAtInvalidChar("\xb1" "cd"), "");
  EXPECT_EQ(cutAtInvalidChar(std::string("ab\x00" "c", 4)), "ab");
  EXPECT_EQ(cutAtInvalidChar("ab\x7f"), "ab");
  EXPECT_EQ(cutAtInvalidChar("\x82\x7f" "z"), "\x82\x7f" "z");  // trail byte is skipped
}
