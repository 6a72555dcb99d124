#include "export/automation/xlsx_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <xlsxwriter.h>

#include "export/automation/file_text.h"

namespace tv::automation {

namespace fs = std::filesystem;

namespace {

// Every text goes into the file readable (file_text.h): one bad byte
// would spoil the whole workbook.
std::string xml(std::string_view text) { return ReadableText(text, true); }

lxw_color_t rgbOf(int32_t bgr) {
    const auto v = static_cast<uint32_t>(bgr);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

// Chart kinds of the automation interface and the file's own.
const std::map<int32_t, uint8_t>& chartTypes() {
    static const std::map<int32_t, uint8_t> m = {
        {1, LXW_CHART_AREA},           {76, LXW_CHART_AREA_STACKED},     {77, LXW_CHART_AREA_STACKED_PERCENT},
        {57, LXW_CHART_BAR},           {58, LXW_CHART_BAR_STACKED},      {59, LXW_CHART_BAR_STACKED_PERCENT},
        {51, LXW_CHART_COLUMN},        {52, LXW_CHART_COLUMN_STACKED},   {53, LXW_CHART_COLUMN_STACKED_PERCENT},
        {-4120, LXW_CHART_DOUGHNUT},   {4, LXW_CHART_LINE},              {65, LXW_CHART_LINE},
        {63, LXW_CHART_LINE_STACKED},  {64, LXW_CHART_LINE_STACKED_PERCENT}, {5, LXW_CHART_PIE},
        {-4169, LXW_CHART_SCATTER},    {74, LXW_CHART_SCATTER_STRAIGHT_WITH_MARKERS},
        {75, LXW_CHART_SCATTER_STRAIGHT}, {72, LXW_CHART_SCATTER_SMOOTH_WITH_MARKERS},
        {73, LXW_CHART_SCATTER_SMOOTH}, {-4151, LXW_CHART_RADAR},        {81, LXW_CHART_RADAR_WITH_MARKERS},
        {82, LXW_CHART_RADAR_FILLED},
    };
    return m;
}

const std::map<int32_t, uint8_t>& patterns() {
    static const std::map<int32_t, uint8_t> m = {
        {-4125, LXW_CHART_PATTERN_PERCENT_50},  {-4126, LXW_CHART_PATTERN_PERCENT_75},
        {-4124, LXW_CHART_PATTERN_PERCENT_25},  {17, LXW_CHART_PATTERN_PERCENT_10},
        {18, LXW_CHART_PATTERN_PERCENT_5},      {-4128, LXW_CHART_PATTERN_DARK_HORIZONTAL},
        {-4166, LXW_CHART_PATTERN_DARK_VERTICAL}, {-4121, LXW_CHART_PATTERN_DARK_DOWNWARD_DIAGONAL},
        {-4162, LXW_CHART_PATTERN_DARK_UPWARD_DIAGONAL}, {9, LXW_CHART_PATTERN_SMALL_CHECK},
        {10, LXW_CHART_PATTERN_PERCENT_70},     {11, LXW_CHART_PATTERN_LIGHT_HORIZONTAL},
        {12, LXW_CHART_PATTERN_LIGHT_VERTICAL}, {13, LXW_CHART_PATTERN_LIGHT_DOWNWARD_DIAGONAL},
        {14, LXW_CHART_PATTERN_LIGHT_UPWARD_DIAGONAL}, {15, LXW_CHART_PATTERN_SMALL_GRID},
        {16, LXW_CHART_PATTERN_DOTTED_DIAMOND},
    };
    return m;
}

const std::map<int32_t, uint8_t>& lineStyles() {
    static const std::map<int32_t, uint8_t> m = {
        {1, LXW_CHART_LINE_DASH_SOLID},        {-4115, LXW_CHART_LINE_DASH_DASH},
        {-4118, LXW_CHART_LINE_DASH_ROUND_DOT}, {4, LXW_CHART_LINE_DASH_DASH_DOT},
        {5, LXW_CHART_LINE_DASH_LONG_DASH_DOT_DOT}, {-4119, LXW_CHART_LINE_DASH_SOLID},
        {13, LXW_CHART_LINE_DASH_SYSTEM_DASH_DOT},  {-4142, LXW_CHART_LINE_DASH_SOLID},
    };
    return m;
}

float lineWidth(int32_t weight) {
    switch (weight) {
    case 1: return 0.25f;      // hairline
    case -4138: return 1.5f;   // medium
    case 4: return 2.25f;      // thick
    default: return 0.75f;     // thin
    }
}

uint8_t horizontal(int32_t code) {
    switch (code) {
    case xl::kLeft: return LXW_ALIGN_LEFT;
    case xl::kCenter: return LXW_ALIGN_CENTER;
    case xl::kRight: return LXW_ALIGN_RIGHT;
    case xl::kFill: return LXW_ALIGN_FILL;
    case xl::kJustify: return LXW_ALIGN_JUSTIFY;
    case xl::kCenterAcross: return LXW_ALIGN_CENTER_ACROSS;
    case xl::kDistributed: return LXW_ALIGN_DISTRIBUTED;
    default: return LXW_ALIGN_NONE;
    }
}

uint8_t vertical(int32_t code) {
    switch (code) {
    case xl::kTop: return LXW_ALIGN_VERTICAL_TOP;
    case xl::kCenter: return LXW_ALIGN_VERTICAL_CENTER;
    case xl::kJustify: return LXW_ALIGN_VERTICAL_JUSTIFY;
    case xl::kDistributed: return LXW_ALIGN_VERTICAL_DISTRIBUTED;
    default: return LXW_ALIGN_VERTICAL_BOTTOM;
    }
}

uint8_t border(int8_t weight) {
    switch (weight) {
    case 1: return LXW_BORDER_HAIR;
    case 2: return LXW_BORDER_THIN;
    case 3: return LXW_BORDER_MEDIUM;
    case 4: return LXW_BORDER_THICK;
    default: return LXW_BORDER_NONE;
    }
}

class Writer {
public:
    Writer(const Workbook& book, lxw_workbook* wb) : book_(book), wb_(wb), formats_(book.styleCount(), nullptr) {}

    Status write() {
        for (const auto& s : book_.sheets) {
            const bool active = book_.indexOf(s.get()) == book_.active;
            Status st = s->kind == Sheet::Kind::Worksheet ? worksheet(*s, active) : chartSheet(*s, active);
            if (!st) return st;
        }
        return Status::Ok();
    }

private:
    lxw_format* format(uint32_t index) {
        if (index == 0 || index >= formats_.size()) return nullptr;
        if (formats_[index] != nullptr) return formats_[index];
        const Style& s = book_.style(index);
        lxw_format* f = workbook_add_format(wb_);
        if (uint8_t h = horizontal(s.horizontal); h != LXW_ALIGN_NONE) format_set_align(f, h);
        if (s.vertical != xl::kBottom) format_set_align(f, vertical(s.vertical));
        if (s.wrap) format_set_text_wrap(f);
        if (!s.locked) format_set_unlocked(f);
        if (s.numberFormat != "General") format_set_num_format(f, xml(s.numberFormat).c_str());
        if (s.fontName != "Calibri") format_set_font_name(f, xml(s.fontName).c_str());
        if (s.fontSize != 11) format_set_font_size(f, s.fontSize);
        if (s.bold) format_set_bold(f);
        if (s.italic) format_set_italic(f);
        if (s.underline == xl::kUnderlineDouble) format_set_underline(f, LXW_UNDERLINE_DOUBLE);
        else if (s.underline != xl::kNone) format_set_underline(f, LXW_UNDERLINE_SINGLE);
        if (s.fontColor >= 0) format_set_font_color(f, rgbOf(s.fontColor));
        if (s.fill >= 0) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, rgbOf(s.fill));
        }
        if (s.borders[0] != 0) format_set_top(f, border(s.borders[0]));
        if (s.borders[1] != 0) format_set_bottom(f, border(s.borders[1]));
        if (s.borders[2] != 0) format_set_left(f, border(s.borders[2]));
        if (s.borders[3] != 0) format_set_right(f, border(s.borders[3]));
        formats_[index] = f;
        return f;
    }

