// Workbooks saved as .xlsx files and read back with a real spreadsheet
// reader (openpyxl), compared cell by cell; and the saves that cannot be done.
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "export/automation/container.h"
#include "export/automation/spreadsheet_automation.h"
#include "export/automation/xlsx_file.h"
#include "tests/export/xlsx_reader.h"
#include "tests/support/scratch_dir.h"

namespace tv::automation {
namespace {

namespace fs = std::filesystem;
using test::XlsxDump;

class WorkbookFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xl.Attach(&box, 1, 1, 1));
        ASSERT_TRUE(xl.AddWorkbook());
    }
    XlsxDump save(const std::string& name) {
        const fs::path file = dir.file(name);
        Status st = xl.SaveWorkbookAs(file.string());
        EXPECT_TRUE(st) << st.message();
        std::string error;
        std::optional<XlsxDump> d = XlsxDump::Read(file, &error);
        EXPECT_TRUE(d) << error;
        return d.value_or(XlsxDump{});
    }
    void text(const char* range, const std::string& t) {
        ASSERT_TRUE(xl.SelectRange(range));
        ASSERT_TRUE(xl.SetActiveCellText(t));
    }

    test::ScratchDir dir;
    AutomationContainer box;
    SpreadsheetAutomation xl;
};

TEST_F(WorkbookFile, TypedCellsReadBackAsTheyWereWritten) {
    const struct {
        const char* cell;
        std::function<Status()> write;
        const char* read;
    } cases[] = {
        {"A1", [&] { return xl.SetActiveCellText("0075012345678"); }, "s:0075012345678"},
        {"A2", [&] { return xl.SetActiveCellText("12345678901234567890"); }, "s:12345678901234567890"},
        {"A3", [&] { return xl.SetActiveCellText("=1+1"); }, "s:=1+1"},
        {"A4", [&] { return xl.SetActiveCellText("Cañón Ñandú ÁÉÍÓÚ ü"); }, "s:Cañón Ñandú ÁÉÍÓÚ ü"},
        {"A5", [&] { return xl.SetActiveCellText(""); }, ""},
        {"A6", [&] { return xl.SetActiveCellNumber(12345678901.0); }, "n:12345678901"},
        {"A7", [&] { return xl.SetActiveCellNumber(-2.75); }, "n:-2.75"},
        {"A8", [&] { return xl.SetActiveCellValue("=R6C1*2"); }, "f:=$A$6*2"},
        {"A9", [&] { return xl.SetActiveCellValue("007"); }, "n:7"},
        {"A10", [&] { return xl.SetActiveCellText("línea 1\nlínea 2\tcon tabulador"); }, "s:línea 1\nlínea 2\tcon tabulador"},
        {"B1", [&] { return xl.SetActiveCellText("<&> \"comillas\" 'simples'"); }, "s:<&> \"comillas\" 'simples'"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(xl.SelectRange(c.cell));
        ASSERT_TRUE(c.write()) << c.cell;
    }
    const XlsxDump d = save("tipos.xlsx");
    for (const auto& c : cases) EXPECT_EQ(d.cell("Hoja1", c.cell), c.read) << c.cell;
    EXPECT_EQ(d.sheetCells("Hoja1").size(), 10u) << "the empty text wrote no cell";
}

// A text with bytes that are not UTF-8 (an outside edit of the database)
// used to make the whole file unreadable, saved without a word; and a
// typed "_x000D_" came back as a carriage return.
TEST_F(WorkbookFile, EveryTextIsWrittenReadablyAndReadsBackAsTyped) {
    const std::string R = "\xEF\xBF\xBD";
    struct Case {
        const char* cell;
        std::string typed;
        std::string read;
    };
    const std::vector<Case> badBytes = {
        {"A1", "Martillo \xFF de uña", "s:Martillo " + R + " de uña"},
        {"A2", "corte\xC3", "s:corte" + R},
        {"A3", std::string("nul\0dentro", 10), "s:nul" + R + "dentro"},
        {"A4", "\xED\xA0\x80", "s:" + R + R + R},
        {"A5", "Cañón", "s:Cañón"},
    };
    const std::vector<Case> escapes = {
        {"A1", "_x000D_", "s:_x000D_"},
        {"A2", "a_x0041_b", "s:a_x0041_b"},
        {"A3", "Tornillo \xFF _x000A_", "s:Tornillo " + R + " _x000A_"},
    };
    // Without escapes the file is written row by row, with them through the
    // shared texts: both kinds are read back.
    for (const std::vector<Case>* cases : {&badBytes, &escapes}) {
        ASSERT_TRUE(xl.AddWorkbook());
        for (const auto& c : *cases) text(c.cell, c.typed);
        ASSERT_TRUE(xl.SetHeadersFooters("Izquierda \xFF", "", "", "", "", ""));
        const XlsxDump d = save(cases == &badBytes ? "bytes.xlsx" : "escapes.xlsx");
        for (const auto& c : *cases) EXPECT_EQ(d.cell("Hoja1", c.cell), c.read) << c.cell;
        EXPECT_TRUE(d.has("HEADER\tHoja1\tL\tIzquierda " + R));
    }
}

TEST_F(WorkbookFile, FormatsSizesMergesFiltersAndPageSetUpReachTheFile) {
    text("A1", "Encabezado");
    ASSERT_TRUE(xl.MergeAndCenterRange("A1:C1"));
    ASSERT_TRUE(xl.SelectRange("A1"));
    ASSERT_TRUE(xl.SetFont("Arial", 14, 0x0000FF, 1, 1, 0));
    text("A3", "Código");
    text("B3", "Importe");
    ASSERT_TRUE(xl.SelectRange("B4"));
    ASSERT_TRUE(xl.SetActiveCellNumber(1234.5));
    ASSERT_TRUE(xl.SetCellNumberFormat(4, 2, "#,##0.00"));
    ASSERT_TRUE(xl.SetCellWrapText(3, 1, 1));
    ASSERT_TRUE(xl.SetRangeVerticalAlignment("A3", 1));
    ASSERT_TRUE(xl.SetColumnWidth(2, 18));
    ASSERT_TRUE(xl.SetRowHeight(3, 30));
    ASSERT_TRUE(xl.AutoFilterRange("A3:B4"));
    ASSERT_TRUE(xl.SetHeadersFooters("Izquierda", "Centro", "", "", "&P", ""));
    ASSERT_TRUE(xl.SelectRange("B4"));
    ASSERT_TRUE(box.Object()->Write("Selection.Interior.ColorIndex", "6"));
    ASSERT_TRUE(xl.LockRange("B4", 0));
    ASSERT_TRUE(xl.AddSheet(1));
    ASSERT_TRUE(xl.SetSheetName(1, "Oculta"));
    ASSERT_TRUE(box.Object()->Write("Sheets(\"Oculta\").Visible", "0"));
    ASSERT_TRUE(xl.SelectSheetNamed("Hoja1"));
    ASSERT_TRUE(xl.ProtectActiveSheet("clave"));

    const XlsxDump d = save("formatos.xlsx");
    EXPECT_EQ(d.sheets, (std::vector<std::string>{"Oculta|work|hidden", "Hoja1|work|visible"}));
    EXPECT_TRUE(d.has("ACTIVE\tHoja1"));
    EXPECT_EQ(d.cell("Hoja1", "A1"), "s:Encabezado");
    EXPECT_EQ(d.style("Hoja1", "A1"),
              "bold=1 italic=1 under=- size=14.0 font=Arial color=FFFF0000 num=General h=center v=- wrap=0 locked=1 fill=-");
    EXPECT_EQ(d.cell("Hoja1", "B4"), "n:1234.5");
    EXPECT_NE(d.style("Hoja1", "B4").find("num=#,##0.00"), std::string::npos);
    EXPECT_NE(d.style("Hoja1", "B4").find("locked=0 fill=FFFFFF00"), std::string::npos) << d.style("Hoja1", "B4");
    EXPECT_NE(d.style("Hoja1", "A3").find("v=top wrap=1"), std::string::npos) << d.style("Hoja1", "A3");
    EXPECT_TRUE(d.has("MERGE\tHoja1\tA1:C1"));
    EXPECT_TRUE(d.has("WIDTH\tHoja1\tB\t18.0") || d.has("WIDTH\tHoja1\tB\t18.71")) << "width of B";
    EXPECT_TRUE(d.has("HEIGHT\tHoja1\t3\t30.0"));
    EXPECT_TRUE(d.has("FILTER\tHoja1\tA3:B4"));
    EXPECT_TRUE(d.has("PROTECTED\tHoja1"));
    EXPECT_TRUE(d.has("HEADER\tHoja1\tL\tIzquierda"));
    EXPECT_TRUE(d.has("HEADER\tHoja1\tC\tCentro"));
}

TEST_F(WorkbookFile, ChartsAreWrittenEmbeddedAndOnSheetsOfTheirOwn) {
    ASSERT_TRUE(xl.PasteTextAtCell(1, 1, "Mes\tEntradas\tSalidas\nEne\t10\t4\nFeb\t12\t7\n"));
    ASSERT_TRUE(xl.SelectRange("A1:C3"));
    ASSERT_TRUE(xl.AddChart("Hoja1", 51, 2));
    ASSERT_TRUE(xl.SetChartTitle("Movimientos"));
    ASSERT_TRUE(xl.SetValueAxisTitle("Piezas"));
    ASSERT_TRUE(xl.SetDataTable(1));
    ASSERT_TRUE(xl.SelectRange("A1:B3"));
    ASSERT_TRUE(xl.AddChart("Pastel", 5, 1));
    ASSERT_TRUE(box.Object()->Write("ActiveChart.HasLegend", "0"));
    const XlsxDump d = save("graficas.xlsx");
    EXPECT_EQ(d.sheets, (std::vector<std::string>{"Pastel|chart|visible", "Hoja1|work|visible"}));
    EXPECT_EQ(d.cell("Hoja1", "C3"), "n:7");
    std::vector<std::string> charts;
    for (const std::string& line : d.other)
        if (line.rfind("CHART\t", 0) == 0) charts.push_back(line.substr(line.find('\t', 6) + 1));
    std::sort(charts.begin(), charts.end());
    EXPECT_EQ(charts, (std::vector<std::string>{"barChart\tMovimientos|Piezas\tlegend\ttable", "pieChart\t\tnolegend\tnotable"}));
}

// Test programs run side by side (ctest -j): each reads its files back at
// the same time as the others and must see them whole.
TEST_F(WorkbookFile, TheReaderSeesEveryFileWholeWhileOtherProgramsReadTheirs) {
    text("A1", "dato");
    const fs::path file = dir.file("compartido.xlsx");
    ASSERT_TRUE(xl.SaveWorkbookAs(file.string()));
    std::vector<pid_t> readers;
    for (int i = 0; i < 4; ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int n = 0; n < 6; ++n) {
                std::optional<XlsxDump> d = XlsxDump::Read(file);
                if (!d || d->cell("Hoja1", "A1") != "s:dato") _exit(1);
            }
            _exit(0);
        }
        readers.push_back(pid);
    }
    for (pid_t pid : readers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a reader saw a file it could not read";
    }
}

