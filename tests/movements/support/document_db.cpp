#include "tests/movements/support/document_db.h"

#include <algorithm>
#include <map>
#include <tuple>

#include <sqlite3.h>

#include "movements/common/stock.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/server/pg_connection.h"

namespace tv::movements::test {

void DocumentDb::SetUp() {
    db_ = dir.file("talvor.db");
    storage::setDatabasePath(db_);
    ErrorReporter::instance().setUp();
    scope_.emplace(presenter);
}

void DocumentDb::TearDown() {
    CloseDb();
    scope_.reset();
    storage::setDatabasePath("talvor.db");
}

data::ThreadTableSet& DocumentDb::tables() {
    if (!tables_) {
        conn_ = storage::Connection::open(db_);
        tables_ = std::make_unique<data::ThreadTableSet>(*conn_);
    }
    return *tables_;
}

void DocumentDb::CloseDb() {
    tables_.reset();
    conn_.reset();
}

void DocumentDb::StartAfresh() {
    CloseDb();
    if (const std::string server = storage::databaseServer(); !server.empty()) {
        storage::server::PgConnection c(server);
        ASSERT_TRUE(c.open().ok());
        storage::server::PgResult tables;
        c.exec("SELECT tablename FROM pg_tables WHERE schemaname = current_schema()", {}, &tables);
        for (int i = 0; i < tables.rows(); ++i)
            EXPECT_TRUE(c.execScript("DROP TABLE \"" + std::string(tables.text(i, 0)) + "\" CASCADE").ok());
        return;
    }
    for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(db_.string() + end);
}

long long DocumentDb::AddRecord(data::TableId t, const FieldValues& values) {
    data::TableGateway& g = tables().gateway(t);
    EXPECT_EQ(g.PrepareNewRecord(), data::kDone);
    for (const auto& [field, value] : values) {
        const int f = g.declaration().fieldIndex(field);
        EXPECT_GE(f, 0) << field;
        if (f >= 0) g.BUFFER.set(f, value);
    }
    EXPECT_EQ(g.InsertRecord(), data::kDone) << g.declaration().label;
    return g.BUFFER.number(0).toInt64();
}

void DocumentDb::AddArticle(const ArticleSeed& a) {
    AddRecord(data::TableId::Articulo, {{"ART:NoArt", Value(a.noArt)},
                                        {"ART:Descripcion", Value(a.description.empty() ? "ARTICULO " + std::to_string(a.noArt)
                                                                                          : a.description)},
                                        {"ART:ExistenciaAnterior", Value(a.stock)},
                                        {"ART:COSTOPROMEDIO", Value(a.average)},
                                        {"ART:CodigoBarras", Value(a.barcode)},
                                        {"ART:UM", Value(a.unit)}});
}

std::vector<Record> DocumentDb::Rows(data::TableId t) {
    std::vector<Record> out;
    data::TableGateway& g = tables().gateway(t);
    if (g.UseOnDemand() != data::kDone) return out;
    Record r(g.BUFFER.layoutPtr());
    g.file()->setOrder(storage::Table::kRecordOrder);
    while (g.file()->next(r).ok()) out.push_back(r);
    return out;
}

long long DocumentDb::Count(data::TableId t) { return static_cast<long long>(Rows(t).size()); }

Value DocumentDb::Get(const Record& r, const std::string& field) { return r.get(r.layout().indexOf(field)); }

std::optional<Record> DocumentDb::Article(long long noArt) {
    for (const Record& r : Rows(data::TableId::Articulo))
        if (Get(r, "ART:NoArt").asNumber() == Decimal(noArt)) return r;
    return std::nullopt;
}

Decimal DocumentDb::ArticleField(long long noArt, const std::string& field) {
    std::optional<Record> a = Article(noArt);
    EXPECT_TRUE(a.has_value()) << "article " << noArt;
    return a ? Get(*a, field).asNumber() : Decimal();
}

namespace {

// The same on the server the tests' tables are on (TALVOR_TEST_STORE=server).
std::string DumpServer(const std::string& conninfo) {
    storage::server::PgConnection c(conninfo);
    if (!c.open().ok()) return "<cannot open>";
    storage::server::PgResult names;
    c.exec("SELECT tablename FROM pg_tables WHERE schemaname = current_schema() ORDER BY tablename", {}, &names);
    std::string out;
    for (int t = 0; t < names.rows(); ++t) {
        const std::string n(names.text(t, 0));
        storage::server::PgResult r;
        if (!c.exec("SELECT * FROM \"" + n + "\"", {}, &r).ok()) continue;
        std::vector<std::string> rows;
        for (int i = 0; i < r.rows(); ++i) {
            std::string row;
            for (int col = 0; col < r.columns(); ++col) row += (r.isNull(i, col) ? "NULL" : std::string(r.text(i, col))) + "|";
            rows.push_back(std::move(row));
        }
        std::sort(rows.begin(), rows.end());
        if (!rows.empty()) out += "[" + n + "]\n";
        for (const std::string& row : rows) out += row + "\n";
    }
    return out;
}

long long CountServer(storage::server::PgConnection& c, const std::string& sql) {
    storage::server::PgResult r;
    if (!c.exec(sql, {}, &r).ok() || r.rows() != 1) return 0;
    return r.int64(0, 0);
}

}  // namespace

std::string DocumentDb::Dump() {
    if (const std::string server = storage::databaseServer(); !server.empty()) return DumpServer(server);
    // Its own connection: what is committed, nothing of a unit under way.
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(db_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "<cannot open>";
    }
    std::vector<std::string> names;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    // Empty tables are left out: a table that exists and one that does not
    // yet hold the same records.
    for (const std::string& n : names) {
        const std::string sql = "SELECT * FROM \"" + n + "\" ORDER BY 1";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) continue;
        const int cols = sqlite3_column_count(s);
        std::vector<std::string> rows;
        while (sqlite3_step(s) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < cols; ++c) {
                const unsigned char* v = sqlite3_column_text(s, c);
                row += (v != nullptr ? reinterpret_cast<const char*>(v) : "NULL");
                row += '|';
            }
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(s);
        std::sort(rows.begin(), rows.end());
        if (!rows.empty()) out += "[" + n + "]\n";
        for (const std::string& r : rows) out += r + "\n";
    }
    sqlite3_close(db);
    return out;
}

