// MATCH: wildcards, letter case with the accented pairs, trailing blanks,
// numbers by their plain digits.
#include <gtest/gtest.h>

#include <string>

#include "platform/expr/program.h"
#include "platform/expr/value_ops.h"
#include "platform/types/text.h"

namespace tv::expr {
namespace {

struct MatchCase {
    Value value;
    const char* pattern;
    int mode;
    bool expected;
};

TEST(Match, Cases) {
    const MatchCase cases[] = {
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
    for (const auto& c : cases) {
        std::string v = textOf(c.value);
        EXPECT_EQ(matchValue(c.value, c.pattern, c.mode), c.expected)
            << "'" << v << "' ~ '" << c.pattern << "' mode " << c.mode;
    }
}

TEST(Match, ManyStarsStayFast) {
    // A value that almost matches many times over: the matcher must not
    // backtrack exponentially (this finishes at once or not at all).
    std::string value(5000, 'a');
    EXPECT_FALSE(matchValue(Value(value), "*a*a*a*a*a*a*a*a*a*a*b", 17));
    EXPECT_TRUE(matchValue(Value(value + "b"), "*a*a*a*a*a*a*a*a*a*a*b", 17));
}

TEST(Match, PreparedMatcherIsReusable) {
    Matcher m("*tor*", 17);
    EXPECT_TRUE(m.matches(std::string_view("Tornillo")));
    EXPECT_FALSE(m.matches(std::string_view("Tuerca")));
    EXPECT_TRUE(m.matches(std::string_view("motor")));
    EXPECT_TRUE(m.matches(Value(Decimal(0))) == false);
}

TEST(Match, FoldAgreesWithToUpper) {
    for (char32_t cp = 1; cp < 0x3000; ++cp) {
        if (cp >= 0xD800 && cp < 0xE000) continue;
        std::string utf8;
        if (cp < 0x80) {
            utf8 += static_cast<char>(cp);
        } else if (cp < 0x800) {
            utf8 += static_cast<char>(0xC0 | (cp >> 6));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (cp >> 12));
            utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        }
        std::vector<char32_t> upper;
        decodeUtf8(toUpper(utf8), false, upper);
        ASSERT_EQ(upper.size(), 1u);
        EXPECT_EQ(upper[0], foldUpper(cp)) << "code point " << static_cast<unsigned>(cp);
    }
}

// The folding used per row works eight bytes at a time where it can: every
// ASCII byte at every offset, and accented letters across the word edges.
TEST(Match, FastFoldAgreesWithToUpperOnLongTexts) {
    std::string out;
    for (int offset = 0; offset < 9; ++offset) {
        std::string ascii(static_cast<size_t>(offset), 'q');
        for (int c = 1; c < 128; ++c) ascii += static_cast<char>(c);
        foldUpperInto(ascii, out);
        EXPECT_EQ(out, toUpper(ascii)) << "offset " << offset;
    }
    std::string mixed;
    for (int i = 0; i < 40; ++i) mixed += i % 3 ? "abcdefg" : "ñandú cañón ÄÁÅÆÇÉÍÑÓÖÚÜ äáåæçéíñóöúü x";
    for (size_t cut = 0; cut < 24; ++cut) {
        std::string part = mixed.substr(cut);
        foldUpperInto(part, out);
        EXPECT_EQ(out, toUpper(part)) << "cut " << cut;
    }
    // Padded fields: trailing blanks in whole words are skipped too.
    EXPECT_TRUE(matchValue(Value(std::string("Tornillo") + std::string(62, ' ')), "*NILLO", 17));
    EXPECT_TRUE(matchValue(Value(std::string(70, ' ')), "", 17));
}

TEST(Match, InsideExpressionsWithComputedPatterns) {
    NameTable names;
    std::string value = "Arandela plana";
    std::string pattern = "*PLANA";
    names.bind("v", Binding::text(value));
    names.bind("p", Binding::text(pattern));
    auto prog = Program::compile("MATCH(v, p, 17) AND MATCH(v, 'a' & '*', 16 + 1)", names);
    ASSERT_TRUE(prog);
    EXPECT_TRUE(prog->test());
    pattern = "*PLAN";
    EXPECT_FALSE(prog->test());
}

}  // namespace
}  // namespace tv::expr