TEST_F(WorkbookFile, ALargeSheetIsWrittenRowByRow) {
    Workbook& book = *box.Object()->activeWorkbook();
    Worksheet& w = book.activeSheet().cells;
    for (int32_t r = 1; r <= 20000; ++r) {
        ASSERT_TRUE(w.setValue(r, 1, CellValue::Number(r)));
        ASSERT_TRUE(w.setValue(r, 2, CellValue::Text("Artículo " + std::to_string(r))));
    }
    const XlsxDump d = save("grande.xlsx");
    EXPECT_EQ(d.cells.size(), 40000u);
    EXPECT_EQ(d.cell("Hoja1", "B20000"), "s:Artículo 20000");
    EXPECT_EQ(d.cell("Hoja1", "A12345"), "n:12345");
}

TEST_F(WorkbookFile, ASavedFileHasTheModeOfTheFileItReplacesOrOfAnyNewFile) {
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(xl.SaveWorkbookAs(dir.file("nuevo.xlsx").string()));
    EXPECT_EQ(fs::status(dir.file("nuevo.xlsx")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.file("nuevo.xlsx"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(xl.SaveWorkbookAs(dir.file("nuevo.xlsx").string()));
    EXPECT_EQ(fs::status(dir.file("nuevo.xlsx")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ::umask(mask);
}

TEST_F(WorkbookFile, ASaveThatCannotBeDoneSaysWhyAndSpoilsNothing) {
    text("A1", "nuevo");
    const fs::path existing = dir.file("existente.xlsx");
    {
        std::ofstream out(existing);
        out << "contenido anterior";
    }
    const fs::path notAFolder = dir.file("archivo.txt");
    {
        std::ofstream out(notAFolder);
        out << "x";
    }
    fs::create_directory(dir.file("carpeta.xlsx"));
    const struct {
        std::string path;
        const char* why;
    } cases[] = {
        {(dir.path() / "no-existe" / "libro.xlsx").string(), "la carpeta no existe"},
        {(notAFolder / "libro.xlsx").string(), "la ruta no lleva a una carpeta"},
        {dir.file("carpeta.xlsx").string(), "ya hay una carpeta con ese nombre"},
        {dir.file("libro.csv").string(), "otra extensión"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Status st = xl.SaveWorkbookAs(c.path);
        ASSERT_FALSE(st);
        EXPECT_NE(st.message().find(c.why), std::string::npos) << st.message();
    }
    Status full = xl.SaveWorkbookAsFull(existing.string(), 51, "\"secreto\"", "0", 0);
    EXPECT_FALSE(full) << "no password can be put on the file";
    std::ifstream in(existing);
    std::string kept((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(kept, "contenido anterior");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".existente"), std::string::npos) << "no half-written file is left";

    ASSERT_TRUE(xl.SaveWorkbookAsFull(existing.string(), 51, "", "0", 1));
    EXPECT_TRUE(fs::exists(existing.string() + ".bak")) << "the backup keeps the file it replaced";
    std::optional<XlsxDump> d = XlsxDump::Read(existing);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->cell("Hoja1", "A1"), "s:nuevo");
    ASSERT_TRUE(xl.SaveWorkbookAs(dir.file("sin extension").string()));
    EXPECT_TRUE(fs::exists(dir.file("sin extension.xlsx")));
    ASSERT_TRUE(xl.CloseActiveWindow(0));
    EXPECT_EQ(box.Object()->workbookCount(), 0u);
}

}  // namespace
}  // namespace tv::automation
