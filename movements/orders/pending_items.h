#pragma once
// The articles ordered and not yet received: the rows of the pending items
// query, read without any window through the same view the query lists.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::movements::orders {

// The query's standing filter.
inline constexpr const char* kPendingFilter = "(ART:Pedido > ART:Recibido)";

// ART:Pedido - ART:Recibido of an article record, rounded to 2 places.
Decimal PendingQuantity(const Record& articulo);

struct PendingItem {
    long long noArt = 0;
    std::string description;   // blanks cut
    std::string unit;          // UNI:UM, blank when the unit is not stored
    Decimal ordered, received, pending;
    bool operator==(const PendingItem&) const = default;
};
// Every pending article in article-number order (the thread's buffers are
// left as they were).
std::vector<PendingItem> PendingItems(data::ThreadTableSet& tables);

}  // namespace tv::movements::orders
