#include "net/MailMessage.h"

#include <cstdio>

#include "net/NetErrors.h"
#include "net/MailEncoding.h"

namespace {

bool hasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

bool itemHasLineBreak(const EmailAddress& item) {
  return hasLineBreak(item.Name) || hasLineBreak(item.Address);
}

bool listHasLineBreak(const EmailAddressList& list) {
  for (const EmailAddress& item : list.Items)
    if (itemHasLineBreak(item)) return true;
  return false;
}

}  // namespace

void MailMessage::setBodyText(const std::string& text) { Body = splitTextLines(text); }

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

void MailMessage::checkHeaderSafety() const {
  bool unsafe = itemHasLineBreak(From) || listHasLineBreak(Recipients) || listHasLineBreak(ccList) ||
                listHasLineBreak(bccList) || hasLineBreak(Subject) || hasLineBreak(contentType) ||
                hasLineBreak(charSet) || hasLineBreak(contentTransferEncoding);
  for (const auto& header : extraHeaders.Headers())
    unsafe = unsafe || hasLineBreak(header.first) || hasLineBreak(header.second);
  if (unsafe) throw UnsafeTextError("Mail address or header contains CR or LF.");
}

void MailMessage::generateHeader() {
  checkHeaderSafety();
  Headers.Clear();
  std::string type = contentType;
  if (Encoding == MailEncodingKind::meMIME && !charSet.empty()) {
    const std::string parameter = "charset=\"" + charSet + "\"";
    type = type.empty() ? parameter : type + ";\r\n\t" + parameter;
  }
  Headers.setValue("From", From.headerText());
  Headers.setValue("Subject", mailEncoding::encodeHeader(Subject));
  Headers.setValue("To", Recipients.headerText());
  Headers.setValue("Cc", ccList.headerText());
  if (Encoding == MailEncodingKind::meMIME) {
    Headers.setValue("Content-Type", type);
    Headers.setValue("Content-Transfer-Encoding", contentTransferEncoding);
  }
  Headers.setValue("Date", formatMailDate(Date == 0 ? std::time(nullptr) : Date));
  Headers.setValue("X-Priority", std::to_string(static_cast<int>(Priority) + 1));
  Headers.setValue("X-Mailer", "KnyMailer 1.00.10");
  Headers.addAll(extraHeaders);
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
