#pragma once
// What the posting benchmarks share: each side's database made and filled
// through the table layer as the program makes and fills it, and a new
// document made as its windows make it. Both sides of a pair make the same
// set-up this way (not timed); only their work differs.
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "data/thread_table_set.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "platform/storage/storage.h"
#include "platform/types/record.h"
#include "bench/support/bare_sqlite.h"
#include "bench/support/paired_run.h"

namespace tv::bench {

// A database of the program's own schema (its tables, keys and rules made
// as at the program's start), with its connection and the thread's tables.
class Desk {
public:
    explicit Desk(const std::filesystem::path& file);
    // The same on a server (its schema named in the connection string).
    explicit Desk(const storage::Connection::Server& server);
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    storage::Connection& Connection() { return conn_; }
    data::ThreadTableSet& Tables() { return tables_; }
    sqlite3* Handle() const { return conn_.db(); }

    // One record through the table layer (auto-numbered keys numbered).
    void Put(data::TableId t, const std::vector<std::pair<const char*, Value>>& values);
    // `count` articles numbered 1.., each with `stock` on hand at an average
    // cost of `average`, and `minimum` as its minimum stock.
    void Articles(int count, long long stock, long long average = 0, long long minimum = 0);
    // The table layer lets go of its open reads (the end of a set-up), so
    // that a bare unit of work begins on a quiet connection.
    void Settle() { conn_.quiesce(); }

private:
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

// A new document as its windows make it: the list's "Agregar" reserves the
// header (its auto-number, folio 0), the line form stores each line under
// the folio shown, and the document form's tracker holds those lines. All
// in one unit of work (the set-up is not timed).
struct NewDocument {
    movements::LineTracker tracker;
    int64_t headerRow = 0;   // the reserved header's row
};
NewDocument OpenDocument(Desk& desk, const movements::FolioRule& rule, long long folio, int lines,
                         const std::function<void(Record& line, int i)>& fill);

// The lines of a document benchmark's documents: line i of the document
// under folio n names article (n + i) % articles + 1, all with the same
// quantity and cost.
struct DocumentLines {
    const movements::FolioRule* rule = nullptr;
    int count = 0;
    int articles = 0;
    const char* quantityField = nullptr;   // "DEN:Cantidad"
    Value quantity;
    const char* costField = nullptr;       // "DEN:CostoUnitario"
    Value cost;
};

// A desk whose unit n is a new document under folio n (OpenDocument).
class DocumentDesk : public Desk {
public:
    DocumentDesk(const std::filesystem::path& file, DocumentLines lines) : Desk(file), lines_(lines) {}
    DocumentDesk(const storage::Connection::Server& server, DocumentLines lines) : Desk(server), lines_(lines) {}
    void Prepare(long long folio);

protected:
    // The document the last Prepare made.
    const NewDocument& Document() const { return *doc_; }

private:
    DocumentLines lines_;
    std::optional<NewDocument> doc_;
};

// ---------------------------------------------------------------------------
// The bare sides' shared statements

// An article read by its number through the key the table layer seeks
// (ART:KeyNoArt, its partial index's condition included), its totals in
// cents, and its totals rewritten (a new row version each time).
class BareArticle {
public:
    explicit BareArticle(BareSqlite& db);
    // False when no such article is stored (or SQLite failed).
    bool Read(int64_t noArt);
    int64_t row = 0, opening = 0, receipts = 0, issues = 0, average = 0, ordered = 0;
    int64_t Stock() const { return opening + receipts - issues; }

    // Each writes only the totals it names into the article last read; false
    // when a total does not fit its field (as the layer refuses it) or SQLite failed.
    bool SetReceipts(int64_t cents);
    bool SetIssues(int64_t cents);
    bool SetOrdered(int64_t cents);
    bool SetReceiptsAndAverage(int64_t receiptsCents, int64_t averageCents);

private:
    bool set(sqlite3_stmt* s, int64_t cents);
    BareSqlite& db_;
    sqlite3_stmt *read_, *receipts_, *issues_, *ordered_, *receiptsAndAverage_;
};

// Ledger rows (Kardex), every column given, numbered as the layer numbers
// them: Begin() once per unit of work reads the last number, Add() numbers
// each row after it, End() notes the counter.
struct LedgerValues {
    int64_t article = 0, date = 0;
    std::string_view document, concepto, reference;
    int64_t in = 0, out = 0, stock = 0, unitCost = 0, averageCost = 0;   // cents
};
class BareLedger {
public:
    explicit BareLedger(BareSqlite& db);
    void Begin();
    bool Add(const LedgerValues& v);
    int64_t Added() const { return last_ - first_; }
    void End();

private:
    BareSqlite& db_;
    BareSqlite::Numbering numbers_;
    sqlite3_stmt* insert_;
    int64_t first_ = 0, last_ = 0;
};

// BM_<name>_Ours and BM_<name>_Bare: each side timed (RunPaired), `units`
// units per iteration, `items` items each; `iterations` fixed when not 0.
template <class Ours, class Bare>
bool RegisterPair(const std::string& name, const std::string& title, int units, int items, int iterations = 0) {
    auto add = [&](const std::string& side, auto run) {
        benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(("BM_" + name + "_" + side).c_str(), run);
        b->Unit(benchmark::kMillisecond);
        if (iterations > 0) b->Iterations(iterations);
    };
    add("Ours", [=](benchmark::State& s) {
        RunPaired<Ours, Bare>(s, title + ", program", units);
        s.SetItemsProcessed(s.iterations() * units * items);
    });
    add("Bare", [=](benchmark::State& s) {
        RunPaired<Bare, Ours>(s, title + ", bare", units);
        s.SetItemsProcessed(s.iterations() * units * items);
    });
    return true;
}

}  // namespace tv::bench
