#pragma once
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string>

#include "sending/Delivery.h"
#include "sending/DueList.h"
#include "sending/MailBuilder.h"
#include "sending/SendLog.h"
#include "core/SendHistory.h"
#include "sending/SendOptions.h"
#include "settings/SendPace.h"
#include "settings/SettingsFiles.h"

class Pop3Client;
class SendListener;
class SmtpClient;
class Statement;

// How a run ended, and what became of its readers.
struct SendReport {
  // Why the run ended before its last marked reader; none: it served them all.
  // paced: a limit of the provider's pace was reached or the sending window closed; the
  // readers left stay due (an outcome, not a failure).
  enum class EndedEarly { none, stopped, serverDeferred, setupProblem, contentRefused, failed, paced };
  bool completed = false;  // false: stopped by the operator or ended early
  int sent = 0;
  int marked = 0;
  int deferred = 0;
  int refused = 0;
  int skipped = 0;  // passed over for a reason of their own, or their story is missing
  int unknown = 0;
  EndedEarly endedEarly = EndedEarly::none;
};

// The send run without any window: reads the bounce mailbox when the settings say so,
// then sends each marked reader of its due list the next
// story mail (built by its mail builder, delivered by its delivery over the clients it
// is handed), advances the reader in the database once the server accepted the mail,
// writes the send log and waits the configured seconds between mails. Every wait ends
// soon after the stop flag is raised. The statement is used only by the thread that
// calls.
class SendRun {
 public:
  SendRun(Statement& query, std::filesystem::path logPath, SmtpClient& smtp, Pop3Client& pop3);
  SendRun(const SendRun&) = delete;
  SendRun& operator=(const SendRun&) = delete;

  DueList& list() { return m_list; }
  const DueList& list() const { return m_list; }
  MailBuilder& mails() { return m_mails; }
  Delivery& delivery() { return m_delivery; }

  void setSettings(MailSettings settings) { m_settings = std::move(settings); }
  MailSettings& settings() { return m_settings; }
  // One mail a day and the unsubscribe links; the defaults: neither a daily limit nor a
  // link to a web script. Takes effect at the next listing.
  void setOptions(SendOptions options) { m_options = std::move(options); }
  const SendOptions& options() const { return m_options; }
  void setStopFlag(const std::atomic<bool>* stop);

  // Lists the due readers by the options' rules (DbError when the database fails).
  void listDueReaders() { m_list.load(m_options.onePerDay); }

  // The run over the marked readers; the start check must have passed.
  SendReport run(SendListener& listener);
  // Sends the reader's next story mail to another address with "[テスト]" before its
  // subject; the reader, the database and the send log stay as they are. The settings
  // check must have passed. False after an error (reported) or a stop.
  bool sendTestMail(std::size_t index, const std::string& address, SendListener& listener);

  // Steps of the run, for measuring one mail: sends the reader its next story mail
  // (false when the story is missing or the mail failed), and advances the reader
  // after an accepted mail.
  bool sendMail(std::size_t index, SendListener& listener);
  void advanceReader(std::size_t index, SendListener& listener);

  // The sending days and hours are kept unless the operator chose to send outside them;
  // the limits always are.
  void setWindowIgnored(bool ignored) { m_windowIgnored = ignored; }
  SendPace& pace() { return m_pace; }

  // The send history is kept by default; benchmarks turn it off to measure its cost.
  void setHistoryKept(bool kept) { m_historyKept = kept; }

  // The text of a countdown: kind 2 before a POP3 login, else before a mail.
  static std::string countdownText(int kind, int secondsLeft);

 private:
  bool stopRequested() const { return m_stop && m_stop->load(); }
  bool carryingOn() const { return !m_failed && m_report.endedEarly == SendReport::EndedEarly::none && !stopRequested(); }
  // Sends the reader at index its next story mail and acts on what the server said.
  void serve(std::size_t index, SendListener& listener);
  // Marks the reader and records the attempt in the send history.
  void settle(SendListener& listener, std::size_t index, SendMark mark, SendOutcome outcome, int story,
              const std::string& code, const std::string& reply);
  // The address is refused for good: the reader is stopped, with the reason kept.
  void stopReader(SendListener& listener, std::size_t index, int story, const std::string& code,
                  const std::string& reply);
  // Ends the run early with the operator's message (the server's reply on the next line).
  void endRun(SendListener& listener, SendReport::EndedEarly why, const std::string& message);
  // Writes an attempt to the send history (joining an open transaction), the run with
  // the first of them. A caller whose write failed sets m_run.entered back.
  void addHistory(HistoryEntry entry);
  bool logInForSmtp(SendListener& listener);
  // Reads the bounce mailbox before the first mail; its entries belong to this run.
  // Returns how many marked readers it stopped (they are not mailed).
  int readBounces(SendListener& listener);
  // Waits the given seconds (at least one) in whole-second steps, showing what is left.
  void waitSeconds(SendListener& listener, int kind, int seconds);
  void setMark(SendListener& listener, std::size_t index, SendMark mark);
  DeliveryResult deliver(const ComposedMail& mail, SendListener& listener);

  Statement& m_query;
  SendLog m_log;
  MailSettings m_settings;
  SendOptions m_options;
  DueList m_list;
  MailBuilder m_mails;
  Pop3Client& m_pop3;
  Delivery m_delivery;
  SendReport m_report;
  HistoryRun m_run;
  SendPace m_pace;
  bool m_windowIgnored = false;
  bool m_historyKept = true;
  bool m_failed = false;
  const std::atomic<bool>* m_stop = nullptr;
};
