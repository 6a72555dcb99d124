#pragma once
// In-memory queues: an ordered, indexed sequence of rows (a list's visible
// lines, the find window's columns, the wizard's lists) with positions,
// insertion at a position, deletion, stable sorting on one or more keys and
// finding. Positions are 0-based indexes here; code that follows the
// platform's 1-based "pointer" adds 1 where it shows or stores one.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/expr/order.h"
#include "platform/expr/value_ops.h"
#include "platform/types/record.h"
#include "platform/types/text.h"

namespace tv::expr {

template <class Row>
class Queue {
public:
    // <0, 0, >0 like compareValues.
    using Compare = std::function<int(const Row&, const Row&)>;
    struct SortKey {
        Compare compare;
        bool descending = false;
    };

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    void clear() { rows_.clear(); }

    const Row& at(std::size_t pos) const { return rows_.at(pos); }
    Row& at(std::size_t pos) { return rows_.at(pos); }
    const Row& operator[](std::size_t pos) const { return rows_[pos]; }
    Row& operator[](std::size_t pos) { return rows_[pos]; }

    // Adds at the end; returns the new row's position.
    std::size_t append(Row row) {
        rows_.push_back(std::move(row));
        return rows_.size() - 1;
    }
    // Inserts before `pos` (at the end when pos >= size()); returns where it went.
    std::size_t insert(std::size_t pos, Row row) {
        pos = std::min(pos, rows_.size());
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(row));
        return pos;
    }
    // False (and nothing changes) for a position past the end.
    bool erase(std::size_t pos) {
        if (pos >= rows_.size()) return false;
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(pos));
        return true;
    }
    bool replace(std::size_t pos, Row row) {
        if (pos >= rows_.size()) return false;
        rows_[pos] = std::move(row);
        return true;
    }

    // Stable: rows equal on every key keep their order.
    void sort(const std::vector<SortKey>& keys) {
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&](const Row& a, const Row& b) { return compareRows(keys, a, b) < 0; });
    }

    // Inserts in a queue sorted by `keys`, after the rows equal to it.
    std::size_t insertSorted(const std::vector<SortKey>& keys, Row row) {
        auto it = std::upper_bound(rows_.begin(), rows_.end(), row, [&](const Row& a, const Row& b) {
            return compareRows(keys, a, b) < 0;
        });
        auto pos = static_cast<std::size_t>(it - rows_.begin());
        rows_.insert(it, std::move(row));
        return pos;
    }

    // In a queue sorted by `keys`: the first row not before `probe` (may be
    // size()); `exact` says whether that row equals it on every key.
    std::size_t lowerBound(const std::vector<SortKey>& keys, const Row& probe, bool* exact = nullptr) const {
        auto it = std::lower_bound(rows_.begin(), rows_.end(), probe, [&](const Row& a, const Row& b) {
            return compareRows(keys, a, b) < 0;
        });
        if (exact) *exact = it != rows_.end() && compareRows(keys, *it, probe) == 0;
        return static_cast<std::size_t>(it - rows_.begin());
    }

    // The first position at or after `from` whose row satisfies `pred`.
    template <class Pred>
    std::optional<std::size_t> find(Pred pred, std::size_t from = 0) const {
        for (std::size_t i = from; i < rows_.size(); ++i)
            if (pred(rows_[i])) return i;
        return std::nullopt;
    }

    auto begin() { return rows_.begin(); }
    auto end() { return rows_.end(); }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }

    static int compareRows(const std::vector<SortKey>& keys, const Row& a, const Row& b) {
        for (const auto& k : keys) {
            int c = k.compare(a, b);
            if (c != 0) return k.descending ? -c : c;
        }
        return 0;
    }

private:
    std::vector<Row> rows_;
};

// Rows of values, one per column: the usual shape of a list's lines.
using ValueRow = std::vector<Value>;
using ValueQueue = Queue<ValueRow>;

// Compares two values as the expression language does; `upper` compares
// texts without regard to letter case (through UPPER).
inline int compareValuesAs(const Value& a, const Value& b, bool upper) {
    if (upper && a.isText() && b.isText()) {
        int c = compareNoCase(*a.textPtr(), *b.textPtr());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return compareValues(a, b);
}

// A sort key on one column of a ValueRow (a missing column counts as 0).
inline ValueQueue::SortKey valueColumn(std::size_t column, bool descending = false, bool upper = false) {
    return ValueQueue::SortKey{[column, upper](const ValueRow& a, const ValueRow& b) {
                                   static const Value kZero;
                                   const Value& x = column < a.size() ? a[column] : kZero;
                                   const Value& y = column < b.size() ? b[column] : kZero;
                                   return compareValuesAs(x, y, upper);
                               },
                               descending};
}

// The sort keys of an order text over named columns; nullopt when a name is
// not one of the columns.
inline std::optional<std::vector<ValueQueue::SortKey>> keysFromOrder(
    const std::vector<OrderItem>& order, const std::function<std::optional<std::size_t>(std::string_view)>& columnOf) {
    std::vector<ValueQueue::SortKey> keys;
    for (const auto& item : order) {
        std::optional<std::size_t> col = columnOf(item.name);
        if (!col) return std::nullopt;
        keys.push_back(valueColumn(*col, item.descending, item.upper));
    }
    return keys;
}

}  // namespace tv::expr
