#include "sending/SendOptions.h"

#include "core/TextUtil.h"
#include "settings/SettingsFiles.h"

SendOptions SendOptions::load(const SettingsPaths& paths) { return of(loadMailSettings(paths), paths); }

SendOptions SendOptions::of(const MailSettings& mail, const SettingsPaths& paths) {
  SendOptions o;
  o.onePerDay = mail.onePerDay();
  if (mail.hasUnsubscribeUrl()) o.unsubscribeUrl = trim(mail.unsubscribeUrl);
  o.secretFile = paths.unsubscribeSecret();
  return o;
}
