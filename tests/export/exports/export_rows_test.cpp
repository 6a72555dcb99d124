// The two exports without their windows: the rows each choice gives, and
// the workbooks written, read back with a real spreadsheet reader.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/automation/container.h"
#include "export/automation/spreadsheet_automation.h"
#include "export/exports/export_rows.h"
#include "platform/errors/error_reporter.h"
#include "tests/export/exports/export_fixture.h"
#include "tests/export/xlsx_reader.h"
#include "tests/support/scratch_dir.h"

namespace tv::exports {
namespace {

using namespace test_support;
using Rows = std::vector<std::string>;

std::string shown(const ExportRow& r) {
    std::string out;
    for (size_t i = 0; i < r.size(); ++i) {
        if (i > 0) out += '|';
        if (r[i].kind == ExportValue::Kind::Number) out += "#" + automation::NumberText(r[i].number);
        else out += r[i].text;
    }
    return out;
}

class ExportRows : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorReporter::instance().setUp();
        seedArticles(conn);
        seedSuppliers(conn);
    }
    Rows articles(const std::string& filter, double order, Status* status = nullptr) {
        Rows out;
        Status st = ReadArticleRows(set, filter, order, [&](const ExportRow& r) {
            out.push_back(shown(r));
            return true;
        });
        if (status != nullptr) *status = st;
        else EXPECT_TRUE(st) << st.message();
        return out;
    }
    Rows suppliers(const std::string& filter) {
        Rows out;
        Status st = ReadSupplierRows(set, filter, [&](const ExportRow& r) {
            out.push_back(shown(r));
            return true;
        });
        EXPECT_TRUE(st) << st.message();
        return out;
    }

    test::ScratchDir dir;
    storage::Connection conn{dir.file("talvor.db")};
    data::ThreadTableSet set{conn};
};

const std::string k0 = "#0|Sin número|PIEZA|Truper|Herramientas||||";
const std::string k10 = "#10|=1+1 no es fórmula|CAJA|Truper|Tornillería|12345678901234567890|||1 L";
const std::string k20 = "#20|Broca ÁÉÍÓÚ ñ|||Tornillería||||";
const std::string k30 = "#30|Martillo de uña|PIEZA|Stanley|Herramientas|0075012345678|M-16|16 oz|";
const std::string k40 = "#40|Desarmador|PIEZA|Stanley|||007||";

