#pragma once
// The receipt posting: plain functions over the thread's tables, testable
// without any window. Completing a receipt posts every line (average cost,
// receipts total, ledger row, supplier price row), fulfils the order it
// names, advances the folio and stores the header, all as one unit of work.
#include <optional>
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "movements/common/unit_of_work.h"
#include "platform/types/decimal.h"

namespace tv::movements::receipts {

extern const LineRule kReceiptLines;
extern const FolioRule kReceiptFolio;

// A line's average cost, with its working values (2 places each, of any size).
struct AverageCost {
    Decimal stockValue;   // stock before the line x average
    Decimal lineValue;    // quantity x cost
    Decimal newStock;     // stock before the line + quantity
    Decimal newAverage;
};
// The article's average after a line of `quantity` at `cost`, with `stock`
// on hand before it at `average`; nullopt for a line without cost (the
// average stays). With nothing (or less) on hand the line's cost is the
// new average.
std::optional<AverageCost> NewAverageCost(const Decimal& stock, const Decimal& average, const Decimal& quantity,
                                          const Decimal& cost);

// One order line of the receipt line's article: ordered and received so far.
struct OrderLineState {
    Decimal ordered;
    Decimal received;
};
// What a receipt line of `quantity` gives each order line of its article, in
// their order: each takes what it still lacks, the last takes the rest.
std::vector<Decimal> DistributeToOrderLines(const std::vector<OrderLineState>& lines, const Decimal& quantity);
// 100 x received / ordered, a whole percent rounded half away from zero (0
// when nothing was ordered).
Decimal FulfilledPercent(const Decimal& ordered, const Decimal& received);

// The posting of the receipt held in the thread's Entradas buffer, inside
// the caller's unit: the folio checked (and the lines under it, when `own`
// says which are this form's), every line, the order, the folio advanced,
// the header stored.
bool PostReceipt(Posting& p, const LineTracker* own);
// The completion: the posting as one unit of work; true when it is stored.
bool CompleteReceipt(data::ThreadTableSet& tables, const LineTracker* own = nullptr);

// What "Llamar datos" did with the order named by the receipt.
struct CalledUp {
    bool orderFound = true;         // no order has the folio: nothing done
    int copied = 0;                 // lines copied
    std::vector<Decimal> missing;   // pending lines whose article no longer exists (not copied)
};

// "Llamar datos": the lines of the order named by the receipt in the
// Entradas buffer that still have a quantity to receive become lines of the
// receipt (quantity pending, the order's cost, the article's bar code),
// stored at once in one unit and held by `own`. A pending line whose article
// no longer exists is not copied (the completion would refuse it): it is
// named in `missing`. When a line was copied the receipt takes the order's
// supplier. nullopt when no order is named, or the copy failed after its
// message.
std::optional<CalledUp> CallUpOrder(data::ThreadTableSet& tables, LineTracker& own);

// What "Llamar datos" tells the user about order `folio`: that it is not
// stored, that it has nothing to receive, which articles were left out;
// nullopt when every pending line was copied.
std::optional<std::string> CallUpNotice(const CalledUp& c, long long folio);
inline constexpr const char* kCallUpCaption = "Llamar datos";

}  // namespace tv::movements::receipts
