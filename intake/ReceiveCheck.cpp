#include "intake/ReceiveCheck.h"

#include <filesystem>
#include <utility>

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

std::vector<std::string> ReceiveCheck::missingItems(const FtpSettings& s) {
  const std::pair<const std::string*, const char*> fields[] = {{&s.host, "ホスト名（アドレス）"},
                                                               {&s.user, "ユーザ名"},
                                                               {&s.hostFolder, "ホストのフォルダ"},
                                                               {&s.localFolder, "ローカルフォルダ"}};
  std::vector<std::string> missing;
  for (const auto& [value, caption] : fields)
    if (trim(*value).empty()) missing.push_back(Sjis::fromUtf8(caption));
  return missing;
}

ReceiveCheck ReceiveCheck::of(FtpSettings& s) {
  s.host = trim(s.host);
  if (s.host.empty()) return problem("ホスト名、又は、アドレスが登録されていません。");
  if (!isHalfWidth(s.host)) return problem("全角文字があります。\r\r半角文字で登録して下さい。");
  s.user = trim(s.user);
  if (s.user.empty()) return problem("ユーザ名を登録して下さい。");
  if (!isHalfWidth(s.user)) return problem("ユーザ名に全角文字があります。\r\r半角文字で登録して下さい。");
  if (s.passwordSaved()) {
    const std::string password = passwordProblem(s.password);
    if (!password.empty()) return ReceiveCheck{Outcome::settingsProblem, password};
  }
  s.localFolder = trim(s.localFolder);
  if (s.localFolder.empty()) return problem("ローカルフォルダ名を登録して下さい。");
  std::error_code ec;
  if (!std::filesystem::is_directory(Sjis::toPath(s.localFolder), ec))
    return ReceiveCheck{Outcome::missingLocalFolder, Sjis::fromUtf8("指定されたローカルフォルダが存在しません。")};
  s.hostFolder = trim(s.hostFolder);
  if (s.hostFolder.empty()) return problem("ホストのフォルダ名を登録して下さい。");
  if (!isHalfWidth(s.hostFolder)) return problem("ホストのフォルダ名に全角文字があります。\r\r半角文字で登録して下さい。");
  return ReceiveCheck{};
}
