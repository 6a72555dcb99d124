#include "platform/types/date.h"

#include <ctime>

namespace tv {

namespace {

// Days from 1 March of year 0 arithmetic (proleptic Gregorian calendar).
// Compile-time, so the constants below are set before any other code runs
// (a date computed at another file's start-up reads the right day).
constexpr long daysFromCivil(long y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Ymd civilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    Ymd r;
    r.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    r.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    r.year = static_cast<int>(yoe + era * 400 + (r.month <= 2));
    return r;
}

int daysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return kDays[m - 1];
}

constexpr long kFirst = daysFromCivil(1801, 1, 1);  // day 4
constexpr long kFirstDay = 4;
constexpr long kLastDay = daysFromCivil(9999, 12, 31) - kFirst + kFirstDay;

}  // namespace

long dateFromYmd(int year, int month, int day) {
    if (year < 1801 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month))
        return 0;
    return daysFromCivil(year, month, day) - kFirst + kFirstDay;
}

std::optional<Ymd> ymdFromDate(long day) {
    if (day < kFirstDay || day > kLastDay) return std::nullopt;
    return civilFromDays(day - kFirstDay + kFirst);
}

long today() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return dateFromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

int weekday(long day) {
    long w = day % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

}  // namespace tv
