#pragma once
// A scratch database with the rows a closing works on, stored directly
// through the table layer, and a dump of the stored tables to compare
// states byte for byte.
#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "platform/storage/driver.h"
#include "platform/types/date.h"
#include "platform/types/decimal.h"
#include "tests/data/data_fixture.h"

namespace tv::reports::test {

using data::TableId;
using data::ThreadTableSet;

// The day the tests close on, 1 April 2025. A function, not a constant at
// namespace scope: such a constant may be computed before the date
// routines' own are, and then holds another day.
inline long ClosingDay() { return dateFromYmd(2025, 4, 1); }

// "150.50" as a field's raw value with two places, and as a value to store.
inline long long cents(const char* text) { return Decimal::parse(text).value().toScaled(2); }
inline Value dec(const char* text) { return Value(Decimal::parse(text).value()); }

// Rows of a database, stored through one table set.
class Seeder {
public:
    explicit Seeder(ThreadTableSet& set) : set_(set) {}

    void article(long long noArt, const char* entradas, const char* salidas, const char* costo = "0",
                 const char* anterior = "0", const char* pedido = "0", const char* recibido = "0") {
        put(TableId::Articulo, {{"ART:NoArt", noArt},
                                {"ART:Descripcion", "Artículo " + std::to_string(noArt)},
                                {"ART:CodigoBarras", "75010" + std::to_string(noArt)},
                                {"ART:Entradas", dec(entradas)},
                                {"ART:Salidas", dec(salidas)},
                                {"ART:COSTOPROMEDIO", dec(costo)},
                                {"ART:ExistenciaAnterior", dec(anterior)},
                                {"ART:Pedido", dec(pedido)},
                                {"ART:Recibido", dec(recibido)},
                                {"ART:StockMinimo", dec("3.00")},
                                {"ART:Notas", std::string("nota de ") + std::to_string(noArt)}});
    }
    void ledgerRow(long long article, const std::string& documento, const char* entrada, const char* salida,
                   const char* costo = "12.34") {
        put(TableId::Kardex, {{"KAR:ARTICULO", article},
                              {"KAR:Fecha", dateFromYmd(2025, 3, 14)},
                              {"KAR:Documento", documento},
                              {"KAR:Concepto", "COMPRA"},
                              {"KAR:Entrada", dec(entrada)},
                              {"KAR:Salida", dec(salida)},
                              {"KAR:COSTOUNITARIO", dec(costo)},
                              {"KAR:COSTOPROMEDIO", dec(costo)}});
    }
    // A receipt with `lines` lines and, with a supplier, its price rows.
    void receipt(long long folio, int lines, const std::string& proveedor = "PROV1") {
        put(TableId::Entradas, {{"ENT:Folio", folio}, {"ENT:TIPO", 1LL}, {"ENT:Fecha", dateFromYmd(2025, 3, 14)},
                                {"ENT:PROVEEDOR", proveedor}, {"ENT:Referencia", "FAC-" + std::to_string(folio)}});
        for (int i = 0; i < lines; ++i) {
            put(TableId::DetEntradas, {{"DEN:ENTRADA", folio},
                                       {"DEN:CodigoArticulo", static_cast<long long>(i + 1)},
                                       {"DEN:Cantidad", dec("2.50")},
                                       {"DEN:CostoUnitario", dec("10.00")}});
            if (!proveedor.empty())
                put(TableId::PreProv, {{"PPV:Articulo", static_cast<long long>(i + 1)},
                                       {"PPV:PROVEEDOR", proveedor},
                                       {"PPV:Entrada", folio},
                                       {"PPV:Precio", dec("10.00")}});
        }
    }
    void issue(long long folio, int lines) {
        put(TableId::Salidas, {{"SAL:Folio", folio}, {"SAL:TIPO", 1LL}, {"SAL:Fecha", dateFromYmd(2025, 3, 15)},
                               {"SAL:RECIBE", 3LL}});
        for (int i = 0; i < lines; ++i)
            put(TableId::DetSalidas, {{"DES:SALIDA", folio},
                                      {"DES:CodigoArticulo", static_cast<long long>(i + 1)},
                                      {"DES:Cantidad", dec("1.25")}});
    }
    // An order and its lines, each {ordered, received}.
    void order(long long folio, long long percent, const std::vector<std::pair<const char*, const char*>>& lines) {
        put(TableId::Ordenes, {{"ORD:Folio", folio}, {"ORD:PorcSurtido", percent}, {"ORD:Proveedor", "PROV1"},
                               {"ORD:Prioridad", "ALTA"}, {"ORD:Nota", "orden " + std::to_string(folio)}});
        long long article = 0;
        for (const auto& [ordered, received] : lines)
            put(TableId::DetOrdenes, {{"DOR:ORDEN", folio},
                                      {"DOR:Articulo", ++article},
                                      {"DOR:Cantidad", dec(ordered)},
                                      {"DOR:Recibido", dec(received)}});
    }
    // What the closing must leave alone.
    void untouched() {
        put(TableId::Folios, {{"FOL:ENTRADAS", 501LL}, {"FOL:SALIDAS", 302LL}, {"FOL:ORDENCOMPRA", 77LL}});
        put(TableId::Fisico, {{"FIS:Fecha", dateFromYmd(2025, 3, 1)}, {"FIS:Descripcion", "Conteo de marzo"}});
        put(TableId::DetFisico, {{"DFI:INVENTARIO", 1LL}, {"DFI:CodigoArticulo", 1LL}, {"DFI:Existencia", dec("9.00")}});
        put(TableId::Temporden, {{"TOR:Articulo", 2LL}, {"TOR:Cantidad", dec("4.00")}});
        put(TableId::Marcas, {{"MAR:Marca", "Acme"}});
        put(TableId::Proveedores, {{"PVD:Codigo", "PROV1"}, {"PVD:Nombre", "Proveedor Uno"}});
    }

