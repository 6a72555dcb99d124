// The program on the PostgreSQL server TALVOR_TEST_SERVER names
// (scripts/test_server.sh starts one), each benchmark on a schema of its
// own dropped at the end:
//   - receipts completed through the posting path: one of 1,000 lines, and
//     1,000 one-line receipts one after another (each its own unit);
//   - the article list's view (articles joined to their unit, in the list's
//     orders) opened and paged at 10,000 and 1,000,000 articles;
//   - one-line receipts per second from 1, 2 and 4 processes at once on the
//     same tables.
// Each side of a posting pair is checked against the other: after the same
// receipts both schemas must hold the same rows. Run with
// --benchmark_repetitions=5 for medians. Without a server every benchmark
// is skipped, saying so.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bench/posting/posting_bench_support.h"
#include "bench/server/bare_receipts.h"
#include "tests/support/test_server.h"
#include "data/tables.h"
#include "data/transaction.h"
#include "movements/receipts/receipt_posting.h"
#include "platform/view/view_cursor.h"

namespace {

using namespace tv;
using data::TableId;

constexpr int kArticles = 200;
constexpr long kDate = 80000;
const char* const kNoServer = "no PostgreSQL server: set TALVOR_TEST_SERVER (scripts/test_server.sh starts one)";

// A schema of its own on the server, dropped with everything in it: the
// tests' own.
using Schema = test::ServerSchema;

storage::Connection::Server on(const Schema& s) { return {s.conninfo()}; }

// ---------------------------------------------------------------------------
// Receipts through the posting path, as the receipt form's "Aceptar" does

class ServerReceipts : public bench::DocumentDesk {
public:
    ServerReceipts(const storage::Connection::Server& server, int lines, bool fill)
        : DocumentDesk(server, {&movements::receipts::kReceiptFolio, lines, kArticles, "DEN:Cantidad", Value(2),
                                "DEN:CostoUnitario", Value(Decimal::fromScaled(750, 2))}) {
        if (!fill) return;
        {
            data::DataTransaction tx(Tables());
            Put(TableId::TipEntradas, {{"TEN:Descripcion", Value("COMPRA")}});
            Put(TableId::Folios, {{"FOL:ENTRADAS", Value(1)}});
            tx.commit();
        }
        Articles(kArticles, 100, 5);
    }
    bool Work(long long folio) {
        Record& h = Tables().buffer(TableId::Entradas);
        const data::TableDecl& d = data::decl(TableId::Entradas);
        h.set(d.fieldIndex("ENT:Folio"), Value(folio));
        h.set(d.fieldIndex("ENT:TIPO"), Value(1));
        h.set(d.fieldIndex("ENT:Fecha"), Value(kDate));
        h.set(d.fieldIndex("ENT:PROVEEDOR"), Value("PROV1"));
        h.set(d.fieldIndex("ENT:Referencia"), Value("FACT-1"));
        return movements::receipts::CompleteReceipt(Tables(), &Document().tracker);
    }
};

// One side timed, then the other doing the same units on a schema of its
// own (not timed); the two schemas must then hold the same rows.
template <class Timed, class Other>
void receipts(benchmark::State& state, int units, int lines) {
    Schema timedSchema, otherSchema;
    if (!timedSchema.available() || !otherSchema.available()) {
        state.SkipWithError(kNoServer);
        return;
    }
    long long folio = 0;
    {
        Timed side(on(timedSchema), lines);
        for (auto _ : state) {
            for (int u = 0; u < units; ++u) {
                state.PauseTiming();
                side.Prepare(++folio);
                state.ResumeTiming();
                if (!side.Work(folio)) {
                    state.SkipWithError("a receipt was not stored");
                    return;
                }
            }
        }
    }
    {
        Other other(on(otherSchema), lines);
        for (long long n = 1; n <= folio; ++n) {
            other.Prepare(n);
            if (!other.Work(n)) {
                state.SkipWithError("the other side did not store a receipt");
                return;
            }
        }
    }
    const std::string d = bench::SchemasDiffer(timedSchema.conninfo(), timedSchema.name(), otherSchema.name());
    if (!d.empty()) state.SkipWithError(("the two sides stored other rows: " + d).c_str());
    state.SetItemsProcessed(state.iterations() * units * lines);
}

struct Ours : ServerReceipts {
    Ours(const storage::Connection::Server& s, int lines) : ServerReceipts(s, lines, true) {}
};
struct Bare : ServerReceipts {
    Bare(const storage::Connection::Server& s, int lines) : ServerReceipts(s, lines, true), bare_(s.conninfo) {}
    bool Work(long long folio) { return bare_.Complete(folio, Document().tracker.Ids(), Document().headerRow); }
    bench::BareReceipts bare_;
};

void BM_Server_Receipt1000Lines_Ours(benchmark::State& s) { receipts<Ours, Bare>(s, 1, 1000); }
void BM_Server_Receipt1000Lines_Bare(benchmark::State& s) { receipts<Bare, Ours>(s, 1, 1000); }
void BM_Server_OneLineReceipts1000_Ours(benchmark::State& s) { receipts<Ours, Bare>(s, 1000, 1); }
void BM_Server_OneLineReceipts1000_Bare(benchmark::State& s) { receipts<Bare, Ours>(s, 1000, 1); }
BENCHMARK(BM_Server_Receipt1000Lines_Ours)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Server_Receipt1000Lines_Bare)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Server_OneLineReceipts1000_Ours)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Server_OneLineReceipts1000_Bare)->Unit(benchmark::kMillisecond)->Iterations(1);

