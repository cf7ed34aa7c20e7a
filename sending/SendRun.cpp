#include "sending/SendRun.h"

#include <algorithm>
#include <map>
#include <chrono>
#include <thread>

#include "core/Clock.h"
#include "core/Database.h"
#include "core/JisCoverage.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/Tables.h"
#include "core/TextUtil.h"
#include "net/MailMessage.h"
#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/MailComposer.h"
#include "sending/SendListener.h"
#include "sending/UnsubscribeLink.h"
#include "text/JapaneseText.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

// The longest a wait sleeps before it looks at the stop flag again.
constexpr int kStopCheckMs = 100;

const std::string kNamePlaceholder = "##readername##";

// The character check reports at most this many characters.
constexpr std::size_t kReportedCharacters = 30;

}  // namespace

SendRun::SendRun(Statement& query, std::filesystem::path logPath)
    : m_query(query),
      m_log(std::move(logPath)),
      m_smtp(std::make_unique<SmtpClient>()),
      m_pop3(std::make_unique<Pop3Client>()) {
  m_smtp->port = 25;
  m_smtp->readTimeoutMs = 0;
}

SendRun::~SendRun() = default;

void SendRun::setStopFlag(const std::atomic<bool>* stop) {
  m_stop = stop;
  m_smtp->setStopFlag(stop);
  m_pop3->setStopFlag(stop);
}

bool SendRun::stopRequested() const { return m_stop && m_stop->load(); }

// ---- the list ---------------------------------------------------------------------

Eligibility SendRun::decideEligibility(DueReader& reader) const {
  const int next = toIntOr(trim(reader.nextStory), -1);
  if (next > m_lastStory) {
    reader.dueDate.clear();
    return Eligibility::allSent;
  }
  reader.dueDate = m_schedule.dueDate(next, reader.registeredDate, reader.lastSentDate);
  return SendSchedule::dueBy(reader.dueDate, m_today) ? Eligibility::eligible : Eligibility::notYetDue;
}

namespace {

// The last story number as the list shows it, "0" when there is none.
std::string lastStoryOf(Statement& q) {
  std::string text = "0";
  q.close();
  q.setCommandText(Sql::maxStoryNo());
  q.open();
  if (!q.eof()) text = zeroSuppress(q.fieldByName("MAX").substr(0, 5));
  q.close();
  return toIntOr(trim(text), 0) == 0 ? "0" : text;
}

// The intervals of the story mails up to the last one, read once for a whole list.
SendSchedule scheduleOf(Statement& q, int lastStory, bool onePerDay) {
  std::vector<int> intervals(static_cast<std::size_t>(std::max(lastStory, 0)) + 1, 0);
  q.setCommandText(" SELECT STORYNO, INTERVALDAYS FROM STORYLIST WHERE INTERVALDAYS > 0");
  q.open();
  for (; !q.eof(); q.next()) {
    const int story = toIntOr(trim(q.fieldByName("STORYNO")), -1);
    if (story >= 0 && story <= lastStory)
      intervals[static_cast<std::size_t>(story)] = toIntOr(trim(q.fieldByName("INTERVALDAYS")), 0);
  }
  q.close();
  return SendSchedule(std::move(intervals), onePerDay);
}

}  // namespace

int SendRun::countDueNow(Statement& q, const SendOptions& options) {
  const int lastStory = toIntOr(trim(lastStoryOf(q)), 0);
  const SendSchedule schedule = scheduleOf(q, lastStory, options.onePerDay);
  const std::string today = Clock::nowStamp().substr(0, 8);
  // Only the columns that decide, by the same rules as the list.
  q.close();
  q.setCommandText(" SELECT SYORIKBN, NEXTSTORY, TOUROKUDATE, SNDLASTDATE FROM USERLIST");
  q.open();
  int due = 0;
  for (; !q.eof(); q.next()) {
    if (toIntOr(trim(q.fieldByName("SYORIKBN").substr(0, 2)), 0) != 1) continue;
    const int next = toIntOr(trim(q.fieldByName("NEXTSTORY").substr(0, 5)), 0);
    if (next > lastStory) continue;
    const std::string date = schedule.dueDate(next, q.fieldByName("TOUROKUDATE"), q.fieldByName("SNDLASTDATE"));
    if (SendSchedule::dueBy(date, today)) ++due;
  }
  q.close();
  return due;
}

