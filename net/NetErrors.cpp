#include "net/NetErrors.h"

#include "net/ServerReply.h"

namespace {

// The reply as the server gave it: its code (numeric or POP3's "-ERR") before the
// first text line, each line followed by CR LF.
std::string replyText(const ServerReply& reply) {
  std::string out = reply.codeText;
  for (std::size_t i = 0; i < reply.lines.size(); ++i) {
    std::string line = reply.lines[i];
    if (i == 0) {
      line.erase(0, line.find_first_not_of(' '));
      if (!out.empty() && !line.empty()) out += ' ';
    }
    out += line + "\r\n";
  }
  return out;
}

bool isThreeDigitCode(const std::string& text) {
  return text.size() == 3 && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

ProtocolReplyError::ProtocolReplyError(std::string command, const ServerReply& reply, std::string enhancedCode)
    : NetError(replyText(reply)),
      m_command(std::move(command)),
      m_code(isThreeDigitCode(reply.codeText) ? reply.code : 0),
      m_enhancedCode(std::move(enhancedCode)),
      m_serverText(reply.lines) {}
