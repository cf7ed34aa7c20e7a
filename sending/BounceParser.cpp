#include "sending/BounceParser.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <utility>

#include "core/Reader.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "text/JapaneseText.h"

namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;  // names in lower case

constexpr int kMaxDepth = 8;
constexpr int kReasonBytes = 300;

std::string lower(std::string s) {
  lowerAscii(s);
  return s;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The header block and the body of a message or body part.
std::pair<std::string, std::string> splitMessage(const std::string& raw) {
  if (startsWith(raw, "\r\n")) return {"", raw.substr(2)};
  if (startsWith(raw, "\n")) return {"", raw.substr(1)};
  const std::size_t crlf = raw.find("\r\n\r\n");
  const std::size_t lf = raw.find("\n\n");
  if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) return {raw.substr(0, crlf + 2), raw.substr(crlf + 4)};
  if (lf != std::string::npos) return {raw.substr(0, lf + 1), raw.substr(lf + 2)};
  return {raw, ""};
}

// Header fields, folded lines joined; also reads the field blocks of a delivery report.
Headers parseHeaders(const std::string& block) {
  Headers headers;
  for (std::size_t from = 0; from < block.size();) {
    std::size_t end = block.find('\n', from);
    if (end == std::string::npos) end = block.size();
    std::string line = block.substr(from, end - from);
    from = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !headers.empty()) {
      headers.back().second += " " + trim(line);
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    headers.emplace_back(lower(trim(line.substr(0, colon))), trim(line.substr(colon + 1)));
  }
  return headers;
}

std::string field(const Headers& headers, const std::string& name) {
  for (const auto& h : headers)
    if (h.first == name) return h.second;
  return {};
}

// "type/subtype" in lower case and one parameter of a Content-Type value.
std::string mediaType(const std::string& value) { return lower(trim(value.substr(0, value.find(';')))); }

std::string parameter(const std::string& value, const std::string& name) {
  const std::string low = lower(value);
  for (std::size_t at = low.find(';'); at != std::string::npos; at = low.find(';', at + 1)) {
    std::size_t p = at + 1;
    while (p < low.size() && (low[p] == ' ' || low[p] == '\t')) ++p;
    if (low.compare(p, name.size(), name) != 0) continue;
    p += name.size();
    while (p < low.size() && (low[p] == ' ' || low[p] == '\t')) ++p;
    if (p >= low.size() || low[p] != '=') continue;
    ++p;
    while (p < low.size() && (low[p] == ' ' || low[p] == '\t')) ++p;
    if (p < value.size() && value[p] == '"') {
      const std::size_t close = value.find('"', p + 1);
      return value.substr(p + 1, close == std::string::npos ? std::string::npos : close - p - 1);
    }
    std::size_t end = p;
    while (end < value.size() && value[end] != ';' && value[end] != ' ' && value[end] != '\t') ++end;
    return value.substr(p, end - p);
  }
  return {};
}

std::string decodeTransfer(const Headers& headers, const std::string& body) {
  const std::string encoding = lower(field(headers, "content-transfer-encoding"));
  if (encoding == "base64") return JapaneseText::fromBase64(body);
  if (encoding == "quoted-printable") return JapaneseText::fromQuotedPrintable(body);
  return body;
}

// A text part as CP932, whatever its character set.
std::string toCp932(const std::string& text, const std::string& charset) {
  const std::string set = lower(charset);
  if (set == "iso-2022-jp" || text.find("\x1b$B") != std::string::npos) return JapaneseText::jisToSjis(text);
  if (set == "utf-8" || set == "utf8") return Sjis::fromUtf8(text);
  return text;
}

// What the walk over a mail collects.
struct Collected {
  Headers top;                        // the mail's own header
  std::vector<Headers> statusGroups;  // the per-recipient field blocks of delivery reports
  std::string reportText;             // the readable text of the report itself (CP932)
  std::vector<Headers> returnedHeaders;  // the headers of the returned mail, if attached
  std::string returnedText;           // what follows a "copy of the message" line
};

// Lines after which a plain-text bounce quotes the returned mail.
const char* const kReturnedMarkers[] = {
    "below this line is a copy of the message", "this is a copy of the message", "original message follows",
    "----- original message -----", "------ original message ------", "returned message follows",
    "--- the header of the original message is following. ---", "----- the following addresses had",
};

