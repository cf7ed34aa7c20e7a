#include "intake/ReceiveCheck.h"

#include <filesystem>

#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "settings/PasswordRules.h"
#include "settings/SettingsFiles.h"

namespace {
ReceiveCheck problem(const char* utf8) {
  return ReceiveCheck{ReceiveCheck::Outcome::settingsProblem, Sjis::fromUtf8(utf8)};
}
}  // namespace

ReceiveCheck ReceiveCheck::of(FtpSettings& s) {
  s.FTP_HOST_ADR = trim(s.FTP_HOST_ADR);
  if (s.FTP_HOST_ADR.empty()) return problem("ホスト名、又は、アドレスが登録されていません。");
  if (!isHalfWidth(s.FTP_HOST_ADR)) return problem("全角文字があります。\r\r半角文字で登録して下さい。");
  s.FTP_USER = trim(s.FTP_USER);
  if (s.FTP_USER.empty()) return problem("ユーザ名を登録して下さい。");
  if (!isHalfWidth(s.FTP_USER)) return problem("ユーザ名に全角文字があります。\r\r半角文字で登録して下さい。");
  if (s.passwordSaved()) {
    const std::string password = passwordProblem(s.password);
    if (!password.empty()) return ReceiveCheck{Outcome::settingsProblem, password};
  }
  s.FTP_LOCAL_PATH = trim(s.FTP_LOCAL_PATH);
  if (s.FTP_LOCAL_PATH.empty()) return problem("ローカルフォルダ名を登録して下さい。");
  std::error_code ec;
  if (!std::filesystem::is_directory(Sjis::toPath(s.FTP_LOCAL_PATH), ec))
    return ReceiveCheck{Outcome::missingLocalFolder, Sjis::fromUtf8("指定されたローカルフォルダが存在しません。")};
  s.FTP_HOST_PATH = trim(s.FTP_HOST_PATH);
  if (s.FTP_HOST_PATH.empty()) return problem("ホストのフォルダ名を登録して下さい。");
  if (!isHalfWidth(s.FTP_HOST_PATH)) return problem("ホストのフォルダ名に全角文字があります。\r\r半角文字で登録して下さい。");
  return ReceiveCheck{};
}
