#include "app/list/column_header_sort.h"

#include <gtest/gtest.h>

namespace tv::list {
namespace {

ColumnHeaderSort articleColumns() {
    return ColumnHeaderSort({{"ART:NoArt", false, true},
                             {"ART:Descripcion", true, true},
                             {"ART:Modelo", true, true},
                             {"loc:Importe", false, false}});
}

TEST(ColumnHeaderSort, ClicksGiveOrderTexts) {
    struct Step {
        int column;
        HeaderClick how;
        const char* text;  // nullptr: the click changes nothing
    };
    const Step steps[] = {
        {1, HeaderClick::Plain, "+UPPER(ART:Descripcion)"},
        {1, HeaderClick::Plain, "-UPPER(ART:Descripcion)"},  // again: turned round
        {1, HeaderClick::Plain, "+UPPER(ART:Descripcion)"},
        {0, HeaderClick::Shift, "+UPPER(ART:Descripcion),+ART:NoArt"},
        {0, HeaderClick::Shift, "+UPPER(ART:Descripcion),-ART:NoArt"},
        {2, HeaderClick::Shift, "+UPPER(ART:Descripcion),-ART:NoArt,+UPPER(ART:Modelo)"},
        {0, HeaderClick::Plain, "+ART:NoArt"},  // a plain click on a follower: that column alone
        {0, HeaderClick::Plain, "-ART:NoArt"},
        {3, HeaderClick::Plain, nullptr},        // computed column: not sortable
        {2, HeaderClick::Ctrl, nullptr},         // not in the sort
        {7, HeaderClick::Plain, nullptr},        // no such column
        {2, HeaderClick::Shift, "-ART:NoArt,+UPPER(ART:Modelo)"},
        {0, HeaderClick::Ctrl, "+UPPER(ART:Modelo)"},
        {2, HeaderClick::Ctrl, ""},              // the last one out: cleared
    };
    ColumnHeaderSort sort = articleColumns();
    for (const auto& s : steps) {
        auto text = sort.onHeaderClick(s.column, s.how);
        if (!s.text) {
            EXPECT_FALSE(text) << s.column;
        } else {
            ASSERT_TRUE(text) << s.column;
            EXPECT_EQ(*text, s.text);
            EXPECT_EQ(sort.orderText(), s.text);
            // Every text is one the order reader takes back.
            EXPECT_TRUE(expr::parseOrder(*text));
        }
    }
    EXPECT_FALSE(sort.active());
}

TEST(ColumnHeaderSort, ArrowsAndTabSwitchClears) {
    ColumnHeaderSort sort = articleColumns();
    sort.onHeaderClick(2, HeaderClick::Plain);
    sort.onHeaderClick(2, HeaderClick::Plain);
    sort.onHeaderClick(0, HeaderClick::Shift);
    EXPECT_EQ(sort.descending(2), std::optional<bool>(true));
    EXPECT_EQ(sort.descending(0), std::optional<bool>(false));
    EXPECT_EQ(sort.descending(1), std::nullopt);
    EXPECT_EQ(sort.rank(0), 1);
    EXPECT_EQ(sort.rank(1), -1);

    // Header sort, then a tab switch: the new order clears the header sort.
    SortOrderTracker tracker;
    EXPECT_TRUE(tracker.select(2));  // the first display: order 2 chosen
    sort.clearColumnSort();
    sort.onHeaderClick(1, HeaderClick::Plain);
    EXPECT_FALSE(tracker.select(2));  // same tab again: the header sort stays
    EXPECT_TRUE(sort.active());
    ASSERT_TRUE(tracker.select(1));   // another tab
    EXPECT_TRUE(sort.clearColumnSort());
    EXPECT_EQ(sort.orderText(), "");
    EXPECT_FALSE(sort.clearColumnSort());
    EXPECT_EQ(tracker.current(), 1);
}

TEST(ColumnHeaderSort, ReactionAndCombinationWithTheTabKey) {
    EXPECT_EQ(reactToHeaderSort(""), HeaderSortReaction::RestoreLocatorAndResetOrder);
    EXPECT_EQ(reactToHeaderSort("  "), HeaderSortReaction::RestoreLocatorAndResetOrder);
    EXPECT_EQ(reactToHeaderSort("-ART:NoArt"), HeaderSortReaction::ApplyStartOrder);

    struct Case {
        const char* header;
        const char* key;
        const char* combined;
    };
    const Case cases[] = {
        {"-UPPER(ART:Modelo)", "ART:NoArt", "-UPPER(ART:Modelo),+ART:NoArt"},
        {"-art:noart", "ART:NoArt", "-art:noart"},  // the key's column already sorted by
        {"", "UPPER(CAR:Descripcion),CAR:Codigo", "+UPPER(CAR:Descripcion),+CAR:Codigo"},
        {"+UPPER(CAR:Descripcion)", "UPPER(CAR:Descripcion),CAR:Codigo", "+UPPER(CAR:Descripcion),+CAR:Codigo"},
    };
    for (const auto& c : cases) {
        auto combined = combineWithKeyOrder(c.header, c.key);
        ASSERT_TRUE(combined) << c.header;
        EXPECT_EQ(*combined, c.combined);
    }
    EXPECT_FALSE(combineWithKeyOrder("UPPER(ART:Modelo", "ART:NoArt"));
}

TEST(ColumnHeaderSort, TabsSelectOrders) {
    // Two tabs, the first showing the order declared last (categories).
    EXPECT_EQ(orderForTab(1, 2), 2);
    EXPECT_EQ(orderForTab(2, 2), 1);
    EXPECT_EQ(orderForTab(0, 2), 2);
    EXPECT_EQ(orderForTab(3, 3), 2);
    EXPECT_EQ(orderForTab(9, 3), 3);
    EXPECT_EQ(orderForTab(2, 1), 1);  // one order: always 1
}

}  // namespace
}  // namespace tv::list
