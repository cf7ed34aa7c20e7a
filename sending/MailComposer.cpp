#include "sending/MailComposer.h"

#include <utility>
#include <vector>

#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "settings/LegalFooter.h"

namespace {
const std::string kPlaceholder = "##readername##";
const std::string kCrLf = "\r\n";

// Every placeholder in the line replaced by its value; values are not searched again.
std::string fillLine(const std::string& line, const std::vector<std::pair<std::string, std::string>>& values) {
  std::string out;
  for (std::size_t from = 0; from < line.size();) {
    std::size_t nearest = std::string::npos;
    const std::pair<std::string, std::string>* found = nullptr;
    for (const auto& value : values) {
      const std::size_t at = line.find(value.first, from);
      if (at < nearest) {
        nearest = at;
        found = &value;
      }
    }
    if (!found) {
      out.append(line, from, std::string::npos);
      break;
    }
    out.append(line, from, nearest - from);
    out += found->second;
    from = nearest + found->first.size();
  }
  return out;
}
}  // namespace

std::string insertReaderName(const std::string& story, const std::string& name) {
  std::string out;
  out.reserve(story.size());
  size_t from = 0;
  for (size_t at; (at = story.find(kPlaceholder, from)) != std::string::npos; from = at + kPlaceholder.size()) {
    out.append(story, from, at - from);
    out += name;
  }
  out.append(story, from, std::string::npos);
  return out;
}

std::string wrapLine(const std::string& line, int width) {
  std::string out;
  std::string piece;
  int pieceWidth = 0;
  for (size_t i = 0; i < line.size();) {
    const size_t len = isLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
    if (pieceWidth + static_cast<int>(len) > width && !piece.empty()) {
      out += piece + kCrLf;
      piece.clear();
      pieceWidth = 0;
    }
    piece.append(line, i, len);
    pieceWidth += static_cast<int>(len);
    i += len;
  }
  if (!piece.empty()) out += piece + kCrLf;
  return out;
}

std::string composeBody(const std::string& readerName, const std::string& defaultName,
                             const std::string& story, int width) {
  std::string name = trim(readerName);
  if (name.empty()) name = defaultName;
  const std::string text = insertReaderName(story, name);
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  // Lines as a text list sees them: a break at the very end opens no further line.
  for (size_t from = 0; from < text.size();) {
    const size_t at = text.find(kCrLf, from);
    const std::string line = text.substr(from, at == std::string::npos ? std::string::npos : at - from);
    if (static_cast<int>(line.size()) <= width)
      out += line + kCrLf;
    else
      out += wrapLine(line, width);
    if (at == std::string::npos) break;
    from = at + kCrLf.size();
  }
  return out;
}

std::string composeFooter(const std::string& footerTemplate, const FooterItems& items, int width) {
  const std::string link = LegalFooter::kUnsubscribe;
  const std::vector<std::pair<std::string, std::string>> values = {{LegalFooter::kSenderName, items.senderName},
                                                                   {LegalFooter::kPostalAddress, items.postalAddress},
                                                                   {LegalFooter::kContact, items.contact}};
  std::string out;
  // A file edited by hand may end its lines in LF alone.
  for (std::size_t from = 0; from < footerTemplate.size();) {
    const std::size_t end = footerTemplate.find('\n', from);
    std::string line = footerTemplate.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    from = end == std::string::npos ? footerTemplate.size() : end + 1;
    // The texts between the links, filled; a link stands between each two.
    std::vector<std::string> texts;
    std::size_t at = 0;
    for (std::size_t next; (next = line.find(link, at)) != std::string::npos; at = next + link.size())
      texts.push_back(fillLine(line.substr(at, next - at), values));
    texts.push_back(fillLine(line.substr(at), values));
    std::string whole = texts.front();
    for (std::size_t i = 1; i < texts.size(); ++i) whole += items.unsubscribeLink + texts[i];
    if (static_cast<int>(whole.size()) <= width) {
      out += whole + kCrLf;
      continue;
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (i > 0) out += items.unsubscribeLink + kCrLf;
      if (!texts[i].empty()) out += wrapLine(texts[i], width);
    }
  }
  return out;
}
