#include "platform/types/decimal.h"

#include <gtest/gtest.h>

#include <string>

namespace tv {
namespace {

Decimal D(std::string_view s) {
    auto d = Decimal::parse(s);
    EXPECT_TRUE(d.has_value()) << s;
    return d.value_or(Decimal());
}

TEST(Decimal, ParseAcceptsPlainNumbersOnly) {
    struct Case { const char* text; const char* fixed; };
    const Case ok[] = {
        {"0", "0.00"}, {"  12.50 ", "12.50"}, {"-3", "-3.00"}, {"+7.1", "7.10"},
        {".5", "0.50"}, {"5.", "5.00"}, {"-0", "0.00"},
        {"99999999999999999999999999999999", "99999999999999999999999999999999.00"},
    };
    for (const auto& c : ok) EXPECT_EQ(D(c.text).toFixed(2), c.fixed) << c.text;
    EXPECT_EQ(D("-0"), Decimal());
    EXPECT_EQ(D("-0").sign(), 0);
    for (const char* bad : {"", " ", "-", ".", "1,000", "12a", "a12", "1e5", "--1", "1 2",
                            "100000000000000000000000000000000"})
        EXPECT_FALSE(Decimal::parse(bad).has_value()) << bad;
}

TEST(Decimal, LeadingNumberOfText) {
    EXPECT_EQ(Decimal::leadingNumber("  12abc"), Decimal(12));
    EXPECT_EQ(Decimal::leadingNumber("-4.5 kg"), D("-4.5"));
    EXPECT_EQ(Decimal::leadingNumber("abc"), Decimal());
    EXPECT_EQ(Decimal::leadingNumber(""), Decimal());
    EXPECT_EQ(Decimal::leadingNumber("1,234"), Decimal(1));
}

TEST(Decimal, ArithmeticIsExact) {
    EXPECT_EQ(D("0.1") + D("0.2"), D("0.3"));
    EXPECT_EQ(D("1.005") - D("2.5"), D("-1.495"));
    EXPECT_EQ(D("-3.25") + D("3.25"), Decimal());
    EXPECT_EQ(D("-1.5") * D("-2"), D("3"));
    EXPECT_EQ(D("12.34") * D("-0.01"), D("-0.1234"));
    EXPECT_EQ(D("123456789012345678") * D("1000"), D("123456789012345678000"));
    EXPECT_EQ(D("0.00000000000000000000000000000001") * D("0.5"), Decimal());  // beyond 32 places
    EXPECT_EQ(D("7") / D("2"), D("3.5"));
    EXPECT_EQ(D("-7") / D("2"), D("-3.5"));
    // Compare keeps sign and magnitude apart.
    EXPECT_LT(D("-2"), D("-1.5"));
    EXPECT_LT(D("-0.1"), Decimal());
    EXPECT_GT(D("1.00000000000000000000000000000001"), Decimal(1));
}

TEST(Decimal, QuotientCarriedTo32PlacesAndCut) {
    EXPECT_EQ((Decimal(1) / Decimal(3)).toFixed(32), "0." + std::string(32, '3'));
    EXPECT_EQ((Decimal(2) / Decimal(3)).toFixed(32), "0." + std::string(32, '6'));  // cut, not rounded
    EXPECT_EQ((Decimal(-2) / Decimal(3)).toFixed(32), "-0." + std::string(32, '6'));
    // three thirds do not come back to 1: digits beyond 32 places are gone
    EXPECT_EQ(Decimal(1) / Decimal(3) * Decimal(3), D("0." + std::string(32, '9')));
}

TEST(Decimal, DivisionByZeroGivesZero) {
    EXPECT_EQ(Decimal(5) / Decimal(), Decimal());
    EXPECT_EQ(D("-5.5") / D("0.000"), Decimal());
    EXPECT_EQ(Decimal() / Decimal(), Decimal());
}

TEST(Decimal, RoundingHalfAwayFromZeroBothSigns) {
    struct Case { const char* v; int places; const char* want; };
    const Case cases[] = {
        {"2.5", 0, "3"},     {"-2.5", 0, "-3"},   {"2.4999", 0, "2"},   {"-2.4999", 0, "-2"},
        {"1.005", 2, "1.01"}, {"-1.005", 2, "-1.01"}, {"1.0049", 2, "1"}, {"9.995", 2, "10"},
        {"-9.995", 2, "-10"}, {"0.0005", 3, "0.001"}, {"-0.0004", 3, "0"}, {"123.456", 5, "123.456"},
    };
    for (const auto& c : cases) EXPECT_EQ(D(c.v).rounded(c.places), D(c.want)) << c.v << " @" << c.places;
    EXPECT_EQ(D("-0.0004").rounded(3).sign(), 0);  // no negative zero
    EXPECT_EQ(D("2.99").truncated(1), D("2.9"));
    EXPECT_EQ(D("-2.99").truncated(0), D("-2"));
}

TEST(Decimal, ScaledConversions) {
    EXPECT_EQ(Decimal::fromScaled(12345, 2), D("123.45"));
    EXPECT_EQ(Decimal::fromScaled(-5, 3), D("-0.005"));
    EXPECT_EQ(Decimal::fromScaled(INT64_MIN, 0).toFixed(0), "-9223372036854775808");
    EXPECT_EQ(D("123.455").toScaled(2), 12346);
    EXPECT_EQ(D("-123.455").toScaled(2), -12346);
    EXPECT_EQ(D("7").toScaled(4), 70000);
    EXPECT_EQ(D("99999999999999999999").toScaled(2), INT64_MAX);
    EXPECT_EQ(D("-99999999999999999999").toScaled(0), INT64_MIN);
    // The unchecked DECIMAL(d,p) store: rounded, then leading digits dropped.
    EXPECT_EQ(Decimal(10).toScaledWrapped(1, 0), 0);
    EXPECT_EQ(D("123.456").toScaledWrapped(4, 2), 2346);
    EXPECT_EQ(D("-123.456").toScaledWrapped(4, 2), -2346);
    EXPECT_EQ(D("99.995").toScaledWrapped(4, 2), 0);  // rounds to 100.00, keeps 00.00
    EXPECT_EQ(D("12345678901234567890.5").toScaledWrapped(18, 0), 345678901234567891);
    EXPECT_EQ(D("12345.678").wrapIntegerDigits(2), D("45.678"));
    EXPECT_EQ(D("-7.5").integerDigits(), 1);
    EXPECT_EQ(D("0.5").integerDigits(), 0);
    EXPECT_EQ(D("-2.5").wrappedInteger(), static_cast<uint64_t>(-3));
}

TEST(Decimal, Overflow32IntegerDigitsWraps) {
    Decimal big = D("99999999999999999999999999999999");
    EXPECT_EQ(big + Decimal(2), Decimal(1));
    EXPECT_EQ(-big - Decimal(2), Decimal(-1));
    EXPECT_EQ(big * Decimal(10), D("99999999999999999999999999999990"));
}

TEST(Decimal, NumberToTextRule) {
    struct Case { const char* v; const char* text; };
    const Case cases[] = {
        {"0", "0"}, {"-0.000", "0"}, {"12", "12"}, {"12.50", "12.5"}, {"-3.25", "-3.25"},
        {"0.001", "0.001"}, {"1000000", "1000000"}, {"123456789012345", "123456789012345"},
        // beyond 15 significant digits: rounded half away from zero at the 15th
        {"1234567890123456", "1234567890123460"}, {"1234567890123455", "1234567890123460"},
        {"-1234567890123455", "-1234567890123460"}, {"0.1234567890123456", "0.123456789012346"},
        {"999999999999999.5", "1000000000000000"}, {"1.00000000000000049", "1"},
        {"0.000000000000000000000000000001", "0.000000000000000000000000000001"},
    };
    for (const auto& c : cases) EXPECT_EQ(D(c.v).toText(), c.text) << c.v;
    EXPECT_EQ((Decimal(1) / Decimal(3)).toText(), "0.333333333333333");
    EXPECT_EQ((Decimal(2) / Decimal(3)).toText(), "0.666666666666667");
}

TEST(Decimal, Doubles) {
    EXPECT_EQ(Decimal::fromDouble(0.1), D("0.1"));
    EXPECT_EQ(Decimal::fromDouble(-2.5), D("-2.5"));
    EXPECT_EQ(Decimal::fromDouble(1e20), D("100000000000000000000"));
    EXPECT_EQ(Decimal::fromDouble(1.0 / 0.0), Decimal());
    EXPECT_DOUBLE_EQ(D("-123.456").toDouble(), -123.456);
    EXPECT_EQ(D("-123.9").toInt64(), -123);
}

TEST(Decimal, FixedText) {
    EXPECT_EQ(D("1234.5").toFixed(2), "1234.50");
    EXPECT_EQ(D("-0.005").toFixed(2), "-0.01");
    EXPECT_EQ(D("-0.004").toFixed(2), "0.00");
    EXPECT_EQ(D("2.5").toFixed(0), "3");
}

}  // namespace
}  // namespace tv
