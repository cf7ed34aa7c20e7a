#include "sending/SendOptions.h"

#include "core/TextUtil.h"
#include "sending/UnsubscribeLink.h"
#include "settings/SettingsFiles.h"

SendOptions SendOptions::load(const SettingsPaths& paths) {
  // The settings files are read in one place; the options are what the run needs of them.
  const MailSettings mail = loadMailSettings(paths);
  SendOptions o;
  o.onePerDay = mail.onePerDay();
  if (mail.hasUnsubscribeUrl()) o.unsubscribeUrl = trim(mail.unsubscribeUrl);
  o.secretFile = paths.env.parent_path() / UnsubscribeLink::kSecretFile;
  return o;
}
