#include "export/automation/spreadsheet_server.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "export/automation/server_internal.h"
#include "export/automation/xlsx_file.h"
#include "platform/types/text.h"

namespace tv::automation {

namespace fs = std::filesystem;

// ------------------------------------------------------------------ helpers

std::string NumberText(double d) {
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return std::string(buf) == "-0" ? "0" : buf;
    }
    char buf[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, d);
        if (std::strtod(buf, nullptr) == d) break;
    }
    return buf;
}

bool Is(const PathMember& m, std::string_view name) {
    if (m.name.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(m.name[i])) != std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

TextResult ReplyNumber(double d) { return Reply(NumberText(d)); }
TextResult ReplyFrom(const Status& st) { return st ? Reply("1") : TextResult{"0", st}; }

Result<double> NumberOf(const Variant& v) {
    if (v.kind == Variant::Kind::Number) return {v.number, Status::Ok()};
    const std::string t(trim(v.text));
    const std::string upper = toUpper(t);
    if (upper == "TRUE" || upper == "VERDADERO") return {1, Status::Ok()};
    if (upper == "FALSE" || upper == "FALSO") return {0, Status::Ok()};
    std::optional<double> d = PlainNumber(t);
    if (!d) return {0, Status::Fail("El valor \"" + v.text + "\" no es un número.")};
    return {*d, Status::Ok()};
}

Result<int32_t> WholeOf(const Variant& v) {
    Result<double> d = NumberOf(v);
    if (!d.ok()) return {0, d.status};
    if (d.value < -2147483648.0 || d.value > 2147483647.0)
        return {0, Status::Fail("El número " + NumberText(d.value) + " es demasiado grande.")};
    return {static_cast<int32_t>(std::trunc(d.value)), Status::Ok()};
}

Result<bool> FlagOf(const Variant& v) {
    Result<double> d = NumberOf(v);
    return {d.ok() && d.value != 0, d.status};
}

bool HasArg(const PathMember& m, size_t i) {
    return i < m.arguments.size() && m.arguments[i].kind != PathArgument::Kind::Omitted;
}

Result<double> NumberArg(const PathMember& m, size_t i) {
    if (!HasArg(m, i)) return {0, Status::Fail("Falta el argumento " + std::to_string(i + 1) + " de " + m.name + ".")};
    const PathArgument& a = m.arguments[i];
    if (a.kind == PathArgument::Kind::Number) return {a.number, Status::Ok()};
    return NumberOf(Variant(a.text));
}

Result<std::string> TextArg(const PathMember& m, size_t i) {
    if (!HasArg(m, i)) return {"", Status::Fail("Falta el argumento " + std::to_string(i + 1) + " de " + m.name + ".")};
    return {m.arguments[i].text, Status::Ok()};
}

std::string UnknownMember(std::string_view member, std::string_view of) {
    return "La hoja de cálculo no conoce \"" + std::string(member) + "\" en " + std::string(of) + ".";
}

std::string DesktopOnly(std::string_view what) {
    return std::string(what) +
           " solo lo puede hacer un programa de hojas de cálculo abierto en el escritorio; este libro se escribe "
           "como archivo .xlsx.";
}

Status NoClipboard() {
    return Status::Fail(
        "Copiar, cortar y pegar por el portapapeles no está disponible: el portapapeles del usuario no se toca.");
}

void SelectCells(Workbook& book, Sheet& sheet, const CellRect& rect, int32_t row, int32_t column) {
    book.active = book.indexOf(&sheet);
    sheet.selection = rect;
    sheet.activeRow = row;
    sheet.activeColumn = column;
    book.activeChart = nullptr;
    book.chartPart = Workbook::ChartPart::None;
}

void ActivateSheet(Workbook& book, Sheet& sheet) {
    book.active = book.indexOf(&sheet);
    book.activeChart = sheet.kind == Sheet::Kind::ChartSheet ? sheet.chart.get() : nullptr;
    book.chartPart = Workbook::ChartPart::None;
}

Result<Sheet*> SheetOfRange(Workbook& book, Sheet& own, const RangeAddress& a) {
    Sheet* s = a.sheet.empty() ? &own : book.sheet(a.sheet);
    if (s == nullptr) return {nullptr, Status::Fail("No hay una hoja llamada \"" + a.sheet + "\".")};
    if (s->kind != Sheet::Kind::Worksheet)
        return {nullptr, Status::Fail("La hoja \"" + s->name + "\" es un gráfico y no tiene celdas.")};
    return {s, Status::Ok()};
}

namespace {

Status noBook() { return Status::Fail("No hay ningún libro abierto: agregue uno primero."); }

RefResult worksheetRef(Workbook& book, Sheet& s, const CellRect& r, Ref::View view = Ref::View::Cells) {
    if (s.kind != Sheet::Kind::Worksheet)
        return Refused("La hoja \"" + s.name + "\" es un gráfico y no tiene celdas.");
    Ref ref;
    ref.kind = Ref::Kind::Range;
    ref.book = &book;
    ref.sheet = &s;
    ref.rect = r;
    ref.view = view;
    return Reached(ref);
}

Result<Sheet*> sheetByArg(Workbook& book, const PathMember& m, bool worksheetsOnly) {
    const PathArgument& a = m.arguments.front();
    if (a.kind == PathArgument::Kind::Number) {
        int n = static_cast<int>(a.number);
        for (auto& s : book.sheets) {
            if (worksheetsOnly && s->kind != Sheet::Kind::Worksheet) continue;
            if (--n == 0) return {s.get(), Status::Ok()};
        }
        return {nullptr, Status::Fail("No hay una hoja número " + a.text + ".")};
    }
    Sheet* s = book.sheet(a.text);
    if (s == nullptr || (worksheetsOnly && s->kind != Sheet::Kind::Worksheet))
        return {nullptr, Status::Fail("No hay una hoja llamada \"" + a.text + "\".")};
    return {s, Status::Ok()};
}

RefResult stepSheet(Workbook& book, Sheet& s, const PathMember& m) {
    if (Is(m, "Cells")) {
        if (m.arguments.empty()) return worksheetRef(book, s, {1, 1, kMaxRows, kMaxColumns});
        Result<double> r = NumberArg(m, 0), c = NumberArg(m, 1);
        if (!r.ok()) return Refused(r.status.message());
        if (!c.ok()) return Refused(c.status.message());
        const auto row = static_cast<int32_t>(r.value), column = static_cast<int32_t>(c.value);
        if (!ValidCell(row, column))
            return Refused("La celda de la fila " + NumberText(r.value) + ", columna " + NumberText(c.value) +
                           " está fuera de la hoja.");
        return worksheetRef(book, s, {row, column, row, column});
    }
    if (Is(m, "Range")) {
        Result<std::string> t = TextArg(m, 0);
        if (!t.ok()) return Refused(t.status.message());
        std::string error;
        std::optional<RangeAddress> a = ParseRange(t.value, &error);
        if (!a) return Refused(error);
        if (HasArg(m, 1)) {  // Range("A1", "C3"): the box around both
            std::optional<RangeAddress> b = ParseRange(m.arguments[1].text, &error);
            if (!b) return Refused(error);
            a->rect = {std::min(a->rect.top, b->rect.top), std::min(a->rect.left, b->rect.left),
                       std::max(a->rect.bottom, b->rect.bottom), std::max(a->rect.right, b->rect.right)};
        }
        Result<Sheet*> target = SheetOfRange(book, s, *a);
        if (!target.ok()) return Refused(target.status.message());
        return worksheetRef(book, *target.value, a->rect);
    }
    if (Is(m, "Columns") || Is(m, "Rows")) {
        const bool columns = Is(m, "Columns");
        const Ref::View view = columns ? Ref::View::Columns : Ref::View::Rows;
        if (m.arguments.empty()) return worksheetRef(book, s, {1, 1, kMaxRows, kMaxColumns}, view);
        const PathArgument& a = m.arguments.front();
        if (a.kind == PathArgument::Kind::Number) {
            const auto n = static_cast<int32_t>(a.number);
            if (columns ? (n < 1 || n > kMaxColumns) : (n < 1 || n > kMaxRows))
                return Refused(std::string(columns ? "La columna " : "La fila ") + a.text + " está fuera de la hoja.");
            return worksheetRef(book, s, columns ? CellRect{1, n, kMaxRows, n} : CellRect{n, 1, n, kMaxColumns}, view);
        }
        std::string error;
        if (columns) {
            std::optional<CellRect> r = ParseColumns(a.text, &error);
            if (!r) return Refused(error);
            return worksheetRef(book, s, *r, view);
        }
        std::optional<RangeAddress> r = ParseRange(a.text, &error);
        if (!r || !r->rect.wholeRows()) return Refused(r ? "\"" + a.text + "\" no son filas enteras." : error);
        return worksheetRef(book, s, r->rect, view);
    }
    if (Is(m, "PageSetup")) {
        if (s.kind != Sheet::Kind::Worksheet) return Refused("La hoja \"" + s.name + "\" es un gráfico.");
        Ref r;
        r.kind = Ref::Kind::PageSetup;
        r.book = &book;
        r.sheet = &s;
        return Reached(r);
    }
    if (Is(m, "Application")) return Reached(Ref{});
    return Refused(UnknownMember(m.name, "una hoja"));
}

RefResult stepBook(Workbook& book, const PathMember& m) {
    if (Is(m, "Sheets") || Is(m, "Worksheets")) {
        if (m.arguments.empty()) {
            Ref r;
            r.kind = Ref::Kind::Sheets;
            r.book = &book;
            r.part = Is(m, "Worksheets") ? 1 : 0;
            return Reached(r);
        }
        Result<Sheet*> s = sheetByArg(book, m, Is(m, "Worksheets"));
        if (!s.ok()) return Refused(s.status.message());
        Ref r;
        r.kind = Ref::Kind::Sheet;
        r.book = &book;
        r.sheet = s.value;
        return Reached(r);
    }
    if (Is(m, "ActiveSheet")) {
        Ref r;
        r.kind = Ref::Kind::Sheet;
        r.book = &book;
        r.sheet = &book.activeSheet();
        return Reached(r);
    }
    if (Is(m, "Charts") && m.arguments.empty()) {
        Ref r;
        r.kind = Ref::Kind::Charts;
        r.book = &book;
        return Reached(r);
    }
    if (Is(m, "Application")) return Reached(Ref{});
    return Refused(UnknownMember(m.name, "un libro"));
}

RefResult step(AppState& app, const Ref& at, const PathMember& m) {
    switch (at.kind) {
    case Ref::Kind::App: {
        if (Is(m, "Application")) return Reached(Ref{});
        if (Is(m, "ActiveDocument"))
            return Refused("Application.ActiveDocument no existe en una hoja de cálculo (es de un procesador de textos).");
        if (Is(m, "Workbooks") && m.arguments.empty()) {
            Ref r;
            r.kind = Ref::Kind::Workbooks;
            return Reached(r);
        }
        Workbook* book = app.book();
        if (book == nullptr) return Refused(noBook().message());
        if (Is(m, "Workbooks")) {
            const PathArgument& a = m.arguments.front();
            for (size_t i = 0; i < app.books.size(); ++i)
                if ((a.kind == PathArgument::Kind::Number && static_cast<size_t>(a.number) == i + 1) ||
                    (a.kind != PathArgument::Kind::Number && toUpper(app.books[i]->name) == toUpper(a.text))) {
                    Ref r;
                    r.kind = Ref::Kind::Workbook;
                    r.book = app.books[i].get();
                    return Reached(r);
                }
            return Refused("No hay un libro \"" + a.text + "\" abierto.");
        }
        if (Is(m, "ActiveWorkbook") || Is(m, "ThisWorkbook")) {
            Ref r;
            r.kind = Ref::Kind::Workbook;
            r.book = book;
            return Reached(r);
        }
        if (Is(m, "ActiveCell")) {
            Sheet& s = book->activeSheet();
            return worksheetRef(*book, s, {s.activeRow, s.activeColumn, s.activeRow, s.activeColumn});
        }
        if (Is(m, "Selection")) return SelectionOf(*book);
        if (Is(m, "ActiveChart")) {
            if (book->activeChart == nullptr) return Refused("No hay ningún gráfico activo.");
            Ref r;
            r.kind = Ref::Kind::Chart;
            r.book = book;
            r.chart = book->activeChart;
            return Reached(r);
        }
        if (Is(m, "ActiveWindow")) {
            Ref r;
            r.kind = Ref::Kind::Window;
            r.book = book;
            return Reached(r);
        }
        if (Is(m, "Cells") || Is(m, "Range") || Is(m, "Columns") || Is(m, "Rows"))
            return stepSheet(*book, book->activeSheet(), m);
        return stepBook(*book, m);
    }
    case Ref::Kind::Workbook: return stepBook(*at.book, m);
    case Ref::Kind::Sheets:
        if (!Is(m, "Item") || m.arguments.empty()) break;
        {
            Result<Sheet*> s = sheetByArg(*at.book, m, at.part == 1);
            if (!s.ok()) return Refused(s.status.message());
            Ref r;
            r.kind = Ref::Kind::Sheet;
            r.book = at.book;
            r.sheet = s.value;
            return Reached(r);
        }
    case Ref::Kind::Sheet: return stepSheet(*at.book, *at.sheet, m);
    case Ref::Kind::Range:
    case Ref::Kind::Font:
    case Ref::Kind::Interior: return StepRange(app, at, m);
    case Ref::Kind::Chart:
    case Ref::Kind::ChartTitle:
    case Ref::Kind::Axis:
    case Ref::Kind::AxisTitle:
    case Ref::Kind::Legend:
    case Ref::Kind::Area:
    case Ref::Kind::SeriesCollection:
    case Ref::Kind::Series: return StepChart(app, at, m);
    default: break;
    }
    return Refused(UnknownMember(m.name, "este objeto"));
}

std::string withExtension(const std::string& path) {
    fs::path p(path);
    if (p.extension().empty()) p += ".xlsx";
    return p.string();
}

Status saveBook(Workbook& book, const std::string& path, bool backup) {
    const std::string target = withExtension(path);
    if (toLower(fs::path(target).extension().string()) != ".xlsx")
        return Status::Fail("El libro se guarda como archivo .xlsx; \"" + target + "\" lleva otra extensión.");
    if (backup) {
        std::error_code ec;
        if (fs::exists(target, ec)) {
            fs::copy_file(target, target + ".bak", fs::copy_options::overwrite_existing, ec);
            if (ec) return Status::Fail("No se pudo guardar la copia de respaldo \"" + target + ".bak\": " + ec.message() + ".");
        }
    }
    Status st = WriteXlsx(book, target);
    if (st) book.path = target;
    return st;
}

void closeBook(AppState& app, Workbook* book) {
    for (size_t i = 0; i < app.books.size(); ++i)
        if (app.books[i].get() == book) {
            app.books.erase(app.books.begin() + static_cast<long>(i));
            break;
        }
    app.active = static_cast<int>(app.books.size()) - 1;
}

TextResult closeWith(AppState& app, Workbook& book, const PathMember& m) {
    if (HasArg(m, 0)) {
        Result<bool> save = FlagOf(Variant(m.arguments[0].text));
        if (!save.ok()) return ReplyFail(save.status.message());
        if (save.value) {
            if (book.path.empty())
                return ReplyFail("El libro \"" + book.name + "\" no se ha guardado nunca: guárdelo con un nombre primero.");
            if (Status st = saveBook(book, book.path, false); !st) return ReplyFail(st.message());
        }
    }
    closeBook(app, &book);
    return Reply("1");
}

TextResult saveAs(Workbook& book, const PathMember& m) {
    Result<std::string> path = TextArg(m, 0);
    if (!path.ok() || trim(path.value).empty()) return ReplyFail("Falta el nombre del archivo en que guardar el libro.");
    if (HasArg(m, 1)) {
        Result<double> format = NumberArg(m, 1);
        if (!format.ok() || format.value != 51)
            return ReplyFail("El libro solo se guarda en el formato de libro .xlsx (51).");
    }
    if (HasArg(m, 2) && !trim(m.arguments[2].text).empty())
        return ReplyFail("No se puede poner contraseña al archivo del libro.");
    bool backup = false;
    if (HasArg(m, 5)) {
        Result<bool> b = FlagOf(Variant(m.arguments[5].text));
        if (!b.ok()) return ReplyFail(b.status.message());
        backup = b.value;
    }
    return ReplyFrom(saveBook(book, path.value, backup));
}

// Application.International(index), as the language 1033 gives it.
TextResult international(const AppState& app, int32_t index) {
    static const std::map<int32_t, const char*> us = {
        {1, "1"}, {2, "52"}, {3, "."}, {4, ","}, {5, ","}, {17, "/"}, {18, ":"}, {24, "$"}, {32, "0"},
    };
    (void)app;
    auto it = us.find(index);
    if (it == us.end()) return ReplyFail("No se conoce el dato de configuración regional " + std::to_string(index) + ".");
    return Reply(it->second);
}

TextResult readApp(AppState& app, const PathMember& m) {
    if (Is(m, "Version")) return Reply("16.0");
    if (Is(m, "Name")) return Reply("Hoja de cálculo");
    if (Is(m, "Visible")) return ReplyFlag(app.visible);
    if (Is(m, "DisplayAlerts")) return ReplyFlag(app.displayAlerts);
    if (Is(m, "Activate")) return Reply("1");
    if (Is(m, "ScreenUpdating")) return ReplyFail(DesktopOnly("Detener la actualización de la pantalla"));
    if (Is(m, "WindowState")) return ReplyFail(DesktopOnly("Cambiar el estado de la ventana"));
    if (Is(m, "Run")) return ReplyFail(DesktopOnly("Ejecutar una macro"));
    if (Is(m, "Quit")) {
        app.books.clear();
        app.active = -1;
        return Reply("1");
    }
    if (Is(m, "International")) {
        Result<double> i = NumberArg(m, 0);
        if (!i.ok()) return ReplyFail(i.status.message());
        return international(app, static_cast<int32_t>(i.value));
    }
    if (Is(m, "CentimetersToPoints")) {
        Result<double> cm = NumberArg(m, 0);
        if (!cm.ok()) return ReplyFail(cm.status.message());
        return ReplyNumber(cm.value * 72.0 / 2.54);
    }
    if (Is(m, "Goto")) {
        Workbook* book = app.book();
        if (book == nullptr) return ReplyFail(noBook().message());
        Result<std::string> t = TextArg(m, 0);
        if (!t.ok()) return ReplyFail(t.status.message());
        std::string error;
        std::optional<RangeAddress> a = ParseRange(t.value, &error);
        if (!a) return ReplyFail(error);
        Result<Sheet*> s = SheetOfRange(*book, book->activeSheet(), *a);
        if (!s.ok()) return ReplyFail(s.status.message());
        SelectCells(*book, *s.value, a->rect, a->rect.top, a->rect.left);
        return Reply("1");
    }
    return ReplyFail(UnknownMember(m.name, "la aplicación"));
}

TextResult readSheet(AppState& app, Workbook& book, Sheet& s, const PathMember& m) {
    (void)app;
    if (Is(m, "Name")) return Reply(s.name);
    if (Is(m, "Index")) return ReplyNumber(book.indexOf(&s) + 1);
    if (Is(m, "Visible")) return ReplyFlag(s.visible);
    if (Is(m, "Select") || Is(m, "Activate")) {
        if (!s.visible) return ReplyFail("La hoja \"" + s.name + "\" está oculta.");
        ActivateSheet(book, s);
        return Reply("1");
    }
    if (Is(m, "Paste")) return ReplyFrom(NoClipboard());
    if (Is(m, "PrintOut")) return ReplyFail(DesktopOnly("Imprimir una hoja"));
    if (Is(m, "ProtectContents")) return ReplyFlag(s.cells.protectedSheet);
    if (Is(m, "Protect")) {
        if (s.kind != Sheet::Kind::Worksheet) return ReplyFail("La hoja \"" + s.name + "\" es un gráfico.");
        s.cells.protectedSheet = true;
        s.cells.password = HasArg(m, 0) ? m.arguments[0].text : std::string();
        return Reply("1");
    }
    if (Is(m, "Unprotect")) {
        const std::string given = HasArg(m, 0) ? m.arguments[0].text : std::string();
        if (s.cells.protectedSheet && given != s.cells.password) return ReplyFail("La contraseña no es correcta.");
        s.cells.protectedSheet = false;
        s.cells.password.clear();
        return Reply("1");
    }
    return ReplyFail(UnknownMember(m.name, "una hoja"));
}

std::string* headerField(Worksheet& w, const PathMember& m) {
    static const char* const names[6] = {"LeftHeader", "CenterHeader", "RightHeader",
                                         "LeftFooter", "CenterFooter", "RightFooter"};
    for (size_t i = 0; i < 6; ++i)
        if (Is(m, names[i])) return &w.headersFooters[i];
    return nullptr;
}

double* marginField(Worksheet& w, const PathMember& m) {
    static const char* const names[4] = {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"};
    for (size_t i = 0; i < 4; ++i)
        if (Is(m, names[i])) return &w.margins[i];
    return nullptr;
}

TextResult readPageSetup(Worksheet& w, const PathMember& m) {
    if (std::string* h = headerField(w, m)) return Reply(*h);
    if (double* d = marginField(w, m)) return ReplyNumber(*d < 0 ? 54 : *d);
    if (Is(m, "PaperSize")) return ReplyNumber(w.paperSize == 0 ? 1 : w.paperSize);
    if (Is(m, "Orientation")) return ReplyNumber(w.orientation == 0 ? 1 : w.orientation);
    return ReplyFail(UnknownMember(m.name, "la configuración de página"));
}

Status writePageSetup(Worksheet& w, const PathMember& m, const Variant& v) {
    if (std::string* h = headerField(w, m)) {
        if (v.text.size() > 255) return Status::Fail("El encabezado o pie de página admite a lo más 255 caracteres.");
        *h = v.kind == Variant::Kind::Text ? v.text : NumberText(v.number);
        return Status::Ok();
    }
    if (double* d = marginField(w, m)) {
        Result<double> n = NumberOf(v);
        if (!n.ok()) return n.status;
        if (n.value < 0 || n.value > 1000) return Status::Fail("El margen " + NumberText(n.value) + " no es válido.");
        *d = n.value;
        return Status::Ok();
    }
    if (Is(m, "PaperSize")) {
        Result<int32_t> n = WholeOf(v);
        if (!n.ok()) return n.status;
        if (n.value < 1 || n.value > 41) return Status::Fail("El tamaño de papel " + std::to_string(n.value) + " no existe.");
        w.paperSize = n.value;
        return Status::Ok();
    }
    if (Is(m, "Orientation")) {
        Result<int32_t> n = WholeOf(v);
        if (!n.ok()) return n.status;
        if (n.value != 1 && n.value != 2)
            return Status::Fail("La orientación es 1 (vertical) o 2 (horizontal), no " + std::to_string(n.value) + ".");
        w.orientation = n.value;
        return Status::Ok();
    }
    return Status::Fail(UnknownMember(m.name, "la configuración de página"));
}

TextResult read(AppState& app, const Ref& at, const PathMember& m) {
    switch (at.kind) {
    case Ref::Kind::App: return readApp(app, m);
    case Ref::Kind::Workbooks:
        if (Is(m, "Count")) return ReplyNumber(static_cast<double>(app.books.size()));
        if (Is(m, "Add")) {
            if (!m.arguments.empty()) return ReplyFail(DesktopOnly("Crear un libro a partir de otro archivo"));
            app.books.push_back(std::make_unique<Workbook>("Libro" + std::to_string(app.nextBook++)));
            app.active = static_cast<int>(app.books.size()) - 1;
            return Reply(app.books.back()->name);
        }
        if (Is(m, "Open")) return ReplyFail(DesktopOnly("Abrir un libro guardado"));
        return ReplyFail(UnknownMember(m.name, "los libros"));
    case Ref::Kind::Workbook:
        if (Is(m, "Name")) return Reply(at.book->name);
        if (Is(m, "FullName") || Is(m, "Path")) return Reply(at.book->path);
        if (Is(m, "SaveAs")) return saveAs(*at.book, m);
        if (Is(m, "Save")) {
            if (at.book->path.empty()) return ReplyFail("El libro no se ha guardado nunca: guárdelo con un nombre primero.");
            return ReplyFrom(saveBook(*at.book, at.book->path, false));
        }
        if (Is(m, "Close")) return closeWith(app, *at.book, m);
        if (Is(m, "Activate")) {
            for (size_t i = 0; i < app.books.size(); ++i)
                if (app.books[i].get() == at.book) app.active = static_cast<int>(i);
            return Reply("1");
        }
        return ReplyFail(UnknownMember(m.name, "un libro"));
    case Ref::Kind::Sheets:
        if (Is(m, "Count")) {
            int n = 0;
            for (auto& s : at.book->sheets) n += at.part == 0 || s->kind == Sheet::Kind::Worksheet;
            return ReplyNumber(n);
        }
        if (Is(m, "Add")) {
            Workbook& b = *at.book;
            auto s = std::make_unique<Sheet>(Sheet::Kind::Worksheet, b.freeName("Hoja"));
            Sheet* raw = s.get();
            b.sheets.insert(b.sheets.begin() + b.active, std::move(s));
            ActivateSheet(b, *raw);
            return Reply(raw->name);
        }
        return ReplyFail(UnknownMember(m.name, "las hojas"));
    case Ref::Kind::Charts:
        if (Is(m, "Add")) return AddChart(app, *at.book);
        if (Is(m, "Count")) {
            int n = 0;
            for (auto& s : at.book->sheets) n += s->kind == Sheet::Kind::ChartSheet;
            return ReplyNumber(n);
        }
        return ReplyFail(UnknownMember(m.name, "los gráficos"));
    case Ref::Kind::Sheet: return readSheet(app, *at.book, *at.sheet, m);
    case Ref::Kind::PageSetup: return readPageSetup(at.sheet->cells, m);
    case Ref::Kind::Window:
        if (Is(m, "Close")) return closeWith(app, *at.book, m);
        if (Is(m, "Activate")) return Reply("1");
        if (Is(m, "WindowState")) return ReplyFail(DesktopOnly("Cambiar el estado de la ventana"));
        return ReplyFail(UnknownMember(m.name, "la ventana"));
    case Ref::Kind::Range:
    case Ref::Kind::Font:
    case Ref::Kind::Interior: return ReadRangeMember(app, at, m);
    default: return ReadChartMember(app, at, m);
    }
}

Status write(AppState& app, const Ref& at, const PathMember& m, const Variant& v) {
    switch (at.kind) {
    case Ref::Kind::App:
        if (Is(m, "Visible") || Is(m, "DisplayAlerts")) {
            Result<bool> f = FlagOf(v);
            if (!f.ok()) return f.status;
            (Is(m, "Visible") ? app.visible : app.displayAlerts) = f.value;
            return Status::Ok();
        }
        if (Is(m, "ScreenUpdating")) return Status::Fail(DesktopOnly("Detener la actualización de la pantalla"));
        if (Is(m, "WindowState")) return Status::Fail(DesktopOnly("Cambiar el estado de la ventana"));
        return Status::Fail(UnknownMember(m.name, "la aplicación"));
    case Ref::Kind::Window:
        if (Is(m, "WindowState")) return Status::Fail(DesktopOnly("Cambiar el estado de la ventana"));
        return Status::Fail(UnknownMember(m.name, "la ventana"));
    case Ref::Kind::Sheet: {
        Sheet& s = *at.sheet;
        if (Is(m, "Name")) {
            const std::string name = v.kind == Variant::Kind::Text ? v.text : NumberText(v.number);
            if (Status st = at.book->checkSheetName(name, &s); !st) return st;
            for (auto& other : at.book->sheets) {  // charts follow their data's sheet
                auto rename = [&](Chart& c) {
                    for (ChartSeries& se : c.series) {
                        if (se.values.sheet == s.name) se.values.sheet = name;
                        if (se.categories && se.categories->sheet == s.name) se.categories->sheet = name;
                    }
                };
                if (other->chart) rename(*other->chart);
                for (auto& c : other->cells.charts) rename(*c);
            }
            s.name = name;
            return Status::Ok();
        }
        if (Is(m, "Visible")) {
            Result<bool> f = FlagOf(v);
            if (!f.ok()) return f.status;
            if (!f.value) {
                int visible = 0;
                for (auto& o : at.book->sheets) visible += o->visible;
                if (s.visible && visible <= 1) return Status::Fail("Un libro necesita al menos una hoja visible.");
            }
            s.visible = f.value;
            if (!s.visible && &at.book->activeSheet() == &s)
                for (auto& o : at.book->sheets)
                    if (o->visible) {
                        ActivateSheet(*at.book, *o);
                        break;
                    }
            return Status::Ok();
        }
        return Status::Fail(UnknownMember(m.name, "una hoja"));
    }
    case Ref::Kind::PageSetup: return writePageSetup(at.sheet->cells, m, v);
    case Ref::Kind::Range:
    case Ref::Kind::Font:
    case Ref::Kind::Interior: return WriteRangeMember(app, at, m, v);
    default: return WriteChartMember(app, at, m, v);
    }
}

template <class R>
R evaluate(AppState& app, std::string_view path, const std::function<R(const Ref&, const PathMember&)>& last,
           const std::function<R(const Status&)>& failed) {
    std::string error;
    std::optional<std::vector<PathMember>> members = ParseMemberPath(path, &error);
    if (!members) return failed(Status::Fail(error));
    Ref at;
    for (size_t i = 0; i + 1 < members->size(); ++i) {
        RefResult next = step(app, at, (*members)[i]);
        if (!next.ok()) return failed(next.status);
        at = next.value;
    }
    return last(at, members->back());
}

}  // namespace

// ------------------------------------------------------------- the application

SpreadsheetApplication::SpreadsheetApplication() : state_(std::make_unique<State>()) {}
SpreadsheetApplication::~SpreadsheetApplication() = default;

Result<std::string> SpreadsheetApplication::Read(std::string_view path) {
    return evaluate<TextResult>(
        *state_, path, [this](const Ref& at, const PathMember& m) { return read(*state_, at, m); },
        [](const Status& st) { return TextResult{"0", st}; });
}

Status SpreadsheetApplication::Write(std::string_view path, const Variant& value) {
    return evaluate<Status>(
        *state_, path, [&](const Ref& at, const PathMember& m) { return write(*state_, at, m, value); },
        [](const Status& st) { return st; });
}

void SpreadsheetApplication::SetLanguage(int32_t id) { state_->language = id; }

void SpreadsheetApplication::Quit() {
    state_->books.clear();
    state_->active = -1;
}

size_t SpreadsheetApplication::workbookCount() const { return state_->books.size(); }
Workbook* SpreadsheetApplication::workbook(size_t i) { return i < state_->books.size() ? state_->books[i].get() : nullptr; }
Workbook* SpreadsheetApplication::activeWorkbook() { return state_->book(); }

}  // namespace tv::automation
