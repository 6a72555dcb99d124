// The reports and queries over large tables:
//  - the stock report over 10,000 and 100,000 articles, from the view to a
//    PDF file: the time per page should be about the same at both sizes
//    (counter s_per_page); peak_rss_MB is the process's peak resident
//    memory (run one size per process to read it for that size alone);
//  - the ledger query over 10,000 and 1,000,000 ledger rows: opening it,
//    paging its article list and the ledger list of an article with 500
//    rows, and closing it should cost about the same at both sizes (both
//    lists read only their visible page, by keyset seeks).
// The databases are built once per run in a temporary folder and removed
// at the end. Runs offscreen.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <QApplication>

#include "app/globals.h"
#include "bench/bench_support.h"
#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/report/pdf_writer.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/window.h"
#include "reports/kardex/kardex.h"
#include "reports/stock/stock.h"
#include "reports/template/article_query.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

tv::bench::Folder& folder() {
    static tv::bench::Folder f("tv_reports_bench");
    return f;
}

int field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

// Inserts n records of table t, each filled by `fill`, in one unit.
void fillTable(storage::Connection& conn, TableId t, long long n, const std::function<void(Record&, long long)>& fill) {
    storage::Table file(conn, data::storageDef(t));
    if (!file.open().ok()) std::abort();
    storage::Transaction tx(conn);
    Record r(data::decl(t).layout);
    for (long long i = 1; i <= n; ++i) {
        r.clear();
        fill(r, i);
        if (!file.insert(r, storage::Table::Numbering::Keep).ok()) std::abort();
    }
    if (!tx.commit().ok()) std::abort();
}

void fillArticles(storage::Connection& conn, long long n) {
    fillTable(conn, TableId::Unidades, 3, [](Record& r, long long i) {
        r.set(field(TableId::Unidades, "UNI:Codigo"), Value(i));
        r.set(field(TableId::Unidades, "UNI:UM"), Value(std::string(i == 1 ? "PIEZA" : i == 2 ? "KILO" : "LITRO")));
    });
    fillTable(conn, TableId::Articulo, n, [](Record& r, long long i) {
        r.set(field(TableId::Articulo, "ART:ID"), Value(i));
        r.set(field(TableId::Articulo, "ART:NoArt"), Value(i));
        r.set(field(TableId::Articulo, "ART:Descripcion"), Value("Artículo de almacén número " + std::to_string(i)));
        r.set(field(TableId::Articulo, "ART:UM"), Value(i % 3 + 1));
        r.set(field(TableId::Articulo, "ART:Marca"), Value(i % 50));
        r.set(field(TableId::Articulo, "ART:categoria"), Value(i % 20));
        r.set(field(TableId::Articulo, "ART:Entradas"), Value(Decimal::fromScaled(i * 37 % 100000, 2)));
        r.set(field(TableId::Articulo, "ART:Salidas"), Value(Decimal::fromScaled(i * 11 % 100000, 2)));
    });
}

// A database of n articles, made once.
fs::path articles(long long n) {
    static std::map<long long, fs::path> made;
    if (auto it = made.find(n); it != made.end()) return it->second;
    fs::path file = folder().path / ("articulos_" + std::to_string(n) + ".db");
    {
        storage::Connection conn(file);
        fillArticles(conn, n);
    }
    made[n] = file;
    return file;
}

// 1,000 articles and n ledger rows: 500 for article 1, the rest spread
// over the others. Made once.
fs::path ledger(long long n) {
    static std::map<long long, fs::path> made;
    if (auto it = made.find(n); it != made.end()) return it->second;
    fs::path file = folder().path / ("kardex_" + std::to_string(n) + ".db");
    {
        storage::Connection conn(file);
        fillArticles(conn, 1000);
        fillTable(conn, TableId::Kardex, n, [](Record& r, long long i) {
            const long long article = i <= 500 ? 1 : 2 + (i * 7919) % 999;
            r.set(field(TableId::Kardex, "KAR:ID"), Value(i));
            r.set(field(TableId::Kardex, "KAR:ARTICULO"), Value(article));
            r.set(field(TableId::Kardex, "KAR:Fecha"), Value(80000 + i % 365));
            r.set(field(TableId::Kardex, "KAR:Documento"), Value("ENT-" + std::to_string(i)));
            r.set(field(TableId::Kardex, "KAR:Concepto"), Value(std::string("COMPRA")));
            r.set(field(TableId::Kardex, "KAR:Entrada"), Value(Decimal::fromScaled(i % 1000, 2)));
            r.set(field(TableId::Kardex, "KAR:Existencia"), Value(Decimal::fromScaled(i % 100000, 2)));
        });
    }
    made[n] = file;
    return file;
}

double peakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// The stock report by number, every article, from the view to a PDF file.
void BM_StockReportToPdf(benchmark::State& state) {
    const long long n = state.range(0);
    storage::setDatabasePath(articles(n));
    app::globals().EMPRESA = "EL NOMBRE DE SU EMPRESA";
    const fs::path pdf = folder().path / "existencias.PDF";
    std::size_t pages = 0;
    for (auto _ : state) {
        reports::ReportPages p = reports::PrintReportPages(reports::StockReport(1), "");
        if (p.response != 1) state.SkipWithError("the report printed nothing");
        report::PdfPageWriter w;
        std::string error;
        if (!w.write(pdf, p.pages, &error)) state.SkipWithError(error.c_str());
        pages = p.pages.size();
    }
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["s_per_page"] = benchmark::Counter(static_cast<double>(pages),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
    state.counters["pdf_MB"] = static_cast<double>(fs::file_size(pdf)) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = peakMegabytes();
    state.SetLabel(std::to_string(n) + " articles");
}
BENCHMARK(BM_StockReportToPdf)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

// The ledger query: open, page both lists, close.
void BM_LedgerQueryOpenAndPage(benchmark::State& state) {
    const long long n = state.range(0);
    storage::setDatabasePath(ledger(n));
    for (auto _ : state) {
        ui::Window* window = nullptr;
        bool done = false;
        const threads::ThreadNo t = threads::start([&] {
            reports::BrowseConsultaKardex();
            done = true;
        }, 512 * 1024);
        threads::runUntil([&] {
            window = ui::Window::topOf(t);
            return window != nullptr && window->isOpen() && !window->hasEvents();
        });
        auto press = [&](int list, Qt::Key k) { window->post({ui::EventKind::ListKey, list, ui::keyCode(k)}); };
        // Article 1's 500 rows, page by page, to the end and back.
        for (int i = 0; i < 10; ++i) press(reports::kQuerySecondList, Qt::Key_PageDown);
        press(reports::kQuerySecondList, Qt::Key_End);
        for (int i = 0; i < 5; ++i) press(reports::kQuerySecondList, Qt::Key_PageUp);
        press(reports::kQuerySecondList, Qt::Key_Home);
        // Other articles: each new one refills the ledger list.
        for (int i = 0; i < 5; ++i) press(reports::kQueryList, Qt::Key_PageDown);
        press(reports::kQueryList, Qt::Key_End);
        window->post({ui::EventKind::CloseWindow, 0});
        threads::runUntil([&] { return done; });
    }
    state.SetLabel(std::to_string(n) + " ledger rows");
}
BENCHMARK(BM_LedgerQueryOpenAndPage)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(tv::bench::quietOffscreen);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ErrorReporter::instance().setUp();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