void splitReturnedCopy(const std::string& text, Collected& out) {
  const std::string low = lower(text);
  std::size_t cut = std::string::npos;
  for (const char* marker : kReturnedMarkers) cut = std::min(cut, low.find(marker));
  const std::string original = Sjis::fromUtf8("元のメッセージ");
  cut = std::min(cut, text.find(original));
  if (cut == std::string::npos) {
    out.reportText += text;
    return;
  }
  out.reportText += text.substr(0, cut);
  out.returnedText += text.substr(cut);
}

void walk(const std::string& raw, int depth, bool top, Collected& out) {
  if (depth > kMaxDepth) return;
  const auto [block, rawBody] = splitMessage(raw);
  const Headers headers = parseHeaders(block);
  if (top) out.top = headers;
  if (!top && depth > 0 && headers.empty() && rawBody.empty()) return;
  const std::string contentType = field(headers, "content-type");
  const std::string type = contentType.empty() ? "text/plain" : mediaType(contentType);
  if (startsWith(type, "multipart/")) {
    const std::string boundary = parameter(contentType, "boundary");
    if (boundary.empty()) return;
    const std::string delimiter = "--" + boundary;
    std::size_t at = rawBody.find(delimiter);
    while (at != std::string::npos) {
      std::size_t start = rawBody.find('\n', at);
      if (start == std::string::npos || rawBody.compare(at + delimiter.size(), 2, "--") == 0) break;
      ++start;
      std::size_t next = rawBody.find("\n" + delimiter, start);
      const std::size_t partEnd = next == std::string::npos ? rawBody.size() : next;
      walk(rawBody.substr(start, partEnd - start), depth + 1, false, out);
      at = next == std::string::npos ? next : next + 1;
    }
    return;
  }
  const std::string body = decodeTransfer(headers, rawBody);
  if (type == "message/delivery-status") {
    // Field blocks separated by blank lines: the first is about the message, each
    // other one about a recipient.
    std::string text = body;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    std::size_t from = 0;
    bool first = true;
    while (from <= text.size()) {
      std::size_t end = text.find("\n\n", from);
      if (end == std::string::npos) end = text.size();
      const Headers group = parseHeaders(text.substr(from, end - from));
      if (!group.empty()) {
        if (!first || !field(group, "final-recipient").empty()) out.statusGroups.push_back(group);
        first = false;
      }
      from = end + 2;
    }
  } else if (type == "message/rfc822" || type == "message/global") {
    out.returnedHeaders.push_back(parseHeaders(splitMessage(body).first));
  } else if (type == "text/rfc822-headers" || type == "message/rfc822-headers") {
    out.returnedHeaders.push_back(parseHeaders(body));
  } else if (startsWith(type, "text/")) {
    splitReturnedCopy(toCp932(body, parameter(contentType, "charset")), out);
  }
}

// The first address of a value: the text between angle brackets, else the word holding
// "@", without "rfc822;" and quotes.
std::string addressIn(std::string value) {
  const std::size_t semicolon = value.find(';');
  if (semicolon != std::string::npos && lower(value.substr(0, semicolon)).find("rfc822") != std::string::npos)
    value = value.substr(semicolon + 1);
  const std::size_t open = value.find('<');
  const std::size_t close = open == std::string::npos ? std::string::npos : value.find('>', open);
  if (close != std::string::npos) return trim(value.substr(open + 1, close - open - 1));
  const std::size_t at = value.find('@');
  if (at == std::string::npos) return {};
  std::size_t begin = value.find_last_of(" \t,;:\"'(", at);
  begin = begin == std::string::npos ? 0 : begin + 1;
  std::size_t end = value.find_first_of(" \t,;:\"')", at);
  if (end == std::string::npos) end = value.size();
  return value.substr(begin, end - begin);
}

bool isAddress(const std::string& a) {
  const std::size_t at = a.find('@');
  return at != std::string::npos && at > 0 && at + 1 < a.size() && a.find_first_of(" \t<>\r\n") == std::string::npos;
}

// One line of text, cut to a size the history keeps readable.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return trimRight(fitWidth(trim(text), kReasonBytes));
}

