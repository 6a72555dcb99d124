#pragma once
// The count adjustment: applies one physical count to stock, as one unit of
// work over the thread's tables (no window; the adjustment window and the
// tests call it alike).
//
// For every line whose counted quantity differs from the article's stock on
// hand, the difference goes into the article's receipts total (counted
// above stock) or issues total (counted below), so that the stock becomes
// the counted quantity, and one ledger row is written. Lines are applied in
// the order of the count's key, each against the article as the previous
// line left it: an article counted twice ends at its later line's quantity.
// A line whose article no longer exists is not applied; it is named in the
// result. Either every line is applied or, on any failure, nothing is (its
// message is shown after the rollback).
#include <functional>
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/common/lines.h"
#include "movements/common/unit_of_work.h"
#include "platform/types/decimal.h"

namespace tv::movements::counts {

extern const LineRule kCountLines;

// What the ledger rows of an adjustment say.
inline constexpr const char* kAdjustmentConcept = "AJUSTE POR INVENTARIO FISICO";  // the field keeps 20
inline constexpr const char* kAdjustmentReferencePrefix = "IF";

// The reference of the count's rows: "IF" and the count date's day number.
std::string AdjustmentReference(long date);

// What an article's line does to it.
struct LineAdjustment {
    Decimal in;    // counted above stock: into the receipts total
    Decimal out;   // counted below stock: into the issues total
    bool Changes() const { return !in.isZero() || !out.isZero(); }
};
LineAdjustment AdjustmentFor(const Decimal& stock, const Decimal& counted);

struct AdjustmentResult {
    bool applied = false;       // committed (also when nothing needed a change)
    bool countFound = false;    // a count with that id is stored
    long long lines = 0;        // lines of the count
    long long rows = 0;         // ledger rows written (lines that changed an article)
    std::vector<Decimal> missingArticles;  // articles of lines not applied: no such article (each once)
};

// Called once per line of the count, with how many are done and how many
// there are, while the unit holds the write lock: it must not wait or yield.
using AdjustmentProgress = std::function<void(long long done, long long total)>;

// Applies count `countId` inside the caller's unit.
bool ApplyCount(Posting& p, long long countId, AdjustmentResult& result, const AdjustmentProgress& progress = {});
// The adjustment as one unit of work. A count that is not stored changes
// nothing (applied, countFound false).
AdjustmentResult AdjustInventory(data::ThreadTableSet& tables, long long countId,
                                 const AdjustmentProgress& progress = {});

// The notice of the lines that were not applied ("" when there are none).
std::string MissingArticlesText(const std::vector<Decimal>& articles);
inline constexpr const char* kMissingArticlesCaption = "Artículos no encontrados";

}  // namespace tv::movements::counts
