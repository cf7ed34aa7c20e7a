#include "app/UnattendedRun.h"

#include <pthread.h>
#include <thread>

#include <csignal>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <vector>

#include "app/CommandLine.h"
#include "core/AppContext.h"
#include "core/DataFolder.h"
#include "core/Database.h"
#include "core/Sjis.h"
#include "core/Clock.h"
#include "core/Reader.h"
#include "core/ConsentStore.h"
#include "core/SendGuard.h"
#include "core/SendHistory.h"
#include "core/StoryStore.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/IntakeListener.h"
#include "intake/ReceiveCheck.h"
#include "intake/ReceiveRun.h"
#include "intake/ReceiveSession.h"
#include "sending/BounceRun.h"
#include "sending/DueReader.h"
#include "sending/StartCheck.h"
#include "sending/SendListener.h"
#include "sending/SendOptions.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "settings/SendPace.h"
#include "sending/SendRun.h"
#include "sending/SendSession.h"
#include "settings/FailureText.h"
#include "settings/PasswordRules.h"
#include "settings/SettingsFiles.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

// A message of several lines printed as one line.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

// An error of several lines (what happened and what to check, then the server's own
// reply) printed as one line, its lines joined by " / ".
std::string errorLine(const std::string& text) {
  std::string out;
  std::string piece;
  const auto flush = [&] {
    const std::string kept = trim(piece);
    if (!kept.empty()) out += (out.empty() ? "" : " / ") + kept;
    piece.clear();
  };
  for (char c : text) {
    if (c == '\r' || c == '\n')
      flush();
    else
      piece += c;
  }
  flush();
  return out;
}

// One line per reader a bounce was about, then the counts.
void printBounces(std::ostream& out, const BounceReport& report) {
  for (const BounceOutcome& o : report.outcomes)
    out << Sjis::toUtf8(oneLine(u8("エラーメール ") + BounceRun::lineText(o))) << "\n";
  out << Sjis::toUtf8(report.summary()) << "\n" << std::flush;
}

// Prints what a send run reports: one line per mail.
class ConsoleSendListener : public SendListener {
 public:
  ConsoleSendListener(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

  void readerChanged(std::size_t index, const DueReader& r) override {
    // A reader is reported again when the database has advanced it: one line each.
    if (m_lastMark.size() <= index) m_lastMark.resize(index + 1, SendMark::none);
    if (m_lastMark[index] == r.mark) return;
    m_lastMark[index] = r.mark;
    // The outcomes in the history's words; a failure or a stop in the run's own.
    std::string what;
    switch (r.mark) {
      case SendMark::sent: what = Sjis::toUtf8(outcomeText(SendOutcome::sent)); break;
      case SendMark::skipped:
      case SendMark::passedOver: what = Sjis::toUtf8(outcomeText(SendOutcome::skipped)); break;
      case SendMark::deferred: what = Sjis::toUtf8(outcomeText(SendOutcome::deferred)); break;
      case SendMark::refused: what = Sjis::toUtf8(outcomeText(SendOutcome::refused)); break;
      case SendMark::unknown: what = Sjis::toUtf8(outcomeText(SendOutcome::unknown)); break;
      case SendMark::failed: what = "送信失敗"; break;
      case SendMark::stopped: what = "中止"; break;
      default: return;
    }
    m_out << what << " " << idText(r.reader.id) << " " << Sjis::toUtf8(trim(r.reader.address)) << "\n" << std::flush;
  }
  void error(const std::string& text) override { m_err << Sjis::toUtf8(errorLine(text)) << "\n" << std::flush; }
  void bouncesRead(const BounceReport& report) override { printBounces(m_out, report); }

 private:
  std::ostream& m_out;
  std::ostream& m_err;
  std::vector<SendMark> m_lastMark;
};

// Prints what a receive run reports: one line per stage, boxes as errors.
class ConsoleIntakeListener : public IntakeListener {
 public:
  ConsoleIntakeListener(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

  void messageLine(const std::string& text) override {
    if (text.empty() || text == m_last) return;
    m_last = text;
    m_out << Sjis::toUtf8(oneLine(text)) << "\n" << std::flush;
  }
  void showBox(OperatorBox, const std::string& text) override {
    m_err << Sjis::toUtf8(errorLine(text)) << "\n" << std::flush;
  }
  const std::string& lastStage() const { return m_last; }

 private:
  std::ostream& m_out;
  std::ostream& m_err;
  std::string m_last;
};

std::atomic<bool> g_stop{false};




}  // namespace

UnattendedRun::UnattendedRun(AppContext& ctx, std::ostream& out, std::ostream& err, const std::atomic<bool>& stop)
    : m_ctx(ctx), m_out(out), m_err(err), m_stop(stop) {}

void UnattendedRun::line(const std::string& cp932) { m_out << Sjis::toUtf8(oneLine(cp932)) << "\n" << std::flush; }

void UnattendedRun::error(const std::string& cp932) { m_err << Sjis::toUtf8(errorLine(cp932)) << "\n" << std::flush; }

bool UnattendedRun::openDatabase(bool mayCreate) {
  try {
    if (mayCreate && m_ctx.createMissingDatabase())
      line(u8("データベースを作成しました: ") + Sjis::fromPath(m_ctx.file("QUORMAIL.GDB")));
    m_ctx.openDatabase();
    return true;
  } catch (const std::exception& e) {
    error(u8("データベースを開けません: ") + m_ctx.databaseName() + " " + e.what());
    return false;
  }
}

namespace {

// The command's answers to the send session: it never asks. A start it refuses, or
// characters the mails cannot carry, end it with the status that says why.
class CommandSendPolicy : public SendPolicy {
 public:
  CommandSendPolicy(const std::function<void(const std::string&)>& line,
                    const std::function<void(const std::string&)>& error, bool substitute)
      : m_line(line), m_error(error), m_substitute(substitute) {}