// "550" from "smtp; 550 5.1.1 ...", or empty.
std::string replyCodeIn(const std::string& diagnostic) {
  std::string text = diagnostic;
  const std::size_t semicolon = text.find(';');
  if (semicolon != std::string::npos) text = text.substr(semicolon + 1);
  text = trim(text);
  if (text.size() >= 3 && std::isdigit(static_cast<unsigned char>(text[0])) &&
      std::isdigit(static_cast<unsigned char>(text[1])) && std::isdigit(static_cast<unsigned char>(text[2])) &&
      (text.size() == 3 || text[3] == ' ' || text[3] == '-'))
    return text.substr(0, 3);
  return {};
}

std::vector<BouncedAddress> fromDeliveryReport(const Collected& c) {
  std::vector<BouncedAddress> found;
  for (const Headers& group : c.statusGroups) {
    const std::string action = lower(field(group, "action"));
    std::string status = field(group, "status");
    status = status.substr(0, status.find_first_of(" \t("));
    const bool failed = action == "failed" && startsWith(status, "5.");
    const bool delayed = action == "delayed" || startsWith(status, "4.");
    if (!failed && !delayed) continue;  // delivered, relayed, expanded
    const std::string diagnostic = field(group, "diagnostic-code");
    const std::string replyCode = replyCodeIn(diagnostic);
    std::string reason = diagnostic;
    const std::size_t semicolon = reason.find(';');
    if (semicolon != std::string::npos) reason = reason.substr(semicolon + 1);
    if (trim(reason).empty()) reason = "Action: " + field(group, "action") + ", Status: " + field(group, "status");
    const std::string code = replyCode.empty() ? status : replyCode + " " + status;
    // The original recipient is the address as this program sent it; the final one may
    // be the address it was forwarded to.
    for (const char* name : {"original-recipient", "final-recipient"}) {
      const std::string address = addressIn(field(group, name));
      if (isAddress(address)) found.push_back(BouncedAddress{address, failed, code, oneLine(reason)});
    }
  }
  return found;
}

// Headers by which mail programs mark an automatic reply (RFC 3834 and common usage).
bool isAutomaticReply(const Headers& headers) {
  const std::string autoSubmitted = lower(field(headers, "auto-submitted"));
  if (!autoSubmitted.empty() && autoSubmitted != "no") return true;
  if (!field(headers, "x-autoreply").empty() || !field(headers, "x-autorespond").empty()) return true;
  const std::string precedence = lower(field(headers, "precedence"));
  if (precedence == "auto_reply") return true;
  const std::string subject = lower(field(headers, "subject"));
  for (const char* prefix : {"auto:", "automatic reply", "autoreply", "out of office", "out of the office"})
    if (startsWith(subject, prefix)) return true;
  return false;
}

bool fromMailSystem(const Headers& headers) {
  const std::string from = lower(field(headers, "from"));
  return from.find("mailer-daemon") != std::string::npos || from.find("postmaster") != std::string::npos ||
         from.find("mail delivery") != std::string::npos;
}

// Phrases by which a report says an address is gone for good.
const char* const kPermanentPhrases[] = {
    "user unknown", "unknown user", "no such user", "no such recipient", "no mailbox here", "mailbox unavailable",
    "mailbox not found", "mailbox does not exist", "does not exist", "recipient address rejected",
    "invalid recipient", "user not found", "recipient not found", "unrouteable address", "account has been disabled",
    "account is disabled", "address rejected", "permanent fatal error",
};
const char* const kPermanentPhrasesJa[] = {"宛先不明", "存在しません", "見つかりません", "アカウントは無効",
                                           "受信者が不明"};

// "5.1.1" standing alone in the text ("(#5.1.1)", " 5.1.1 "), or empty.
std::string permanentStatusIn(const std::string& low) {
  for (std::size_t at = low.find("5."); at != std::string::npos; at = low.find("5.", at + 1)) {
    if (at > 0 && (std::isalnum(static_cast<unsigned char>(low[at - 1])) || low[at - 1] == '.')) continue;
    std::size_t p = at + 2;
    const std::size_t subject = p;
    while (p < low.size() && std::isdigit(static_cast<unsigned char>(low[p]))) ++p;
    if (p == subject || p - subject > 3 || p >= low.size() || low[p] != '.') continue;
    const std::size_t detail = ++p;
    while (p < low.size() && std::isdigit(static_cast<unsigned char>(low[p]))) ++p;
    if (p == detail || p - detail > 3) continue;
    if (p < low.size() && (std::isalnum(static_cast<unsigned char>(low[p])) || low[p] == '.')) continue;
    return low.substr(at, p - at);
  }
  return {};
}

