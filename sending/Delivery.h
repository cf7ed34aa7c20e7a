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
  std::string errorText;  // the failure's own text (the server's reply, the socket's error)
  // What happened and what to check, then errorText on a second line; empty unless failed.
  std::string operatorText;
};

// The protocol session of the send run: POP before SMTP, and the mails over SMTP
// (plain, STARTTLS or TLS, with SMTP AUTH when set), with the clients it is handed.
// With MailsPerConnection above 1 the SMTP session stays open between mails (each mail
// starts with RSET) until it has carried that many, a mail was not accepted, or the
// run ends it.
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
  // Sends the message to the recipient over the open session, or over a new one.
  // A session the server ended while it stood idle (closed, or 421 before this mail's
  // sender was taken) is opened again once, with the POP before SMTP login when set,
  // and the mail goes over the new session.
  DeliveryResult deliver(MailMessage& message, const std::string& recipient, const MailSettings& settings,
                         SendListener& listener);
  // True while an SMTP session stands open for the next mail (no login is due before it).
  bool sessionOpen() const;
  // Ends the open session with QUIT; the run calls it when it ends or stops.
  void endSession();

 private:
  bool stopRequested() const { return m_stop && m_stop->load(); }
  // One attempt at the mail: connects first unless the session stands open; a failure
  // leaves the client disconnected.
  DeliveryResult sendOnce(MailMessage& message, const MailSettings& settings);

  SmtpClient& m_smtp;
  Pop3Client& m_pop3;
  const std::atomic<bool>* m_stop = nullptr;
  int m_pop3Port = 110;
  int m_sessionMails = 0;  // mails the open session has carried
};