  int status() const { return m_status; }

  void refuse(const StartCheck& check) override {
    if (check.outcome == StartCheck::Outcome::settingsProblem || check.outcome == StartCheck::Outcome::busy) {
      m_error(check.message);
      m_status = check.outcome == StartCheck::Outcome::busy ? UnattendedRun::kSendBusy : UnattendedRun::kSettingsError;
      return;
    }
    m_line(check.message);
    m_status = UnattendedRun::kDone;
  }

  // In readers' names only: the setting decides, and the other readers are served. In
  // what every mail shares, a character is never sent as "?": the command lists them and
  // ends, since nobody is there to agree to the substitutes.
  CharacterDecision decideCharacters(const CharacterCheck& check) override {
    if (check.onlyInNames())
      return m_substitute ? CharacterDecision::substitute : CharacterDecision::withoutSubstitutes;
    m_error(Sjis::fromUtf8("ISO-2022-JPのメールで送れない文字があります。送信を中止します。"));
    const std::string& report = check.report;
    for (std::size_t from = 0; from < report.size();) {
      const std::size_t end = report.find("\r\n", from);
      m_error(report.substr(from, end == std::string::npos ? std::string::npos : end - from));
      from = end == std::string::npos ? report.size() : end + 2;
    }
    m_status = UnattendedRun::kSettingsError;
    return CharacterDecision::stop;
  }

  // Nobody is there to agree: the command says when it may send and ends (not a failure).
  bool sendOutsideWindow(const std::string& text) override {
    m_line(text);
    m_status = UnattendedRun::kDone;
    return false;
  }

  bool confirm(const DueList&) override { return true; }

  // What the window would ask for must be saved: a command never asks.
  bool obtainPasswords(MailSettings& settings) override {
    const auto savedPasswordUsable = [&](bool saved, std::string& password, const char* missing) {
      if (!saved) {
        m_error(Sjis::fromUtf8(missing));
        return false;
      }
      const std::string problem = passwordProblem(password);
      if (!problem.empty()) m_error(problem);
      return problem.empty();
    };
    const bool usable =
        (!settings.popBeforeSmtp() ||
         savedPasswordUsable(settings.passwordSaved(), settings.password,
                             "POP3のパスワードが保存されていません。設定画面でパスワードを保存して下さい。")) &&
        (!settings.smtpLogin() ||
         savedPasswordUsable(settings.smtpPasswordSaved(), settings.smtpPassword,
                             "SMTPのパスワードが保存されていません。設定画面でパスワードを保存して下さい。"));
    if (!usable) m_status = UnattendedRun::kSettingsError;
    return usable;
  }

