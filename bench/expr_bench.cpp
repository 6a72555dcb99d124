// Expression evaluation per record against SQLite doing the same work:
// a MATCH find over article descriptions and a number range, evaluated on a
// record buffer refilled for each row, compared with SQLite's LIKE and with
// the pushed-down filter (tv_match) over the same rows.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/expr/program.h"
#include "platform/expr/sql_filter.h"
#include "platform/expr/value_ops.h"
#include "platform/types/record.h"
#include "platform/types/text.h"

namespace {

using namespace tv;
using namespace tv::expr;

constexpr int kRows = 200000;

std::shared_ptr<const RecordLayout> layout() {
    static auto l = std::make_shared<const RecordLayout>(
        "Articulo", "ART",
        std::vector<FieldSpec>{{"ART:NoArt", FieldType::Decimal, 11, 0},
                               {"ART:Descripcion", FieldType::String, 70, 0},
                               {"ART:Entradas", FieldType::Decimal, 11, 2}});
    return l;
}

std::string description(int i) {
    static const char* words[] = {"Tornillo", "Tuerca", "Arandela", "Cañón", "Broca", "Llave", "Motor"};
    return std::string(words[i % 7]) + " de acero " + std::to_string(i) + " mm galvanizado";
}

struct Rows {
    std::vector<std::string> text;  // descriptions padded like the field
    std::vector<long long> noArt, entradas;
    Rows() {
        Record r(layout());
        for (int i = 0; i < kRows; ++i) {
            r.setText(1, description(i));
            text.push_back(r.text(1));
            noArt.push_back(i);
            entradas.push_back(i % 1000 * 25);
        }
    }
};

const Rows& rows() {
    static Rows r;
    return r;
}

void runEvaluator(benchmark::State& state, const char* text) {
    Record rec(layout());
    NameTable names;
    names.bindRecord(rec);
    auto p = Program::compile(text, names);
    if (!p) {
        state.SkipWithError("does not compile");
        return;
    }
    const Rows& r = rows();
    for (auto _ : state) {
        long long hits = 0;
        for (int i = 0; i < kRows; ++i) {
            // What a view does per record: fill the buffer, then test.
            rec.setRaw(0, r.noArt[static_cast<size_t>(i)]);
            rec.setText(1, r.text[static_cast<size_t>(i)]);
            rec.setRaw(2, r.entradas[static_cast<size_t>(i)]);
            hits += p->test();
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

struct SqlDb {
    sqlite3* db = nullptr;
    SqlDb() {
        sqlite3_open(":memory:", &db);
        registerSqlFunctions(db);
        sqlite3_exec(db, "CREATE TABLE a (NoArt INTEGER, Descripcion TEXT, Entradas INTEGER)", nullptr, nullptr,
                     nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO a VALUES (?,?,?)", -1, &st, nullptr);
        const Rows& r = rows();
        for (int i = 0; i < kRows; ++i) {
            sqlite3_bind_int64(st, 1, r.noArt[static_cast<size_t>(i)]);
            // Stored without the field's trailing blanks.
            std::string_view t = tv::rtrim(r.text[static_cast<size_t>(i)]);
            sqlite3_bind_text(st, 2, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 3, r.entradas[static_cast<size_t>(i)]);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    ~SqlDb() { sqlite3_close(db); }
};

SqlDb& db() {
    static SqlDb d;
    return d;
}

void runSql(benchmark::State& state, const std::string& where, const std::vector<SqlParam>& params) {
    sqlite3_stmt* st = nullptr;
    std::string sql = "SELECT count(*) FROM a WHERE " + where;
    if (sqlite3_prepare_v2(db().db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        state.SkipWithError("bad SQL");
        return;
    }
    for (auto _ : state) {
        sqlite3_reset(st);
        for (size_t i = 0; i < params.size(); ++i) {
            int n = static_cast<int>(i) + 1;
            if (auto* v = std::get_if<long long>(&params[i])) sqlite3_bind_int64(st, n, *v);
            else sqlite3_bind_text(st, n, std::get<std::string>(params[i]).c_str(), -1, SQLITE_TRANSIENT);
        }
        sqlite3_step(st);
        benchmark::DoNotOptimize(sqlite3_column_int64(st, 0));
    }
    sqlite3_finalize(st);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void pushed(benchmark::State& state, const char* text) {
    auto e = parseExpression(text);
    auto f = toSqlWhere(*e, [](std::string_view n) -> std::optional<SqlColumn> {
        std::string u = normalizeName(n);
        if (u == "ART:NOART") return SqlColumn{"NoArt", SqlColumn::Kind::Number, 0, 11, false};
        if (u == "ART:DESCRIPCION") return SqlColumn{"Descripcion", SqlColumn::Kind::Text, 0, 0, true};
        if (u == "ART:ENTRADAS") return SqlColumn{"Entradas", SqlColumn::Kind::Number, 2, 11, false};
        return std::nullopt;
    });
    if (!f) {
        state.SkipWithError("not pushed down");
        return;
    }
    runSql(state, f->where, f->params);
}

// The buffer refill alone, for reading the others.
void BM_FillOnly(benchmark::State& s) { runEvaluator(s, "1"); }
// The prepared pattern alone on the same texts.
void BM_MatcherOnly(benchmark::State& state) {
    Matcher m("*tornillo*", 17);
    const Rows& r = rows();
    for (auto _ : state) {
        long long hits = 0;
        for (const auto& t : r.text) hits += m.matches(std::string_view(t));
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
void BM_EvalMatch(benchmark::State& s) { runEvaluator(s, "MATCH(ART:Descripcion,'*tornillo*',17)"); }
void BM_SqlLike(benchmark::State& s) { runSql(s, "Descripcion LIKE ?", {std::string("%tornillo%")}); }
void BM_SqlPushedMatch(benchmark::State& s) { pushed(s, "MATCH(ART:Descripcion,'*tornillo*',17)"); }
// A pattern with an accented letter runs through tv_match.
void BM_SqlPushedMatchAccent(benchmark::State& s) { pushed(s, "MATCH(ART:Descripcion,'*cañón*',17)"); }
void BM_EvalRange(benchmark::State& s) {
    runEvaluator(s, "ART:NoArt >= 100 and ART:NoArt <= 150000 and ART:Entradas <> 0");
}
void BM_SqlPushedRange(benchmark::State& s) { pushed(s, "ART:NoArt >= 100 and ART:NoArt <= 150000 and ART:Entradas <> 0"); }
void BM_EvalStockClause(benchmark::State& s) {
    runEvaluator(s, "ART:Entradas + ART:Entradas - ART:Entradas <> 0");
}
void BM_Compile(benchmark::State& s) {
    Record rec(layout());
    NameTable names;
    names.bindRecord(rec);
    for (auto _ : s) {
        auto p = Program::compile(
            "ART:NoArt >= 100 and ART:NoArt <= 250 and MATCH(ART:Descripcion,'*tornillo*',17)", names);
        benchmark::DoNotOptimize(p);
    }
}

BENCHMARK(BM_FillOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatcherOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvalMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlLike)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlPushedMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlPushedMatchAccent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvalRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlPushedRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvalStockClause)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
