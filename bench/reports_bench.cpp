// The reports and queries over large tables:
//  - the stock report over 10,000 and 100,000 articles, from the view
//    straight to a PDF file: the time per page should be about the same at
//    both sizes (counter s_per_page);
//  - the stock report's peak memory (peak_rss_MB, the peak resident memory
//    of a process of its own per run) at 10,000, 100,000 and 1,000,000
//    articles: straight to a PDF file (the same at every size, within
//    1.2x), and through the progress window into the preview, moving to
//    its middle and last pages and drawing them (a few hundred MB at most
//    at 1,000,000; page_ms, the longest of those moves, stays short at
//    every size); "one" is the same process printing one article, what
//    the program itself takes;
//  - the ledger query over 10,000 and 1,000,000 ledger rows: opening it,
//    paging its article list and the ledger list of an article with 500
//    rows, and closing it should cost about the same at both sizes (both
//    lists read only their visible page, by keyset seeks).
// The databases are built once per run in a temporary folder and removed
// at the end. Runs offscreen.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <QApplication>
#include <QDialog>

#include "app/globals.h"
#include "bench/bench_support.h"
#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/ini/ini_store.h"
#include "platform/report/pdf_writer.h"
#include "platform/report/preview_window.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/window.h"
#include "reports/kardex/kardex.h"
#include "reports/stock/stock.h"
#include "reports/template/article_query.h"
#include "reports/template/report_procedure.h"

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

// An output that counts the pages it passes on.
struct CountingOutput : report::PageOutput {
    explicit CountingOutput(report::PageOutput& to) : to(to) {}
    bool add(const report::Page& page) override {
        ++pages;
        return to.add(page) || fail(to.error());
    }
    bool finish() override { return to.finish() || fail(to.error()); }
    report::PageOutput& to;
    std::size_t pages = 0;
};

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

// The stock report by number, every article, from the view straight to a PDF file.
void BM_StockReportToPdf(benchmark::State& state) {
    const long long n = state.range(0);
    storage::setDatabasePath(articles(n));
    app::globals().EMPRESA = "EL NOMBRE DE SU EMPRESA";
    const fs::path pdf = folder().path / "existencias.PDF";
    std::size_t pages = 0;
    for (auto _ : state) {
        report::PdfPageWriter w;
        std::string error;
        std::unique_ptr<report::PageOutput> out = w.open(pdf, &error);
        if (!out) state.SkipWithError(error.c_str());
        CountingOutput counted(*out);
        reports::ReportOutcome r = reports::PrintReportTo(reports::StockReport(1), "", counted);
        if (r.response != 1) state.SkipWithError(r.error.empty() ? "the report printed nothing" : r.error.c_str());
        pages = counted.pages;
    }
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["s_per_page"] = benchmark::Counter(static_cast<double>(pages),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
    state.counters["pdf_MB"] = static_cast<double>(fs::file_size(pdf)) / (1024.0 * 1024.0);
    state.SetLabel(std::to_string(n) + " articles");
}
BENCHMARK(BM_StockReportToPdf)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

// What a run of the stock report keeps at its peak, in a process of its own
// (this program again, with --memory-child): kind 0 one article to PDF,
// 1 every article to PDF, 2 every article into the preview.
const char* const kMemoryKinds[] = {"one", "pdf", "preview"};

void BM_StockReportPeakMemory(benchmark::State& state) {
    const char* kind = kMemoryKinds[state.range(0)];
    const long long n = state.range(1);
    const fs::path db = articles(n);
    double peak = 0, pages = 0, pageMs = 0;
    for (auto _ : state) {
        const std::string cmd = "'" + fs::read_symlink("/proc/self/exe").string() + "' --memory-child " + std::string(kind) + " '" + db.string() + "' '" +
                                folder().path.string() + "'";
        FILE* child = popen(cmd.c_str(), "r");
        if (child == nullptr || std::fscanf(child, "%lf %lf %lf", &peak, &pages, &pageMs) != 3) {
            if (child) pclose(child);
            state.SkipWithError("the report's process gave no figures");
            break;
        }
        if (pclose(child) != 0) state.SkipWithError("the report's process failed");
    }
    state.counters["peak_rss_MB"] = peak;
    state.counters["pages"] = pages;
    if (state.range(0) == 2) state.counters["page_ms"] = pageMs;
    state.SetLabel(std::string(kind) + ", " + std::to_string(n) + " articles");
}
BENCHMARK(BM_StockReportPeakMemory)
    ->ArgsProduct({{0, 1, 2}, {10000, 100000, 1000000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

report::PreviewWindowController* findPreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = dynamic_cast<report::PreviewWindowController*>(w); p != nullptr && p->isVisible()) return p;
    return nullptr;
}

// The child's run: prints its peak resident memory (MB) and the pages.
int memoryChild(const std::string& kind, const fs::path& db, const fs::path& dir) {
    storage::setDatabasePath(db);
    app::globals().EMPRESA = "EL NOMBRE DE SU EMPRESA";
    std::size_t pages = 0;
    double pageMs = 0;  // the longest move to a page and its drawing
    if (kind == "one" || kind == "pdf") {
        report::PdfPageWriter w;
        std::string error;
        std::unique_ptr<report::PageOutput> out = w.open(dir / ("memoria_" + kind + ".PDF"), &error);
        if (!out) return 1;
        CountingOutput counted(*out);
        bool ok = false, done = false;
        threads::start([&] {
            ok = reports::PrintReportTo(reports::StockReport(1), kind == "one" ? "ART:NoArt = 1" : "", counted)
                     .response == 1;
            done = true;
        }, 512 * 1024);
        threads::runUntil([&] { return done; });
        if (!ok) return 1;
        pages = counted.pages;
    } else {
        IniStore ini(dir / "memoria.INI");
        reports::SetReportIniStore(&ini);
        bool done = false;
        threads::start([&] {
            reports::RunReport(reports::StockReport(1), "");
            done = true;
        }, 512 * 1024);
        // "Choose Printer" is answered; the report runs anyway.
        threads::runUntil([] { return !ui::openDialogs().empty(); });
        if (auto* d = qobject_cast<QDialog*>(ui::openDialogs().front())) d->reject();
        threads::runUntil([] { return findPreview() != nullptr; });
        report::PreviewWindowController* preview = findPreview();
        pages = preview->pages().size();
        const int count = static_cast<int>(pages);
        for (int page : {1, count / 2, count / 2 + 1, count}) {
            const auto began = std::chrono::steady_clock::now();
            preview->goToPage(page);
            preview->grab();
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - began;
            pageMs = std::max(pageMs, took.count());
        }
        preview->leave();
        threads::runUntil([&] { return done; });
        reports::SetReportIniStore(nullptr);
    }
    std::printf("%.1f %zu %.1f\n", peakMegabytes(), pages, pageMs);
    return 0;
}

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
    if (argc == 5 && std::string(argv[1]) == "--memory-child") return memoryChild(argv[2], argv[3], argv[4]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
