#include "bench/server/bare_receipts.h"

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "bench/support/bare_sqlite.h"
#include "platform/storage/server/pg_connection.h"

namespace tv::bench {

namespace {

using storage::server::parseScaled;
using storage::server::scaledText;

constexpr long kDate = 80000;
constexpr const char* kSupplier = "PROV1";
constexpr const char* kReference = "FACT-1";

// The statements, prepared once by name.
const char* const kStatements[][2] = {
    {"folio_used", "SELECT 1 FROM \"Entradas\" WHERE \"Folio\"=$1 AND tv_pending=0 AND (\"Folio\"<>0)"},
    {"lines", "SELECT \"ID\",\"CodigoArticulo\",\"Cantidad\",\"CostoUnitario\" FROM \"DetEntradas\" WHERE "
              "\"ENTRADA\"=$1 ORDER BY tv_row"},
    {"type", "SELECT \"Descripcion\" FROM \"TipEntradas\" WHERE \"Codigo\"=$1 AND (\"Codigo\"<>0)"},
    {"last", "SELECT GREATEST(COALESCE((SELECT last FROM tv_autonumber WHERE tbl=$1 AND col='id'),0),"
             "COALESCE((SELECT max(\"ID\") FROM \"Kardex\"),0),0) WHERE $1='kardex' UNION ALL "
             "SELECT GREATEST(COALESCE((SELECT last FROM tv_autonumber WHERE tbl=$1 AND col='id'),0),"
             "COALESCE((SELECT max(\"ID\") FROM \"PreProv\"),0),0) WHERE $1='preprov'"},
    {"article", "SELECT tv_row,\"ExistenciaAnterior\",\"Entradas\",\"Salidas\",\"COSTOPROMEDIO\" FROM \"Articulo\" "
                "WHERE \"NoArt\"=$1 AND tv_pending=0 AND (\"NoArt\"<>0) ORDER BY \"NoArt\",tv_row LIMIT 1"},
    {"article_set", "UPDATE \"Articulo\" SET \"Entradas\"=$1,\"COSTOPROMEDIO\"=$2,tv_version=$3 WHERE tv_row=$4"},
    {"ledger", "INSERT INTO \"Kardex\"(\"ID\",\"ARTICULO\",\"Fecha\",\"Documento\",\"Concepto\",\"Referencia\","
               "\"Entrada\",\"Salida\",\"Existencia\",\"COSTOUNITARIO\",\"COSTOPROMEDIO\",tv_version,tv_pending) "
               "VALUES($1,$2,$3,$4,$5,$6,$7,0,$8,$9,$10,$11,0)"},
    {"price", "INSERT INTO \"PreProv\"(\"ID\",\"Articulo\",\"PROVEEDOR\",\"Entrada\",\"Precio\",tv_version,"
              "tv_pending) VALUES($1,$2,$3,$4,$5,$6,0)"},
    {"counter", "SELECT tv_row,\"ENTRADAS\" FROM \"Folios\" ORDER BY tv_row LIMIT 1"},
    {"advance", "UPDATE \"Folios\" SET \"ENTRADAS\"=$1,tv_version=$2 WHERE tv_row=$3"},
    {"header", "UPDATE \"Entradas\" SET \"Folio\"=$1,\"TIPO\"=1,\"Fecha\"=$2,\"OrdenCompra\"=0,\"PROVEEDOR\"=$3,"
               "\"Referencia\"=$4,tv_version=$5,tv_pending=0,tv_owner=NULL WHERE tv_row=$6 AND tv_pending=1"},
    {"note", "INSERT INTO tv_autonumber(tbl,col,last) VALUES($1,'id',$2) ON CONFLICT(tbl,col) DO UPDATE SET "
             "last=excluded.last WHERE excluded.last>tv_autonumber.last"},
};

// One prepared statement's result, cleared on the way out.
struct Result {
    PGresult* r;
    Result(PGconn* c, const char* name, std::initializer_list<std::string> params) {
        std::vector<const char*> v;
        for (const std::string& p : params) v.push_back(p.c_str());
        r = PQexecPrepared(c, name, static_cast<int>(v.size()), v.data(), nullptr, nullptr, 0);
    }
    ~Result() { PQclear(r); }
    bool rows() const { return PQresultStatus(r) == PGRES_TUPLES_OK; }
    bool done(int64_t changed = -1) const {
        return PQresultStatus(r) == PGRES_COMMAND_OK && (changed < 0 || std::atoll(PQcmdTuples(r)) == changed);
    }
    int count() const { return PQntuples(r); }
    int64_t i(int row, int col) const { return std::atoll(PQgetvalue(r, row, col)); }
    int64_t cents(int row, int col) const {
        int64_t v = 0;
        parseScaled(PQgetvalue(r, row, col), 2, v);
        return v;
    }
};

std::string n(int64_t v) { return std::to_string(v); }
std::string c2(int64_t cents) { return scaledText(cents, 2); }

}  // namespace

BareReceipts::BareReceipts(const std::string& conninfo) : c_(PQconnectdb(conninfo.c_str())) {
    for (const auto& s : kStatements) PQclear(PQprepare(c_, s[0], s[1], 0, nullptr));
}

BareReceipts::~BareReceipts() { PQfinish(c_); }

bool BareReceipts::rollback() {
    PQclear(PQexec(c_, "ROLLBACK"));
    return false;
}

bool BareReceipts::Complete(long long folio, const std::set<long long>& lineIds, int64_t headerRow) {
    PGresult* b = PQexec(c_, "BEGIN; SET LOCAL lock_timeout = '10000ms'; SELECT pg_advisory_xact_lock(1)");
    const bool begun = PQresultStatus(b) == PGRES_TUPLES_OK;
    PQclear(b);
    if (!begun) return rollback();
    if (Result used(c_, "folio_used", {n(folio)}); !used.rows() || used.count() != 0) return rollback();
    struct Line {
        int64_t article, quantity, cost;
    };
    std::vector<Line> lines;
    {
        Result r(c_, "lines", {n(folio)});
        if (!r.rows()) return rollback();
        for (int i = 0; i < r.count(); ++i) {
            if (lineIds.count(r.i(i, 0)) == 0) return rollback();
            lines.push_back({r.i(i, 1), r.cents(i, 2), r.cents(i, 3)});
        }
    }
    std::string concepto;
    if (Result t(c_, "type", {"1"}); t.rows() && t.count() > 0) concepto = PQgetvalue(t.r, 0, 0);
    int64_t ledgerId = 0, priceId = 0;
    {
        Result k(c_, "last", {"kardex"});
        Result p(c_, "last", {"preprov"});
        if (!k.rows() || !p.rows()) return rollback();
        ledgerId = k.i(0, 0);
        priceId = p.i(0, 0);
    }
    const int64_t firstLedger = ledgerId, firstPrice = priceId;
    const std::string document = "ENT-" + n(folio);
    for (const Line& l : lines) {
        if (l.quantity <= 0 || l.cost < 0) return rollback();
        Result a(c_, "article", {n(l.article)});
        if (!a.rows() || a.count() != 1) return rollback();
        const int64_t row = a.i(0, 0), stock = a.cents(0, 1) + a.cents(0, 2) - a.cents(0, 3);
        int64_t average = a.cents(0, 4), ledgerAverage = 0;
        if (l.cost != 0) {
            if (stock <= 0) {
                average = l.cost;
            } else {
                const int64_t sum = MulCents(stock, average) + MulCents(l.quantity, l.cost);
                average = sum == 0 ? 0 : DivCents(sum, stock + l.quantity);
            }
            ledgerAverage = average;
        }
        if (!Result(c_, "article_set", {c2(a.cents(0, 2) + l.quantity), c2(average), n(++version_), n(row)}).done(1) ||
            !Result(c_, "ledger", {n(++ledgerId), n(l.article), n(kDate), document, concepto, kReference,
                                   c2(l.quantity), c2(stock + l.quantity), c2(l.cost), c2(ledgerAverage),
                                   n(++version_)})
                 .done(1) ||
            !Result(c_, "price", {n(++priceId), n(l.article), kSupplier, n(folio), c2(l.cost), n(++version_)}).done(1))
            return rollback();
    }
    {
        Result counter(c_, "counter", {});
        if (!counter.rows() || counter.count() != 1) return rollback();
        if (counter.i(0, 1) < folio + 1 &&
            !Result(c_, "advance", {n(folio + 1), n(++version_), n(counter.i(0, 0))}).done(1))
            return rollback();
    }
    if (!Result(c_, "header", {n(folio), n(kDate), kSupplier, kReference, n(++version_), n(headerRow)}).done(1))
        return rollback();
    if ((ledgerId > firstLedger && !Result(c_, "note", {"kardex", n(ledgerId)}).done()) ||
        (priceId > firstPrice && !Result(c_, "note", {"preprov", n(priceId)}).done()))
        return rollback();
    PGresult* r = PQexec(c_, "COMMIT");
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    return ok;
}

std::string SchemasDiffer(const std::string& conninfo, const std::string& a, const std::string& b) {
    PGconn* c = PQconnectdb(conninfo.c_str());
    std::string differs;
    PGresult* tables = PQexec(c, ("SELECT table_name, string_agg(quote_ident(column_name), ',' ORDER BY "
                                  "ordinal_position) FROM information_schema.columns WHERE table_schema='" +
                                  a + "' AND column_name NOT IN ('tv_version','tv_owner') GROUP BY table_name "
                                      "ORDER BY table_name")
                                     .c_str());
    if (PQresultStatus(tables) != PGRES_TUPLES_OK || PQntuples(tables) == 0) differs = "no tables to compare";
    for (int t = 0; t < PQntuples(tables) && differs.empty(); ++t) {
        const std::string table = "\"" + std::string(PQgetvalue(tables, t, 0)) + "\"";
        const std::string cols = PQgetvalue(tables, t, 1);
        const std::string sa = "SELECT " + cols + " FROM " + a + "." + table;
        const std::string sb = "SELECT " + cols + " FROM " + b + "." + table;
        PGresult* r = PQexec(c, ("SELECT (SELECT count(*) FROM (" + sa + " EXCEPT ALL " + sb + ") x) + (SELECT count(*) FROM (" +
                                 sb + " EXCEPT ALL " + sa + ") y)")
                                    .c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK)
            differs = table + ": " + PQresultErrorMessage(r);
        else if (std::atoll(PQgetvalue(r, 0, 0)) != 0)
            differs = table + ": " + PQgetvalue(r, 0, 0) + " rows differ";
        PQclear(r);
    }
    PQclear(tables);
    PQfinish(c);
    return differs;
}

}  // namespace tv::bench
