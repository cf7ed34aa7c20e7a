#include "sending/SendRun.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <chrono>
#include <memory>
#include <thread>
#include <unordered_set>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "net/MailMessage.h"
#include "sending/BounceRun.h"
#include "sending/SendListener.h"
#include "settings/FailureText.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

// Ends the SMTP session a run or a single mail left open, however it ends.
struct SessionEnd {
  Delivery& delivery;
  ~SessionEnd() { delivery.endSession(); }
};

}  // namespace

SendRun::SendRun(Statement& query, std::filesystem::path logPath, SmtpClient& smtp, Pop3Client& pop3)
    : m_query(query),
      m_log(std::move(logPath)),
      m_list(query),
      m_mails(query, m_settings, m_options),
      m_pop3(pop3),
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
  m_report = SendReport{};
  const int marked = m_report.marked = m_list.markedCount();
  m_run = HistoryRun::start();
  const std::string stamp = m_run.id.substr(0, 14);
  const bool popFirst = m_settings.popBeforeSmtp();
  // The pace's counts: the mails of today and yesterday in the history, then this run's.
  m_pace = SendPace(m_settings);
  try {
    m_pace.startFromHistory(m_query, stamp);
  } catch (const DbError& e) {
    m_query.close();
    listener.error(failureText(e, FailedLink::database));
    m_report.endedEarly = SendReport::EndedEarly::failed;
  }
  const SessionEnd sessionEnd{m_delivery};
  const std::vector<std::string> header = DueReader::headerCells();
  int handled = m_settings.readBounces() && carryingOn() ? readBounces(listener) : 0;
  int shownSent = -1;
  for (std::size_t i = 0; i < m_list.size() && carryingOn(); ++i) {
    if (shownSent != m_report.sent) {
      shownSent = m_report.sent;
      listener.progress(m_report.sent, marked);
    }
    if (!m_list.at(i).marked()) continue;
    const std::string now = Clock::nowStamp();
    SendPace::Stop paced = m_pace.check(now);
    if (paced == SendPace::Stop::outsideWindow && m_windowIgnored) paced = SendPace::Stop::none;
    if (paced != SendPace::Stop::none) {
      endRun(listener, SendReport::EndedEarly::paced, m_pace.stopText(paced, marked - handled, now));
      break;
    }
    listener.connectionStatus("", "");
    // POP before SMTP logs in once for each SMTP session.
    if (popFirst && !m_delivery.sessionOpen()) {
      setMark(listener, i, SendMark::working);
      const bool loggedIn = logInForSmtp(listener);
      setMark(listener, i, loggedIn ? SendMark::marked : SendMark::failed);
      listener.idle();
      waitSeconds(listener, 1, toIntOr(trim(m_settings.popWaitSeconds), 0));
    }
    listener.connectionStatus("", "");
    if (carryingOn()) {
      setMark(listener, i, SendMark::working);
      serve(i, listener);
    } else {
      setMark(listener, i, SendMark::stopped);  // stopped before this reader's mail went out
    }
    ++handled;
    if (m_settings.writeLog()) m_log.writeRow(header, m_list.at(i).cells());
    listener.connectionStatus("", "");
    listener.idle();
    if (handled < marked && carryingOn())
      // The hourly limit spreads the mails evenly: never closer than an hour / the limit.
      waitSeconds(listener, popFirst && !m_delivery.sessionOpen() ? 2 : 1,
                  std::max(toIntOr(trim(m_settings.waitSeconds), 10), m_pace.spacingSeconds()));
  }
  listener.progress(m_report.sent, marked);
  listener.idle();
  if (m_report.endedEarly == SendReport::EndedEarly::none) {
    if (m_failed)
      m_report.endedEarly = SendReport::EndedEarly::failed;
    else if (stopRequested())
      m_report.endedEarly = SendReport::EndedEarly::stopped;
  }
  m_report.completed = m_report.endedEarly == SendReport::EndedEarly::none;
  return m_report;
}

namespace {

// The failure as the server or the connection gave it, on one line.
std::string replyLine(const DeliveryResult& r) { return trimRight(r.errorText); }

}  // namespace

