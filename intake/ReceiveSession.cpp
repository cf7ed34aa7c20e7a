#include "intake/ReceiveSession.h"

#include "settings/SettingsFiles.h"

bool ReceiveSession::prepare(FtpSettings& settings) {
  try {
    settings = loadFtpSettings(m_paths);
  } catch (const std::exception& e) {
    m_policy.unreadable(e.what());
    return false;
  }
  for (;;) {
    const ReceiveCheck check = ReceiveCheck::of(settings);
    if (check.ready()) break;
    if (check.outcome == ReceiveCheck::Outcome::missingLocalFolder && m_policy.makeLocalFolder(settings.localFolder))
      continue;
    m_policy.refuse(check);
    return false;
  }
  return m_policy.obtainPassword(settings);
}