void SendRun::listDueReaders() {
  Statement& q = m_query;
  m_lastStoryText = lastStoryOf(q);
  m_lastStory = toIntOr(trim(m_lastStoryText), 0);
  m_schedule = scheduleOf(q, m_lastStory, m_options.onePerDay);
  m_today = Clock::nowStamp().substr(0, 8);

  m_sent = 0;
  m_readers.clear();
  q.close();
  q.setCommandText(Sql::allReaders());
  q.open();
  while (!q.eof()) {
    ReaderRow r = readReader(q, 50);
    const bool sendable = toIntOr(trim(r.status.substr(0, 2)), 0) == 1;
    if (sendable && toIntOr(trim(r.nextStory.substr(0, 5)), 0) <= m_lastStory) {
      DueReader d;
      d.id = zeroSuppress(r.id);
      d.nextStory = zeroSuppress(r.nextStory);
      d.lastSentDate = std::move(r.lastSentDate);
      d.lastSentTime = std::move(r.lastSentTime);
      d.name = std::move(r.name);
      d.address = std::move(r.address);
      d.firstSentDate = std::move(r.firstSentDate);
      d.firstSentTime = std::move(r.firstSentTime);
      d.registeredDate = std::move(r.registeredDate);
      d.registeredTime = std::move(r.registeredTime);
      d.note1 = std::move(r.note1);
      d.note2 = std::move(r.note2);
      d.note3 = std::move(r.note3);
      d.eligibility = toIntOr(r.status.substr(0, 2), -1) == 0 ? Eligibility::notEligible : decideEligibility(d);
      m_readers.push_back(std::move(d));
    }
    q.next();
  }
  q.close();
}

// ---- marking ----------------------------------------------------------------------

void SendRun::mark(std::size_t index) {
  if (index < m_readers.size() && m_readers[index].eligibility == Eligibility::eligible)
    m_readers[index].mark = SendMark::marked;
}

void SendRun::unmark(std::size_t index) {
  if (index < m_readers.size()) m_readers[index].mark = SendMark::none;
}

void SendRun::markAll() {
  for (DueReader& r : m_readers)
    if (r.eligibility == Eligibility::eligible) r.mark = SendMark::marked;
}

void SendRun::unmarkAll() {
  for (DueReader& r : m_readers) r.mark = SendMark::none;
}

int SendRun::markedCount() const {
  return static_cast<int>(std::count_if(m_readers.begin(), m_readers.end(), [](const DueReader& r) { return r.marked(); }));
}

int SendRun::dueCount() const {
  return static_cast<int>(std::count_if(m_readers.begin(), m_readers.end(),
                                        [](const DueReader& r) { return r.eligibility == Eligibility::eligible; }));
}

std::vector<int> SendRun::markedStories() const {
  std::vector<int> stories;
  for (const DueReader& r : m_readers)
    if (r.marked()) stories.push_back(toIntOr(trim(r.nextStory), 0));
  std::sort(stories.begin(), stories.end());
  stories.erase(std::unique(stories.begin(), stories.end()), stories.end());
  return stories;
}

// ---- start check ------------------------------------------------------------------

StartCheck SendRun::checkStart() {
  using Outcome = StartCheck::Outcome;
  auto problem = [](Outcome outcome, const char* message) { return StartCheck{outcome, u8(message)}; };
  m_sent = 0;
  if (m_lastStory == 0) return problem(Outcome::noStory, "ストーリーが登録されていません。");
  int notEligible = 0;
  int withId = 0;
  for (const DueReader& r : m_readers) {
    if (r.eligibility != Eligibility::eligible) ++notEligible;
    if (!trim(r.id).empty()) ++withId;
  }
  if (notEligible == withId) return problem(Outcome::nothingDue, "送信対象が１件もありません。");
  if (markedCount() == 0) return problem(Outcome::nothingMarked, "選択されていません。");
  return checkSettings();
}

