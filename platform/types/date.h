#pragma once
// Calendar dates as day numbers (0 = no date): days since 28 December 1800,
// so day 4 is 1 January 1801 and day % 7 is the weekday (0 Sunday). Valid
// dates run from 1 January 1801 to 31 December 9999; only differences and
// order should count for callers.
#include <optional>

namespace tv {

struct Ymd { int year = 0, month = 0, day = 0; };

long dateFromYmd(int year, int month, int day);   // 0 if not a valid date
std::optional<Ymd> ymdFromDate(long day);          // nullopt for 0 / invalid
long today();                                      // the local date
int weekday(long day);                             // 0 Sunday .. 6 Saturday

}  // namespace tv
