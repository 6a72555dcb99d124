// Charts: made from the selected cells, placed on a sheet of their own or
// in a worksheet, with titles, axes, legend, labels, a data table and the
// formats of the chart and plot areas.
#include <cctype>

#include "export/automation/server_internal.h"
#include "export/automation/xlsx_file.h"

namespace tv::automation {

namespace {

Ref chartRef(Workbook& book, Chart& c, Ref::Kind kind = Ref::Kind::Chart, int part = 0) {
    Ref r;
    r.kind = kind;
    r.book = &book;
    r.chart = &c;
    r.part = part;
    return r;
}

std::string cellName(const Worksheet& w, int32_t row, int32_t column) {
    const CellValue v = w.value(row, column);
    if (v.kind == CellValue::Kind::Number) return NumberText(v.number);
    return v.text;
}

bool textCell(const Worksheet& w, int32_t row, int32_t column) {
    return w.value(row, column).kind == CellValue::Kind::Text;
}

// Series from a block of cells: along its longer side, the first row (or
// column) naming them when it holds text, the first column (or row) giving
// the categories when it holds text.
Result<std::vector<ChartSeries>> seriesFrom(const Sheet& s, const CellRect& r) {
    const Worksheet& w = s.cells;
    const bool byColumns = r.rows() >= r.columns();
    const int32_t lines = byColumns ? r.columns() : r.rows();
    const int32_t length = byColumns ? r.rows() : r.columns();
    auto at = [&](int32_t line, int32_t i, int32_t& row, int32_t& column) {
        row = byColumns ? r.top + i : r.top + line;
        column = byColumns ? r.left + line : r.left + i;
    };
    bool names = false, categories = false;
    if (length > 1)
        for (int32_t line = 0; line < lines && !names; ++line) {
            int32_t row, column;
            at(line, 0, row, column);
            names = textCell(w, row, column);
        }
    if (lines > 1)
        for (int32_t i = names ? 1 : 0; i < length && !categories; ++i) {
            int32_t row, column;
            at(0, i, row, column);
            categories = textCell(w, row, column);
        }
    const int32_t first = names ? 1 : 0;
    std::vector<ChartSeries> out;
    for (int32_t line = categories ? 1 : 0; line < lines; ++line) {
        ChartSeries se;
        int32_t r0, c0, r1, c1;
        at(line, first, r0, c0);
        at(line, length - 1, r1, c1);
        if (r0 > r1 || c0 > c1) continue;
        se.values = {s.name, {r0, c0, r1, c1}};
        if (names) {
            int32_t hr, hc;
            at(line, 0, hr, hc);
            se.name = cellName(w, hr, hc);
        }
        if (categories) {
            int32_t k0r, k0c, k1r, k1c;
            at(0, first, k0r, k0c);
            at(0, length - 1, k1r, k1c);
            se.categories = RangeAddress{s.name, {k0r, k0c, k1r, k1c}};
        }
        out.push_back(std::move(se));
    }
    if (out.empty()) return {{}, Status::Fail("La selección no tiene datos que mostrar en un gráfico.")};
    return {std::move(out), Status::Ok()};
}

// Where a chart lives: its chart sheet, or the worksheet holding it.
Sheet* homeOf(Workbook& book, const Chart* c, bool& own) {
    for (auto& s : book.sheets) {
        if (s->chart.get() == c) {
            own = true;
            return s.get();
        }
        for (auto& e : s->cells.charts)
            if (e.get() == c) {
                own = false;
                return s.get();
            }
    }
    return nullptr;
}

Status location(Workbook& book, Chart& chart, const PathMember& m) {
    Result<double> where = NumberArg(m, 0);
    if (!where.ok()) return where.status;
    const std::string name = HasArg(m, 1) ? m.arguments[1].text : std::string();
    bool own = false;
    Sheet* home = homeOf(book, &chart, own);
    if (home == nullptr) return Status::Fail("El gráfico ya no está en el libro.");
    std::unique_ptr<Chart> taken;
    auto take = [&] {
        if (own) {
            taken = std::move(home->chart);
            book.sheets.erase(book.sheets.begin() + book.indexOf(home));
        } else {
            auto& list = home->cells.charts;
            for (auto it = list.begin(); it != list.end(); ++it)
                if (it->get() == &chart) {
                    taken = std::move(*it);
                    list.erase(it);
                    break;
                }
        }
        book.active = std::min(book.active, static_cast<int>(book.sheets.size()) - 1);
    };
    if (where.value == 1) {  // a chart sheet of its own
        const std::string sheetName = name.empty() ? (own ? home->name : book.freeName("Gráfico")) : name;
        if (Status st = book.checkSheetName(sheetName, own ? home : nullptr); !st) return st;
        if (own) {
            home->name = sheetName;
            ActivateSheet(book, *home);
            return Status::Ok();
        }
        take();
        auto s = std::make_unique<Sheet>(Sheet::Kind::ChartSheet, sheetName);
        s->chart = std::move(taken);
        Sheet* raw = s.get();
        book.sheets.insert(book.sheets.begin() + book.active, std::move(s));
        ActivateSheet(book, *raw);
        return Status::Ok();
    }
    if (where.value == 2) {  // in a worksheet
        Sheet* target = book.sheet(name);
        if (target == nullptr) return Status::Fail("No hay una hoja llamada \"" + name + "\".");
        if (target->kind != Sheet::Kind::Worksheet)
            return Status::Fail("La hoja \"" + name + "\" es un gráfico; un gráfico se coloca en una hoja de cálculo.");
        if (!own && target == home) return Status::Ok();
        take();
        const std::optional<CellRect> used = target->cells.usedRange();
        taken->anchorRow = used ? used->top : 1;
        taken->anchorColumn = used ? std::min(used->right + 2, kMaxColumns) : 1;
        Chart* c = taken.get();
        target->cells.charts.push_back(std::move(taken));
        ActivateSheet(book, *target);
        book.activeChart = c;
        return Status::Ok();
    }
    return Status::Fail("El lugar " + NumberText(where.value) + " no existe: 1 en una hoja propia, 2 en una hoja de cálculo.");
}

Result<int32_t> colourIndex(const Variant& v) {
    Result<int32_t> n = WholeOf(v);
    if (!n.ok()) return n;
    if (n.value != xl::kAutomatic && n.value != xl::kNone && PaletteColor(n.value) < 0)
        return {0, Status::Fail("El índice de color " + std::to_string(n.value) + " no existe (1 a 56).")};
    return n;
}

ChartAreaFormat& areaOf(Chart& c, int part) { return part == 0 ? c.chartArea : c.plotArea; }

}  // namespace

TextResult AddChart(AppState&, Workbook& book) {
    Sheet& s = book.activeSheet();
    if (s.kind != Sheet::Kind::Worksheet) return ReplyFail("Seleccione en una hoja de cálculo los datos del gráfico.");
    CellRect r = s.selection;
    if (r.single()) {
        Result<CellRect> region = CurrentRegion(s.cells, r.top, r.left);
        if (!region.ok()) return ReplyFail("Seleccione los datos del gráfico: " + region.status.message());
        r = region.value;
    } else {
        r.bottom = std::min(r.bottom, std::max(s.cells.lastRow(), r.top));
        r.right = std::min(r.right, std::max(s.cells.lastColumn(), r.left));
    }
    Result<std::vector<ChartSeries>> series = seriesFrom(s, r);
    if (!series.ok()) return ReplyFail(series.status.message());
    auto sheet = std::make_unique<Sheet>(Sheet::Kind::ChartSheet, book.freeName("Gráfico"));
    sheet->chart = std::make_unique<Chart>();
    sheet->chart->series = std::move(series.value);
    Sheet* raw = sheet.get();
    book.sheets.insert(book.sheets.begin() + book.active, std::move(sheet));
    ActivateSheet(book, *raw);
    return Reply(raw->name);
}

RefResult SelectionOf(Workbook& book) {
    if (book.chartPart != Workbook::ChartPart::None && book.activeChart != nullptr) {
        Chart& c = *book.activeChart;
        switch (book.chartPart) {
        case Workbook::ChartPart::ChartArea: return Reached(chartRef(book, c, Ref::Kind::Area, 0));
        case Workbook::ChartPart::PlotArea: return Reached(chartRef(book, c, Ref::Kind::Area, 1));
        default: return Reached(chartRef(book, c, Ref::Kind::Legend));
        }
    }
    Sheet& s = book.activeSheet();
    if (s.kind != Sheet::Kind::Worksheet) return Refused("No hay celdas seleccionadas: la hoja activa es un gráfico.");
    Ref r;
    r.kind = Ref::Kind::Range;
    r.book = &book;
    r.sheet = &s;
    r.rect = s.selection;
    r.view = s.selection.wholeColumns() ? Ref::View::Columns
             : s.selection.wholeRows()  ? Ref::View::Rows
                                        : Ref::View::Cells;
    return Reached(r);
}

RefResult StepChart(AppState&, const Ref& at, const PathMember& m) {
    Workbook& book = *at.book;
    Chart& c = *at.chart;
    switch (at.kind) {
    case Ref::Kind::Chart:
        if (Is(m, "ChartTitle")) {
            if (!c.hasTitle) return Refused("El gráfico no tiene título: póngale uno primero (HasTitle).");
            return Reached(chartRef(book, c, Ref::Kind::ChartTitle));
        }
        if (Is(m, "Axes")) {
            Result<double> type = NumberArg(m, 0);
            if (!type.ok()) return Refused(type.status.message());
            if (!ChartHasAxes(c.type)) return Refused("Un gráfico circular no tiene ejes.");
            const auto t = static_cast<int>(type.value);
            if (t == 3) return Refused("El gráfico no tiene eje de series: solo los gráficos en 3D lo tienen.");
            if (t != 1 && t != 2) return Refused("El eje " + NumberText(type.value) + " no existe: 1 categorías, 2 valores.");
            if (HasArg(m, 1) && NumberArg(m, 1).value != 1)
                return Refused("El eje secundario no está disponible en los gráficos del archivo .xlsx que se escribe.");
            return Reached(chartRef(book, c, Ref::Kind::Axis, t - 1));
        }
        if (Is(m, "Legend")) {
            if (!c.hasLegend) return Refused("El gráfico no tiene leyenda (HasLegend).");
            return Reached(chartRef(book, c, Ref::Kind::Legend));
        }
        if (Is(m, "ChartArea")) return Reached(chartRef(book, c, Ref::Kind::Area, 0));
        if (Is(m, "PlotArea")) return Reached(chartRef(book, c, Ref::Kind::Area, 1));
        if (Is(m, "DataTable")) return Reached(chartRef(book, c, Ref::Kind::DataTable));
        if (Is(m, "SeriesCollection")) {
            if (m.arguments.empty()) return Reached(chartRef(book, c, Ref::Kind::SeriesCollection));
            Result<double> i = NumberArg(m, 0);
            if (!i.ok()) return Refused(i.status.message());
            if (i.value < 1 || i.value > static_cast<double>(c.series.size()))
                return Refused("El gráfico no tiene la serie " + NumberText(i.value) + ".");
            return Reached(chartRef(book, c, Ref::Kind::Series, static_cast<int>(i.value) - 1));
        }
        break;
    case Ref::Kind::ChartTitle:
        if (Is(m, "Characters")) return Reached(chartRef(book, c, Ref::Kind::Characters));
        break;
    case Ref::Kind::Axis:
        if (Is(m, "AxisTitle")) {
            if (!c.axes[static_cast<size_t>(at.part)].hasTitle)
                return Refused("El eje no tiene título: póngale uno primero (HasTitle).");
            return Reached(chartRef(book, c, Ref::Kind::AxisTitle, at.part));
        }
        break;
    case Ref::Kind::AxisTitle:
        if (Is(m, "Characters")) {
            Ref r = chartRef(book, c, Ref::Kind::Characters, at.part);
            r.ofAxis = true;
            return Reached(r);
        }
        break;
    case Ref::Kind::Area:
        if (Is(m, "Border")) return Reached(chartRef(book, c, Ref::Kind::AreaBorder, at.part));
        if (Is(m, "Interior")) return Reached(chartRef(book, c, Ref::Kind::AreaInterior, at.part));
        break;
    default: break;
    }
    return Refused(UnknownMember(m.name, "el gráfico"));
}

TextResult ReadChartMember(AppState&, const Ref& at, const PathMember& m) {
    Workbook& book = *at.book;
    Chart& c = *at.chart;
    switch (at.kind) {
    case Ref::Kind::Chart:
        if (Is(m, "ChartType")) return ReplyNumber(c.type);
        if (Is(m, "HasTitle")) return ReplyFlag(c.hasTitle);
        if (Is(m, "HasLegend")) return ReplyFlag(c.hasLegend);
        if (Is(m, "HasDataTable")) return ReplyFlag(c.hasDataTable);
        if (Is(m, "Location")) return ReplyFrom(location(book, c, m));
        if (Is(m, "Select") || Is(m, "Activate")) {
            book.activeChart = &c;
            book.chartPart = Workbook::ChartPart::None;
            return Reply("1");
        }
        if (Is(m, "ApplyDataLabels")) {
            Result<double> kind = NumberArg(m, 0);
            if (!kind.ok()) return ReplyFail(kind.status.message());
            const auto k = static_cast<int32_t>(kind.value);
            if (k == xl::kNone) c.dataLabels = 0;
            else if (k >= 2 && k <= 6) c.dataLabels = k;
            else return ReplyFail("El tipo de etiqueta de datos " + std::to_string(k) + " no existe.");
            return Reply("1");
        }
        break;
    case Ref::Kind::ChartTitle:
    case Ref::Kind::Characters:
        if (Is(m, "Text")) return Reply(at.ofAxis ? c.axes[static_cast<size_t>(at.part)].title : c.title);
        break;
    case Ref::Kind::Axis: {
        const ChartAxis& a = c.axes[static_cast<size_t>(at.part)];
        if (Is(m, "HasTitle")) return ReplyFlag(a.hasTitle);
        if (Is(m, "HasMajorGridlines")) return ReplyFlag(a.majorGridlines);
        if (Is(m, "HasMinorGridlines")) return ReplyFlag(a.minorGridlines);
        break;
    }
    case Ref::Kind::AxisTitle:
        if (Is(m, "Text")) return Reply(c.axes[static_cast<size_t>(at.part)].title);
        break;
    case Ref::Kind::Legend:
        if (Is(m, "Select")) {
            book.activeChart = &c;
            book.chartPart = Workbook::ChartPart::Legend;
            return Reply("1");
        }
        if (Is(m, "Position")) return ReplyNumber(c.legendPosition);
        break;
    case Ref::Kind::Area:
        if (Is(m, "Select")) {
            book.activeChart = &c;
            book.chartPart = at.part == 0 ? Workbook::ChartPart::ChartArea : Workbook::ChartPart::PlotArea;
            return Reply("1");
        }
        break;
    case Ref::Kind::AreaBorder: {
        const ChartAreaFormat& f = areaOf(c, at.part);
        if (Is(m, "ColorIndex")) return ReplyNumber(f.borderColorIndex);
        if (Is(m, "Weight")) return ReplyNumber(f.borderWeight);
        if (Is(m, "LineStyle")) return ReplyNumber(f.borderLineStyle);
        break;
    }
    case Ref::Kind::AreaInterior: {
        const ChartAreaFormat& f = areaOf(c, at.part);
        if (Is(m, "ColorIndex")) return ReplyNumber(f.interiorColorIndex);
        if (Is(m, "PatternColorIndex")) return ReplyNumber(f.patternColorIndex);
        if (Is(m, "Pattern")) return ReplyNumber(f.pattern);
        break;
    }
    case Ref::Kind::SeriesCollection:
        if (Is(m, "Count")) return ReplyNumber(static_cast<double>(c.series.size()));
        break;
    case Ref::Kind::Series: {
        const ChartSeries& se = c.series[static_cast<size_t>(at.part)];
        if (Is(m, "AxisGroup")) return ReplyNumber(se.axisGroup);
        if (Is(m, "Name")) return Reply(se.name.empty() ? "Serie" + std::to_string(at.part + 1) : se.name);
        break;
    }
    case Ref::Kind::DataTable:
        if (Is(m, "ShowLegendKey")) return ReplyFlag(c.dataTableLegendKey);
        break;
    default: break;
    }
    return ReplyFail(UnknownMember(m.name, "el gráfico"));
}

Status WriteChartMember(AppState&, const Ref& at, const PathMember& m, const Variant& v) {
    Chart& c = *at.chart;
    auto flag = [&](bool& target) {
        Result<bool> f = FlagOf(v);
        if (f.ok()) target = f.value;
        return f.status;
    };
    auto text = [&](std::string& target) {
        if (v.kind == Variant::Kind::Text && v.text.size() > 255) return Status::Fail("El título admite a lo más 255 caracteres.");
        target = v.kind == Variant::Kind::Text ? v.text : NumberText(v.number);
        return Status::Ok();
    };
    switch (at.kind) {
    case Ref::Kind::Chart:
        if (Is(m, "ChartType")) {
            Result<int32_t> t = WholeOf(v);
            if (!t.ok()) return t.status;
            if (!ChartTypeKnown(t.value))
                return Status::Fail("El tipo de gráfico " + std::to_string(t.value) + " no está disponible.");
            c.type = t.value;
            return Status::Ok();
        }
        if (Is(m, "HasTitle")) return flag(c.hasTitle);
        if (Is(m, "HasLegend")) return flag(c.hasLegend);
        if (Is(m, "HasDataTable")) return flag(c.hasDataTable);
        break;
    case Ref::Kind::ChartTitle:
    case Ref::Kind::Characters:
        if (Is(m, "Text")) return text(at.ofAxis ? c.axes[static_cast<size_t>(at.part)].title : c.title);
        break;
    case Ref::Kind::AxisTitle:
        if (Is(m, "Text")) return text(c.axes[static_cast<size_t>(at.part)].title);
        break;
    case Ref::Kind::Axis: {
        ChartAxis& a = c.axes[static_cast<size_t>(at.part)];
        if (Is(m, "HasTitle")) return flag(a.hasTitle);
        if (Is(m, "HasMajorGridlines")) return flag(a.majorGridlines);
        if (Is(m, "HasMinorGridlines")) return flag(a.minorGridlines);
        break;
    }
    case Ref::Kind::Legend:
        if (Is(m, "Position")) {
            Result<int32_t> p = WholeOf(v);
            if (!p.ok()) return p.status;
            if (p.value != xl::kBottom && p.value != 2 && p.value != xl::kLeft && p.value != xl::kRight &&
                p.value != xl::kTop)
                return Status::Fail("La posición de leyenda " + std::to_string(p.value) + " no existe.");
            c.legendPosition = p.value;
            return Status::Ok();
        }
        break;
    case Ref::Kind::AreaBorder:
    case Ref::Kind::AreaInterior: {
        ChartAreaFormat& f = areaOf(c, at.part);
        const bool border = at.kind == Ref::Kind::AreaBorder;
        Result<int32_t> n = WholeOf(v);
        if (!n.ok()) return n.status;
        int32_t* target = nullptr;
        Status valid;
        if (Is(m, "ColorIndex") || (!border && Is(m, "PatternColorIndex"))) {
            Result<int32_t> ci = colourIndex(v);
            valid = ci.status;
            target = border ? &f.borderColorIndex : Is(m, "ColorIndex") ? &f.interiorColorIndex : &f.patternColorIndex;
        } else if (border && Is(m, "Weight")) {
            if (!BorderWeightKnown(n.value)) valid = Status::Fail("El grosor de línea " + std::to_string(n.value) + " no existe.");
            target = &f.borderWeight;
        } else if (border && Is(m, "LineStyle")) {
            if (!LineStyleKnown(n.value)) valid = Status::Fail("El estilo de línea " + std::to_string(n.value) + " no existe.");
            target = &f.borderLineStyle;
        } else if (!border && Is(m, "Pattern")) {
            if (!PatternKnown(n.value)) valid = Status::Fail("La trama " + std::to_string(n.value) + " no existe.");
            target = &f.pattern;
        }
        if (target == nullptr) break;
        if (!valid) return valid;
        *target = n.value;
        f.set = true;
        return Status::Ok();
    }
    case Ref::Kind::Series:
        if (Is(m, "AxisGroup")) {
            Result<int32_t> g = WholeOf(v);
            if (!g.ok()) return g.status;
            if (g.value == 2)
                return Status::Fail("El eje secundario no está disponible en los gráficos del archivo .xlsx que se escribe.");
            if (g.value != 1) return Status::Fail("El grupo de ejes " + std::to_string(g.value) + " no existe.");
            c.series[static_cast<size_t>(at.part)].axisGroup = 1;
            return Status::Ok();
        }
        if (Is(m, "Name")) return text(c.series[static_cast<size_t>(at.part)].name);
        break;
    case Ref::Kind::DataTable:
        if (Is(m, "ShowLegendKey")) return flag(c.dataTableLegendKey);
        break;
    default: break;
    }
    return Status::Fail(UnknownMember(m.name, "el gráfico"));
}

}  // namespace tv::automation