 private:
  std::function<void(const std::string&)> m_line;
  std::function<void(const std::string&)> m_error;
  bool m_substitute;
  int m_status = UnattendedRun::kDone;
};

}  // namespace

int UnattendedRun::send(bool dryRun) {
  SmtpClient smtp;
  Pop3Client pop3;
  SendRun run(m_ctx.query, m_ctx.file("SndMail.log"), smtp, pop3);
  run.setStopFlag(&m_stop);
  const SettingsPaths paths = SettingsPaths::of(m_ctx);
  // Intervals and one mail a day decide who is due: only readers due now are marked.
  MailSettings mail = loadMailSettings(paths);
  run.setOptions(SendOptions::of(mail, paths));
  CommandSendPolicy policy([this](const std::string& text) { line(text); },
                           [this](const std::string& text) { error(text); }, mail.substituteCharacters());
  // A dry run changes nothing and takes no lock; a run takes it before listing, so that
  // its list is not one another run is serving.
  SendSession session(run, policy, dryRun ? std::string() : m_ctx.databaseName());
  try {
    if (!session.guard()) return policy.status();
    run.listDueReaders();
  } catch (const DbError& e) {
    error(u8("送信対象の読込みに失敗しました。") + failureText(e, FailedLink::database));
    return kRunFailed;
  }
  run.setSettings(std::move(mail));
  run.list().markAll();
  if (dryRun) return listPlannedMails(run.list(), run.settings());

  if (!session.prepare()) return policy.status();
  line(u8("送信開始: ") + std::to_string(run.list().markedCount()) + u8(" 名"));
  ConsoleSendListener listener(m_out, m_err);
  const SendReport report = session.execute(listener);
  line(u8("送信終了: ") + std::to_string(report.sent) + " / " + std::to_string(report.marked) + u8(" 件送信済") +
       u8("（保留 ") + std::to_string(report.deferred) + u8("、停止 ") + std::to_string(report.refused) +
       u8("、スキップ ") + std::to_string(report.skipped) + u8("、結果不明 ") + std::to_string(report.unknown) + u8("）"));
  // Refused and deferred readers are outcomes of a run that did what it could; a run
  // the server or the settings ended early is a failure.
  switch (report.endedEarly) {
    case SendReport::EndedEarly::none:
      return kDone;
    case SendReport::EndedEarly::paced:
      return kDone;  // the limit or the window: the message is printed, the rest stays due
    case SendReport::EndedEarly::stopped:
      line(u8("中断しました。"));
      return kInterrupted;
    case SendReport::EndedEarly::serverDeferred:
      error(u8("SMTPサーバの求めで送信を途中で終了しました。"));
      return kRunFailed;
    default:
      error(u8("エラーで終了しました。"));
      return kRunFailed;
  }
}

int UnattendedRun::bounces() {
  MailSettings mail = loadMailSettings(SettingsPaths::of(m_ctx));
  if (!mail.readBounces()) {
    error(u8("エラーメールの受信箱が設定されていません。「FTP、Mail 設定」のエラーメールのページで設定して下さい。"));
    return kSettingsError;
  }
  const StartCheck check = checkBounceSettings(mail);
  if (!check.ready()) {
    error(check.message);
    return kSettingsError;
  }
  // Bounces stop readers: not while a send run works on them.
  std::unique_ptr<SendGuard> guard;
  try {
    guard = SendGuard::acquire(m_ctx.databaseName(), Clock::nowStamp());
  } catch (const DbError& e) {
    error(failureText(e, FailedLink::database));
    return kRunFailed;
  }
  if (!guard) {
    error(SendGuard::busyText());
    return kSendBusy;
  }
  Pop3Client pop3;
  BounceRun run(m_ctx.query, mail, pop3);
  run.setStopFlag(&m_stop);
  HistoryRun historyRun = HistoryRun::start();
  const BounceReport report = run.run(historyRun);
  printBounces(m_out, report);
  if (report.stoppedByOperator) {
    line(u8("中断しました。"));
    return kInterrupted;
  }
  if (report.failed()) {
    error(report.error);
    return kRunFailed;
  }
  return kDone;
}

int UnattendedRun::listPlannedMails(const DueList& list, const MailSettings& settings) {
  // Every subject once, then one line per reader the run would send to; readers the
  // pace keeps for a later run follow with the reason.
  std::map<int, std::string> subjects;
  StoryStore(m_ctx.query).forEachSubject(
      [&](int number, const std::string& subject) { subjects[number] = trimRight(subject); });
  // Subjects converted once; the lines go out together (one write, not one a reader).
  std::map<int, std::string> shown;
  for (const auto& [no, subject] : subjects) shown[no] = Sjis::toUtf8(subject);
  const std::string now = Clock::nowStamp();
  SendPace pace(settings);
  pace.startFromHistory(m_ctx.query, now);
  const int allowed = pace.inWindow(now) ? pace.allowedNow(now) : 0;
  const std::string why = pace.reasonText(pace.binding(now), now);  // CP932
  const std::string shownWhy = Sjis::toUtf8(why);
  const std::string missing = "(ストーリーなし)";
  std::string listing;
  std::string later;
  int count = 0;
  int waiting = 0;
  for (const DueReader& r : list.readers()) {
    if (!r.marked()) continue;
    const int story = r.reader.nextStory;
    const auto found = shown.find(story);
    const std::string line = idText(r.reader.id) + "\t" + std::to_string(story) + "\t" +
                             Sjis::toUtf8(trim(r.reader.address)) + "\t" + (found == shown.end() ? missing : found->second);
    if (allowed < 0 || count < allowed) {
      listing += line + "\n";
      ++count;
    } else {
      later += line + "\t" + shownWhy + "\n";
      ++waiting;
    }
  }
  m_out << listing << later;
  line(u8("送信予定: ") + std::to_string(count) + u8(" 名 (送信していません)"));
  if (waiting > 0) line(u8("次回以降: ") + std::to_string(waiting) + u8(" 名 ") + why);
  return kDone;
}

namespace {

// The command's answers to the receive session: it never asks, so the password must be
// saved and the local folder must exist.
class CommandReceivePolicy : public ReceivePolicy {
 public:
  explicit CommandReceivePolicy(const std::function<void(const std::string&)>& error) : m_error(error) {}
  void unreadable(const std::string& reason) override { m_error(reason); }
  bool makeLocalFolder(const std::string&) override { return false; }
  void refuse(const ReceiveCheck& check) override { m_error(check.message); }
  bool obtainPassword(FtpSettings& settings) override {
    if (settings.passwordSaved()) return true;
    m_error(Sjis::fromUtf8("FTPのパスワードが保存されていません。設定画面でパスワードを保存して下さい。"));
    return false;
  }

