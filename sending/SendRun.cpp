#include "sending/SendRun.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "net/MailMessage.h"
#include "sending/SendListener.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

// The longest a wait sleeps before it looks at the stop flag again.
constexpr int kStopCheckMs = 100;

}  // namespace

SendRun::SendRun(Statement& query, std::filesystem::path logPath, SmtpClient& smtp, Pop3Client& pop3)
    : m_query(query),
      m_log(std::move(logPath)),
      m_list(query),
      m_mails(query, m_settings, m_options),
      m_delivery(smtp, pop3) {}

void SendRun::setStopFlag(const std::atomic<bool>* stop) {
  m_stop = stop;
  m_delivery.setStopFlag(stop);
}

void SendRun::setMark(SendListener& listener, std::size_t index, SendMark mark) {
  m_list.setMark(index, mark);
  listener.readerChanged(index, m_list.at(index));
}

SendReport SendRun::run(SendListener& listener) {
  m_log.startRun();
  m_failed = false;
  m_sent = 0;
  const int marked = m_list.markedCount();
  const bool popFirst = m_settings.popBeforeSmtp();
  const std::vector<std::string> header = DueReader::headerCells();
  int handled = 0;
  int shownSent = -1;
  for (std::size_t i = 0; i < m_list.size() && carryingOn(); ++i) {
    if (shownSent != m_sent) {
      shownSent = m_sent;
      listener.progress(m_sent, marked);
    }
    if (!m_list.at(i).marked()) continue;
    listener.connectionStatus("", "");
    if (popFirst) {
      setMark(listener, i, SendMark::working);
      const bool loggedIn = logInForSmtp(listener);
      setMark(listener, i, loggedIn ? SendMark::marked : SendMark::failed);
      listener.idle();
      waitSeconds(listener, 1, toIntOr(trim(m_settings.popWaitSeconds), 0));
    }
    listener.connectionStatus("", "");
    if (carryingOn()) {
      setMark(listener, i, SendMark::working);
      if (sendMail(i, listener)) {
        ++m_sent;
        setMark(listener, i, SendMark::sent);
        advanceReader(i, listener);
      } else {
        setMark(listener, i, stopRequested() ? SendMark::stopped : SendMark::skipped);
      }
    } else {
      setMark(listener, i, SendMark::stopped);  // stopped before this reader's mail went out
    }
    ++handled;
    if (m_settings.writeLog()) m_log.writeRow(header, m_list.at(i).cells());
    listener.connectionStatus("", "");
    listener.idle();
    if (handled < marked && carryingOn())
      waitSeconds(listener, popFirst ? 2 : 1, toIntOr(trim(m_settings.waitSeconds), 10));
  }
  listener.progress(m_sent, marked);
  listener.idle();
  return SendReport{carryingOn(), m_sent, marked};
}

void SendRun::pause(int ms) {
  const std::uint64_t until = Clock::tickMs() + static_cast<std::uint64_t>(std::max(ms, 0));
  for (std::uint64_t now = Clock::tickMs(); now < until && carryingOn(); now = Clock::tickMs())
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint64_t>(until - now, kStopCheckMs)));
}

void SendRun::waitSeconds(SendListener& listener, int kind, int seconds) {
  const std::uint64_t start = Clock::tickMs();
  for (int elapsed = 1; carryingOn(); ++elapsed) {
    const std::uint64_t tick = start + 1000u * static_cast<std::uint64_t>(elapsed);
    const std::uint64_t now = Clock::tickMs();
    if (tick > now) pause(static_cast<int>(tick - now));
    if (!carryingOn() || elapsed >= seconds) return;
    listener.countdown(countdownText(kind, seconds - elapsed));
  }
}

std::string SendRun::countdownText(int kind, int secondsLeft) {
  const int minutes = secondsLeft / 60;
  const int seconds = secondsLeft - 60 * minutes;
  std::string text = u8(kind == 2 ? "POP before SMTPのログインまで " : "メール送信まで ");
  if (minutes > 0) text += std::to_string(minutes) + u8(" 分 ");
  return text + std::to_string(seconds) + u8(" 秒です。");
}

bool SendRun::logInForSmtp(SendListener& listener) {
  const DeliveryResult result = m_delivery.logInForSmtp(m_settings, listener);
  if (result.failed) m_failed = true;
  return result.accepted;
}

bool SendRun::deliver(const ComposedMail& mail, SendListener& listener) {
  std::unique_ptr<MailMessage> message;
  try {
    message = m_mails.buildMessage(mail);
  } catch (const std::exception& e) {
    // The unsubscribe secret could not be read or made.
    listener.sending(mail.recipient);
    listener.error(u8("QuickSend 失敗\r") + e.what());
    m_failed = true;
    return false;
  }
  const DeliveryResult result = m_delivery.deliver(*message, mail.recipient, m_settings, listener);
  if (result.failed) m_failed = true;
  return result.accepted;
}

bool SendRun::sendMail(std::size_t index, SendListener& listener) {
  const ComposedMail mail = m_mails.compose(m_list.at(index));
  return mail.found && deliver(mail, listener);
}

bool SendRun::sendTestMail(std::size_t index, const std::string& address, SendListener& listener) {
  m_failed = false;
  ComposedMail mail = m_mails.compose(m_list.at(index));
  if (!mail.found) {
    listener.error(u8("ストーリー番号 ") + std::to_string(mail.story) + u8(" のメールがありません。"));
    return false;
  }
  mail.subject = u8("[テスト]") + mail.subject;
  mail.recipient = trim(address);
  if (m_settings.popBeforeSmtp()) {
    const bool loggedIn = logInForSmtp(listener);
    listener.idle();
    if (!loggedIn) return false;
    waitSeconds(listener, 1, toIntOr(trim(m_settings.popWaitSeconds), 0));
    if (!carryingOn()) return false;
  }
  const bool sent = deliver(mail, listener);
  listener.idle();
  return sent;
}

void SendRun::advanceReader(std::size_t index, SendListener& listener) {
  const int story = m_list.at(index).reader.nextStory;
  if (story + 1 > 99999) return;
  const std::string stamp = Clock::nowStamp();
  const DateStamp sent = DateStamp::fromText(stamp.substr(0, 8), stamp.substr(8, 6));
  m_list.recordSent(index, sent);
  listener.readerChanged(index, m_list.at(index));

  // Only the columns that change, and only while the stored reader still waits for
  // this story and may be sent to: a reader stopped, advanced or deleted meanwhile
  // stays as it is.
  try {
    ReaderStore(m_query).advance(m_list.at(index).reader.id, story, sent);
  } catch (const DbError& e) {
    m_query.close();
    listener.error(u8("UPDATE 失敗 ") + e.what());
  }
}