    using Row = std::vector<std::pair<std::string, Value>>;
    void put(TableId t, const Row& row) {
        data::TableGateway& g = set_.gateway(t);
        g.BUFFER.clear();
        for (const auto& [field, value] : row) g.BUFFER.set(data::decl(t).fieldIndex(field), value);
        ASSERT_EQ(g.InsertRecord(), data::kDone) << data::decl(t).label;
    }

private:
    ThreadTableSet& set_;
};

// Creates every table that does not exist yet, as the program's first run
// does (a unit of work makes them all before it begins).
inline void createEveryTable(ThreadTableSet& set) {
    for (int t = 0; t < data::kTableCount; ++t)
        ASSERT_EQ(set.gateway(static_cast<TableId>(t)).UseOnDemand(), data::kDone);
}

// Every stored table of a database (the file's or, on the server, the
// test's schema), row by row in record order, as text. Columns named in
// `skip` (e.g. "tv_version": the watch's stamps differ between two runs of
// the same work) are left out; with `only`, just the tables named. Read
// through the connection's driver, so the same dump serves either store.
inline std::string dumpDatabase(storage::Connection& c, const std::vector<std::string>& skip = {},
                                const std::vector<std::string>& only = {}) {
    storage::Driver& d = c.driver();
    const bool server = d.dialect().server();
    auto lower = [](std::string s) {
        for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return s;
    };
    auto column = [](storage::Statement& s, int i) {
        return s.columnType(i) == storage::Statement::Type::Null ? std::string("NULL") : std::string(s.columnText(i));
    };
    // Every first column of `sql`'s rows (with ?1 and ?2 bound when given).
    auto firsts = [&](const std::string& sql, const std::string& p1 = {}) {
        std::vector<std::string> out;
        storage::Status failure;
        std::unique_ptr<storage::Statement> s = d.prepare(sql, failure);
        if (!s) return out;
        if (s->parameterCount() >= 1) s->bindTextCopy(1, p1);
        if (s->parameterCount() >= 2) s->bindTextCopy(2, "main");
        while (s->step() == storage::Statement::Step::Row) out.push_back(column(*s, 0));
        return out;
    };
    const std::vector<std::string> tables =
        firsts(server ? "SELECT tablename FROM pg_tables WHERE schemaname = current_schema() ORDER BY tablename"
                      : "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name");
    std::string out;
    for (const std::string& t : tables) {
        if (!only.empty() && std::find(only.begin(), only.end(), t) == only.end()) continue;
        // Columns by name: the two stores list them in their own orders.
        std::vector<std::string> columns;
        for (const std::string& name : firsts(d.dialect().columnsSql(), t)) {
            bool skipped = false;
            for (const std::string& k : skip) skipped = skipped || lower(k) == lower(name);
            if (!skipped) columns.push_back(name);
        }
        std::sort(columns.begin(), columns.end(), [&](const std::string& x, const std::string& y) { return lower(x) < lower(y); });
        std::string list, order;
        for (size_t i = 0; i < columns.size(); ++i) {
            list += (i ? ", \"" : "\"") + columns[i] + "\"";
            order += (i ? ", " : "") + std::to_string(i + 1);
        }
        if (t == "tv_autonumber") order = "tbl, col";
        else if (std::find(columns.begin(), columns.end(), "tv_row") != columns.end()) order = "tv_row";
        storage::Status failure;
        std::unique_ptr<storage::Statement> s = d.prepare("SELECT " + list + " FROM \"" + t + "\" ORDER BY " + order, failure);
        if (!s) {
            out += "!" + t + ": " + failure.text + "\n";
            continue;
        }
        out += "[" + t + "]\n";
        while (s->step() == storage::Statement::Step::Row) {
            for (size_t i = 0; i < columns.size(); ++i) out += columns[i] + "=" + column(*s, static_cast<int>(i)) + "|";
            out += "\n";
        }
    }
    return out;
}

// A test database in a scratch folder with its own table set; messages are
// recorded with the transaction depth at which they were shown.
class ClosingTest : public data::test::DataTest {
protected:
    std::string dump(const std::vector<std::string>& skip = {}, const std::vector<std::string>& only = {}) {
        return dumpDatabase(*conn, skip, only);
    }
    // Stores the rows `fill` puts in one unit (thousands of rows stay quick).
    // Every table exists afterwards, as it does once the program has run.
    template <class F>
    void seed(F fill) {
        Seeder s(*set);
        data::DataTransaction tx(*set);
        ASSERT_TRUE(tx.ok());
        fill(s);
        ASSERT_TRUE(tx.commit());
        createEveryTable(*set);
    }
    long long field(TableId t, const char* name) { return set->buffer(t).raw(data::decl(t).fieldIndex(name)); }
    std::string textOf(TableId t, const char* name) { return text(t, name); }
    // Reads the article by number into the Articulo buffer.
    bool readArticle(long long noArt) {
        Record& a = set->Articulo();
        a.clear();
        a.setRaw(data::decl(TableId::Articulo).fieldIndex("ART:NoArt"), noArt);
        return set->ArticuloTableGateway().ReadByKey("ART:KeyNoArt") == data::kDone;
    }
    // The ledger rows, in record order, as text: article, date, document,
    // concept, reference (blanks at their end cut), in, out, stock, unit
    // cost, average cost.
    std::vector<std::string> ledger() {
        std::vector<std::string> out;
        data::TableGateway& g = set->KardexTableGateway();
        Record& k = g.BUFFER;
        g.SetPositionToStart();
        while (g.ReadNext() == data::kDone) {
            auto dec = [&](const char* f) { return k.number(data::decl(TableId::Kardex).fieldIndex(f)).toFixed(2); };
            out.push_back(std::to_string(field(TableId::Kardex, "KAR:ARTICULO")) + " " +
                          std::to_string(field(TableId::Kardex, "KAR:Fecha")) + " [" + text(TableId::Kardex, "KAR:Documento") +
                          "] [" + text(TableId::Kardex, "KAR:Concepto") + "] [" +
                          text(TableId::Kardex, "KAR:Referencia") + "] " + dec("KAR:Entrada") +
                          " " + dec("KAR:Salida") + " " + dec("KAR:Existencia") + " " + dec("KAR:COSTOUNITARIO") + " " +
                          dec("KAR:COSTOPROMEDIO"));
        }
        return out;
    }
    int64_t count(TableId t) { return set->gateway(t).RecordCount(); }
};

}  // namespace tv::reports::test