void SendRun::serve(std::size_t index, SendListener& listener) {
  const int story = m_list.at(index).reader.nextStory;
  // The reader as the database holds it now: stopped, deleted or sent this story by
  // another run since the list was made, it is not mailed.
  std::string passOver;
  const std::optional<Reader> now = ReaderStore(m_query).find(m_list.at(index).reader.id);
  if (!now)
    passOver = u8("読者が削除されています。");
  else if (now->status != SendStatus::sendable)
    passOver = u8("送信区分が不可になっています。");
  else if (now->nextStory != story)
    passOver = u8("このストーリーは送信済みです。");
  const ComposedMail mail = passOver.empty() ? m_mails.compose(m_list.at(index)) : ComposedMail{};
  if (passOver.empty() && mail.found) passOver = mail.skipReason;
  if (!passOver.empty()) {
    settle(listener, index, SendMark::passedOver, SendOutcome::skipped, story, "", passOver);
    return;
  }
  if (!mail.found) {
    settle(listener, index, SendMark::skipped, SendOutcome::skipped, story, "",
           u8("ストーリー番号 ") + std::to_string(story) + u8(" のメールがありません。"));
    return;
  }
  const DeliveryResult r = deliver(mail, listener);
  switch (r.verdict) {
    case DeliveryVerdict::Accepted:
      m_pace.sent(Clock::nowStamp());
      ++m_report.sent;
      setMark(listener, index, SendMark::sent);
      advanceReader(index, listener);
      return;
    case DeliveryVerdict::RecipientRefused:
      stopReader(listener, index, story, r.code, r.reply);
      return;
    case DeliveryVerdict::RecipientDeferred: {
      settle(listener, index, SendMark::deferred, SendOutcome::deferred, story, r.code, r.reply);
      const HistoryStore::Deferrals deferrals = HistoryStore(m_query).deferrals(now->id, story);
      if (HistoryStore::givesUp(deferrals, toIntOr(Clock::nowStamp().substr(0, 8), 0)))
        stopReader(listener, index, story, r.code,
                   u8("保留が ") + std::to_string(deferrals.runs) + u8(" 回続いたため停止: ") + r.reply);
      return;
    }
    case DeliveryVerdict::OutcomeUnknown:
      m_pace.sent(Clock::nowStamp());  // it may count with the provider
      // The mail may have been delivered: the reader is not advanced, and the history
      // says so for the operator to look at.
      settle(listener, index, SendMark::unknown, SendOutcome::unknown, story, r.code, r.errorText);
      return;
    case DeliveryVerdict::ServerDeferred:
      settle(listener, index, SendMark::deferred, SendOutcome::deferred, story, r.code, r.reply);
      endRun(listener, SendReport::EndedEarly::serverDeferred,
             u8("SMTPサーバが送信の延期を求めたため、送信を終了しました。残りの読者には次回の送信で送ります。\r") +
                 replyLine(r));
      return;
    case DeliveryVerdict::SetupProblem:
      setMark(listener, index, SendMark::failed);
      endRun(listener, SendReport::EndedEarly::setupProblem, r.operatorText);
      return;
    case DeliveryVerdict::ContentRefused:
      setMark(listener, index, SendMark::failed);
      endRun(listener, SendReport::EndedEarly::contentRefused,
             u8("ストーリー ") + std::to_string(story) +
                 u8(" のメールをSMTPサーバが受け付けませんでした。ストーリーメンテナンスで件名と本文を確かめて下さい。\r") +
                 replyLine(r));
      return;
    case DeliveryVerdict::Stopped:
      setMark(listener, index, SendMark::stopped);
      return;
    case DeliveryVerdict::ServerUnreachable:
      setMark(listener, index, SendMark::failed);
      listener.error(r.operatorText);
      m_failed = true;
      return;
  }
}

void SendRun::settle(SendListener& listener, std::size_t index, SendMark mark, SendOutcome outcome, int story,
                     const std::string& code, const std::string& reply) {
  setMark(listener, index, mark);
  switch (outcome) {
    case SendOutcome::deferred: ++m_report.deferred; break;
    case SendOutcome::skipped: ++m_report.skipped; break;
    case SendOutcome::unknown: ++m_report.unknown; break;
    default: break;
  }
  if (!m_historyKept) return;
  const std::string stamp = Clock::nowStamp();
  try {
    addHistory(HistoryEntry{m_list.at(index).reader.id, story,
                            DateStamp::fromText(stamp.substr(0, 8), stamp.substr(8, 6)), outcome, code, reply});
  } catch (const DbError& e) {
    m_run.entered = false;
    m_query.close();
    listener.error(u8("INSERT 失敗 ") + failureText(e, FailedLink::database));
  }
}

void SendRun::stopReader(SendListener& listener, std::size_t index, int story, const std::string& code,
                         const std::string& reply) {
  const std::string stamp = Clock::nowStamp();
  const int id = m_list.at(index).reader.id;
  setMark(listener, index, SendMark::refused);
  ++m_report.refused;
  try {
    Transaction transaction(m_query.database());
    ReaderStore(m_query).stop(id);
    if (m_historyKept)
      addHistory(HistoryEntry{id, story, DateStamp::fromText(stamp.substr(0, 8), stamp.substr(8, 6)),
                              SendOutcome::refused, code, reply});
    transaction.commit();
  } catch (const DbError& e) {
    m_run.entered = false;
    m_query.close();
    listener.error(u8("UPDATE 失敗 ") + failureText(e, FailedLink::database));
  }
}

