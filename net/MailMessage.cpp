#include "net/MailMessage.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#include "net/NetErrors.h"
#include "net/Socket.h"
#include "text/JapaneseText.h"

namespace {

bool hasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

bool itemHasLineBreak(const EmailAddress& item) {
  return hasLineBreak(item.name) || hasLineBreak(item.address);
}

bool listHasLineBreak(const EmailAddressList& list) {
  for (const EmailAddress& item : list.items)
    if (itemHasLineBreak(item)) return true;
  return false;
}

// An encoded value is checked again: no conversion may put a line break into a header.
const std::string& checkedValue(const std::string& value) {
  if (hasLineBreak(value)) throw UnsafeTextError("Mail address or header contains CR or LF.");
  return value;
}

}  // namespace

void MailMessage::setBodyText(const std::string& text) { body = splitTextLines(text); }

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
  bool unsafe = itemHasLineBreak(from) || listHasLineBreak(recipients) || hasLineBreak(subject);
  for (const auto& header : extraHeaders.headers())
    unsafe = unsafe || hasLineBreak(header.first) || hasLineBreak(header.second);
  if (unsafe) throw UnsafeTextError("Mail address or header contains CR or LF.");
}

void MailMessage::generateHeader() {
  checkHeaderSafety();
  headers.clear();
  headers.setValue("From", checkedValue(from.headerText()));
  headers.setValue("Subject", checkedValue(JapaneseText::encodeHeader(subject)));
  headers.setValue("To", checkedValue(recipients.headerText()));
  headers.setValue("MIME-Version", "1.0");
  headers.setValue("Content-Type", "text/plain; charset=ISO-2022-JP");
  headers.setValue("Content-Transfer-Encoding", "7bit");
  headers.setValue("Date", formatMailDate(std::time(nullptr)));
  headers.setValue("Message-ID", checkedValue(newMessageId(from.address, messageIdTag)));
  headers.setValue("X-Priority", "3");
  headers.setValue("X-Mailer", "KnyMailer 1.00.10");
  headers.addAll(extraHeaders);
}

std::string newMessageId(const std::string& senderAddress, const std::string& tag) {
  static std::atomic<unsigned> counter{0};
  static const std::uint64_t processSalt = [] {
    std::random_device device;
    return (std::uint64_t(device()) << 32) ^ device();
  }();
  const std::size_t at = senderAddress.rfind('@');
  std::string domain = at == std::string::npos ? std::string() : senderAddress.substr(at + 1);
  if (domain.empty()) domain = Socket::localHostName();
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  char unique[80];
  std::snprintf(unique, sizeof unique, "%llx.%x.%u.%llx",
                static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
                static_cast<unsigned>(::getpid()), counter.fetch_add(1), static_cast<unsigned long long>(processSalt));
  if (tag.find_first_not_of("0123456789.ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") != std::string::npos)
    throw UnsafeTextError("Message-ID tag holds characters other than letters, digits and dots.");
  return "<" + tag + unique + "@" + domain + ">";
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
