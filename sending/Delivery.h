#pragma once
#include <atomic>
#include <string>

#include "net/DeliveryVerdict.h"

class MailMessage;
class Pop3Client;
class SendListener;
class SmtpClient;
struct MailSettings;

// What became of one login or one mail.
struct DeliveryResult {
  bool accepted = false;  // logged in, or the server took the mail
  bool failed = false;    // the POP3 login's error was reported to the operator: the run ends
  DeliveryVerdict verdict = DeliveryVerdict::Accepted;
  std::string command;    // what the failure answered ("RCPT TO", "." ...), else empty
  std::string code;       // the reply code and its enhanced code ("550 5.1.1"), else empty
  std::string reply;      // the server's text (CP932 as received), else empty
  std::string errorText;  // the failure's text as the operator is shown it
};

// The protocol session of the send run: POP before SMTP, and one mail over SMTP
// (plain, STARTTLS or TLS, with SMTP AUTH when set), with the clients it is handed.
// A failed login is reported to the listener with its fixed prefix; a mail's failure
// comes back with the verdict of what the reply means, for the run to act on. Every
// wait ends soon after the stop flag is raised.
class Delivery {
 public:
  Delivery(SmtpClient& smtp, Pop3Client& pop3);
  void setStopFlag(const std::atomic<bool>* stop);
  // POP before SMTP logs in on the standard port; tests point it elsewhere.
  void setPop3Port(int port) { m_pop3Port = port; }

  // Logs in to the POP3 server, keeps the login a moment and logs out.
  DeliveryResult logInForSmtp(const MailSettings& settings, SendListener& listener);
  // Connects, sends the message to the recipient and disconnects.
  DeliveryResult deliver(MailMessage& message, const std::string& recipient, const MailSettings& settings,
                         SendListener& listener);

 private:
  bool stopRequested() const { return m_stop && m_stop->load(); }

  SmtpClient& m_smtp;
  Pop3Client& m_pop3;
  const std::atomic<bool>* m_stop = nullptr;
  int m_pop3Port = 110;
};