TEST_F(ExportRows, ArticlesByChoiceAndOrder) {
    const struct {
        const char* what;
        std::string filter;
        double order;
        Rows rows;
    } cases[] = {
        {"every article by number, no blank rows", "", 1, {k0, k10, k20, k30, k40}},
        {"by brand: brand 0 first without a blank row", "", 2, {k20, "", k0, k10, "", k30, k40}},
        {"by category: a blank row before each", "", 3, {"", k0, k30, "", k10, k20, "", k40}},
        {"one category, by number", "art:categoria = 4", 1, {k0, k30}},
        {"a range of numbers", "ART:NoArt >= 10 and ART:NoArt <= 30", 1, {k10, k20, k30}},
        {"a range of brands and one category",
         "ART:Marca >= 1 and ART:Marca <= 4 and ART:categoria >= 7 and ART:categoria <= 7", 2, {"", k10}},
        {"a range whose first bound is above its last", "ART:NoArt >= 30 and ART:NoArt <= 10", 1, {}},
        {"an empty last bound counts as 0", "ART:NoArt >= 10 and ART:NoArt <= 0", 1, {}},
        {"the whole part of the order", "", 2.9, {k20, "", k0, k10, "", k30, k40}},
        {"an order that is none of the three", "", 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(articles(c.filter, c.order), c.rows);
    }
    Status bad;
    EXPECT_TRUE(articles("ART:Nada = 1", 1, &bad).empty());
    EXPECT_FALSE(bad);
    EXPECT_NE(bad.message().find("no es válido"), std::string::npos) << bad.message();
}

TEST_F(ExportRows, SuppliersWithTheirPlacesAsTheCataloguesWriteThem) {
    const std::string p1 = "ACME|Acme SA||Acme|Av. Uno 100|Col. Centro|Monterrey|Nuevo León|México|064000|ACM010101AAA|ventas@acme.mx";
    const std::string p2 = "007|Bond y Cía|Sucursal Norte||||||México|||";
    const std::string p3 = "=SUMA|Fórmulas SA|||||Guadalajara|Jalisco||||";
    const std::string p4 = "Z|Zeta||||||||||";
    const struct {
        SupplierChoice choice;
        std::string filter;
        Rows rows;
    } cases[] = {
        {{1, 0, 0, 0}, "", {p1, p2, p3, p4}},
        {{2, 2, 3, 0}, "pvd:ID >= 2 and pvd:ID <= 3", {p2, p3}},
        {{2, 3, 7, 0}, "pvd:ID >= 3 and pvd:ID <= 7", {p3, p4}},
        {{3, 0, 0, 4}, "pvd:ID = 4", {p4}},
        {{2, 3, 1, 0}, "pvd:ID >= 3 and pvd:ID <= 1", {}},
        {{2, 2, 0, 0}, "pvd:ID >= 2 and pvd:ID <= 0", {}},
        {{3, 0, 0, -5}, "pvd:ID = -5", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        EXPECT_EQ(SupplierFilter(c.choice), c.filter);
        EXPECT_EQ(suppliers(c.filter), c.rows);
    }
}

class ExportFiles : public ExportRows {
protected:
    test::XlsxDump run(const ExportRequest& r, Status* status = nullptr, ExportSummary* summary = nullptr) {
        Status st = RunExport(xl, box, set, r, summary);
        if (status != nullptr) *status = st;
        else EXPECT_TRUE(st) << st.message();
        if (!st) return {};
        std::string error;
        std::optional<test::XlsxDump> d = test::XlsxDump::Read(r.path, &error);
        EXPECT_TRUE(d) << error;
        return d.value_or(test::XlsxDump{});
    }
    const std::string company = "EL NOMBRE DE SU EMPRESA" + std::string(37, ' ');
    automation::AutomationContainer box;
    automation::SpreadsheetAutomation xl;
};

TEST_F(ExportFiles, TheArticleWorkbookReadsBackCellByCell) {
    const test::XlsxDump d = run({ExportKind::Articles, "ART:Marca >= 1 and ART:Marca <= 4", 2, company,
                                  dir.file("articulos.xlsx").string()});
    EXPECT_EQ(d.sheets, (std::vector<std::string>{"Hoja1|work|visible"}));
    EXPECT_EQ(d.sheetCells("Hoja1"),
              (Rows{"A1=s:EL NOMBRE DE SU EMPRESA", "A10=n:40", "A2=s:Catálogo de artículos", "A4=s:No art.",
                    "A6=n:0", "A7=n:10", "A9=n:30", "B10=s:Desarmador", "B4=s:Descripción", "B6=s:Sin número",
                    "B7=s:=1+1 no es fórmula", "B9=s:Martillo de uña", "C10=s:PIEZA", "C4=s:UM", "C6=s:PIEZA",
                    "C7=s:CAJA", "C9=s:PIEZA", "D10=s:Stanley", "D4=s:Marca", "D6=s:Truper", "D7=s:Truper",
                    "D9=s:Stanley", "E4=s:Categoría", "E6=s:Herramientas", "E7=s:Tornillería", "E9=s:Herramientas",
                    "F4=s:Cod Barras", "F7=s:12345678901234567890", "F9=s:0075012345678", "G10=s:007",
                    "G4=s:Modelo", "G9=s:M-16", "H4=s:Tamaño", "H9=s:16 oz", "I4=s:Capacidad", "I7=s:1 L"}))
        << "rows 5 and 8 are the blank rows before brands 1 and 4";
}

TEST_F(ExportFiles, TheSupplierWorkbookLeavesC4AndF4Empty) {
    const test::XlsxDump d = run({ExportKind::Suppliers, SupplierFilter({3, 0, 0, 1}), 1, company,
                                  dir.file("proveedores.xlsx").string()});
    EXPECT_EQ(d.sheetCells("Hoja1"),
              (Rows{"A1=s:EL NOMBRE DE SU EMPRESA", "A2=s:Catálogo de proveedores", "A4=s:Código", "A5=s:ACME",
                    "B4=s:Nombre", "B5=s:Acme SA", "D4=s:Nombre comercial", "D5=s:Acme", "E4=s:Dirección",
                    "E5=s:Av. Uno 100", "F5=s:Col. Centro", "G4=s:Ciudad", "G5=s:Monterrey", "H4=s:Estado",
                    "H5=s:Nuevo León", "I4=s:País", "I5=s:México", "J4=s:CP", "J5=s:064000", "K4=s:RFC",
                    "K5=s:ACM010101AAA", "L4=s:Email", "L5=s:ventas@acme.mx"}));
}

// One byte that is not UTF-8 in a stored text (an outside edit of the
// database) used to make every workbook of the export unreadable, reported
// as saved. Each workbook is read back: the bad byte is U+FFFD, the summary
// counts the cells for the user, and a stored "_x000D_" stays that text.
TEST_F(ExportFiles, StoredTextsThatAreNotUtf8AreWrittenReadablyAndCounted) {
    const std::string R = "\xEF\xBF\xBD";
    storeRawText(conn, TableId::Articulo, "ART:Descripcion", "ART:NoArt", 20, "Broca \xE1 1/4");  // Latin-1 á
    storeRawText(conn, TableId::Articulo, "ART:Modelo", "ART:NoArt", 40, "M\xFF");
    storeRawText(conn, TableId::Proveedores, "PVD:Nombre", "PVD:Id", 2, "Bond y C\xED" "a");
    storeRawText(conn, TableId::Proveedores, "PVD:Nombre2", "PVD:Id", 4, "_x000D_");
    const struct {
        ExportRequest request;
        std::vector<std::pair<std::string, std::string>> cells;
        int64_t repaired;
        std::string first;
    } cases[] = {
        {{ExportKind::Articles, "", 1, company, dir.file("articulos.xlsx").string()},
         {{"B7", "s:Broca " + R + " 1/4"}, {"G9", "s:M" + R}, {"B8", "s:Martillo de uña"}},
         2,
         "B7"},
        {{ExportKind::Suppliers, "", 1, company, dir.file("proveedores.xlsx").string()},
         {{"B6", "s:Bond y C" + R + "a"}, {"C8", "s:_x000D_"}, {"B5", "s:Acme SA"}},
         1,
         "B6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.path);
        ExportSummary summary;
        const test::XlsxDump d = run(c.request, nullptr, &summary);
        for (const auto& [cell, value] : c.cells) EXPECT_EQ(d.cell("Hoja1", cell), value) << cell;
        EXPECT_EQ(summary.repairedTexts, c.repaired);
        EXPECT_EQ(summary.firstRepaired, c.first);
        EXPECT_NE(RepairedTextsNotice(summary).find(c.first), std::string::npos) << RepairedTextsNotice(summary);
    }
    EXPECT_EQ(RepairedTextsNotice(ExportSummary{}), "") << "nothing to say when every text was sound";
}

TEST_F(ExportFiles, EachExportIsANewWorkbookOfTheSameApplication) {
    run({ExportKind::Suppliers, "", 1, "", dir.file("uno.xlsx").string()});
    const test::XlsxDump d = run({ExportKind::Suppliers, "pvd:ID = 9", 1, "", dir.file("dos.xlsx").string()});
    EXPECT_EQ(box.CreatedCount(), 1) << "the application is started once";
    EXPECT_EQ(box.Object()->workbookCount(), 0u) << "a saved workbook is not kept in memory";
    EXPECT_EQ(d.sheetCells("Hoja1").size(), 11u) << "no supplier matches: A2 and ten headers only, A1 blank";
    EXPECT_TRUE(std::filesystem::exists(dir.file("uno.xlsx")));

    Status st;
    run({ExportKind::Articles, "", 1, company, (dir.path() / "falta" / "x.xlsx").string()}, &st);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message().find("la carpeta no existe"), std::string::npos) << st.message();
    EXPECT_EQ(box.Object()->workbookCount(), 0u) << "the unsaved workbook is closed";
    run({ExportKind::Articles, "ART:Nada = 1", 1, company, dir.file("mal.xlsx").string()}, &st);
    EXPECT_FALSE(st);
    EXPECT_FALSE(std::filesystem::exists(dir.file("mal.xlsx")));
}

}  // namespace
}  // namespace tv::exports
