// The list window over 10,000 and 1,000,000 categories: opening the list on
// its logical thread, paging down twenty pages, going to the end and back to
// the top, and closing it must cost about the same at both sizes (the list
// reads only its visible page, by keyset seeks).
//
// The two databases are built once per run in a temporary folder and
// removed at the end. Runs offscreen.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <QApplication>
#include <QTabWidget>

#include "app/browse/browse_controller.h"
#include "bench/bench_support.h"
#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

const char* kWords[] = {"Tornillos", "Tuercas", "Arandelas", "Cañones", "Brocas", "Llaves", "Motores", "Pinzas"};

tv::bench::Folder& folder() {
    static tv::bench::Folder f("tv_browse_bench");
    return f;
}

// A database of n categories, made once.
fs::path database(int n) {
    static std::map<int, fs::path> made;
    auto it = made.find(n);
    if (it != made.end()) return it->second;
    fs::path file = folder().path / ("categorias_" + std::to_string(n) + ".db");
    {
        storage::Connection conn(file);
        storage::Table t(conn, data::storageDef(TableId::CatArticulos));
        if (!t.open().ok()) std::abort();
        sqlite3* db = conn.db();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO CatArticulos(Codigo,Descripcion) VALUES(?,?)", -1, &s, nullptr);
        for (int i = 1; i <= n; ++i) {
            const long long spread = (static_cast<long long>(i) * 7919) % n + 1;
            const std::string d = std::string(kWords[i % 8]) + " " + std::to_string(spread);
            sqlite3_bind_int64(s, 1, i);
            sqlite3_bind_text(s, 2, d.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE) std::abort();
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr);
    }
    made[n] = file;
    return file;
}

app::StandardBrowseSetup categorySpec(ui::Window*& window) {
    app::StandardBrowseSetup b;
    b.procedure = "BrowseBench";
    b.caption = QStringLiteral("Categorías de artículos");
    b.placement = ui::Window::Placement::Own;
    b.list.primary = TableId::CatArticulos;
    b.list.format = "80R(1)|M*~Código~@n_4@80L(1)|M*~Descripcion~@s40@";
    b.list.columns = {{"CAR:Codigo"}, {"CAR:Descripcion"}};
    b.list.orders = {{"CAR:KeyDescripcion", app::ScrollStepKind::Text, "CAR:Descripcion"},
                     {"CAR:KeyId", app::ScrollStepKind::Integer, "CAR:Codigo"}};
    b.list.findColumns = "Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|";
    b.tabs = {QStringLiteral("Por Código"), QStringLiteral("Por Descripción")};
    b.prepare = [&window](app::BrowseController&, ui::Window& w) { window = &w; };
    return b;
}

// Args: rows, tab (0 by code, 1 by name).
void BM_OpenAndPage(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    storage::setDatabasePath(database(rows));
    for (auto _ : state) {
        ui::Window* window = nullptr;
        bool done = false;
        threads::start([&] {
            app::RunStandardBrowse(categorySpec(window));
            done = true;
        }, 512 * 1024);
        threads::runUntil([&] { return window != nullptr && window->isOpen(); });
        auto press = [&](Qt::Key k) {
            window->post({ui::EventKind::ListKey, app::kBrowseList, ui::keyCode(k)});
        };
        if (state.range(1) == 1) window->at(app::kBrowseSheet).as<QTabWidget>()->setCurrentIndex(1);
        for (int i = 0; i < 20; ++i) press(Qt::Key_PageDown);
        press(Qt::Key_End);
        for (int i = 0; i < 5; ++i) press(Qt::Key_PageUp);
        press(Qt::Key_Home);
        window->post({ui::EventKind::CloseWindow, 0});
        threads::runUntil([&] { return done; });
    }
    state.SetLabel(std::to_string(rows) + (state.range(1) == 1 ? " by name" : " by code"));
}
BENCHMARK(BM_OpenAndPage)
    ->Args({10000, 0})
    ->Args({1000000, 0})
    ->Args({10000, 1})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(tv::bench::quietOffscreen);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ErrorReporter::instance().setUp();
    database(10000);
    database(1000000);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
