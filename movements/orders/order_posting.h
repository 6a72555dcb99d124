#pragma once
// The purchase-order posting: plain functions over the thread's tables,
// testable without any window. Completing a new order raises the ordered
// quantity (ART:Pedido) of every line's article, sets the order's totals,
// advances the order folio and stores the header, all as one unit of work.
#include <string>
#include <string_view>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "movements/common/unit_of_work.h"
#include "platform/types/decimal.h"
#include "platform/types/record.h"

namespace tv::movements::orders {

extern const LineRule kOrderLines;
extern const FolioRule kOrderFolio;

// The delivery date: the order date plus the term in days; blank while the
// order date is blank (or when the sum is no calendar date).
long DeliveryDate(long orderDate, const Decimal& termDays);

// The supplier's city line of the printed order (GLO:CIUDADPROVEEDOR):
// city, state and country with their trailing blanks cut, joined by one
// blank each, cut to 40 characters.
std::string SupplierCityLine(std::string_view city, std::string_view state, std::string_view country);

// The percentage received: 100 / ordered x received, a whole number rounded
// half away from zero; 0 when nothing was ordered.
Decimal ReceivedPercent(const Decimal& ordered, const Decimal& received);

// What the lines of an order add up to.
struct OrderTotals {
    Decimal quantity;   // the sum of DOR:Cantidad
    Decimal amount;     // the sum of the lines' amounts (each rounded to 2 places)
};
OrderTotals TotalsOf(const std::vector<Record>& lines);
// The totals of the lines stored under `folio` (a form's running totals).
OrderTotals StoredTotals(data::ThreadTableSet& tables, long long folio);

// In a unit: each line's quantity (greater than zero, at a cost not
// negative, of a stored article) is added to its article's ART:Pedido, one
// article write per line. Refuses, naming the article, otherwise.
bool RaiseOrdered(Posting& p, const std::vector<Record>& lines);

// The posting of the new order held in the thread's Ordenes buffer, inside
// the caller's unit: the folio checked (and the lines under it, when `own`
// says which are this form's), every line, the totals, the folio advanced,
// the header stored.
bool PostOrder(Posting& p, const LineTracker* own);
// The completion: the posting as one unit of work; true when it is stored.
bool CompleteOrder(data::ThreadTableSet& tables, const LineTracker* own = nullptr);

}  // namespace tv::movements::orders
