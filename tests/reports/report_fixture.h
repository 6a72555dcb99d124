#pragma once
// What the report and query tests share: a scratch database with articles,
// units, brands, categories and ledger rows stored directly, and the text a
// report prints, line by line.
#include <sstream>
#include <string>
#include <vector>

#include "data/transaction.h"
#include "platform/report/text_writer.h"
#include "tests/catalog/catalogue_fixture.h"

namespace tv::reports::test_support {

using test::onThread;
using test::runFor;
using test::settle;

struct Art {
    long long noArt = 0;
    std::string descripcion;
    long long um = 0, marca = 0, categoria = 0;
    const char* anterior = "0";
    const char* entradas = "0";
    const char* salidas = "0";
    const char* pedido = "0";
    const char* recibido = "0";
    const char* costo = "0";
    const char* maximo = "0";
    const char* minimo = "0";
    const char* ideal = "0";
};

struct KardexRow {
    long long articulo = 0;
    const char* fecha = "";  // dd/mm/yyyy
    std::string documento, concepto, referencia;
    const char* entrada = "0";
    const char* salida = "0";
    const char* existencia = "0";
};

inline Value dec(const char* text) { return Value(*Decimal::parse(text)); }

class ReportFixture : public catalog::test_support::CatalogueFixture {
protected:
    using Row = std::vector<std::pair<std::string, Value>>;
    // Stores the rows in one unit of work, straight into the table: `keep`
    // stores auto-numbered codes as given.
    void insertAll(data::TableId t, const std::vector<Row>& rows, bool keep = false) {
        test::onThread([&] {
            data::DataTransaction tx;
            ASSERT_TRUE(tx.ok());
            storage::Table file(data::tables().connection(), data::storageDef(t));
            Record r(data::decl(t).layout);
            for (const Row& row : rows) {
                r.clear();
                for (const auto& [field, value] : row) r.set(data::decl(t).fieldIndex(field), value);
                EXPECT_TRUE(file.insert(r, keep ? storage::Table::Numbering::Keep : storage::Table::Numbering::Assign).ok());
            }
            EXPECT_TRUE(tx.commit());
        });
    }
    void addArticles(const std::vector<Art>& arts) {
        std::vector<Row> rows;
        for (const Art& a : arts)
            rows.push_back({{"ART:NoArt", Value(a.noArt)},
                            {"ART:Descripcion", Value(a.descripcion)},
                            {"ART:UM", Value(a.um)},
                            {"ART:Marca", Value(a.marca)},
                            {"ART:Categoria", Value(a.categoria)},
                            {"ART:ExistenciaAnterior", dec(a.anterior)},
                            {"ART:Entradas", dec(a.entradas)},
                            {"ART:Salidas", dec(a.salidas)},
                            {"ART:Pedido", dec(a.pedido)},
                            {"ART:Recibido", dec(a.recibido)},
                            {"ART:CostoPromedio", dec(a.costo)},
                            {"ART:StockMaximo", dec(a.maximo)},
                            {"ART:StockMinimo", dec(a.minimo)},
                            {"ART:StockIdeal", dec(a.ideal)}});
        insertAll(data::TableId::Articulo, rows);
    }
    // Catalogue rows with the codes given (not numbered).
    void addCodes(data::TableId t, const char* code, const char* name,
                  const std::vector<std::pair<long long, std::string>>& rows) {
        std::vector<Row> out;
        for (const auto& [c, n] : rows) out.push_back({{code, Value(c)}, {name, Value(n)}});
        insertAll(t, out, true);
    }
    void addUnits(const std::vector<std::pair<long long, std::string>>& rows) {
        addCodes(data::TableId::Unidades, "UNI:Codigo", "UNI:UM", rows);
    }
    void addBrands(const std::vector<std::pair<long long, std::string>>& rows) {
        addCodes(data::TableId::Marcas, "MAR:Codigo", "MAR:Marca", rows);
    }
    void addCategories(const std::vector<std::pair<long long, std::string>>& rows) {
        addCodes(data::TableId::CatArticulos, "CAR:Codigo", "CAR:Descripcion", rows);
    }
    void addKardex(const std::vector<KardexRow>& rows) {
        std::vector<Row> out;
        for (const KardexRow& k : rows) {
            long day = 0;
            if (*k.fecha) day = Picture::parse("d6")->read(k.fecha)->asNumber().toInt64();
            out.push_back({{"KAR:Articulo", Value(k.articulo)},
                           {"KAR:Fecha", Value(static_cast<long long>(day))},
                           {"KAR:Documento", Value(k.documento)},
                           {"KAR:Concepto", Value(k.concepto)},
                           {"KAR:Referencia", Value(k.referencia)},
                           {"KAR:Entrada", dec(k.entrada)},
                           {"KAR:Salida", dec(k.salida)},
                           {"KAR:Existencia", dec(k.existencia)}});
        }
        insertAll(data::TableId::Kardex, out);
    }
};

// The pages as the text writer prints them, line by line (pages apart by
// a line "<page>").
inline std::vector<std::string> textLines(const std::vector<report::Page>& pages) {
    report::TextPageWriter w;
    w.options.pageSeparator = "<page>\n";
    std::istringstream in(w.render(pages));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace tv::reports::test_support
