#pragma once
// The issue posting: plain functions over the thread's tables, testable
// without any window. Completing an issue raises every line's article
// issued total and writes its ledger row, advances the folio and stores the
// header, all as one unit of work; no article is left with less than
// nothing on hand.
#include <optional>
#include <string>

#include "data/thread_table_set.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "movements/common/unit_of_work.h"
#include "platform/types/decimal.h"

namespace tv::movements::issues {

extern const LineRule kIssueLines;
extern const FolioRule kIssueFolio;

// What an issue asks of one article beyond its stock.
struct ShortStock {
    Decimal article;
    Decimal onHand;   // the stock as stored
    Decimal wanted;   // every line of the article in the issue
};
inline constexpr const char* kShortStockText = "Existencia insuficiente";
// The refusal's text at completion, naming the article.
std::string ShortStockText(const ShortStock& s);

// The line form's check of the line in the thread's DetSalidas buffer:
// its quantity plus the other stored lines of the same article in the same
// issue (the line's own stored quantity left out, so a change counts once)
// against the article's stock read afresh. nullopt: there is enough.
std::optional<ShortStock> CheckLineStock(data::ThreadTableSet& tables);

// The posting of the issue held in the thread's Salidas buffer, inside the
// caller's unit: the folio checked (and the lines under it, when `own` says
// which are this form's), every article's total against its stock, every
// line, the folio advanced, the header stored.
bool PostIssue(Posting& p, const LineTracker* own);
// The completion: the posting as one unit of work; true when it is stored.
bool CompleteIssue(data::ThreadTableSet& tables, const LineTracker* own = nullptr);

}  // namespace tv::movements::issues
