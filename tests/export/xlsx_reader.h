#pragma once
// Reads an .xlsx file back with a real spreadsheet reader (python3 with
// openpyxl) so tests compare what another program sees, cell by cell.
//
// What it gives, per sheet: every cell that holds a value ("n:5",
// "s:texto", "f:=A1+1"), the cells with a format of their own, merged
// ranges, column widths, the auto filter, protection, headers, and the
// charts in the file.
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace tv::test {

class XlsxDump {
public:
    // nullopt when the file cannot be read; *error says why (the reader's output).
    static std::optional<XlsxDump> Read(const std::filesystem::path& file, std::string* error = nullptr) {
        // A script of this process's own: test programs run side by side, and
        // one rewriting a shared script would hand another a half-written one.
        const std::filesystem::path script =
            std::filesystem::temp_directory_path() / ("talvor_read_xlsx_" + std::to_string(getpid()) + ".py");
        {
            std::ofstream out(script);
            out << kScript;
        }
        struct Remove {
            std::filesystem::path p;
            ~Remove() {
                std::error_code ec;
                std::filesystem::remove(p, ec);
            }
        } removeScript{script};
        // Debian's own python3 is the one that has python3-openpyxl.
        const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        const std::string command = python + " '" + script.string() + "' '" + file.string() + "' 2>&1";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        if (!pipe) {
            if (error) *error = "python3 no se pudo ejecutar";
            return std::nullopt;
        }
        std::string text;
        std::array<char, 4096> buf{};
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) text.append(buf.data(), n);
        const int rc = pclose(pipe.release());
        if (rc != 0 || text.rfind("OK\n") == std::string::npos) {
            if (error) *error = text.empty() ? "sin respuesta del lector" : text;
            return std::nullopt;
        }
        XlsxDump d;
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            std::vector<std::string> f;
            size_t start = 0;
            for (;;) {
                const size_t tab = line.find('\t', start);
                f.push_back(unescape(line.substr(start, tab - start)));
                if (tab == std::string::npos) break;
                start = tab + 1;
            }
            if (f[0] == "SHEET") d.sheets.push_back(f[1] + "|" + f[2] + "|" + f[3]);
            else if (f[0] == "CELL") d.cells[f[1] + "!" + f[2]] = f[3] + ":" + f[4];
            else if (f[0] == "STYLE") d.styles[f[1] + "!" + f[2]] = f[3];
            else if (f[0] == "OK") continue;
            else d.other.push_back(line);
        }
        return d;
    }

    // "n:5", "s:texto", "f:=A1+1", or "" when the cell holds nothing.
    std::string cell(const std::string& sheet, const std::string& address) const {
        auto it = cells.find(sheet + "!" + address);
        return it == cells.end() ? std::string() : it->second;
    }
    // "bold=1 num=0.00 h=center wrap=0 locked=1 fill=FF0000 font=Arial 12 color=..."
    std::string style(const std::string& sheet, const std::string& address) const {
        auto it = styles.find(sheet + "!" + address);
        return it == styles.end() ? std::string() : it->second;
    }
    // Every value cell of a sheet, "A1=s:texto", in row order.
    std::vector<std::string> sheetCells(const std::string& sheet) const {
        std::vector<std::string> out;
        for (const auto& [key, value] : cells)
            if (key.rfind(sheet + "!", 0) == 0) out.push_back(key.substr(sheet.size() + 1) + "=" + value);
        return out;
    }
    bool has(const std::string& line) const {
        for (const std::string& l : other)
            if (l == line) return true;
        return false;
    }

    std::vector<std::string> sheets;                 // "name|work or chart|visible or hidden"
    std::map<std::string, std::string> cells;        // "Hoja1!A1" -> "s:texto"
    std::map<std::string, std::string> styles;
    std::vector<std::string> other;                  // MERGE, WIDTH, FILTER, ... lines as read

private:
    static std::string unescape(const std::string& s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\\' && i + 1 < s.size()) {
                const char c = s[++i];
                out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
            } else {
                out += s[i];
            }
        }
        return out;
    }

    static constexpr const char* kScript = R"PY(
import sys, zipfile, re
import openpyxl
from openpyxl.chartsheet import Chartsheet

def esc(v):
    return str(v).replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n')

def out(*fields):
    print('\t'.join(esc(f) for f in fields))

path = sys.argv[1]
wb = openpyxl.load_workbook(path)
out('ACTIVE', wb.active.title)
for name in wb.sheetnames:
    ws = wb[name]
    kind = 'chart' if isinstance(ws, Chartsheet) else 'work'
    out('SHEET', name, kind, ws.sheet_state)
    if kind == 'chart':
        continue
    for row in ws.iter_rows():
        for c in row:
            if c.value is not None:
                t = {'n': 'n', 's': 's', 'f': 'f', 'b': 'b', 'inlineStr': 's', 'str': 's'}.get(c.data_type, c.data_type)
                v = c.value
                if t == 'n' and isinstance(v, float) and v.is_integer() and abs(v) < 1e15:
                    v = int(v)
                out('CELL', name, c.coordinate, t, v)
            if c.has_style and c.style_id != 0:
                f = c.font
                fill = c.fill.fgColor.rgb if c.fill is not None and c.fill.fill_type == 'solid' else '-'
                color = f.color.rgb if f.color is not None and f.color.type == 'rgb' else '-'
                out('STYLE', name, c.coordinate,
                    'bold=%d italic=%d under=%s size=%s font=%s color=%s num=%s h=%s v=%s wrap=%d locked=%d fill=%s' % (
                        1 if f.b else 0, 1 if f.i else 0, f.u or '-', f.sz, f.name, color, c.number_format,
                        c.alignment.horizontal or '-', c.alignment.vertical or '-', 1 if c.alignment.wrap_text else 0,
                        1 if c.protection.locked else 0, fill))
    for m in ws.merged_cells.ranges:
        out('MERGE', name, str(m))
    for letter, dim in sorted(ws.column_dimensions.items()):
        if dim.customWidth:
            out('WIDTH', name, letter, round(dim.width, 2))
    for r, dim in sorted(ws.row_dimensions.items()):
        if dim.customHeight:
            out('HEIGHT', name, r, round(dim.height, 2))
    if ws.auto_filter.ref:
        out('FILTER', name, ws.auto_filter.ref)
    if ws.protection.sheet:
        out('PROTECTED', name)
    h = ws.oddHeader
    for part, label in ((h.left, 'L'), (h.center, 'C'), (h.right, 'R')):
        if part.text:
            out('HEADER', name, label, part.text)
    if ws.page_setup.orientation:
        out('ORIENTATION', name, ws.page_setup.orientation)
z = zipfile.ZipFile(path)
for n in sorted(z.namelist()):
    if n.startswith('xl/charts/chart'):
        x = z.read(n).decode('utf-8')
        kinds = sorted(set(re.findall(r'<c:(\w+Chart)>', x)))
        titles = re.findall(r'<a:t>([^<]*)</a:t>', x)
        out('CHART', n, ','.join(kinds), '|'.join(titles), 'legend' if '<c:legend>' in x else 'nolegend',
            'table' if '<c:dTable>' in x else 'notable')
print('OK')
)PY";
};

}  // namespace tv::test