    static Status check(lxw_error e, const Sheet& s, int32_t row = 0, int32_t column = 0) {
        if (e == LXW_NO_ERROR) return Status::Ok();
        std::string where = "la hoja \"" + s.name + "\"";
        if (row > 0) where = "la celda " + CellAddress(row, column) + " de " + where;
        if (e == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
            return Status::Fail("El texto de " + where + " pasa de 32767 caracteres.");
        return Status::Fail("No se pudo escribir " + where + ": " + lxw_strerror(e));
    }

    Status worksheet(const Sheet& s, bool active) {
        lxw_worksheet* ws = workbook_add_worksheet(wb_, xml(s.name).c_str());
        if (ws == nullptr) return Status::Fail("No se pudo agregar la hoja \"" + s.name + "\" al archivo.");
        const Worksheet& w = s.cells;
        for (int32_t c = 1; c <= kMaxColumns; ++c) {
            const double width = w.columnWidth(c);
            const uint32_t style = w.columnStyle(c);
            if (width < 0 && style == 0) continue;
            worksheet_set_column(ws, static_cast<lxw_col_t>(c - 1), static_cast<lxw_col_t>(c - 1),
                                 width < 0 ? LXW_DEF_COL_WIDTH : width, format(style));
        }
        std::vector<const CellRect*> mergesByRow;
        for (const CellRect& m : w.merges) mergesByRow.push_back(&m);
        Status failed;
        for (int32_t r = 1; r <= w.lastRow() && failed.ok(); ++r) {
            const auto row = static_cast<lxw_row_t>(r - 1);
            if (w.rowHeight(r) >= 0 || w.rowStyle(r) != 0)
                worksheet_set_row(ws, row, w.rowHeight(r) < 0 ? LXW_DEF_ROW_HEIGHT : w.rowHeight(r), format(w.rowStyle(r)));
            for (const CellRect* m : mergesByRow) {
                if (m->top != r) continue;
                failed = check(worksheet_merge_range(ws, row, static_cast<lxw_col_t>(m->left - 1),
                                                     static_cast<lxw_row_t>(m->bottom - 1),
                                                     static_cast<lxw_col_t>(m->right - 1), "", format(w.styleAt(r, m->left))),
                               s, r, m->left);
                if (!failed) return failed;
            }
            w.visitRow(r, [&](int32_t c, CellValue::Kind kind, double number, std::string_view text, uint32_t style) {
                if (!failed.ok()) return;
                const auto col = static_cast<lxw_col_t>(c - 1);
                lxw_format* f = format(style);
                lxw_error e = LXW_NO_ERROR;
                switch (kind) {
                case CellValue::Kind::Number: e = worksheet_write_number(ws, row, col, number, f); break;
                case CellValue::Kind::Text: e = worksheet_write_string(ws, row, col, CellFileText(text).c_str(), f); break;
                case CellValue::Kind::Formula:
                    e = worksheet_write_formula(ws, row, col, xml(text).c_str(), f);
                    break;
                case CellValue::Kind::Empty:
                    if (f != nullptr) e = worksheet_write_blank(ws, row, col, f);
                    break;
                }
                failed = check(e, s, r, c);
            });
        }
        if (!failed) return failed;
        if (w.autoFilter)
            worksheet_autofilter(ws, static_cast<lxw_row_t>(w.autoFilter->top - 1),
                                 static_cast<lxw_col_t>(w.autoFilter->left - 1),
                                 static_cast<lxw_row_t>(w.autoFilter->bottom - 1),
                                 static_cast<lxw_col_t>(w.autoFilter->right - 1));
        if (w.protectedSheet) worksheet_protect(ws, w.password.empty() ? nullptr : w.password.c_str(), nullptr);
        const auto& hf = w.headersFooters;
        auto sections = [](const std::string& l, const std::string& c, const std::string& r) {
            std::string out;
            if (!l.empty()) out += "&L" + l;
            if (!c.empty()) out += "&C" + c;
            if (!r.empty()) out += "&R" + r;
            return out;
        };
        if (std::string h = sections(hf[0], hf[1], hf[2]); !h.empty())
            if (Status st = check(worksheet_set_header(ws, xml(h).c_str()), s); !st)
                return Status::Fail("El encabezado de la hoja \"" + s.name + "\" es demasiado largo (255 caracteres).");
        if (std::string f = sections(hf[3], hf[4], hf[5]); !f.empty())
            if (Status st = check(worksheet_set_footer(ws, xml(f).c_str()), s); !st)
                return Status::Fail("El pie de página de la hoja \"" + s.name + "\" es demasiado largo (255 caracteres).");
        if (w.paperSize > 0) worksheet_set_paper(ws, static_cast<uint8_t>(w.paperSize));
        if (w.orientation == 2) worksheet_set_landscape(ws);
        else if (w.orientation == 1) worksheet_set_portrait(ws);
        auto inches = [](double points) { return points < 0 ? -1.0 : points / 72.0; };
        if (w.margins != std::array<double, 4>{-1, -1, -1, -1})
            worksheet_set_margins(ws, inches(w.margins[2]), inches(w.margins[3]), inches(w.margins[0]),
                                  inches(w.margins[1]));
        for (const auto& chart : w.charts) {
            lxw_chart* c = makeChart(*chart);
            if (c == nullptr) return Status::Fail("No se pudo escribir un gráfico de la hoja \"" + s.name + "\".");
            if (Status st = check(worksheet_insert_chart(ws, static_cast<lxw_row_t>(chart->anchorRow - 1),
                                                         static_cast<lxw_col_t>(chart->anchorColumn - 1), c),
                                  s);
                !st)
                return st;
        }
        worksheet_set_selection(ws, static_cast<lxw_row_t>(s.selection.top - 1),
                                static_cast<lxw_col_t>(s.selection.left - 1),
                                static_cast<lxw_row_t>(std::min(s.selection.bottom, kMaxRows) - 1),
                                static_cast<lxw_col_t>(std::min(s.selection.right, kMaxColumns) - 1));
        if (active) worksheet_activate(ws);
        else if (!s.visible) worksheet_hide(ws);
        return Status::Ok();
    }

    Status chartSheet(const Sheet& s, bool active) {
        lxw_chartsheet* cs = workbook_add_chartsheet(wb_, xml(s.name).c_str());
        lxw_chart* c = s.chart ? makeChart(*s.chart) : nullptr;
        if (cs == nullptr || c == nullptr) return Status::Fail("No se pudo escribir el gráfico \"" + s.name + "\".");
        if (Status st = check(chartsheet_set_chart(cs, c), s); !st) return st;
        if (active) chartsheet_activate(cs);
        else if (!s.visible) chartsheet_hide(cs);
        return Status::Ok();
    }

    static void areaFormat(const ChartAreaFormat& a, lxw_chart_line& line, lxw_chart_fill& fill,
                           lxw_chart_pattern& pattern, bool& hasPattern) {
        line = {};
        line.none = a.borderLineStyle == xl::kNone;
        if (a.borderColorIndex != xl::kAutomatic) line.color = rgbOf(PaletteColor(a.borderColorIndex));
        line.width = lineWidth(a.borderWeight);
        line.dash_type = lineStyles().count(a.borderLineStyle) ? lineStyles().at(a.borderLineStyle) : 0;
        fill = {};
        fill.none = a.interiorColorIndex == xl::kNone || a.pattern == xl::kNone;
        if (a.interiorColorIndex > 0) fill.color = rgbOf(PaletteColor(a.interiorColorIndex));
        hasPattern = patterns().count(a.pattern) != 0 && !fill.none;
        if (hasPattern) {
            pattern = {};
            pattern.type = patterns().at(a.pattern);
            pattern.fg_color = a.patternColorIndex > 0 ? rgbOf(PaletteColor(a.patternColorIndex)) : 0x000000;
            pattern.bg_color = a.interiorColorIndex > 0 ? rgbOf(PaletteColor(a.interiorColorIndex)) : 0xFFFFFF;
        }
    }

    lxw_chart* makeChart(const Chart& ch) {
        auto t = chartTypes().find(ch.type);
        if (t == chartTypes().end()) return nullptr;
        lxw_chart* c = workbook_add_chart(wb_, t->second);
        if (c == nullptr) return nullptr;
        for (const ChartSeries& se : ch.series) {
            lxw_chart_series* s = chart_add_series(c, nullptr, nullptr);
            const CellRect& v = se.values.rect;
            chart_series_set_values(s, xml(se.values.sheet).c_str(), static_cast<lxw_row_t>(v.top - 1),
                                    static_cast<lxw_col_t>(v.left - 1), static_cast<lxw_row_t>(v.bottom - 1),
                                    static_cast<lxw_col_t>(v.right - 1));
            if (se.categories) {
                const CellRect& k = se.categories->rect;
                chart_series_set_categories(s, xml(se.categories->sheet).c_str(), static_cast<lxw_row_t>(k.top - 1),
                                            static_cast<lxw_col_t>(k.left - 1), static_cast<lxw_row_t>(k.bottom - 1),
                                            static_cast<lxw_col_t>(k.right - 1));
            }
            if (!se.name.empty()) chart_series_set_name(s, xml(se.name).c_str());
            switch (ch.dataLabels) {
            case 0: break;
            case 3: chart_series_set_labels_options(s, 0, 0, 0); chart_series_set_labels_percentage(s); break;
            case 4: chart_series_set_labels_options(s, 0, 1, 0); break;
            case 5: chart_series_set_labels_options(s, 0, 1, 0); chart_series_set_labels_percentage(s); break;
            default: chart_series_set_labels(s); break;
            }
        }
        if (ch.hasTitle && !ch.title.empty()) chart_title_set_name(c, xml(ch.title).c_str());
        else chart_title_off(c);
        if (ChartHasAxes(ch.type)) {
            const lxw_chart_axis_type kinds[2] = {LXW_CHART_AXIS_TYPE_X, LXW_CHART_AXIS_TYPE_Y};
            for (int i = 0; i < 2; ++i) {
                lxw_chart_axis* axis = chart_axis_get(c, kinds[i]);
                const ChartAxis& a = ch.axes[static_cast<size_t>(i)];
                if (a.hasTitle && !a.title.empty()) chart_axis_set_name(axis, xml(a.title).c_str());
                chart_axis_major_gridlines_set_visible(axis, a.majorGridlines ? LXW_TRUE : LXW_FALSE);
                chart_axis_minor_gridlines_set_visible(axis, a.minorGridlines ? LXW_TRUE : LXW_FALSE);
            }
        }
        uint8_t legend = LXW_CHART_LEGEND_RIGHT;
        switch (ch.legendPosition) {
        case xl::kLeft: legend = LXW_CHART_LEGEND_LEFT; break;
        case xl::kTop: legend = LXW_CHART_LEGEND_TOP; break;
        case xl::kBottom: legend = LXW_CHART_LEGEND_BOTTOM; break;
        case 2: legend = LXW_CHART_LEGEND_TOP_RIGHT; break;
        default: break;
        }
        chart_legend_set_position(c, ch.hasLegend ? legend : static_cast<uint8_t>(LXW_CHART_LEGEND_NONE));
        if (ch.hasDataTable) {
            chart_set_table(c);
            chart_set_table_grid(c, LXW_TRUE, LXW_TRUE, LXW_TRUE, ch.dataTableLegendKey ? LXW_TRUE : LXW_FALSE);
        }
        lxw_chart_line line{};
        lxw_chart_fill fill{};
        lxw_chart_pattern pattern{};
        bool hasPattern = false;
        if (ch.chartArea.set) {
            areaFormat(ch.chartArea, line, fill, pattern, hasPattern);
            chart_chartarea_set_line(c, &line);
            if (hasPattern) chart_chartarea_set_pattern(c, &pattern);
            else chart_chartarea_set_fill(c, &fill);
        }
        if (ch.plotArea.set) {
            areaFormat(ch.plotArea, line, fill, pattern, hasPattern);
            chart_plotarea_set_line(c, &line);
            if (hasPattern) chart_plotarea_set_pattern(c, &pattern);
            else chart_plotarea_set_fill(c, &fill);
        }
        return c;
    }

    const Workbook& book_;
    lxw_workbook* wb_;
    std::vector<lxw_format*> formats_;
};

// Writing row by row keeps little in memory, but it writes every text in
// its cell, and not every reader unescapes "_xHHHH_" there; texts that
// hold such escapes go into the shared table of texts, which every reader
// unescapes.
bool usesConstantMemory(const Workbook& book) {
    for (const auto& s : book.sheets) {
        if (s->kind == Sheet::Kind::ChartSheet || !s->cells.charts.empty()) return false;
        for (const CellRect& m : s->cells.merges)
            if (m.top != m.bottom) return false;
        bool escapes = false;
        for (int32_t r = 1; r <= s->cells.lastRow() && !escapes; ++r)
            s->cells.visitRow(r, [&](int32_t, CellValue::Kind kind, double, std::string_view text, uint32_t) {
                escapes = escapes || (kind == CellValue::Kind::Text && CellTextNeedsEscapes(text));
            });
        if (escapes) return false;
    }
    return true;
}

}  // namespace

bool ChartTypeKnown(int32_t type) { return chartTypes().count(type) != 0; }
bool PatternKnown(int32_t p) { return p == 1 || p == xl::kNone || patterns().count(p) != 0; }
bool LineStyleKnown(int32_t s) { return lineStyles().count(s) != 0; }
bool BorderWeightKnown(int32_t w) { return w == 1 || w == 2 || w == -4138 || w == 4; }
bool ChartHasAxes(int32_t type) { return type != 5 && type != -4120; }

std::string FileErrorText(int error) {
    switch (error) {
    case ENOENT: return "la carpeta no existe";
    case ENOTDIR: return "la ruta no lleva a una carpeta";
    case EACCES:
    case EPERM: return "no hay permiso para escribir en la carpeta";
    case EROFS: return "la carpeta es de solo lectura";
    case ENOSPC:
    case EDQUOT: return "no queda espacio en el disco";
    case EISDIR: return "ya hay una carpeta con ese nombre";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    default: return std::strerror(error);
    }
}

Status WriteXlsx(const Workbook& book, const std::string& path) {
    const fs::path target(path);
    auto failure = [&](const std::string& why) {
        return Status::Fail("No se pudo guardar el libro en \"" + path + "\": " + why + ".");
    };
    if (target.filename().empty()) return failure("falta el nombre del archivo");
    std::error_code ec;
    if (fs::is_directory(target, ec)) return failure(FileErrorText(EISDIR));
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string tmp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return failure(FileErrorText(errno));
    ::close(fd);
    struct Remove {
        std::string file;
        bool keep = false;
        ~Remove() {
            if (!keep) ::unlink(file.c_str());
        }
    } cleanup{tmp};

    lxw_workbook_options options{};
    options.constant_memory = usesConstantMemory(book) ? LXW_TRUE : LXW_FALSE;
    std::string tmpdir = folder.string();
    options.tmpdir = tmpdir.data();
    lxw_workbook* wb = workbook_new_opt(tmp.c_str(), &options);
    if (wb == nullptr) return failure("no hay memoria suficiente");
    Writer writer(book, wb);
    Status st = writer.write();
    const lxw_error closed = workbook_close(wb);  // frees the workbook in every case
    if (!st) return st;
    if (closed != LXW_NO_ERROR) {
        const int saved = errno;
        if (closed == LXW_ERROR_CREATING_XLSX_FILE || closed == LXW_ERROR_CREATING_TMPFILE) return failure(FileErrorText(saved));
        return failure(lxw_strerror(closed));
    }
    // The file gets the mode of the one it replaces, or that of any new file.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(tmp.c_str(), mode);
    if (::rename(tmp.c_str(), path.c_str()) != 0) return failure(FileErrorText(errno));
    cleanup.keep = true;
    return Status::Ok();
}

}  // namespace tv::automation