// The line of the report that says the address is gone, or empty when none does.
std::string permanentFailureLine(const std::string& report, std::string& status) {
  const std::string low = lower(report);
  std::size_t hit = std::string::npos;
  for (const char* phrase : kPermanentPhrases) hit = std::min(hit, low.find(phrase));
  for (const char* phrase : kPermanentPhrasesJa) hit = std::min(hit, report.find(Sjis::fromUtf8(phrase)));
  status = permanentStatusIn(low);
  if (hit == std::string::npos && !status.empty()) hit = low.find(status);
  if (hit == std::string::npos) return {};
  const std::size_t begin = report.rfind('\n', hit);
  const std::size_t end = report.find('\n', hit);
  return oneLine(report.substr(begin == std::string::npos ? 0 : begin + 1,
                               end == std::string::npos ? std::string::npos : end - (begin == std::string::npos ? 0 : begin + 1)));
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t from = 0; from < text.size();) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    from = end + 1;
  }
  return lines;
}

// The addresses a plain-text bounce names: the returned mail's To:, and the addresses in
// angle brackets at the start of a report line ("<user@example.jp>:", qmail's form).
std::vector<std::string> namedAddresses(const Collected& c) {
  std::vector<std::string> found;
  const auto add = [&](const std::string& address) {
    if (isAddress(address) && std::find(found.begin(), found.end(), address) == found.end()) found.push_back(address);
  };
  for (const Headers& headers : c.returnedHeaders) add(addressIn(field(headers, "to")));
  for (const std::string& line : linesOf(c.returnedText)) {
    if (lower(line.substr(0, 3)) == "to:") add(addressIn(line.substr(3)));
  }
  for (const std::string& line : linesOf(c.reportText)) {
    const std::string t = trim(line);
    if (startsWith(t, "<") && t.find('>') != std::string::npos) add(addressIn(t));
  }
  return found;
}

// Our tag in a text: "<qm.RRRRR.S." with the reader's five digits and the story.
std::optional<TaggedMail> tagIn(const std::string& text) {
  for (std::size_t at = text.find("<qm."); at != std::string::npos; at = text.find("<qm.", at + 1)) {
    int reader = 0, story = 0, used = 0;
    if (std::sscanf(text.c_str() + at, "<qm.%5d.%5d.%n", &reader, &story, &used) == 2 && used > 0 && reader > 0 &&
        story > 0)
      return TaggedMail{reader, story};
  }
  return std::nullopt;
}

std::optional<TaggedMail> returnedTag(const Collected& c) {
  for (const Headers& headers : c.returnedHeaders)
    if (auto tag = tagIn(field(headers, "message-id"))) return tag;
  return tagIn(c.returnedText);
}

}  // namespace

ParsedBounce parseBounce(const std::string& raw) {
  ParsedBounce result;
  Collected c;
  walk(raw, 0, true, c);
  const Headers& top = c.top;
  result.mail = returnedTag(c);
  if (!c.statusGroups.empty()) {
    result.deliveryStatus = true;
    result.addresses = fromDeliveryReport(c);
    result.kind = result.addresses.empty() ? BounceKind::other : BounceKind::bounce;
    return result;
  }
  // An automatic reply quotes our Message-ID too, and may say anything in its text.
  if (isAutomaticReply(top) && !fromMailSystem(top)) {
    result.kind = BounceKind::autoReply;
    result.mail.reset();
    return result;
  }
  std::string status;
  const std::string reason = permanentFailureLine(c.reportText, status);
  if (reason.empty()) {
    result.mail.reset();
    return result;
  }
  for (const std::string& address : namedAddresses(c))
    result.addresses.push_back(BouncedAddress{address, true, status, reason});
  // Named by our Message-ID alone: the reader's own address is not in the text.
  if (result.addresses.empty() && result.mail) result.addresses.push_back(BouncedAddress{"", true, status, reason});
  result.kind = result.addresses.empty() ? BounceKind::other : BounceKind::bounce;
  return result;
}

std::string storyMessageTag(int readerId, int story) {
  char tag[32];
  std::snprintf(tag, sizeof tag, "qm.%05d.%d.", readerId, story);
  return tag;
}
