#include "core/Clock.h"

#include <chrono>
#include <ctime>

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

std::uint64_t tickMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void setFixedStamp(const std::string& stamp) { g_fixedStamp = stamp; }

}  // namespace Clock
