#pragma once
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sending/DueReader.h"
#include "sending/SendLog.h"
#include "sending/SendOptions.h"
#include "sending/SendSchedule.h"
#include "settings/SettingsFiles.h"

class Statement;
class SmtpClient;
class Pop3Client;
class SendListener;
class MailMessage;

// Why a run cannot start, with the text the operator is shown (CP932).
struct StartCheck {
  enum class Outcome { ready, noStory, nothingDue, nothingMarked, settingsProblem };
  Outcome outcome = Outcome::ready;
  std::string message;

  bool ready() const { return outcome == Outcome::ready; }
};

// Characters ISO-2022-JP mail cannot carry, found in the mails a run would send.
struct CharacterCheck {
  // One line per character: where it is (story and subject or body, or reader and
  // name), its line and column, and its usual substitute (CP932).
  std::string report;
  int found = 0;
  // Every character found has a usual substitute.
  bool allReplaceable = true;

  bool clean() const { return found == 0; }
};

// One reader's next story mail as the run sends it; every text CP932.
struct ComposedMail {
  bool found = false;  // false: the story mail is missing
  int story = 0;
  std::string readerId;  // five digits
  std::string recipient;
  std::string senderAddress;
  std::string senderName;  // empty: the address alone
  std::string subject;
  // The body after name insertion and line breaks, lines ending in CR LF.
  std::string body;
};

// How a run ended.
struct SendReport {
  bool completed = false;  // false: stopped by the operator or ended by an error
  int sent = 0;
  int marked = 0;
};

// The send run without any window: lists the readers due a story mail, keeps their
// marks, checks that a run can start, then sends each marked reader its next story
// mail over SMTP (plain, STARTTLS or TLS, with SMTP AUTH when set; after a POP3 login
// for POP before SMTP), advances the reader in the database once the server accepted
// the mail, writes the send log and waits the
// configured seconds between mails. Every wait, network waits included, ends soon
// after the stop flag is raised. The statement is used only by the thread that calls.
class SendRun {
 public:
  SendRun(Statement& query, std::filesystem::path logPath);
  ~SendRun();
  SendRun(const SendRun&) = delete;
  SendRun& operator=(const SendRun&) = delete;

  // Reads the last story number and the story mails' intervals, then lists the
  // sendable readers whose next story is no later, all unmarked, each with the date its
  // next mail falls due; readers not due yet are listed but cannot be marked. A
  // database failure propagates as DbError.
  void listDueReaders();
  // The last story number as shown ("0" when there is none) and as a number.
  const std::string& lastStoryText() const { return m_lastStoryText; }
  int lastStory() const { return m_lastStory; }
  const std::vector<DueReader>& readers() const { return m_readers; }

  // Marking: only an eligible reader can be marked; out-of-range indexes are ignored.
  void mark(std::size_t index);
  void unmark(std::size_t index);
  void markAll();
  void unmarkAll();
  int markedCount() const;
  // Readers that can be marked: due a story mail now.
  int dueCount() const;
  // The number of readers due a mail now, by the rules of the list, without listing
  // them (for the main menu's status line).
  static int countDueNow(Statement& query, const SendOptions& options);
  // The story numbers the marked readers are due, ascending, each once.
  std::vector<int> markedStories() const;

  void setSettings(MailSettings settings) { m_settings = std::move(settings); }
  MailSettings& settings() { return m_settings; }
  // The POP3 password for this run (saved or typed).
  void setPassword(const std::string& password) { m_settings.password = password; }
  // The SMTP AUTH password for this run (saved or typed).
  void setSmtpPassword(const std::string& password) { m_settings.smtpPassword = password; }
  // POP before SMTP logs in on the standard port; tests point it elsewhere.
  void setPop3Port(int port) { m_pop3Port = port; }
  void setStopFlag(const std::atomic<bool>* stop);
  // One mail a day and the unsubscribe links; the defaults: neither a daily limit nor a
  // link to a web script. Takes effect at the next listing.
  void setOptions(SendOptions options) { m_options = std::move(options); }
  const SendOptions& options() const { return m_options; }

  // The start check: the first problem in the order the operator meets them. Trims
  // the texts of the settings it checks. The saved password is checked by the caller.
  StartCheck checkStart();
  // Its settings part alone (for a test mail).
  StartCheck checkSettings();

  // The characters the marked readers' mails (or the listed readers' at the indexes)
  // could not carry: in each story's subject and body, and in each name put into a
  // body. Reads the stories involved.
  CharacterCheck checkCharacters();
  CharacterCheck checkCharacters(const std::vector<std::size_t>& indexes);
  // Replaces such characters by their usual substitutes in the mails composed from
  // now on (never in the database).
  void setReplaceUncarriable(bool replace) { m_replaceUncarriable = replace; }

  // The reader's next story mail as the run composes it, read from the database.
  ComposedMail composeMail(std::size_t index);
  // The mail as a mail reader shows it: sender, recipient and subject lines, a blank
  // line, the body as it arrives (CP932, lines ending in CR LF).
  std::string previewText(std::size_t index);
  // Sends the reader's next story mail to another address with "[テスト]" before its
  // subject; the reader, the database and the send log stay as they are. The settings
  // check must have passed. False after an error (reported) or a stop.
  bool sendTestMail(std::size_t index, const std::string& address, SendListener& listener);

  // The run over the marked readers; the start check must have passed.
  SendReport run(SendListener& listener);

  // Steps of the run, for measuring one mail: sends the reader its next story mail
  // (false when the story is missing or the mail failed), and advances the reader
  // after an accepted mail.
  bool sendMail(std::size_t index, SendListener& listener);
  void advanceReader(std::size_t index, SendListener& listener);

  // The text of a countdown: kind 2 before a POP3 login, else before a mail.
  static std::string countdownText(int kind, int secondsLeft);

 private:
  bool stopRequested() const;
  bool carryingOn() const { return !m_failed && !stopRequested(); }
  bool logInForSmtp(SendListener& listener);
  // Waits the given seconds (at least one) in whole-second steps, showing what is left.
  void waitSeconds(SendListener& listener, int kind, int seconds);
  // Sleeps up to ms, returning early once the run is not carrying on.
  void pause(int ms);
  void setMark(SendListener& listener, std::size_t index, SendMark mark);
  // Sets the reader's due date and says whether it can be marked now.
  Eligibility decideEligibility(DueReader& reader) const;
  struct StoryText {
    bool found = false;
    std::string subject;
    std::string body;
  };
  StoryText readStory(int story);
  std::unique_ptr<MailMessage> buildMessage(const ComposedMail& mail);
  // Connects, sends and disconnects; false after a reported error or a stop before the
  // server accepted the mail.
  bool deliver(const ComposedMail& mail, SendListener& listener);
  const std::string& unsubscribeSecret();

  Statement& m_query;
  SendLog m_log;
  MailSettings m_settings;
  SendOptions m_options;
  SendSchedule m_schedule;
  std::string m_today;
  std::string m_secret;
  bool m_replaceUncarriable = false;
  std::vector<DueReader> m_readers;
  std::string m_lastStoryText = "0";
  int m_lastStory = 0;
  int m_pop3Port = 110;
  int m_sent = 0;
  bool m_failed = false;
  const std::atomic<bool>* m_stop = nullptr;
  std::unique_ptr<SmtpClient> m_smtp;
  std::unique_ptr<Pop3Client> m_pop3;
};