 private:
  std::function<void(const std::string&)> m_error;
};

}  // namespace

int UnattendedRun::receive() {
  FtpSettings settings;
  const SettingsPaths paths = SettingsPaths::of(m_ctx);
  CommandReceivePolicy policy([this](const std::string& text) { error(text); });
  if (!ReceiveSession(paths, policy).prepare(settings)) return kSettingsError;
  ConsoleIntakeListener listener(m_out, m_err);
  ReceiveRun run(m_ctx.query, listener, m_stop);
  run.log().setPaths(m_ctx.file("FtpRcv.log"), m_ctx.file("FtpRcv_Err.log"));
  run.log().write("Env_FileName->" + Sjis::fromPath(SettingsPaths::of(m_ctx).env));
  const IntakeReport report = run.run(settings);
  line(u8("登録件数: ") + std::to_string(report.registered));
  if (report.cancelled > 0) {
    line(u8("配信停止 ") + std::to_string(report.cancelled) + u8(" 名"));
    for (const std::string& reader : report.stoppedReaders) line("  " + reader);
  }
  if (report.refusedLinesLogged)
    error(u8("ＤＢに登録できなかったデータがあります。エラーログを確認して下さい。 ") +
          Sjis::fromPath(m_ctx.file("FtpRcv_Err.log")));
  if (m_stop.load()) {
    line(u8("中断しました。"));
    return kInterrupted;
  }
  if (report.outcome != IntakeReport::Outcome::Completed) {
    // The stage that failed, not the connection's last status.
    error(u8("エラーで終了しました。失敗した処理: ") +
          (report.failedStage.empty() ? listener.lastStage() : report.failedStage));
    return kRunFailed;
  }
  return kDone;
}
int UnattendedRun::receiveAndSend() {
  // The readers already registered are sent their mails even when the receive failed;
  // the command then still reports the failure.
  const int received = receive();
  if (received == kSettingsError || m_stop.load()) return received;
  const int sent = send(false);
  return sent != kDone ? sent : received;
}
namespace {
// SIGTERM, SIGINT and SIGHUP are taken by one thread of their own, which only raises the
// stop flag: blocked in every other thread (the database engine's included, which start
// later and inherit the mask), they never interrupt a call inside the engine, which
// then could not detach and kept the process spinning; nor do the engine's own handlers
// run. Must be called before any other thread starts.
void takeStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    for (int s = 0; sigwait(&signals, &s) == 0;) g_stop.store(true);
  }).detach();
}
}  // namespace

