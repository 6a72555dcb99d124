#pragma once
// The period closing, without its window: empties the stock ledger, deletes
// every receipt and every issue with their lines and every purchase order
// that is completely received with its lines, then carries every article's
// stock forward into its receipts total and one opening ledger row dated
// `today` ("INVENTARIO INICIAL").
//
// The whole closing is one unit of work holding the database's write lock
// from the first delete to the commit: postings of other threads and
// stations wait for it and none is lost; a failure rolls everything back and
// says so; a crash or power cut leaves the period as it was before.
#include <cstdint>

#include "data/thread_table_set.h"

namespace tv::reports {

enum class ClosingPass { Ledger, Receipts, Issues, Orders, Articles };

// Whoever runs the closing (its window, a test) follows it through this.
// Both are called while the write lock is held: they must not wait for
// other logical threads (see ui::repaintWhileBusy for repainting).
class ClosingProgress {
public:
    virtual ~ClosingProgress() = default;
    // A pass begins; its table holds `total` records.
    virtual void passStarted(ClosingPass, int64_t /*total*/) {}
    // The pass has read `done` records so far (the ledger's are deleted at
    // once, so its pass reports them all together).
    virtual void advanced(ClosingPass, int64_t /*done*/) {}
};

struct ClosingResult {
    bool done = false;  // committed; otherwise nothing was changed
    int64_t ledgerRowsDeleted = 0;
    int64_t receiptsDeleted = 0;
    int64_t issuesDeleted = 0;
    int64_t ordersDeleted = 0;
    int64_t ordersKept = 0;
    int64_t articlesCarried = 0;  // each with its opening ledger row
};

// How long the closing waits for another station's unit of work to end
// before it gives up (message 24).
inline constexpr int kClosingLockWaitMs = 10000;

// Runs the closing on the set's logical thread, as one unit of work of the
// documents' kind (movements/common): each record read is a step of it
// ("ledger", "receipt" n, "issue" n, "order" n, "article" n). A failure is
// shown after the rollback: what failed, then "El cierre de período no se
// realizó...". A pending auto-number reservation (an article another station
// is still typing in) is not an article yet and is left alone.
ClosingResult RunClosing(long today, ClosingProgress* progress = nullptr,
                         data::ThreadTableSet& set = data::tables());

// The closing's own message when it was not done.
void ShowClosingNotDone();

}  // namespace tv::reports
