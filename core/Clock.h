#pragma once
#include <cstdint>
#include <string>

// The one clock of the program. Tests pin the local date and time and drive the
// millisecond tick; the program reads both through here.
namespace Clock {

// Current local date and time as "yyyymmddhhnnss".
std::string nowStamp();

// Milliseconds since an arbitrary start, never going backwards.
std::uint64_t tickMs();

// Fixes nowStamp to the given 14 digits; an empty text lets the real clock run again.
void setFixedStamp(const std::string& stamp);

}  // namespace Clock