Unfinished DocumentDb::CountUnfinished() {
    Unfinished u;
    const auto lineChecks = {std::tuple{"DetEntradas", "ENTRADA", "Entradas", "Folio"},
                             {"DetSalidas", "SALIDA", "Salidas", "Folio"},
                             {"DetOrdenes", "ORDEN", "Ordenes", "Folio"},
                             {"DetFisico", "INVENTARIO", "Fisico", "ID"}};
    if (const std::string server = storage::databaseServer(); !server.empty()) {
        storage::server::PgConnection c(server);
        if (!c.open().ok()) {
            ADD_FAILURE() << "cannot reach the server";
            return u;
        }
        storage::server::PgResult tables;
        c.exec("SELECT table_name FROM information_schema.columns WHERE table_schema = current_schema() AND "
               "column_name = 'tv_pending'",
               {}, &tables);
        for (int i = 0; i < tables.rows(); ++i)
            u.reservations +=
                CountServer(c, "SELECT count(*) FROM \"" + std::string(tables.text(i, 0)) + "\" WHERE tv_pending<>0");
        if (CountServer(c, "SELECT count(*) FROM pg_class WHERE oid = to_regclass('tv_claim')") != 0)
            u.claims = CountServer(c, "SELECT count(*) FROM tv_claim");
        for (const auto& [lines, link, header, field] : lineChecks)
            u.lines += CountServer(c, std::string("SELECT count(*) FROM \"") + lines + "\" l WHERE NOT EXISTS(SELECT 1 FROM \"" +
                                          header + "\" h WHERE h.\"" + field + "\"=l.\"" + link + "\" AND h.tv_pending=0)");
        return u;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(db_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open the database";
        return u;
    }
    auto count = [db](const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        long long n = 0;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return n;
    };
    std::vector<std::string> tables;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT m.name FROM sqlite_master m WHERE m.type='table' AND EXISTS(SELECT 1 FROM "
                           "pragma_table_info(m.name) WHERE name='tv_pending')",
                       -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    for (const std::string& t : tables) u.reservations += count("SELECT count(*) FROM \"" + t + "\" WHERE tv_pending<>0");
    u.claims = count("SELECT count(*) FROM tv_claim");
    for (const auto& [lines, link, header, field] : lineChecks)
        u.lines += count(std::string("SELECT count(*) FROM ") + lines + " l WHERE NOT EXISTS(SELECT 1 FROM " + header +
                         " h WHERE h." + field + "=l." + link + " AND h.tv_pending=0)");
    sqlite3_close(db);
    return u;
}

bool DocumentDb::IntegrityOk() {
    std::unique_ptr<storage::Connection> c = storage::Connection::open(db_);
    return c->openStatus().ok() && c->integrityCheck().ok();
}

void DocumentDb::ExpectKilledAtEachLeavesItAsBefore(const std::vector<StepPoint>& points,
                                                    const std::function<int()>& body, const std::string& before) {
    for (const StepPoint& at : points) {
        ASSERT_EQ(RunAndKillAt(at, body), Crash::KilledAtStep) << at.step << " " << at.n;
        EXPECT_TRUE(IntegrityOk()) << at.step << " " << at.n;
        EXPECT_EQ(Dump(), before) << at.step << " " << at.n;
    }
}

bool DocumentDb::LedgerMatchesTotals() {
    std::map<std::string, Decimal> ledger;
    for (const Record& k : Rows(data::TableId::Kardex))
        ledger[Get(k, "KAR:ARTICULO").asNumber().toText()] +=
            Get(k, "KAR:Entrada").asNumber() - Get(k, "KAR:Salida").asNumber();
    bool ok = true;
    for (const Record& a : Rows(data::TableId::Articulo)) {
        const std::string noArt = Get(a, "ART:NoArt").asNumber().toText();
        const Decimal moved = Get(a, "ART:Entradas").asNumber() - Get(a, "ART:Salidas").asNumber();
        if (moved != ledger[noArt]) {
            ADD_FAILURE() << "article " << noArt << ": totals " << moved.toText() << ", ledger "
                          << ledger[noArt].toText();
            ok = false;
        }
    }
    return ok;
}

}  // namespace tv::movements::test
