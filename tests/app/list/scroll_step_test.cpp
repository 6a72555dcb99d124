#include "app/list/scroll_step.h"

#include <gtest/gtest.h>

#include "platform/types/text.h"

namespace tv::list {
namespace {

using Kind = ThumbTarget::Kind;

TEST(ScrollStep, EndsGoToFirstAndLastRecord) {
    TextScrollStep text;
    IntegerScrollStep whole;
    whole.setLimits(1, 1000);
    FloatScrollStep dec(2);
    dec.setLimits(Decimal(0), Decimal(50));
    for (int t : {-5, 0}) {
        EXPECT_EQ(text.valueAt(t).kind, Kind::First);
        EXPECT_EQ(whole.valueAt(t).kind, Kind::First);
        EXPECT_EQ(dec.valueAt(t).kind, Kind::First);
    }
    for (int t : {kThumbRange, kThumbRange + 3}) {
        EXPECT_EQ(text.valueAt(t).kind, Kind::Last);
        EXPECT_EQ(whole.valueAt(t).kind, Kind::Last);
        EXPECT_EQ(dec.valueAt(t).kind, Kind::Last);
    }
    // Descending orders too: the ends are records, not values.
    TextScrollStep down(true);
    EXPECT_EQ(down.valueAt(0).kind, Kind::First);
    EXPECT_EQ(down.valueAt(kThumbRange).kind, Kind::Last);
}

TEST(ScrollStep, IntegerMapsBothWays) {
    struct Case {
        long long low, high;
        bool descending;
        int thumb;
        long long value;
    };
    const Case cases[] = {
        {1, 1001, false, 50, 501},  {1, 1001, false, 1, 11},   {1, 1001, false, 99, 991},
        {1, 1001, true, 50, 501},   {1, 1001, true, 1, 991},   {1, 1001, true, 99, 11},
        {-500, 500, false, 25, -250}, {0, 3, false, 50, 2},     // rounded half away from zero
    };
    for (const auto& c : cases) {
        IntegerScrollStep s(c.descending);
        s.setLimits(c.low, c.high);
        ThumbTarget t = s.valueAt(c.thumb);
        ASSERT_EQ(t.kind, Kind::Value);
        EXPECT_EQ(t.value.asNumber(), Decimal(c.value)) << c.thumb;
        if (c.high - c.low >= kThumbRange) {
            EXPECT_EQ(s.thumbFor(c.value), c.thumb);
        }
    }
    IntegerScrollStep s;
    s.setLimits(1, 1001);
    EXPECT_EQ(s.thumbFor(1), 0);
    EXPECT_EQ(s.thumbFor(1001), kThumbRange);
    EXPECT_EQ(s.thumbFor(-7), 0);             // outside the limits: clamped
    EXPECT_EQ(s.thumbFor(99999), kThumbRange);
    IntegerScrollStep down(true);
    down.setLimits(1, 1001);
    EXPECT_EQ(down.thumbFor(1001), 0);
    EXPECT_EQ(down.thumbFor(1), kThumbRange);

    // One record (or none): every value sits at the top, nothing divides by zero.
    IntegerScrollStep one;
    one.setLimits(7, 7);
    EXPECT_EQ(one.thumbFor(7), 0);
    EXPECT_EQ(one.valueAt(50).value.asNumber(), Decimal(7));
    // Limits given the wrong way round are put right.
    IntegerScrollStep swapped;
    swapped.setLimits(1001, 1);
    EXPECT_EQ(swapped.thumbFor(501), 50);
}

TEST(ScrollStep, FloatKeepsItsPlaces) {
    FloatScrollStep s(2);
    s.setLimits(Decimal::fromScaled(-1000, 2), Decimal::fromScaled(2000, 2));  // -10.00 .. 20.00
    EXPECT_EQ(s.valueAt(50).value.asNumber(), Decimal(5));
    EXPECT_EQ(s.valueAt(1).value.asNumber(), Decimal::fromScaled(-970, 2));
    EXPECT_EQ(s.valueAt(33).value.asNumber(), Decimal::fromScaled(-10, 2));  // -0.10
    EXPECT_EQ(s.thumbFor(Decimal(5)), 50);
    EXPECT_EQ(s.thumbFor(Decimal::fromScaled(-970, 2)), 1);
    FloatScrollStep fine(3);
    fine.setLimits(Decimal(0), Decimal(1));
    EXPECT_EQ(fine.valueAt(33).value.asNumber(), Decimal::fromScaled(330, 3));
}

TEST(ScrollStep, TextFollowsTheKeyOrderBothWays) {
    TextScrollStep s;
    std::string previous;
    for (int t = 1; t < kThumbRange; ++t) {
        ThumbTarget target = s.valueAt(t);
        ASSERT_EQ(target.kind, Kind::Value);
        std::string v = target.value.asText();
        // Dragging down never moves up the key order...
        EXPECT_GE(compareText(v, previous), 0) << t;
        previous = v;
        // ...and the thumb drawn for the value is where it was dragged.
        EXPECT_NEAR(s.thumbFor(v), t, 1) << t << " " << v;
    }
    // Middle of the alphabet in the middle of the bar; the order of names.
    EXPECT_LT(s.thumbFor("ABRAZADERA"), s.thumbFor("CLAVO"));
    EXPECT_LT(s.thumbFor("CLAVO"), s.thumbFor("MARTILLO"));
    EXPECT_LT(s.thumbFor("MARTILLO"), s.thumbFor("ZAPATA"));
    EXPECT_GT(s.thumbFor("MARTILLO"), 30);
    EXPECT_LT(s.thumbFor("MARTILLO"), 70);
    EXPECT_EQ(s.thumbFor(""), 0);
    EXPECT_EQ(s.thumbFor("   "), 0);
    // No-case: the letter case does not move the thumb.
    EXPECT_EQ(s.thumbFor("martillo"), s.thumbFor("MARTILLO"));
    // Accented capitals sort after "Z" byte by byte, and so does the thumb.
    EXPECT_GE(s.thumbFor("Ñandú"), s.thumbFor("ZAPATA"));
    EXPECT_LE(s.thumbFor("Ñandú"), kThumbRange);
}

TEST(ScrollStep, TextDescendingRunsFromTheEnd) {
    TextScrollStep down(true);
    ThumbTarget near = down.valueAt(5);
    ThumbTarget far = down.valueAt(95);
    ASSERT_EQ(near.kind, Kind::Value);
    std::string n = near.value.asText(), f = far.value.asText();
    // High values near the top; every value ends high so that the reposition
    // lands before all names with that start.
    EXPECT_GT(compareText(n, f), 0);
    EXPECT_EQ(n.back(), kHighChar);
    EXPECT_NEAR(down.thumbFor(n.substr(0, n.size() - 1)), 5, 1);
    EXPECT_LT(down.thumbFor("ZAPATA"), down.thumbFor("ABRAZADERA"));
}

}  // namespace
}  // namespace tv::list
