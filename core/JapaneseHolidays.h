#pragma once
#include <string>
#include <vector>

// Japan's public holidays (国民の祝日 and the days off the holiday law adds: 振替休日 and
// 国民の休日), computed from the law's rules as they stand in each year since 2000,
// including the one-off dates of 2019-2021. Dates are yyyymmdd numbers. Years outside
// kFirstYear..kLastYear have no holidays here: empty list, false, empty name.
namespace JapaneseHolidays {

constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;  // the equinox approximation holds until here

bool isHoliday(int yyyymmdd);
// The holiday's Japanese name as CP932 text (e.g. 成人の日, 振替休日); empty when the
// date is not a holiday.
std::string holidayName(int yyyymmdd);
// Every holiday of the year, ascending.
std::vector<int> holidaysOf(int year);

}  // namespace JapaneseHolidays
