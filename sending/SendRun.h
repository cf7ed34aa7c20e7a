#pragma once
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sending/DueReader.h"
#include "sending/SendLog.h"
#include "settings/SettingsFiles.h"

class Statement;
class SmtpClient;
class Pop3Client;
class SendListener;

// Why a run cannot start, with the text the operator is shown (CP932).
struct StartCheck {
  enum class Outcome { ready, noStory, nothingDue, nothingMarked, settingsProblem };
  Outcome outcome = Outcome::ready;
  std::string message;

  bool ready() const { return outcome == Outcome::ready; }
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

  // Reads the last story number, then lists the sendable readers whose next story is
  // no later, all unmarked. A database failure propagates as DbError.
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

  void setSettings(MailSettings settings) { m_settings = std::move(settings); }
  MailSettings& settings() { return m_settings; }
  // The POP3 password for this run (saved or typed).
  void setPassword(const std::string& password) { m_settings.password = password; }
  // The SMTP AUTH password for this run (saved or typed).
  void setSmtpPassword(const std::string& password) { m_settings.smtpPassword = password; }
  // POP before SMTP logs in on the standard port; tests point it elsewhere.
  void setPop3Port(int port) { m_pop3Port = port; }
  void setStopFlag(const std::atomic<bool>* stop);

  // The start check: the first problem in the order the operator meets them. Trims
  // the texts of the settings it checks. The saved password is checked by the caller.
  StartCheck checkStart();

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
  Eligibility decideEligibility(const std::string& nextStory) const;

  Statement& m_query;
  SendLog m_log;
  MailSettings m_settings;
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
