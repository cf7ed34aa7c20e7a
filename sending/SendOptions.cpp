#include "sending/SendOptions.h"

#include <system_error>

#include "core/IniFile.h"
#include "core/TextUtil.h"
#include "sending/UnsubscribeLink.h"
#include "settings/SettingsFiles.h"

SendOptions SendOptions::load(const SettingsPaths& paths) {
  SendOptions o;
  std::error_code ec;
  const bool existing = std::filesystem::exists(paths.env, ec);
  const IniFile ini(paths.env);
  o.onePerDay = ini.readInteger("Mail", "OnePerDay", existing ? 0 : 1) == 1;
  const std::string url = trim(ini.readString("Mail", "UnsubscribeUrl", ""));
  if (UnsubscribeLink::usableUrl(url)) o.unsubscribeUrl = url;
  o.secretFile = paths.env.parent_path() / UnsubscribeLink::kSecretFile;
  return o;
}