StartCheck SendRun::checkSettings() {
  using Outcome = StartCheck::Outcome;
  auto problem = [](Outcome outcome, const char* message) { return StartCheck{outcome, u8(message)}; };
  const Outcome settings = Outcome::settingsProblem;
  MailSettings& s = m_settings;
  s.smtpServer = trim(s.smtpServer);
  if (s.smtpServer.empty()) return problem(settings, "SMTPｻｰﾊﾞ名が設定されていません。");
  if (!isHalfWidth(s.smtpServer)) return problem(settings, "SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。");
  // A port beyond 16 bits would be cut to another port by the socket call.
  if (s.smtpPort < 1 || s.smtpPort > 65535) return problem(settings, "SMTPポート番号に誤りがあります。");
  s.senderAddress = trim(s.senderAddress);
  if (s.senderAddress.empty()) return problem(settings, "メールアドレスが設定されていません。");
  if (!isHalfWidth(s.senderAddress))
    return problem(settings, "メールアドレスに全角文字があります。\r\r半角文字で設定して下さい。");
  if (s.smtpSecurity < 0 || s.smtpSecurity > 2) return problem(settings, "SMTPの暗号化の設定に誤りがあります。");
  if (s.smtpLogin()) {
    s.smtpUser = trim(s.smtpUser);
    if (s.smtpUser.empty()) return problem(settings, "SMTPユーザ名を設定して下さい。");
    if (!isHalfWidth(s.smtpUser))
      return problem(settings, "SMTPユーザ名に全角文字があります。\r\r半角文字で入力して下さい。");
  }
  s.waitSeconds = trim(s.waitSeconds);
  if (s.waitSeconds.empty()) return problem(settings, "秒数を入力して下さい。");
  if (toIntOr(s.waitSeconds, -1) == -1) return problem(settings, "秒数に誤りがあります。");
  if (s.popBeforeSmtp()) {
    if (trim(s.popServer).empty()) return problem(settings, "POP3ｻｰﾊﾞ名を設定して下さい。");
    if (!isHalfWidth(s.popServer))
      return problem(settings, "POP3ｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。");
    s.popUser = trim(s.popUser);
    if (s.popUser.empty()) return problem(settings, "POP3ﾕｰｻﾞ名を設定して下さい。");
    if (!isHalfWidth(s.popUser))
      return problem(settings, "POP3ﾕｰｻﾞ名に全角文字があります。\r\r半角文字で入力して下さい。");
    s.popWaitSeconds = trim(s.popWaitSeconds);
    if (s.popWaitSeconds.empty()) return problem(settings, "秒数を設定して下さい。");
  }
  s.lineWidth = trim(s.lineWidth);
  if (s.lineWidth.empty()) return problem(settings, "文字数を設定して下さい。");
  if (toIntOr(s.lineWidth, 0) == 0) return problem(settings, "文字数に誤りがあります。");
  return {};
}

// ---- the run ----------------------------------------------------------------------

void SendRun::setMark(SendListener& listener, std::size_t index, SendMark mark) {
  m_readers[index].mark = mark;
  listener.readerChanged(index, m_readers[index]);
}

