#include "platform/types/date.h"
#include "platform/types/locale_texts.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

TEST(Date, DayNumbersRoundTrip) {
    EXPECT_EQ(dateFromYmd(1801, 1, 1), 4);
    EXPECT_EQ(dateFromYmd(1801, 1, 2), 5);
    EXPECT_EQ(dateFromYmd(2024, 3, 1) - dateFromYmd(2024, 2, 28), 2);  // leap year
    EXPECT_EQ(dateFromYmd(2023, 3, 1) - dateFromYmd(2023, 2, 28), 1);
    EXPECT_EQ(dateFromYmd(2001, 1, 1) - dateFromYmd(2000, 1, 1), 366);
    EXPECT_EQ(dateFromYmd(1901, 1, 1) - dateFromYmd(1900, 1, 1), 365);  // 1900 not leap
    for (long d : {4L, 36524L, 80000L, dateFromYmd(2026, 12, 31), dateFromYmd(9999, 12, 31)}) {
        auto ymd = ymdFromDate(d);
        ASSERT_TRUE(ymd) << d;
        EXPECT_EQ(dateFromYmd(ymd->year, ymd->month, ymd->day), d);
    }
    auto ymd = ymdFromDate(dateFromYmd(2024, 2, 29));
    ASSERT_TRUE(ymd);
    EXPECT_EQ(ymd->year, 2024);
    EXPECT_EQ(ymd->month, 2);
    EXPECT_EQ(ymd->day, 29);
}

// Computed while the program starts, before this file's tests run and in
// no set order with the date routines' own start-up.
const long kAtStartUp = dateFromYmd(2025, 4, 1);

TEST(Date, ADateComputedAtStartUpIsTheDayItNames) {
    EXPECT_EQ(kAtStartUp, dateFromYmd(2025, 4, 1));
}

TEST(Date, InvalidDatesAreZero) {
    EXPECT_EQ(dateFromYmd(2024, 2, 30), 0);
    EXPECT_EQ(dateFromYmd(2023, 2, 29), 0);
    EXPECT_EQ(dateFromYmd(2024, 4, 31), 0);
    EXPECT_EQ(dateFromYmd(2024, 13, 1), 0);
    EXPECT_EQ(dateFromYmd(2024, 0, 1), 0);
    EXPECT_EQ(dateFromYmd(1800, 12, 31), 0);
    EXPECT_FALSE(ymdFromDate(0));
    EXPECT_FALSE(ymdFromDate(-5));
}

TEST(Date, WeekdayAndToday) {
    EXPECT_EQ(weekday(dateFromYmd(1801, 1, 1)), 4);   // a Thursday
    EXPECT_EQ(weekday(dateFromYmd(2024, 12, 25)), 3);  // a Wednesday
    EXPECT_EQ(weekday(dateFromYmd(2026, 12, 6)), 0);   // a Sunday
    long t = today();
    EXPECT_GT(t, dateFromYmd(2020, 1, 1));
    EXPECT_TRUE(ymdFromDate(t));
}

}  // namespace
}  // namespace tv

namespace tv {
namespace {

// The frame's texts for months and the time of day, taken whole or not at
// all.
TEST(LocaleTexts, MonthNamesAndTimeOfDayMarkers) {
    ASSERT_TRUE(setLocaleTexts("Enero,Febrero,Marzo,Abril,Mayo,Junio,Julio,Agosto,Septiembre,Octubre,Noviembre,Diciembre",
                               "Ene,Feb,Mar,Abr,May,Jun,Jul,Ago,Sep,Oct,Nov,Dic", "a.m.,p.m."));
    EXPECT_EQ(monthName(1), "Enero");
    EXPECT_EQ(monthName(12), "Diciembre");
    EXPECT_EQ(shortMonthName(8), "Ago");
    EXPECT_EQ(monthName(13), "");
    EXPECT_EQ(formatTimeOfDay(0, 5), "12:05 a.m.");
    EXPECT_EQ(formatTimeOfDay(12, 0), "12:00 p.m.");
    EXPECT_EQ(formatTimeOfDay(15, 30), "3:30 p.m.");
    EXPECT_FALSE(setLocaleTexts("Uno,Dos", "Ene,Feb,Mar,Abr,May,Jun,Jul,Ago,Sep,Oct,Nov,Dic", "am"));
    EXPECT_EQ(monthName(2), "Febrero") << "a short list changes nothing";
    EXPECT_EQ(formatTimeOfDay(9, 0), "9:00 a.m.");
}

}  // namespace
}  // namespace tv
