#pragma once
#include <cstdint>
#include <functional>
#include <string>

// The one clock of the program. Tests pin the local date and time and drive the
// millisecond tick; the program reads both through here.
namespace Clock {

// Current local date and time as "yyyymmddhhnnss".
std::string nowStamp();

// Milliseconds since an arbitrary start, never going backwards.
std::uint64_t tickMs();

// Sleeps up to ms in short steps, returning as soon as keepWaiting() says no (checked
// at least every 100 ms), so that a stop request ends a wait at once.
void pause(int ms, const std::function<bool()>& keepWaiting);

// For benchmarks of a run's own work: every pause passes at once, the tick moving on by
// its length as if it had been waited.
void setPausesSkipped(bool skipped);

// Fixes nowStamp to the given 14 digits; an empty text lets the real clock run again.
void setFixedStamp(const std::string& stamp);

// The zone every local date and time of the program is in: the operator's, not the
// machine's. The web scripts stamp registrations in the same zone, so a web host in
// Japan and a scheduler running in UTC agree on which day a reader registered.
inline const char* const kDefaultTimeZone = "Asia/Tokyo";
// Puts the process in the named zone (an IANA name; empty: the default). Call it at
// start, before any other thread runs. False, leaving the default in force, when the
// machine knows no such zone.
bool setTimeZone(const std::string& zone);

}  // namespace Clock
