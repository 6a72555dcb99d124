#include "platform/types/locale_texts.h"

#include <cstdio>
#include <vector>

namespace tv {

namespace {

LocaleTexts& texts() {
    static LocaleTexts t{
        {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto", "Septiembre", "Octubre",
         "Noviembre", "Diciembre"},
        {"Ene", "Feb", "Mar", "Abr", "May", "Jun", "Jul", "Ago", "Sep", "Oct", "Nov", "Dic"},
        "a.m.",
        "p.m.",
    };
    return t;
}

std::vector<std::string> split(std::string_view list) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = list.find(',', from);
        out.emplace_back(list.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
        if (comma == std::string_view::npos) return out;
        from = comma + 1;
    }
}

template <std::size_t N>
bool take(std::array<std::string, N>& into, std::string_view list) {
    std::vector<std::string> items = split(list);
    if (items.size() != N) return false;
    for (std::size_t i = 0; i < N; ++i) into[i] = items[i];
    return true;
}

}  // namespace

bool setLocaleTexts(std::string_view months, std::string_view shortMonths, std::string_view amPm) {
    LocaleTexts& t = texts();
    bool all = take(t.months, months);
    all = take(t.shortMonths, shortMonths) && all;
    std::array<std::string, 2> markers;
    if (take(markers, amPm)) {
        t.am = markers[0];
        t.pm = markers[1];
    } else {
        all = false;
    }
    return all;
}

const LocaleTexts& localeTexts() { return texts(); }

const std::string& monthName(int month) {
    static const std::string none;
    return month >= 1 && month <= 12 ? texts().months[static_cast<std::size_t>(month - 1)] : none;
}

const std::string& shortMonthName(int month) {
    static const std::string none;
    return month >= 1 && month <= 12 ? texts().shortMonths[static_cast<std::size_t>(month - 1)] : none;
}

std::string formatTimeOfDay(int hour, int minute) {
    const int h12 = hour % 12 == 0 ? 12 : hour % 12;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d:%02d ", h12, minute);
    return buf + (hour < 12 ? texts().am : texts().pm);
}

}  // namespace tv
