#include "net/TIdMessage.h"

#include <cstdio>

#include "net/IdException.h"
#include "net/MailEncoding.h"

namespace {

bool hasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

bool itemHasLineBreak(const TIdEmailAddressItem& item) {
  return hasLineBreak(item.Name) || hasLineBreak(item.Address);
}

bool listHasLineBreak(const TIdEmailAddressList& list) {
  for (const TIdEmailAddressItem& item : list.Items)
    if (itemHasLineBreak(item)) return true;
  return false;
}

}  // namespace

void TIdMessage::SetBodyText(const std::string& text) { Body = splitTextLines(text); }

std::vector<std::string> splitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

void TIdMessage::CheckHeaderSafety() const {
  bool unsafe = itemHasLineBreak(From) || listHasLineBreak(Recipients) || listHasLineBreak(CCList) ||
                listHasLineBreak(BccList) || hasLineBreak(Subject) || hasLineBreak(ContentType) ||
                hasLineBreak(CharSet) || hasLineBreak(ContentTransferEncoding);
  for (const auto& header : ExtraHeaders.Headers())
    unsafe = unsafe || hasLineBreak(header.first) || hasLineBreak(header.second);
  if (unsafe) throw EIdUnsafeText("Mail address or header contains CR or LF.");
}

void TIdMessage::GenerateHeader() {
  CheckHeaderSafety();
  Headers.Clear();
  std::string contentType = ContentType;
  if (Encoding == TIdMessageEncoding::meMIME && !CharSet.empty()) {
    const std::string parameter = "charset=\"" + CharSet + "\"";
    contentType = contentType.empty() ? parameter : contentType + ";\r\n\t" + parameter;
  }
  Headers.SetValue("From", From.HeaderText());
  Headers.SetValue("Subject", mailEncoding::encodeHeader(Subject));
  Headers.SetValue("To", Recipients.HeaderText());
  Headers.SetValue("Cc", CCList.HeaderText());
  if (Encoding == TIdMessageEncoding::meMIME) {
    Headers.SetValue("Content-Type", contentType);
    Headers.SetValue("Content-Transfer-Encoding", ContentTransferEncoding);
  }
  Headers.SetValue("Date", formatMailDate(Date == 0 ? std::time(nullptr) : Date));
  Headers.SetValue("X-Priority", std::to_string(static_cast<int>(Priority) + 1));
  Headers.SetValue("X-Mailer", "KnyMailer 1.00.10");
  Headers.AddAll(ExtraHeaders);
}

std::string formatMailDate(std::time_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  localtime_r(&when, &local);
  const long offsetMinutes = local.tm_gmtoff / 60;
  const long absMinutes = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday], local.tm_mday,
                kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                offsetMinutes < 0 ? '-' : '+', absMinutes / 60, absMinutes % 60);
  return text;
}
