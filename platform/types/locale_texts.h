#pragma once
// The texts dates and times of day are shown with: month names, their short
// forms and the morning/afternoon markers. The frame sets them as it opens
// (comma lists, as the user interface's locale settings are given); until
// then they hold the same Spanish texts.
#include <array>
#include <string>
#include <string_view>

namespace tv {

struct LocaleTexts {
    std::array<std::string, 12> months;       // "Enero", ...
    std::array<std::string, 12> shortMonths;  // "Ene", ...
    std::string am, pm;                       // "a.m.", "p.m."
};

// Each list is taken only when it has the right number of items (12, 12,
// 2); false when one was refused (that one stays as it was).
bool setLocaleTexts(std::string_view months, std::string_view shortMonths, std::string_view amPm);
const LocaleTexts& localeTexts();

// Month 1..12; "" outside.
const std::string& monthName(int month);
const std::string& shortMonthName(int month);
// "3:05 p.m.", "12:00 a.m." for hour 0..23 and minute 0..59.
std::string formatTimeOfDay(int hour, int minute);

}  // namespace tv
