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
#include "core/ReaderStore.h"
#include "core/StoryStore.h"
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
  const int next = reader.reader.nextStory;
  if (next > m_lastStory) {
    reader.dueDate = DateStamp();
    return Eligibility::allSent;
  }
  const std::string due =
      m_schedule.dueDate(next, reader.reader.registered.dateText(), reader.reader.lastSent.dateText());
  reader.dueDate = DateStamp::fromText(due, "");
  return SendSchedule::dueBy(due, m_today) ? Eligibility::eligible : Eligibility::notYetDue;
}

namespace {

// The last story number as the list shows it, "0" when there is none.
std::string lastStoryOf(Statement& q) {
  const int last = StoryStore(q).maxNumber().value_or(0);
  return last == 0 ? "0" : zeroSuppress(idText(last));
}

// The intervals of the story mails up to the last one, read once for a whole list.
SendSchedule scheduleOf(Statement& q, int lastStory, bool onePerDay) {
  std::vector<int> intervals(static_cast<std::size_t>(std::max(lastStory, 0)) + 1, 0);
  for (const auto& [story, days] : StoryStore(q).intervals())
    if (story >= 0 && story <= lastStory) intervals[static_cast<std::size_t>(story)] = days;
  return SendSchedule(std::move(intervals), onePerDay);
}

}  // namespace

int SendRun::countDueNow(Statement& q, const SendOptions& options) {
  const int lastStory = toIntOr(trim(lastStoryOf(q)), 0);
  const SendSchedule schedule = scheduleOf(q, lastStory, options.onePerDay);
  const std::string today = Clock::nowStamp().substr(0, 8);
  // Only the columns that decide, by the same rules as the list.
  int due = 0;
  ReaderStore(q).forEachDueColumns(
      [&](SendStatus status, int next, const std::string& registeredDate, const std::string& lastSentDate) {
        if (status != SendStatus::sendable || next > lastStory) return;
        if (SendSchedule::dueBy(schedule.dueDate(next, registeredDate, lastSentDate), today)) ++due;
      });
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
  ReaderStore(q).forEach([&](Reader& r) {
    if (r.status != SendStatus::sendable || r.nextStory > m_lastStory) return;
    DueReader d;
    d.reader = std::move(r);
    d.eligibility = decideEligibility(d);
    m_readers.push_back(std::move(d));
  });
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
    if (r.marked()) stories.push_back(r.reader.nextStory);
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
  const auto notEligible = std::count_if(m_readers.begin(), m_readers.end(),
                                         [](const DueReader& r) { return r.eligibility != Eligibility::eligible; });
  if (notEligible == static_cast<std::ptrdiff_t>(m_readers.size())) return problem(Outcome::nothingDue, "送信対象が１件もありません。");
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
  if (std::optional<Story> stored = StoryStore(m_query).find(story)) {
    // Subject: its first 200 characters without trailing blanks; body: the first 16382.
    text.found = true;
    text.subject = trimRight(stored->subject);
    text.body = std::move(stored->body);
  }
  return text;
}

ComposedMail SendRun::composeMail(std::size_t index) {
  const DueReader& reader = m_readers.at(index);
  ComposedMail mail;
  mail.story = reader.reader.nextStory;
  mail.readerId = idText(reader.reader.id);
  mail.recipient = trim(reader.reader.address);
  mail.senderAddress = trim(m_settings.senderAddress);
  StoryText story = readStory(mail.story);
  if (!story.found) return mail;
  mail.found = true;
  std::string name = reader.reader.name;
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
    if (index < m_readers.size()) namedStories.emplace(m_readers[index].reader.nextStory, false);
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
    const Reader& r = m_readers[index].reader;
    if (!namedStories[r.nextStory]) continue;
    const std::string name = trim(r.name);
    if (name.empty())
      defaultNameUsed = true;
    else
      add(u8("読者") + idText(r.id) + u8(" 名前"), name);
  }
  if (defaultNameUsed) add(u8("読者名未設定時の名前"), m_settings.defaultReaderName);
  if (reported > kReportedCharacters)
    check.report += u8("ほか ") + std::to_string(reported - kReportedCharacters) + u8(" 文字\r\n");
  return check;
}

void SendRun::advanceReader(std::size_t index, SendListener& listener) {
  DueReader& due = m_readers[index];
  Reader& reader = due.reader;
  const std::string stamp = Clock::nowStamp();
  const DateStamp sent = DateStamp::fromText(stamp.substr(0, 8), stamp.substr(8, 6));
  const int story = reader.nextStory;
  if (story + 1 > 99999) return;
  reader.nextStory = story + 1;
  reader.lastSent = sent;
  m_today = sent.dateText();
  due.eligibility = decideEligibility(due);
  if (reader.firstSent.none()) reader.firstSent = sent;
  listener.readerChanged(index, due);

  // Only the columns that change, and only while the stored reader still waits for
  // this story and may be sent to: a reader stopped, advanced or deleted meanwhile
  // stays as it is.
  try {
    ReaderStore(m_query).advance(reader.id, story, sent);
  } catch (const DbError& e) {
    m_query.close();
    listener.error(u8("UPDATE 失敗 ") + e.what());
  }
}
