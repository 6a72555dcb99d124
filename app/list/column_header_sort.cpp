#include "app/list/column_header_sort.h"

#include <algorithm>

#include "platform/types/text.h"

namespace tv::list {

std::optional<std::string> ColumnHeaderSort::onHeaderClick(int column, HeaderClick how) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return std::nullopt;
    if (!columns_[static_cast<std::size_t>(column)].sortable) return std::nullopt;
    auto it = std::find_if(sort_.begin(), sort_.end(), [&](const Entry& e) { return e.column == column; });
    switch (how) {
    case HeaderClick::Plain:
        if (it == sort_.begin() && it != sort_.end()) {
            bool desc = !it->descending;
            sort_ = {{column, desc}};
        } else {
            sort_ = {{column, false}};
        }
        break;
    case HeaderClick::Shift:
        if (it != sort_.end()) it->descending = !it->descending;
        else sort_.push_back({column, false});
        break;
    case HeaderClick::Ctrl:
        if (it == sort_.end()) return std::nullopt;
        sort_.erase(it);
        break;
    }
    return orderText();
}

bool ColumnHeaderSort::clearColumnSort() {
    bool had = !sort_.empty();
    sort_.clear();
    return had;
}

std::string ColumnHeaderSort::orderText() const {
    std::vector<expr::OrderItem> items;
    for (const Entry& e : sort_) {
        const SortColumn& c = columns_[static_cast<std::size_t>(e.column)];
        items.push_back({c.name, e.descending, c.noCase});
    }
    return expr::formatOrder(items);
}

std::optional<bool> ColumnHeaderSort::descending(int column) const {
    for (const Entry& e : sort_)
        if (e.column == column) return e.descending;
    return std::nullopt;
}

int ColumnHeaderSort::rank(int column) const {
    for (std::size_t k = 0; k < sort_.size(); ++k)
        if (sort_[k].column == column) return static_cast<int>(k);
    return -1;
}

HeaderSortReaction reactToHeaderSort(std::string_view orderText) {
    return trim(orderText).empty() ? HeaderSortReaction::RestoreLocatorAndResetOrder
                                   : HeaderSortReaction::ApplyStartOrder;
}

std::optional<std::string> combineWithKeyOrder(std::string_view headerOrder, std::string_view keyOrder) {
    auto head = expr::parseOrder(headerOrder);
    auto key = expr::parseOrder(keyOrder);
    if (!head || !key) return std::nullopt;
    std::vector<expr::OrderItem> all = *head;
    for (const auto& k : *key) {
        bool seen = std::any_of(head->begin(), head->end(),
                                [&](const expr::OrderItem& h) { return toUpper(h.name) == toUpper(k.name); });
        if (!seen) all.push_back(k);
    }
    return expr::formatOrder(all);
}

int orderForTab(int tab, int orderCount) {
    if (orderCount <= 1) return 1;
    if (tab >= 2 && tab <= orderCount) return tab - 1;
    return orderCount;
}

}  // namespace tv::list
