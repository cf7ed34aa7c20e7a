#include "core/DataFolder.h"

#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace {
fs::path fromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? fs::path(value) : fs::path();
}
}  // namespace

fs::path chooseDataFolder(const fs::path& programDir) {
  std::error_code ec;
  if (fs::exists(programDir / "QUORMAIL.GDB", ec) || fs::exists(programDir / "QuorMail.env", ec)) return programDir;
  const fs::path home = fromEnvironment("QUORMAIL_HOME");
  if (!home.empty()) return home;
  const fs::path xdg = fromEnvironment("XDG_DATA_HOME");
  if (!xdg.empty() && xdg.is_absolute()) return xdg / "QuorMail";
  const fs::path user = fromEnvironment("HOME");
  return (user.empty() ? fs::path("/tmp") : user) / ".local" / "share" / "QuorMail";
}

bool isLocalDatabase(const std::string& name) {
  // "host:/path" and "host/port:/path" reach a server; a plain path is a local file.
  return name.empty() || name[0] == '/' || name.find(':') == std::string::npos;
}