int runUnattended(int action, bool dryRun, const std::filesystem::path& programDir,
                  std::optional<int> historyReader, std::optional<int> historySince) {
  takeStopSignals();

  const std::filesystem::path dataDir = chooseDataFolder(programDir);
  const bool portable = dataDir == programDir;
  std::error_code ec;
  if (!portable) std::filesystem::create_directories(dataDir, ec);
  AppContext ctx(dataDir);
  const std::string zoneProblem = applyTimeZone(SettingsPaths::of(ctx));
  if (!zoneProblem.empty()) std::cerr << Sjis::toUtf8(zoneProblem) << std::endl;
  UnattendedRun command(ctx, std::cout, std::cerr, g_stop);
  if (!command.openDatabase(!portable)) return UnattendedRun::kDatabaseUnavailable;
  try {
    switch (static_cast<CommandLine::Action>(action)) {
      case CommandLine::Action::Send:
        return command.send(dryRun);
      case CommandLine::Action::Receive:
        return command.receive();
      case CommandLine::Action::ReceiveAndSend:
        return command.receiveAndSend();
      case CommandLine::Action::History:
        return command.history(historyReader, historySince);
      case CommandLine::Action::Bounces:
        return command.bounces();
      default:
        return UnattendedRun::kSettingsError;
    }
  } catch (const std::exception& e) {
    // A fault no stage expected (an unreadable password file, say): its text, not an abort.
    std::cerr << e.what() << std::endl;
    return UnattendedRun::kRunFailed;
  }
}

namespace {

// A CSV field: quoted, its quotes doubled, when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A reader's consent in the history's columns: no story, the time it was given, "同意: "
// and its source as the outcome, the detail as the reply; "同意: 記録なし" without one.
std::string consentRow(int readerId, const std::optional<Consent>& consent) {
  if (!consent) return idText(readerId) + ",,,同意: 記録なし,,\n";
  return idText(readerId) + ",," + consent->given.displayText() + ",同意: " +
         Sjis::toUtf8(consentSourceText(consent->source)) + ",," + csvField(Sjis::toUtf8(consent->detail)) + "\n";
}

}  // namespace

int UnattendedRun::history(std::optional<int> reader, std::optional<int> since) {
  std::string csv = "reader,story,time,outcome,code,reply\n";
  // Each reader's consent comes before its first entry; one reader's always comes.
  ConsentStore consentStore(m_ctx.query);
  std::map<int, Consent> consents;
  if (reader) {
    csv += consentRow(*reader, consentStore.newest(*reader));
  } else {
    consents = consentStore.newestOfEach();
  }
  std::set<int> shown;
  HistoryStore(m_ctx.query).forEach(reader, since, [&](const HistoryEntry& e) {
    if (!reader && shown.insert(e.readerId).second) {
      const auto found = consents.find(e.readerId);
      csv += consentRow(e.readerId, found == consents.end() ? std::nullopt : std::optional<Consent>(found->second));
    }
    csv += idText(e.readerId) + "," + std::to_string(e.story) + "," + e.time.displayText() + "," +
           Sjis::toUtf8(outcomeText(e.outcome)) + "," + csvField(e.code) + "," + csvField(Sjis::toUtf8(e.reply)) +
           "\n";
    // Written in pieces, so a long history never sits whole in memory.
    if (csv.size() > 65536) {
      m_out << csv;
      csv.clear();
    }
  });
  m_out << csv << std::flush;
  return kDone;
}