// Stations posting one-line receipts at once: each a process of its own
// with its own connection, on the same articles, folios dealt out so that
// none repeats. Timed from the start of the first to the end of the last.
void BM_Server_Stations(benchmark::State& state) {
    constexpr int kEach = 200;
    const int stations = static_cast<int>(state.range(0));
    Schema schema;
    if (!schema.available()) {
        state.SkipWithError(kNoServer);
        return;
    }
    { ServerReceipts setUp(on(schema), 1, true); }
    long long base = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int s = 0; s < stations; ++s) {
            if (::fork() != 0) continue;
            int code = 0;
            try {
                ServerReceipts desk(on(schema), 1, false);
                for (int i = 0; i < kEach && code == 0; ++i) {
                    const long long folio = base + 1 + s + static_cast<long long>(i) * stations;
                    desk.Prepare(folio);
                    if (!desk.Work(folio)) code = 1;
                }
            } catch (...) {
                code = 2;
            }
            ::_exit(code);
        }
        bool failed = false;
        for (int s = 0; s < stations; ++s) {
            int st = 0;
            if (::wait(&st) < 0 || !WIFEXITED(st) || WEXITSTATUS(st) != 0) failed = true;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        base += static_cast<long long>(stations) * kEach;
        if (failed) {
            state.SkipWithError("a station did not store all its receipts");
            return;
        }
    }
    // Every receipt of every station stored, none twice.
    PGconn* c = PQconnectdb(schema.conninfo().c_str());
    PGresult* r = PQexec(c, "SELECT count(*), count(DISTINCT \"Folio\") FROM \"Entradas\" WHERE tv_pending = 0");
    const bool whole = PQresultStatus(r) == PGRES_TUPLES_OK && std::atoll(PQgetvalue(r, 0, 0)) == base &&
                       std::atoll(PQgetvalue(r, 0, 1)) == base;
    PQclear(r);
    PQfinish(c);
    if (!whole) state.SkipWithError("the stored receipts are not those the stations completed");
    state.counters["receipts_per_s"] =
        benchmark::Counter(static_cast<double>(stations) * kEach, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Server_Stations)->Arg(1)->Arg(2)->Arg(4)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// The article list: articles joined to their unit, opened and paged

const char* kWords[] = {"Tornillo", "Tuerca", "Arandela", "Cañón", "Broca", "Llave", "Motor", "Pinza", "Martillo"};
int field(const char* name) { return data::decl(TableId::Articulo).layout->indexOf(name); }
const char* const kOrders[] = {"ART:KeyNoArt", "ART:KeyDescripcion"};

// n articles and 50 units, the tables made by the table layer, the rows
// loaded with COPY (article numbers spread, so key order and record order
// differ, as in a catalogue that grew over the years).
struct Catalogue {
    Schema schema;
    std::unique_ptr<storage::Connection> conn;
    Record art{data::decl(TableId::Articulo).layout};
    Record uni{data::decl(TableId::Unidades).layout};
    bool ready = false;

