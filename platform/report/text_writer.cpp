#include "platform/report/text_writer.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tv::report {

namespace {

std::vector<std::string> splitChars(const std::string& s) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

class Grid {
public:
    void put(int row, int col, const std::string& ch, bool isText = false) {
        if (row < 0 || col < 0) return;
        if (static_cast<std::size_t>(row) >= cells_.size()) {
            cells_.resize(static_cast<std::size_t>(row) + 1);
            texts_.resize(cells_.size());
        }
        auto& line = cells_[static_cast<std::size_t>(row)];
        auto& marks = texts_[static_cast<std::size_t>(row)];
        if (static_cast<std::size_t>(col) >= line.size()) {
            line.resize(static_cast<std::size_t>(col) + 1, " ");
            marks.resize(line.size(), false);
        }
        line[static_cast<std::size_t>(col)] = ch;
        marks[static_cast<std::size_t>(col)] = isText;
    }
    // Texts never overwrite one another: a text that would land on an
    // earlier one, or right after it with no blank between ("PIEZA" and
    // "999.99" reading as "PIEZA999.99"), moves right past it (and past any
    // further one it would then meet), so every text stays whole and apart,
    // a number too wide for its column included.
    void text(int row, int col, const std::vector<std::string>& chars) {
        const int len = static_cast<int>(chars.size());
        if (row >= 0 && static_cast<std::size_t>(row) < texts_.size()) {
            const auto& marks = texts_[static_cast<std::size_t>(row)];
            const auto& line = cells_[static_cast<std::size_t>(row)];
            for (;;) {
                int last = -1;
                for (int c = std::max(0, col - 1); c < col + len && static_cast<std::size_t>(c) < marks.size(); ++c)
                    if (marks[static_cast<std::size_t>(c)] && line[static_cast<std::size_t>(c)] != " ") last = c;
                if (last < 0) break;
                col = last + 2;
            }
        }
        for (std::size_t i = 0; i < chars.size(); ++i) put(row, col + static_cast<int>(i), chars[i], true);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& line : cells_) {
            std::string s;
            for (const auto& c : line) s += c;
            while (!s.empty() && s.back() == ' ') s.pop_back();
            out.push_back(std::move(s));
        }
        while (!out.empty() && out.back().empty()) out.pop_back();
        return out;
    }

private:
    std::vector<std::vector<std::string>> cells_;
    std::vector<std::vector<bool>> texts_;
};

// Rows come from the distinct heights on the page: tops closer than half a
// line share a row; further ones keep their distance in lines, at least one.
// A line or box edge close to a text (a rule under the headings) gets a row
// of its own rather than run through the text.
class Rows {
public:
    struct Top {
        Mils y;
        bool graphic;
    };
    Rows(std::vector<Top> tops, double lineHeight) {
        std::sort(tops.begin(), tops.end(), [](const Top& a, const Top& b) {
            return a.y != b.y ? a.y < b.y : a.graphic < b.graphic;
        });
        Mils clusterY = 0;
        bool clusterGraphic = false;
        int row = -1;
        for (const Top& t : tops) {
            if (row < 0) {
                row = 0;
                clusterY = t.y;
                clusterGraphic = t.graphic;
            } else if (t.y != clusterY && (t.y - clusterY > lineHeight / 2 || t.graphic != clusterGraphic)) {
                row += std::max(1, static_cast<int>(std::lround((t.y - clusterY) / lineHeight)));
                clusterY = t.y;
                clusterGraphic = t.graphic;
            }
            rows_[t.y] = row;
        }
    }
    int operator()(Mils y) const {
        auto it = rows_.find(y);
        return it == rows_.end() ? 0 : it->second;
    }

private:
    std::map<Mils, int> rows_;
};

}  // namespace

