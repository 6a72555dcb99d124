// Adjusting stock from a count of 100,000 lines, beside the bare SQLite C
// API doing the same work.
//
// Both sides store the count through the table layer (not timed). The
// program adjusts as the adjustment window does (with its progress call);
// the bare side, in one transaction: reads the count's header and its lines
// by the count's key, then per line reads the article by number and, when
// the count differs from its stock, rewrites its receipts or issues total
// and adds a ledger row numbered after the highest; then notes the numbers
// given. 1,000 articles are each counted 100 times, alternating between two
// quantities, so that every line moves its article and writes a row.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/posting/posting_bench_support.h"
#include "data/transaction.h"
#include "movements/counts/count_adjustment.h"

namespace {

using namespace tv;
using bench::BareSqlite;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kArticles = 1000;
constexpr int kLines = 100000;
constexpr long kDate = 76064;

// The article and quantity of line i of a count.
long long LineArticle(int i) { return i % kArticles + 1; }
long long LineCounted(int i) { return 1 + (i / kArticles) % 2; }

// What both sides set up: the articles, and before each adjustment its count.
class CountDesk : public bench::Desk {
public:
    explicit CountDesk(const fs::path& file) : Desk(file) { Articles(kArticles, 100, 5); }
    void Prepare(long long id) {
        data::DataTransaction tx(Tables(), std::chrono::seconds(30));
        Put(TableId::Fisico, {{"FIS:Descripcion", Value("CONTEO")}, {"FIS:Fecha", Value(kDate)}});
        for (int i = 0; i < kLines; ++i)
            Put(TableId::DetFisico, {{"DFI:INVENTARIO", Value(id)}, {"DFI:CodigoArticulo", Value(LineArticle(i))},
                                     {"DFI:Existencia", Value(LineCounted(i))}});
        tx.commit();
        Settle();
    }
};

// The program: the adjustment as its window runs it.
class OurCounts : public CountDesk {
public:
    explicit OurCounts(const fs::path& file) : CountDesk(file) {}
    bool Work(long long id) {
        // The window's progress: it looks at the clock at every line and
        // repaints now and then (here nothing is painted).
        std::chrono::steady_clock::time_point last{};
        long long shown = 0;
        const movements::counts::AdjustmentResult r =
            movements::counts::AdjustInventory(Tables(), id, [&](long long done, long long total) {
                const auto now = std::chrono::steady_clock::now();
                if (done != total && now - last < std::chrono::milliseconds(40)) return;
                last = now;
                shown = done;
            });
        return r.applied && r.rows == kLines && shown == kLines;
    }
};

class BareCounts : public CountDesk {
public:
    explicit BareCounts(const fs::path& file)
        : CountDesk(file),
          db_(Connection()),
          article_(db_),
          ledger_(db_),
          header_(db_.Prepare("SELECT Fecha FROM Fisico WHERE ID=?1 AND (ID<>0)")),
          lineRows_(db_.Prepare("SELECT CodigoArticulo, Existencia FROM DetFisico WHERE INVENTARIO=?1 ORDER BY tv_row")) {}

    bool Work(long long id) {
        if (!db_.Begin()) return false;
        sqlite3_bind_int64(header_, 1, id);
        if (sqlite3_step(header_) != SQLITE_ROW) {
            sqlite3_reset(header_);
            return db_.Rollback();
        }
        const int64_t date = sqlite3_column_int64(header_, 0);
        sqlite3_reset(header_);
        const std::string document = std::to_string(id);
        const std::string reference = "IF" + std::to_string(date);
        // The ledger's concept as its field keeps it (20 characters).
        const std::string concepto = std::string(movements::counts::kAdjustmentConcept).substr(0, 20);
        struct Line {
            int64_t article, counted;
        };
        std::vector<Line> lines;
        sqlite3_bind_int64(lineRows_, 1, id);
        while (sqlite3_step(lineRows_) == SQLITE_ROW)
            lines.push_back({sqlite3_column_int64(lineRows_, 0), bench::ToCents(sqlite3_column_double(lineRows_, 1))});
        sqlite3_reset(lineRows_);
        ledger_.Begin();
        for (const Line& l : lines) {
            if (!article_.Read(l.article)) continue;   // deleted since it was counted: not applied
            const int64_t stock = article_.Stock();
            if (l.counted == stock) continue;
            const int64_t in = l.counted > stock ? l.counted - stock : 0, out = l.counted < stock ? stock - l.counted : 0;
            // The ledger values the movement at the article's average cost.
            if (!(in > 0 ? article_.SetReceipts(article_.receipts + in) : article_.SetIssues(article_.issues + out)) ||
                !ledger_.Add({l.article, date, document, concepto, reference, in, out, l.counted, article_.average,
                              article_.average}))
                return db_.Rollback();
        }
        if (ledger_.Added() != kLines) return db_.Rollback();
        ledger_.End();
        return db_.Commit();
    }

private:
    BareSqlite db_;
    bench::BareArticle article_;
    bench::BareLedger ledger_;
    sqlite3_stmt *header_, *lineRows_;
};

[[maybe_unused]] const bool registered = bench::RegisterPair<OurCounts, BareCounts>(
    "Count100000Lines", "count adjustment of 100,000 lines", 1, kLines, 3);

}  // namespace
