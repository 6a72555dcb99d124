#pragma once
// The MATCH cases every implementation answers alike: the evaluator, the
// SQLite function filters pushed down to talvor.db use, and the server's
// function. Wildcards, letter case with the accented pairs, trailing
// blanks, numbers by their plain digits.
#include <string>
#include <vector>

#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::expr::test {

struct MatchCase {
    Value value;
    const char* pattern;
    int mode;
    bool expected;
};

inline const std::vector<MatchCase>& matchCases() {
    static const std::vector<MatchCase> cases = {
        // What the find window promises for a text column (value wrapped in *).
        {"Tornillo", "*tor*", 17, true},
        {"MOTOR", "*tor*", 17, true},
        {"factor", "*tor*", 17, true},
        {"Tuerca", "*tor*", 17, false},
        {"Tornillo", "tor*", 17, true},
        {"MOTOR", "tor*", 17, false},
        {"tar", "t?r", 17, true},
        {"TOR", "t?r", 17, true},
        {"toor", "t?r", 17, false},
        {"tr", "t?r", 17, false},
        {"llave 3/4'", "*3/4'*", 17, true},
        // The accented pairs fold like the rest.
        {"CAÑÓN", "*ñón*", 17, true},
        {"cañón", "*ÑÓN", 17, true},
        {"Ñandú", "ñANDÚ", 17, true},
        {"canon", "*ñón*", 17, false},
        {"ÄÁÅÆÇÉÍÑÓÖÚÜ", "äáåæçéíñóöúü", 17, true},
        {"ñ", "?", 17, true},                   // "?" is one character, not one byte
        {"ñx", "??", 17, true},
        {"ñ", "??", 17, false},
        // Trailing blanks of value and pattern do not count; leading ones do.
        {"Ñandú      ", "ñandú", 17, true},
        {"Ñandú", "ñandú    ", 17, true},
        {"  abc", "abc", 17, false},
        {"a b", "a?b", 17, true},
        // Whole value.
        {"abcabc", "*b*c", 17, true},
        {"abcab", "*b*c", 17, false},
        {"ab", "*a*b*c*", 17, false},
        {"", "", 17, true},
        {"    ", "", 17, true},
        {"", "*", 17, true},
        {"a", "", 17, false},
        // Without 16 the letter case counts; 4 is plain equality.
        {"Abc", "abc", 1, false},
        {"abc", "a*", 1, true},
        {"abc", "a*", 0, true},
        {"a*c", "a*c", 4, true},
        {"abc", "a*c", 4, false},
        {"ABC  ", "abc", 20, true},
        // Numbers match by their plain digits.
        {Value(12), "12", 17, true},
        {Value(120), "12", 17, false},
        {Value(312), "12", 17, false},
        {Value(120), "12*", 17, true},
        {Value(Decimal::fromScaled(1750, 2)), "17.5", 17, true},
        {Value(Decimal::fromScaled(1750, 2)), "17.50", 17, false},
        {Value(-3), "-3", 17, true},
        {Value(0), "0", 17, true},
        // Bytes that are not UTF-8 are characters of their own.
        {"\xFF", "?", 17, true},
        {"a\xFF" "b", "a?b", 17, true},
        // Unsupported modes match nothing.
        {"abc", "abc", 2, false},
        {"abc", "abc", 3, false},
    };
    return cases;
}

// One code point below 0x10000 as UTF-8.
inline std::string utf8Of(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

// A number case's value as a column holds it: scaled by 10^places.
inline void scaledOf(const Decimal& d, long long& scaled, int& places) {
    Decimal k = d;
    places = 0;
    while (k.truncated(0) != k && places < 18) {
        k = k * Decimal(10);
        ++places;
    }
    scaled = k.toInt64();
}

}  // namespace tv::expr::test