std::vector<std::string> renderTextPage(const Page& page, const TextWriterOptions& o) {
    std::vector<Rows::Top> ys;
    for (const Primitive& p : page.items) {
        switch (p.kind) {
        case PrimKind::Text:
        case PrimKind::CheckBox:
        case PrimKind::Radio:
            ys.push_back({p.y, false});
            break;
        case PrimKind::Line:
        case PrimKind::Rect:
            if (!o.omitGraphics) {
                ys.push_back({p.y, true});
                ys.push_back({p.y + p.h, true});
            }
            break;
        case PrimKind::Image:
            break;
        }
    }
    Rows row(ys, o.lineHeight);
    auto col = [&](Mils x) {
        return o.leftMargin + static_cast<int>(std::lround(x / o.columnWidth));
    };
    Grid grid;

    if (!o.omitGraphics) {
        for (const Primitive& p : page.items) {
            if (p.kind == PrimKind::Line) {
                int r1 = row(p.y), r2 = row(p.y + p.h);
                int c1 = col(p.x), c2 = col(p.x + p.w);
                if (r1 > r2) std::swap(r1, r2);
                if (c1 > c2) std::swap(c1, c2);
                if (r1 == r2) {
                    for (int c = c1; c < std::max(c2, c1 + 1); ++c) grid.put(r1, c, o.horizontal);
                } else if (c1 == c2) {
                    for (int r = r1; r <= r2; ++r) grid.put(r, c1, o.vertical);
                }
            } else if (p.kind == PrimKind::Rect) {
                int r1 = row(p.y), r2 = row(p.y + p.h);
                int c1 = col(p.x), c2 = std::max(col(p.x + p.w) - 1, col(p.x));
                if (p.fill >= 0 && p.fill <= 4) {
                    // Inside the border, or over the lines the box spans.
                    int top = p.border ? r1 + 1 : r1;
                    int last = p.border ? r2 - 1 : std::max(r1, r2 - 1);
                    int inset = p.border ? 1 : 0;
                    for (int r = top; r <= last; ++r)
                        for (int c = c1 + inset; c <= c2 - inset; ++c)
                            grid.put(r, c, o.fills[static_cast<std::size_t>(p.fill)]);
                }
                if (!p.border) continue;
                if (r1 == r2) {
                    for (int c = c1; c <= c2; ++c) grid.put(r1, c, o.horizontal);
                    continue;
                }
                for (int c = c1 + 1; c < c2; ++c) {
                    grid.put(r1, c, o.horizontal);
                    grid.put(r2, c, o.horizontal);
                }
                for (int r = r1 + 1; r < r2; ++r) {
                    grid.put(r, c1, o.vertical);
                    grid.put(r, c2, o.vertical);
                }
                grid.put(r1, c1, o.topLeft);
                grid.put(r1, c2, o.topRight);
                grid.put(r2, c1, o.bottomLeft);
                grid.put(r2, c2, o.bottomRight);
            }
        }
    }
    for (const Primitive& p : page.items) {
        if (p.kind == PrimKind::Text) {
            std::vector<std::string> chars = splitChars(p.text);
            int len = static_cast<int>(chars.size());
            int start = col(p.x);
            if (p.align == Align::Left) {
                // A left-aligned text stays inside its box.
                if (p.w > 0) {
                    int room = std::max(1, col(p.x + p.w) - col(p.x));
                    if (len > room) chars.resize(static_cast<std::size_t>(room));
                }
            } else if (p.align == Align::Right) {
                start = col(p.x + p.w) - len;
            } else {
                start = col(p.x + p.w / 2) - len / 2;
            }
            grid.text(row(p.y), std::max(0, start), chars);
        } else if (p.kind == PrimKind::CheckBox || p.kind == PrimKind::Radio) {
            std::string mark = p.kind == PrimKind::CheckBox ? (p.checked ? o.checked : o.unchecked)
                                                           : (p.checked ? o.radioOn : o.radioOff);
            if (!p.text.empty()) mark += " " + p.text;
            grid.text(row(p.y), col(p.x), splitChars(mark));
        }
    }
    std::vector<std::string> lines = grid.lines();
    if (o.topMargin > 0) lines.insert(lines.begin(), static_cast<std::size_t>(o.topMargin), "");
    if (o.bottomMargin > 0) lines.insert(lines.end(), static_cast<std::size_t>(o.bottomMargin), "");
    if (o.pageLength > 0 && static_cast<int>(lines.size()) < o.pageLength)
        lines.resize(static_cast<std::size_t>(o.pageLength));
    return lines;
}

namespace {

// The pages as text, each written as it comes.
class TextOutput : public PageOutput {
public:
    TextOutput(const TextWriterOptions& o, std::ostream& out) : options_(o), out_(out) {
        out_ << std::string(static_cast<std::size_t>(std::max(0, o.initialMargin)), '\n');
    }
    bool add(const Page& page) override {
        if (!error_.empty()) return false;
        if (pages_++ > 0) out_ << options_.pageSeparator;
        for (const std::string& line : renderTextPage(page, options_)) out_ << line << '\n';
        return static_cast<bool>(out_) || fail("No se pudo escribir el texto del reporte.");
    }
    bool finish() override {
        out_.flush();
        return error_.empty() && (static_cast<bool>(out_) || fail("No se pudo escribir el texto del reporte."));
    }

private:
    TextWriterOptions options_;
    std::ostream& out_;
    std::size_t pages_ = 0;
};

}  // namespace

std::string TextPageWriter::render(const std::vector<Page>& pages) const {
    return renderPages(pages, [this](std::ostream& out) { return std::make_unique<TextOutput>(options, out); });
}

std::unique_ptr<PageOutput> TextPageWriter::open(const std::filesystem::path& file, std::string* error) {
    return fileOutput(file, error, [this](std::ostream& out) { return std::make_unique<TextOutput>(options, out); });
}

}  // namespace tv::report
