#include "sending/MailComposer.h"

#include "core/SjisText.h"
#include "core/TextUtil.h"

namespace {
const std::string kPlaceholder = "##readername##";
const std::string kCrLf = "\r\n";
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
