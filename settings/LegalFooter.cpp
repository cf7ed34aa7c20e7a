#include "settings/LegalFooter.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "core/Sjis.h"

namespace fs = std::filesystem;

namespace LegalFooter {

namespace {
// A template is a few lines; a larger file (or a link to a device) is read only this far.
constexpr std::size_t kMaxBytes = 16384;
}  // namespace

const std::string& defaultTemplate() {
  static const std::string text = Sjis::fromUtf8(
      "────────────────────\r\n"
      "発行者：##sendername##\r\n"
      "このメールの配信は、いつでも停止できます。\r\n"
      "配信停止はこちら\r\n"
      "##unsubscribe##\r\n"
      "住所：##postaladdress##\r\n"
      "お問い合わせ：##contact##\r\n");
  return text;
}

std::string load(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return defaultTemplate();
  std::ifstream in(file, std::ios::binary);
  if (!in) return defaultTemplate();
  std::string text(kMaxBytes, '\0');
  in.read(&text[0], static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

void save(const fs::path& file, const std::string& text) {
  std::error_code ec;
  if (text == defaultTemplate() && !fs::exists(file, ec)) return;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error(Sjis::fromUtf8("法定表示のひな形を保存できません: ") + Sjis::fromPath(file));
}

}  // namespace LegalFooter
