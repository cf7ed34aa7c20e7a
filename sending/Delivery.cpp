#include "sending/Delivery.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "net/MailMessage.h"
#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/SendListener.h"
#include "settings/FailureText.h"
#include "settings/SettingsFiles.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

}  // namespace

Delivery::Delivery(SmtpClient& smtp, Pop3Client& pop3) : m_smtp(smtp), m_pop3(pop3) {
  m_smtp.port = 25;
  m_smtp.readTimeoutMs = 0;
}

void Delivery::setStopFlag(const std::atomic<bool>* stop) {
  m_stop = stop;
  m_smtp.setStopFlag(stop);
  m_pop3.setStopFlag(stop);
}

DeliveryResult Delivery::logInForSmtp(const MailSettings& settings, SendListener& listener) {
  static const char* const kStatusTexts[] = {"ホスト名を IP アドレスに解決", "接続中", "接続完了", "接続解除中",
                                             "接続解除", "通知メッセージを生成中"};
  listener.loggingIn();
  Pop3Client& pop = m_pop3;
  pop.host = trim(settings.popServer);
  pop.security = static_cast<Pop3Security>(settings.popSecurity);
  // TLS from the first byte has its own port.
  pop.port = m_pop3Port != 110 ? m_pop3Port : pop.security == Pop3Security::ImplicitTls ? 995 : 110;
  pop.user = settings.popUser;
  pop.password = settings.password;
  pop.onStatus = [&listener](TcpConnection&, ConnectionStatus status, const std::string& text) {
    const int n = static_cast<int>(status);
    if (n >= 0 && n <= 5) listener.connectionStatus(u8(kStatusTexts[n]), text);
  };
  struct StatusOff {
    Pop3Client& pop;
    ~StatusOff() { pop.onStatus = nullptr; }
  } statusOff{pop};
  const auto failed = [&](const char* fallback, const std::exception& e) {
    const std::string text = failureText(e, FailedLink::popBeforeSmtp, u8(fallback));
    listener.error(text);
    return DeliveryResult{false, true, failureVerdict(e, std::string()), {}, {}, {}, e.what(), text};
  };
  const DeliveryResult stopped{false, false, DeliveryVerdict::Stopped, {}, {}, {}, {}, {}};
  try {
    pop.connect(-1);
  } catch (const StoppedError&) {
    return stopped;
  } catch (const std::exception& e) {
    return failed("POP before SMTPのログインに失敗しました。", e);
  }
  // The login must stand a moment before the mail goes out.
  Clock::pause(5000, [this] { return !stopRequested(); });
  try {
    pop.disconnect();
  } catch (const StoppedError&) {
    return stopped;
  } catch (const std::exception& e) {
    return failed("POP before SMTPのログアウトに失敗しました。", e);
  }
  return DeliveryResult{true, false, DeliveryVerdict::Accepted, {}, {}, {}, {}, {}};
}

namespace {

// The server ended the idle session before this mail's sender was taken: the connection
// is gone, or it answered 421, at the mail's RSET or MAIL FROM. Nothing of the mail went out.
bool sessionWasGone(const DeliveryResult& r) {
  if (r.command != "RSET" && r.command != "MAIL FROM") return false;
  return r.verdict == DeliveryVerdict::ServerUnreachable ||
         (r.verdict == DeliveryVerdict::ServerDeferred && r.code.compare(0, 3, "421") == 0);
}

}  // namespace

bool Delivery::sessionOpen() const { return m_smtp.connected(); }

void Delivery::endSession() {
  if (m_smtp.connected()) m_smtp.disconnect();
  m_sessionMails = 0;
}

DeliveryResult Delivery::deliver(MailMessage& message, const std::string& recipient,
                                 const MailSettings& settings, SendListener& listener) {
  listener.sending(recipient);
  const bool reused = sessionOpen();
  DeliveryResult result = sendOnce(message, settings);
  if (reused && sessionWasGone(result)) {
    endSession();
    if (settings.popBeforeSmtp()) {
      const DeliveryResult login = logInForSmtp(settings, listener);
      if (!login.accepted) return login;
      Clock::pause(1000 * std::max(0, toIntOr(trim(settings.popWaitSeconds), 0)), [this] { return !stopRequested(); });
      if (stopRequested()) return DeliveryResult{false, false, DeliveryVerdict::Stopped, {}, {}, {}, {}, {}};
      listener.sending(recipient);
    }
    result = sendOnce(message, settings);
  }
  // A mail not accepted leaves the session in doubt: the next mail starts a new one. A
  // count of 1 or less gives each mail its own session.
  if (!result.accepted || ++m_sessionMails >= settings.mailsPerConnection) endSession();
  return result;
}

DeliveryResult Delivery::sendOnce(MailMessage& message, const MailSettings& settings) {
  bool accepted = false;
  std::string pending;
  try {
    if (!m_smtp.connected()) {
      m_sessionMails = 0;
      m_smtp.host = trim(settings.smtpServer);
      m_smtp.port = settings.smtpPort;
      m_smtp.security = static_cast<SmtpSecurity>(settings.smtpSecurity);
      m_smtp.setAuthenticationType(settings.smtpLogin() ? AuthenticationType::login : AuthenticationType::none);
      m_smtp.loginWithoutTls = settings.smtpPlainLogin();
      m_smtp.user = settings.smtpUser;
      m_smtp.password = settings.smtpPassword;
      m_smtp.connect(-1);
    }
    try {
      m_smtp.send(message);
      accepted = true;
    } catch (...) {
      // How far the mail got, before the disconnect forgets it.
      pending = m_smtp.pendingCommand();
      m_smtp.disconnect();
      throw;
    }
  } catch (const StoppedError& e) {
    const DeliveryVerdict verdict = accepted ? DeliveryVerdict::Accepted : failureVerdict(e, pending);
    if (m_smtp.connected()) m_smtp.disconnect();
    return DeliveryResult{accepted, false, verdict, {}, {}, {}, {}, {}};
  } catch (const std::exception& e) {
    DeliveryResult result{false, false, failureVerdict(e, pending), pending, {}, {}, e.what(),
                          failureText(e, FailedLink::smtp, u8("SMTPサーバにメールを送信できませんでした。"))};
    if (const auto* refused = dynamic_cast<const ProtocolReplyError*>(&e)) {
      result.command = refused->command();
      result.code = std::to_string(refused->replyCode());
      if (!refused->enhancedCode().empty()) result.code += " " + refused->enhancedCode();
      for (const std::string& line : refused->serverText()) result.reply += (result.reply.empty() ? "" : " ") + line;
    }
    return result;
  }
  return DeliveryResult{true, false, DeliveryVerdict::Accepted, {}, {}, {}, {}, {}};
}
