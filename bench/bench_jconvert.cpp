// JapaneseText::sjisToJis against glibc iconv converting
// CP932 to ISO-2022-JP in-process, on the same 20 MB of mixed Japanese and ASCII text.
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "core/Sjis.h"
#include "text/JapaneseText.h"

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string makeText(std::size_t bytes) {
  const std::string line = Sjis::fromUtf8(
      "山田太郎様、こんにちは。本日のお知らせ No.12 をお送りします。Please read it.\r\n"
      "ステップメールの第３回です。次回は来週の月曜日にお届けします。\r\n"
      "Visit http://example.com/step/12 for details -- thank you!\r\n");
  std::string text;
  text.reserve(bytes + line.size());
  while (text.size() < bytes) text += line;
  return text;
}

std::size_t iconvConvert(const std::string& in) {
  iconv_t cd = iconv_open("ISO-2022-JP", "CP932");
  std::string out(in.size() * 2 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == size_t(-1)) std::perror("iconv");
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  iconv_close(cd);
  return out.size() - dstLeft;
}

}  // namespace

int main() {
  const std::string text = makeText(20u << 20);
  const double mb = text.size() / 1048576.0;

  auto t0 = std::chrono::steady_clock::now();
  const std::string ours = JapaneseText::sjisToJis(text);
  const double oursSec = seconds(t0);

  t0 = std::chrono::steady_clock::now();
  const std::size_t refBytes = iconvConvert(text);
  const double refSec = seconds(t0);

  std::printf("input %.1f MB; output ours %zu bytes, iconv %zu bytes\n", mb, ours.size(), refBytes);
  std::printf("ours  (JapaneseText::sjisToJis):   %8.3f s  %8.1f MB/s\n", oursSec, mb / oursSec);
  std::printf("iconv (CP932 -> ISO-2022-JP):     %8.3f s  %8.1f MB/s\n", refSec, mb / refSec);
  std::printf("throughput ratio ours/iconv: %.2fx\n", refSec / oursSec);
  return 0;
}
