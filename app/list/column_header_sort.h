#pragma once
// Sorting a list by clicking its column headers. The header sort is an order
// text put before the key of the current tab (ViewCursor::setStartOrder), so
// records equal in the clicked columns keep the tab's order.
//
// Clicks:
//   plain        the column alone, ascending; again on the same column
//                (when it leads the sort) turns its direction round
//   with Shift   adds the column after the others, ascending; on a column
//                already in the sort, turns its direction round
//   with Ctrl    takes the column out of the sort (the last one out clears it)
// A no-case column sorts through UPPER(). Nothing is kept between runs.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expr/order.h"

namespace tv::list {

struct SortColumn {
    std::string name;       // the field the column shows, e.g. "ART:Descripcion"
    bool noCase = false;    // sort through UPPER()
    bool sortable = true;   // computed columns the view cannot order by
};

enum class HeaderClick { Plain, Shift, Ctrl };

class ColumnHeaderSort {
public:
    ColumnHeaderSort() = default;
    explicit ColumnHeaderSort(std::vector<SortColumn> columns) : columns_(std::move(columns)) {}

    // The new header-sort order text ("" when the click cleared it), or
    // nullopt when the click changes nothing (not a sortable column, Ctrl on
    // a column that is not in the sort). The list hands a changed text to
    // OnHeaderSorted.
    std::optional<std::string> onHeaderClick(int column, HeaderClick how);
    // Forgets the sort (a tab change). True when there was one.
    bool clearColumnSort();

    bool active() const { return !sort_.empty(); }
    std::string orderText() const;
    // The column's direction for drawing its arrow: nullopt when it is not
    // in the sort, true when descending.
    std::optional<bool> descending(int column) const;
    // Its place in the sort (0 first), -1 when not in it.
    int rank(int column) const;

private:
    struct Entry {
        int column;
        bool descending;
    };
    std::vector<SortColumn> columns_;
    std::vector<Entry> sort_;
};

// What a list does with the text OnHeaderSorted receives.
enum class HeaderSortReaction {
    RestoreLocatorAndResetOrder,  // "": the tab's order again, locator as saved
    ApplyStartOrder               // the text before the tab's key, locator rebuilt
};
HeaderSortReaction reactToHeaderSort(std::string_view orderText);

// The whole order the view then follows: the header-sort text, then the
// tab's key components not already sorted by (names compared without regard
// to case). Malformed texts give nullopt.
std::optional<std::string> combineWithKeyOrder(std::string_view headerOrder, std::string_view keyOrder);

// BrowseList.SelectSortOrder's bookkeeping: remembers the order last chosen
// and says when the header sort must be cleared (the order changed).
class SortOrderTracker {
public:
    bool select(int order) {
        bool changed = order != last_;
        last_ = order;
        return changed;
    }
    int current() const { return last_; }

private:
    int last_ = 0;
};

// The order a tab selects, as the lists declare them: tab k >= 2 selects the
// order declared k-1st, the first tab (or none, 0) the default one declared
// last. A list with one order always uses order 1.
int orderForTab(int tab, int orderCount);

}  // namespace tv::list