    explicit Catalogue(int n) {
        if (!schema.available()) return;
        conn = std::make_unique<storage::Connection>(on(schema));
        storage::Table a(*conn, data::storageDef(TableId::Articulo));
        storage::Table u(*conn, data::storageDef(TableId::Unidades));
        if (!a.open().ok() || !u.open().ok()) return;
        PGconn* c = PQconnectdb(schema.conninfo().c_str());
        PQclear(PQexec(c, "COPY \"Articulo\"(\"ID\",\"NoArt\",\"Descripcion\",\"UM\",\"Marca\",\"categoria\","
                          "\"CodigoBarras\",\"StockMinimo\",\"ExistenciaAnterior\",\"Entradas\",\"Salidas\") "
                          "FROM STDIN"));
        std::string buf;
        for (int i = 1; i <= n; ++i) {
            const long long no = static_cast<long long>(i) * 7919 % n + 1;
            const std::string bar = i % 3 ? "750" + std::to_string(1000000 + no) : "";
            buf += std::to_string(i) + '\t' + std::to_string(no) + '\t' + kWords[i % 9] + " de acero " +
                   std::to_string(no) + " mm\t" + std::to_string(i % 50 + 1) + '\t' + std::to_string(i % 40 + 1) +
                   '\t' + std::to_string(i % 30 + 1) + '\t' + bar + '\t' + std::to_string(i % 10 * 1.5) + '\t' +
                   std::to_string(i % 100) + '\t' + std::to_string(i % 7) + '\t' + std::to_string(i % 11) + '\n';
            if (buf.size() > (1 << 20) || i == n) {
                PQputCopyData(c, buf.data(), static_cast<int>(buf.size()));
                buf.clear();
            }
        }
        PQputCopyEnd(c, nullptr);
        PGresult* r = PQgetResult(c);
        const bool copied = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        while ((r = PQgetResult(c)) != nullptr) PQclear(r);
        PQclear(PQexec(c, "INSERT INTO \"Unidades\"(\"Codigo\",\"UM\") SELECT g, 'Unidad ' || g FROM generate_series(1,50) g"));
        PQclear(PQexec(c, "ANALYZE"));
        PQfinish(c);
        ready = copied;
    }
    std::unique_ptr<view::ViewCursor> view(const char* order) {
        auto v = std::make_unique<view::ViewCursor>(*conn);
        v->setPrimary(data::storageDef(TableId::Articulo), art);
        v->addJoin(data::storageDef(TableId::Unidades), uni, 0, {{0, field("ART:UM")}}, view::JoinKind::Outer);
        v->setOrder(data::decl(TableId::Articulo).keyIndex(order));
        return v;
    }
};

Catalogue* catalogue(benchmark::State& state) {
    static std::map<int, std::unique_ptr<Catalogue>> all;
    auto& c = all[static_cast<int>(state.range(0))];
    if (!c) c = std::make_unique<Catalogue>(static_cast<int>(state.range(0)));
    if (!c->ready) {
        state.SkipWithError(c->schema.available() ? "could not load the articles" : kNoServer);
        return nullptr;
    }
    return c.get();
}

// Args: articles, order (index into kOrders). Open: the view made and its
// first page of 20 read. Paging: the first page, then the next four.
void listPages(benchmark::State& state, int pages) {
    Catalogue* c = catalogue(state);
    if (!c) return;
    for (auto _ : state) {
        auto v = c->view(kOrders[state.range(1)]);
        for (int p = 0; p < pages; ++p)
            if (v->readPage(20, true, [] {}) != 20) {
                state.SkipWithError("short page");
                return;
            }
    }
    state.SetLabel(kOrders[state.range(1)]);
}
void BM_Server_ListOpen(benchmark::State& s) { listPages(s, 1); }
void BM_Server_ListFivePages(benchmark::State& s) { listPages(s, 5); }
BENCHMARK(BM_Server_ListOpen)->ArgsProduct({{10000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Server_ListFivePages)->ArgsProduct({{10000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