SendReport SendRun::run(SendListener& listener) {
  m_log.startRun();
  m_failed = false;
  m_sent = 0;
  const int marked = markedCount();
  const bool popFirst = m_settings.popBeforeSmtp();
  const std::vector<std::string> header = DueReader::headerCells();
  int handled = 0;
  int shownSent = -1;
  for (std::size_t i = 0; i < m_readers.size() && carryingOn(); ++i) {
    if (shownSent != m_sent) {
      shownSent = m_sent;
      listener.progress(m_sent, marked);
    }
    if (trim(m_readers[i].id).empty()) break;
    if (!m_readers[i].marked()) continue;
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
    if (m_settings.writeLog()) m_log.writeRow(header, m_readers[i].cells());
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
  static const char* const kStatusTexts[] = {"ホスト名を IP アドレスに解決", "接続中", "接続完了", "接続解除中",
                                             "接続解除", "通知メッセージを生成中"};
  listener.loggingIn();
  Pop3Client& pop = *m_pop3;
  pop.host = trim(m_settings.popServer);
  pop.port = m_pop3Port;
  pop.user = m_settings.popUser;
  pop.password = m_settings.password;
  pop.onStatus = [&listener](TcpConnection&, ConnectionStatus status, const std::string& text) {
    const int n = static_cast<int>(status);
    if (n >= 0 && n <= 5) listener.connectionStatus(u8(kStatusTexts[n]), text);
  };
  struct StatusOff {
    Pop3Client& pop;
    ~StatusOff() { pop.onStatus = nullptr; }
  } statusOff{pop};
  try {
    pop.connect(-1);
  } catch (const StoppedError&) {
    return false;
  } catch (const std::exception& e) {
    listener.error(u8("Pop Connect 失敗 \r") + e.what());
    m_failed = true;
    return false;
  }
  // The login must stand a moment before the mail goes out.
  pause(5000);
  try {
    pop.disconnect();
  } catch (const StoppedError&) {
    return false;
  } catch (const std::exception& e) {
    listener.error(u8("Pop Disconnect 失敗\r") + e.what());
    m_failed = true;
    return false;
  }
  return true;
}

// ---- composition ------------------------------------------------------------------

SendRun::StoryText SendRun::readStory(int story) {
  StoryText text;
  Statement& q = m_query;
  q.close();
  q.setCommandText(Sql::storyByNo(zeroFill(std::to_string(story), 5)));
  q.open();
  if (!q.eof()) {
    // Subject: its first 200 characters without trailing blanks; body: the first 16382.
    text.found = true;
    text.subject = trimRight(charCopy(q.fieldByName("SUBJECT"), 1, 200));
    text.body = charCopy(q.fieldByName("STORY"), 1, 16382);
  }
  q.close();
  return text;
}

ComposedMail SendRun::composeMail(std::size_t index) {
  const DueReader& reader = m_readers.at(index);
  ComposedMail mail;
  mail.story = toIntOr(trim(reader.nextStory), 0);
  mail.readerId = zeroFill(trim(reader.id), 5);
  mail.recipient = trim(reader.address);
  mail.senderAddress = trim(m_settings.senderAddress);
  StoryText story = readStory(mail.story);
  if (!story.found) return mail;
  mail.found = true;
  std::string name = reader.name;
  std::string defaultName = m_settings.defaultReaderName;
  std::string senderName = trim(m_settings.senderName);
  if (m_replaceUncarriable) {
    for (std::string* text : {&story.subject, &story.body, &name, &defaultName, &senderName})
      *text = JisCoverage::replaceWithSubstitutes(*text);
  }
  // Name and subject go into the message as Shift-JIS: it encodes them and keeps the
  // blanks between Japanese words, which separate encoded words would lose.
  mail.subject = JapaneseText::cutAtInvalidChar(story.subject);
  mail.senderName = JapaneseText::cutAtInvalidChar(senderName);
  mail.body = composeBody(name, defaultName, story.body, toIntOr(trim(m_settings.lineWidth), 80));
  return mail;
}

std::string SendRun::previewText(std::size_t index) {
  const ComposedMail mail = composeMail(index);
  if (!mail.found) return u8("ストーリー番号 ") + std::to_string(mail.story) + u8(" のメールがありません。");
  const std::string from = mail.senderName.empty() ? mail.senderAddress
                                                   : mail.senderName + " <" + mail.senderAddress + ">";
  // Through ISO-2022-JP and back, as the reader's program decodes it.
  const auto asReceived = [](const std::string& text) {
    return JapaneseText::jisToSjis(JapaneseText::sjisToJis(text));
  };
  return u8("差出人: ") + asReceived(from) + "\r\n" + u8("宛先: ") + mail.recipient + "\r\n" + u8("件名: ") +
         trimRight(asReceived(mail.subject)) + "\r\n\r\n" + asReceived(mail.body);
}

const std::string& SendRun::unsubscribeSecret() {
  if (m_secret.empty()) m_secret = UnsubscribeLink::loadOrCreateSecret(m_options.secretFile);
  return m_secret;
}

std::unique_ptr<MailMessage> SendRun::buildMessage(const ComposedMail& mail) {
  auto message = std::make_unique<MailMessage>();
  message->from.setText(JapaneseText::encodeHeader(mail.senderAddress));
  if (!mail.senderName.empty()) message->from.name = mail.senderName;
  message->recipients.setText(mail.recipient);
  message->subject = mail.subject;
  message->setBodyText(JapaneseText::sjisToJis(mail.body));
  const std::string link = m_options.unsubscribeUrl.empty()
                               ? std::string()
                               : UnsubscribeLink::url(m_options.unsubscribeUrl, unsubscribeSecret(), mail.readerId);
  message->extraHeaders.setValue("List-Unsubscribe",
                                 UnsubscribeLink::listUnsubscribe(mail.senderAddress, mail.readerId, link));
  message->extraHeaders.setValue("List-Unsubscribe-Post", UnsubscribeLink::listUnsubscribePost(link));
  return message;
}

bool SendRun::deliver(const ComposedMail& mail, SendListener& listener) {
  listener.sending(mail.recipient);
  bool accepted = false;
  try {
    const std::unique_ptr<MailMessage> message = buildMessage(mail);
    m_smtp->host = trim(m_settings.smtpServer);
    m_smtp->port = m_settings.smtpPort;
    m_smtp->security = static_cast<SmtpSecurity>(m_settings.smtpSecurity);
    m_smtp->setAuthenticationType(m_settings.smtpLogin() ? AuthenticationType::login : AuthenticationType::none);
    m_smtp->user = m_settings.smtpUser;
    m_smtp->password = m_settings.smtpPassword;
    m_smtp->connect(-1);
    try {
      m_smtp->send(*message);
      accepted = true;
    } catch (...) {
      m_smtp->disconnect();
      throw;
    }
    m_smtp->disconnect();
  } catch (const StoppedError&) {
    if (m_smtp->connected()) m_smtp->disconnect();
    return accepted;
  } catch (const std::exception& e) {
    listener.error(u8("QuickSend 失敗\r") + e.what());
    m_failed = true;
    return false;
  }
  return true;
}

bool SendRun::sendMail(std::size_t index, SendListener& listener) {
  const ComposedMail mail = composeMail(index);
  return mail.found && deliver(mail, listener);
}

bool SendRun::sendTestMail(std::size_t index, const std::string& address, SendListener& listener) {
  m_failed = false;
  ComposedMail mail = composeMail(index);
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

// ---- characters the mail cannot carry ---------------------------------------------------

CharacterCheck SendRun::checkCharacters() {
  std::vector<std::size_t> marked;
  for (std::size_t i = 0; i < m_readers.size(); ++i)
    if (m_readers[i].marked()) marked.push_back(i);
  return checkCharacters(marked);
}

CharacterCheck SendRun::checkCharacters(const std::vector<std::size_t>& indexes) {
  CharacterCheck check;
  std::size_t reported = 0;
  const auto add = [&](const std::string& where, const std::string& text) {
    if (text.empty()) return;
    const std::vector<JisCoverage::Finding> findings = JisCoverage::find(text);
    for (const JisCoverage::Finding& f : findings) {
      ++check.found;
      if (f.substitute.empty()) check.allReplaceable = false;
      if (reported++ < kReportedCharacters) check.report += where + " " + JisCoverage::describe({f});
    }
  };
  add(u8("差出人名"), trim(m_settings.senderName));
  // The stories in number order, each once; then the names put into their bodies.
  std::map<int, bool> namedStories;  // story -> its body takes the reader's name
  for (std::size_t index : indexes)
    if (index < m_readers.size()) namedStories.emplace(toIntOr(trim(m_readers[index].nextStory), 0), false);
  for (auto& [story, named] : namedStories) {
    const StoryText text = readStory(story);
    const std::string where = u8("ストーリー") + std::to_string(story);
    add(where + u8(" 件名"), text.subject);
    add(where + u8(" 本文"), text.body);
    named = text.body.find(kNamePlaceholder) != std::string::npos;
  }
  bool defaultNameUsed = false;
  for (std::size_t index : indexes) {
    if (index >= m_readers.size()) continue;
    const DueReader& r = m_readers[index];
    if (!namedStories[toIntOr(trim(r.nextStory), 0)]) continue;
    const std::string name = trim(r.name);
    if (name.empty())
      defaultNameUsed = true;
    else
      add(u8("読者") + zeroFill(trim(r.id), 5) + u8(" 名前"), name);
  }
  if (defaultNameUsed) add(u8("読者名未設定時の名前"), m_settings.defaultReaderName);
  if (reported > kReportedCharacters)
    check.report += u8("ほか ") + std::to_string(reported - kReportedCharacters) + u8(" 文字\r\n");
  return check;
}

void SendRun::advanceReader(std::size_t index, SendListener& listener) {
  DueReader& reader = m_readers[index];
  const std::string stamp = Clock::nowStamp();
  const std::string date = stamp.substr(0, 8);
  const std::string time = stamp.substr(8, 6);
  const int next = toIntOr(trim(reader.nextStory), -1);
  if (next == -1 || next + 1 > 99999) return;
  const std::string newNext = zeroFill(std::to_string(next + 1), 5);
  reader.nextStory = zeroSuppress(newNext);
  reader.lastSentDate = date;
  reader.lastSentTime = time;
  m_today = date;
  reader.eligibility = decideEligibility(reader);
  const std::string first = trim(reader.firstSentDate + reader.firstSentTime);
  if (first.empty() || toIntOr(first, -1) == 0) {
    reader.firstSentDate = date;
    reader.firstSentTime = time;
  }
  listener.readerChanged(index, reader);

  ReaderRow r;
  r.id = zeroFill(trim(reader.id), 5);
  r.status = reader.eligibility == Eligibility::notEligible ? "00" : "01";
  r.nextStory = newNext;
  r.lastSentDate = date;
  r.lastSentTime = time;
  r.firstSentDate = reader.firstSentDate;
  r.firstSentTime = reader.firstSentTime;
  Statement& q = m_query;
  bool inserting = false;
  try {
    // The stored address, name, registration and remarks are written back in full.
    q.close();
    q.setCommandText(Sql::readerById(r.id));
    q.open();
    inserting = q.eof();
    if (!inserting) {
      const ReaderRow stored = readReader(q, 50);
      r.address = q.fieldByName("MAILADDRESS");
      r.name = q.fieldByName("NAME");
      r.registeredDate = stored.registeredDate;
      r.registeredTime = stored.registeredTime;
      r.note1 = q.fieldByName("BIKO1");
      r.note2 = q.fieldByName("BIKO2");
      r.note3 = q.fieldByName("BIKO3");
    } else {
      r.address = reader.address;
      r.name = reader.name;
      r.registeredDate = reader.registeredDate;
      r.registeredTime = reader.registeredTime;
      r.note1 = reader.note1;
      r.note2 = reader.note2;
      r.note3 = reader.note3;
    }
    q.close();
    q.setCommandText(inserting ? Sql::insertReader(r) : Sql::updateReader(r));
    q.execute();
    q.close();
  } catch (const DbError& e) {
    q.close();
    listener.error(u8(inserting ? "INSERT 失敗 " : "UPDATE 失敗 ") + e.what());
  }
}
