// The article export of 10,000 and 100,000 articles, from the tables to the
// .xlsx file: reading the articles with their unit, brand and category,
// writing every cell through the spreadsheet component, saving the
// workbook. The time per row must stay the same at both sizes; the peak
// memory of the process during the export is reported, and how far it rose
// above what the process held before the export.
//
// The databases are built once per run in a temporary folder and removed
// at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "data/tables.h"
#include "data/thread_table_set.h"
#include "export/automation/container.h"
#include "export/automation/spreadsheet_automation.h"
#include "export/exports/export_rows.h"
#include "platform/errors/error_reporter.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

const char* kWords[] = {"Tornillo", "Tuerca", "Arandela", "Cañón", "Broca", "Llave", "Motor", "Pinza", "Martillo"};

bench::Folder& folder() {
    static bench::Folder f("tv_export_bench");
    return f;
}

void exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
}

// A catalogue of n articles, 50 units, 40 brands and 30 categories.
struct Db {
    std::unique_ptr<storage::Connection> conn;
    std::unique_ptr<data::ThreadTableSet> set;

    explicit Db(int n) {
        conn = std::make_unique<storage::Connection>(folder().path / ("export_" + std::to_string(n) + ".db"));
        for (TableId t : {TableId::Articulo, TableId::Unidades, TableId::Marcas, TableId::CatArticulos}) {
            storage::Table table(*conn, data::storageDef(t));
            if (!table.open().ok()) std::abort();
        }
        sqlite3* db = conn->db();
        exec(db, "BEGIN");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO Articulo(ID,NoArt,Descripcion,UM,Marca,categoria,CodigoBarras,Modelo,Tamano,"
                           "CAPACIDAD) VALUES(?,?,?,?,?,?,?,?,?,?)",
                           -1, &s, nullptr);
        for (int i = 1; i <= n; ++i) {
            const long long no = (static_cast<long long>(i) * 7919) % n + 1;
            const std::string d = std::string(kWords[i % 9]) + " de acero inoxidable " + std::to_string(no) + " mm";
            const std::string bar = i % 3 ? "0750" + std::to_string(100000000 + no) : "";
            sqlite3_bind_int64(s, 1, i);
            sqlite3_bind_int64(s, 2, no);
            sqlite3_bind_text(s, 3, d.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(s, 4, i % 50 + 1);
            sqlite3_bind_int64(s, 5, i % 40 + 1);
            sqlite3_bind_int64(s, 6, i % 30 + 1);
            sqlite3_bind_text(s, 7, bar.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 8, ("MOD-" + std::to_string(i % 500)).c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 9, (std::to_string(i % 12 + 1) + " pulg").c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 10, i % 4 ? "" : "1 L", -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE) std::abort();
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        for (int i = 1; i <= 50; ++i)
            exec(db, "INSERT INTO Unidades(Codigo,UM) VALUES(" + std::to_string(i) + ",'Unidad " + std::to_string(i) + "')");
        for (int i = 1; i <= 40; ++i)
            exec(db, "INSERT INTO Marcas(Codigo,Marca) VALUES(" + std::to_string(i) + ",'Marca " + std::to_string(i) + "')");
        for (int i = 1; i <= 30; ++i)
            exec(db, "INSERT INTO CatArticulos(Codigo,Descripcion) VALUES(" + std::to_string(i) + ",'Categoría " +
                         std::to_string(i) + "')");
        exec(db, "COMMIT");
        exec(db, "ANALYZE");
        set = std::make_unique<data::ThreadTableSet>(*conn);
    }
};

std::map<int, std::unique_ptr<Db>>& databases() {
    static std::map<int, std::unique_ptr<Db>> all;
    return all;
}

Db& db(int n) {
    auto& d = databases()[n];
    if (!d) d = std::make_unique<Db>(n);
    return *d;
}

// A line of /proc/self/status ("VmHWM", "VmRSS") in megabytes.
double statusMegabytes(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::strtod(line.c_str() + key.size() + 1, nullptr) / 1024.0;
    return 0;
}

// Starts the peak of the process's memory afresh from what it holds now, so
// the peak read after the export is the export's (the databases built
// before it are not counted twice).
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Args: articles, order (1 by number, 3 by category with its blank rows).
void BM_ArticleExport(benchmark::State& state) {
    ErrorReporter::instance().setUp();
    Db& d = db(static_cast<int>(state.range(0)));
    automation::AutomationContainer box;
    automation::SpreadsheetAutomation xl;
    exports::ExportRequest request;
    request.kind = exports::ExportKind::Articles;
    request.order = static_cast<double>(state.range(1));
    request.company = "EL NOMBRE DE SU EMPRESA";
    request.path = (folder().path / "articulos.xlsx").string();
    int64_t rows = 0;
    const double before = statusMegabytes("VmRSS");
    resetPeak();
    for (auto _ : state) {
        exports::ExportSummary written;
        automation::Status st = exports::RunExport(xl, box, *d.set, request, &written);
        if (!st) state.SkipWithError(st.message().c_str());
        rows += written.rows;
    }
    state.counters["time_per_row"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_MB"] = statusMegabytes("VmHWM");
    state.counters["peak_over_start_MB"] = statusMegabytes("VmHWM") - before;
    state.counters["file_MB"] = static_cast<double>(fs::file_size(request.path)) / (1024.0 * 1024.0);
}
// Only the reading: the articles with their look-ups, as the export reads them.
void BM_ArticleRowsOnly(benchmark::State& state) {
    ErrorReporter::instance().setUp();
    Db& d = db(static_cast<int>(state.range(0)));
    int64_t rows = 0;
    for (auto _ : state) {
        automation::Status st = exports::ReadArticleRows(*d.set, "", 1, [&](const exports::ExportRow&) {
            ++rows;
            return true;
        });
        if (!st) state.SkipWithError(st.message().c_str());
    }
    state.counters["time_per_row"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ArticleRowsOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK(BM_ArticleExport)
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Args({10000, 3})
    ->Args({100000, 3})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    databases().clear();  // before the folder they live in goes
    benchmark::Shutdown();
    return 0;
}
