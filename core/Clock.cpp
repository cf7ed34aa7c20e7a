#include "core/Clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

namespace Clock {
namespace {
std::string g_fixedStamp;
}

std::string nowStamp() {
  if (!g_fixedStamp.empty()) return g_fixedStamp;
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &local);
  return buf;
}

namespace {
std::atomic<bool> g_pausesSkipped{false};
std::atomic<std::uint64_t> g_skippedMs{0};
constexpr std::uint64_t kPauseStepMs = 100;
}  // namespace

std::uint64_t tickMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()) +
         g_skippedMs.load();
}

void pause(int ms, const std::function<bool()>& keepWaiting) {
  const std::uint64_t until = tickMs() + static_cast<std::uint64_t>(ms > 0 ? ms : 0);
  for (std::uint64_t now = tickMs(); now < until && keepWaiting(); now = tickMs()) {
    if (g_pausesSkipped.load()) {
      g_skippedMs += until - now;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(until - now, kPauseStepMs)));
  }
}

void setPausesSkipped(bool skipped) { g_pausesSkipped = skipped; }

void setFixedStamp(const std::string& stamp) { g_fixedStamp = stamp; }

namespace {

// A zone known to the system's time zone data, as TZ names it.
bool knownZone(const std::string& zone) {
  if (zone.empty() || zone.find("..") != std::string::npos || zone.front() == '/') return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path("/usr/share/zoneinfo") / zone, ec);
}

void useZone(const std::string& tz) {
  ::setenv("TZ", tz.c_str(), 1);
  ::tzset();
}

}  // namespace

bool setTimeZone(const std::string& zone) {
  const std::string wanted = zone.empty() ? kDefaultTimeZone : zone;
  if (knownZone(wanted)) {
    useZone(":" + wanted);
    return true;
  }
  // Japan keeps no daylight saving time: without the zone data its rule is fixed.
  useZone(knownZone(kDefaultTimeZone) ? std::string(":") + kDefaultTimeZone : "JST-9");
  return wanted == kDefaultTimeZone;
}


}  // namespace Clock