void SendRun::addHistory(HistoryEntry entry) {
  // The run is entered with its first attempt, in that attempt's transaction: a run
  // that recorded nothing is not the last run of anyone's view.
  HistoryStore history(m_query);
  m_run.add(history, std::move(entry));
}

void SendRun::endRun(SendListener& listener, SendReport::EndedEarly why, const std::string& message) {
  m_report.endedEarly = why;
  listener.error(message);
}

void SendRun::waitSeconds(SendListener& listener, int kind, int seconds) {
  const std::uint64_t start = Clock::tickMs();
  for (int elapsed = 1; carryingOn(); ++elapsed) {
    const std::uint64_t tick = start + 1000u * static_cast<std::uint64_t>(elapsed);
    const std::uint64_t now = Clock::tickMs();
    if (tick > now) Clock::pause(static_cast<int>(tick - now), [this] { return carryingOn(); });
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

int SendRun::readBounces(SendListener& listener) {
  listener.connectionStatus(u8("エラーメールを受信中"), trim(m_settings.bouncePopServer));
  BounceRun bounces(m_query, m_settings, m_pop3);
  bounces.setStopFlag(m_stop);
  const BounceReport report = bounces.run(m_run);
  listener.connectionStatus("", "");
  listener.bouncesRead(report);
  // The mailbox is read again at the next run; the mails go out all the same.
  if (report.failed()) listener.error(report.error);
  // Marked readers a bounce stopped are not mailed: they show as stopped at once.
  // One pass over the list, however many bounces there were.
  std::unordered_set<int> stopped;
  for (const BounceOutcome& o : report.outcomes)
    if (o.stopped) stopped.insert(o.readerId);
  int taken = 0;
  for (std::size_t i = 0; i < m_list.size() && !stopped.empty(); ++i)
    if (m_list.at(i).marked() && stopped.count(m_list.at(i).reader.id) != 0) {
      setMark(listener, i, SendMark::refused);
      ++m_report.refused;
      ++taken;
    }
  return taken;
}

bool SendRun::logInForSmtp(SendListener& listener) {
  const DeliveryResult result = m_delivery.logInForSmtp(m_settings, listener);
  if (result.failed) m_failed = true;
  return result.accepted;
}

DeliveryResult SendRun::deliver(const ComposedMail& mail, SendListener& listener) {
  std::unique_ptr<MailMessage> message;
  try {
    message = m_mails.buildMessage(mail);
  } catch (const std::exception& e) {
    // The unsubscribe secret could not be read or made: nothing can go out.
    listener.sending(mail.recipient);
    DeliveryResult result;
    result.verdict = DeliveryVerdict::ServerUnreachable;
    result.errorText = e.what();
    result.operatorText = failureText(
        e, FailedLink::smtp, u8("配信停止リンクの鍵ファイル (QuorMailSecret.env) を読み書きできませんでした。"));
    return result;
  }
  return m_delivery.deliver(*message, mail.recipient, m_settings, listener);
}
bool SendRun::sendMail(std::size_t index, SendListener& listener) {
  const SessionEnd sessionEnd{m_delivery};
  const ComposedMail mail = m_mails.compose(m_list.at(index));
  if (!mail.found) return false;
  const DeliveryResult r = deliver(mail, listener);
  if (!r.accepted && r.verdict != DeliveryVerdict::Stopped) listener.error(r.operatorText);
  return r.accepted;
}
bool SendRun::sendTestMail(std::size_t index, const std::string& address, SendListener& listener) {
  const SessionEnd sessionEnd{m_delivery};
  m_failed = false;
  ComposedMail mail = m_mails.compose(m_list.at(index), true);
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
  const DeliveryResult r = deliver(mail, listener);
  if (!r.accepted && r.verdict != DeliveryVerdict::Stopped) listener.error(r.operatorText);
  listener.idle();
  return r.accepted;
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
  // stays as it is. The attempt goes into the history in the same transaction.
  const int id = m_list.at(index).reader.id;
  try {
    Transaction transaction(m_query.database());
    ReaderStore(m_query).advance(id, story, sent);
    if (m_historyKept)
      addHistory(HistoryEntry{id, story, sent, SendOutcome::sent, "", ""});
    transaction.commit();
  } catch (const DbError& e) {
    m_run.entered = false;
    m_query.close();
    listener.error(u8("UPDATE 失敗 ") + failureText(e, FailedLink::database));
  }
}