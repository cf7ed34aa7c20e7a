#include "sending/StartCheck.h"

#include "settings/SendPace.h"

#include <algorithm>

#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "sending/DueList.h"
#include "settings/LegalFooter.h"
#include "settings/SettingsFiles.h"

namespace {
std::string u8(const char* text) { return Sjis::fromUtf8(text); }
}  // namespace

StartCheck checkStart(const DueList& list, MailSettings& settings) {
  using Outcome = StartCheck::Outcome;
  auto problem = [](Outcome outcome, const char* message) { return StartCheck{outcome, u8(message)}; };
  if (list.lastStory() == 0) return problem(Outcome::noStory, "ストーリーが登録されていません。");
  const std::vector<DueReader>& readers = list.readers();
  const auto notEligible = std::count_if(readers.begin(), readers.end(),
                                         [](const DueReader& r) { return r.eligibility != Eligibility::eligible; });
  if (notEligible == static_cast<std::ptrdiff_t>(readers.size())) return problem(Outcome::nothingDue, "送信対象が１件もありません。");
  if (list.markedCount() == 0) return problem(Outcome::nothingMarked, "選択されていません。");
  return checkSettings(settings);
}

StartCheck checkSettings(MailSettings& s) {
  using Outcome = StartCheck::Outcome;
  auto problem = [](Outcome outcome, const char* message) { return StartCheck{outcome, u8(message)}; };
  const Outcome settings = Outcome::settingsProblem;
  s.smtpServer = trim(s.smtpServer);
  if (s.smtpServer.empty()) return problem(settings, "SMTPｻｰﾊﾞ名が設定されていません。");
  if (!isHalfWidth(s.smtpServer)) return problem(settings, "SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。");
  // A port beyond 16 bits would be cut to another port by the socket call.
  if (s.smtpPort < 1 || s.smtpPort > 65535) return problem(settings, "SMTPポート番号に誤りがあります。");
  s.senderAddress = trim(s.senderAddress);
  if (s.senderAddress.empty()) return problem(settings, "メールアドレスが設定されていません。");
  if (!isHalfWidth(s.senderAddress))
    return problem(settings, "メールアドレスに全角文字があります。\r\r半角文字で設定して下さい。");
  s.bounceAddress = trim(s.bounceAddress);
  if (!s.bounceAddress.empty() && (!isHalfWidth(s.bounceAddress) || s.bounceAddress.find('@') == std::string::npos ||
                                   s.bounceAddress.find_first_of(" \t\r\n<>,;\"") != std::string::npos))
    return problem(settings, "エラーメールの宛先に誤りがあります。");
  if (const StartCheck bounces = checkBounceSettings(s); !bounces.ready()) return bounces;
  if (s.popBeforeSmtp() && (s.popSecurity < 0 || s.popSecurity > 2))
    return problem(settings, "POP3の暗号化の設定に誤りがあります。");
  if (s.smtpSecurity < 0 || s.smtpSecurity > 2) return problem(settings, "SMTPの暗号化の設定に誤りがあります。");
  if (s.smtpLogin()) {
    s.smtpUser = trim(s.smtpUser);
    if (s.smtpUser.empty()) return problem(settings, "SMTPユーザ名を設定して下さい。");
    if (!isHalfWidth(s.smtpUser))
      return problem(settings, "SMTPユーザ名に全角文字があります。\r\r半角文字で入力して下さい。");
    // A password goes in clear only where the operator said so.
    if (s.smtpSecurity == 0 && !s.smtpPlainLogin())
      return problem(settings,
                     "暗号化なしの接続ではSMTPのパスワードを送りません。\r\r「FTP、Mail 設定」のメールのページで、"
                     "暗号化を「STARTTLS」にして下さい（ポート587が一般的です）。暗号化に対応していないサーバだけは、"
                     "「暗号化なしでログインする」を選んで下さい。");
  }
  const SendPace pace(s);
  if (!pace.problem().empty()) return StartCheck{settings, pace.problem()};
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
  if (s.legalFooter()) {
    // Each item the footer's template shows must be filled in: the law wants them all.
    // Full-width blanks alone count as empty.
    s.senderName = trim(s.senderName);
    s.senderPostalAddress = trim(s.senderPostalAddress);
    s.senderContact = trim(s.senderContact);
    const struct {
      const char* placeholder;
      const std::string& value;
      const char* message;
    } items[] = {
        {LegalFooter::kSenderName, s.senderName,
         "法定表示の送信者名（差出人名）が空です。「FTP、Mail 設定」のメールのページで入力して下さい。"},
        {LegalFooter::kPostalAddress, s.senderPostalAddress,
         "法定表示の住所が空です。「FTP、Mail 設定」の法定表示のページで入力して下さい。"},
        {LegalFooter::kContact, s.senderContact,
         "法定表示の連絡先が空です。「FTP、Mail 設定」の法定表示のページで入力して下さい。"},
    };
    for (const auto& item : items)
      if (trimFullWidth(item.value).empty() && s.footerTemplate.find(item.placeholder) != std::string::npos)
        return problem(settings, item.message);
    if (s.footerTemplate.find(LegalFooter::kUnsubscribe) == std::string::npos)
      return problem(settings,
                     "法定表示に配信停止のリンク（##unsubscribe##）がありません。「FTP、Mail 設定」の法定表示のページで"
                     "入れて下さい。");
  }
  return {};
}

StartCheck checkBounceSettings(MailSettings& s) {
  auto problem = [](const char* message) { return StartCheck{StartCheck::Outcome::settingsProblem, u8(message)}; };
  if (!s.readBounces()) return {};
  s.bouncePopServer = trim(s.bouncePopServer);
  if (s.bouncePopServer.empty())
    return problem("エラーメールのPOP3サーバ名が設定されていません。\r\r「FTP、Mail 設定」のエラーメールのページで入力して下さい。");
  if (!isHalfWidth(s.bouncePopServer))
    return problem("エラーメールのPOP3サーバ名に全角文字があります。\r\r半角文字で入力して下さい。");
  if (s.bouncePopPort < 1 || s.bouncePopPort > 65535) return problem("エラーメールのPOP3ポート番号に誤りがあります。");
  if (s.bouncePopSecurity < 0 || s.bouncePopSecurity > 2)
    return problem("エラーメールのPOP3の暗号化の設定に誤りがあります。");
  s.bouncePopUser = trim(s.bouncePopUser);
  if (s.bouncePopUser.empty())
    return problem("エラーメールのPOP3ユーザ名が設定されていません。\r\r「FTP、Mail 設定」のエラーメールのページで入力して下さい。");
  if (s.bouncePopPassword.empty())
    return problem("エラーメールのPOP3パスワードが保存されていません。\r\r「FTP、Mail 設定」のエラーメールのページで入力して下さい。");
  return {};
}
