// MATCH: wildcards, letter case with the accented pairs, trailing blanks,
// numbers by their plain digits.
#include <gtest/gtest.h>

#include <string>

#include "platform/expr/program.h"
#include "platform/expr/value_ops.h"
#include "platform/types/text.h"
#include "tests/platform/expr/match_cases.h"

namespace tv::expr {
namespace {

TEST(Match, Cases) {
    for (const auto& c : test::matchCases()) {
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
        const std::string utf8 = test::utf8Of(cp);
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
