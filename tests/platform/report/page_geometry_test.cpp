// Nothing printed lies over anything else: a number too wide for its column
// (a stock flagged "(!)", a wide total beside "Total:") stays in its own
// box on the laid-out page, in the preview, in the PDF, in HTML and in text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include <QImage>
#include <QPainter>

#include "platform/report/html_writer.h"
#include "platform/report/page_geometry.h"
#include "platform/report/paginator.h"
#include "platform/report/pdf_writer.h"
#include "platform/report/qt_render.h"
#include "platform/report/text_writer.h"
#include "tests/platform/report/sample_report.h"
#include "tests/support/scratch_dir.h"

namespace tv::report {
namespace {

Value dec(const char* text) { return Value(*Decimal::parse(text)); }

// The stock report's columns (numbers of 9 whole digits, flagged beyond),
// and a total under the last one with "Total:" in the column before.
ReportLayout stockLikeLayout() {
    ReportLayout l;
    auto amount = [](const char* field, Mils x, Mils w) {
        return Item::value(field, "n-14.2", x, 0, w, Align::Right).withWholeDigits(9);
    };
    l.detail = Band{250,
                    {Item::value("ART:NoArt", "n_10", 50, 0, 708, Align::Right),
                     Item::value("ART:Descripcion", "s70", 833, 0, 3500), Item::value("UNI:UM", "s40", 4406, 0, 833),
                     amount("ART:Entradas", 5260, 886), amount("ART:Salidas", 6146, 937),
                     amount("LOC:EXISTENCIAS", 7083, 917)}};
    GroupBreak all;
    all.footer = Band{400, {Item::line(6850, 40, 1150, 0, true), Item::fixed("Total:", 5500, 120, 1250, Align::Right),
                            Item::sum("LOC:EXISTENCIAS", "n-14.2", 6750, 120, 1250, TotalReset::Report)
                                .withWholeDigits(9)}};
    l.groups.push_back(all);
    for (Item& i : l.detail.items) i.font.size = 8;
    for (Item& i : l.groups[0].footer->items) i.font.size = 8;
    return l;
}

// A stock of 1,999,999,999.98 (flagged) beside issues of "0.00"; a second
// row wider still, and a total wider than its column beside "Total:".
Page bigNumbersPage() {
    Paginator pag(stockLikeLayout());
    pag.addRecord(ValueMap{{"ART:NoArt", Value(12345678901LL)},
                           {"ART:Descripcion", Value("Once cifras")},
                           {"UNI:UM", Value("PIEZA")},
                           {"ART:Entradas", dec("999999999.99")},
                           {"ART:Salidas", dec("0")},
                           {"LOC:EXISTENCIAS", dec("1999999999.98")}});
    pag.addRecord(ValueMap{{"ART:NoArt", Value(2)},
                           {"ART:Descripcion", Value("Grande")},
                           {"UNI:UM", Value("KILO")},
                           {"ART:Entradas", dec("-99999999999.99")},
                           {"ART:Salidas", dec("999999999.99")},
                           {"LOC:EXISTENCIAS", dec("999999999999999.99")}});
    std::vector<Page> pages = pag.finish();
    EXPECT_EQ(pages.size(), 1u);
    return pages.empty() ? Page{} : pages[0];
}

std::string describe(const Page& page, const std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
    std::string s;
    for (auto [a, b] : pairs) s += "\"" + page.items[a].text + "\" over \"" + page.items[b].text + "\"; ";
    return s;
}

const Primitive* findText(const Page& page, const std::string& text) {
    for (const Primitive& p : page.items)
        if (p.kind == PrimKind::Text && p.text == text) return &p;
    return nullptr;
}

TEST(PageGeometry, WideNumbersShrinkIntoTheirOwnBoxes) {
    const Page page = bigNumbersPage();
    EXPECT_EQ(overlaps(page), (std::vector<std::pair<std::size_t, std::size_t>>{}))
        << describe(page, overlaps(page));
    // Printed whole, flagged, smaller than the other numbers, inside its box.
    const Primitive* stock = findText(page, "1,999,999,999.98 (!)");
    ASSERT_NE(stock, nullptr);
    EXPECT_LT(stock->font.size, 8);
    EXPECT_GE(stock->font.size, 8 * kSmallestShrink);
    const Rect ink = inkRect(*stock);
    // The report area starts 250 from the page's edge; a blank's width is
    // left clear, so that "0.00" beside it does not read as part of it.
    EXPECT_GE(ink.x, 250 + 7083 + textWidth(" ", Font{"Arial", 8, false, false}));
    EXPECT_LE(ink.x + ink.w, 250 + 7083 + 917);
    const Primitive* zero = findText(page, "0.00");
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->font.size, 8);  // what fits keeps its size
    // The total of both rows, wider still, keeps clear of "Total:".
    const Primitive* total = findText(page, "1,000,001,999,999,999.97 (!)");
    ASSERT_NE(total, nullptr);
    EXPECT_LT(total->font.size, 8);
    EXPECT_NE(findText(page, "-99,999,999,999.99 (!)"), nullptr);
}

TEST(PageGeometry, FittingByKindOfText) {
    auto text = [](std::string t, Mils w, Align a) {
        Primitive p;
        p.kind = PrimKind::Text;
        p.text = std::move(t);
        p.x = 1000;
        p.w = w;
        p.align = a;
        p.font.size = 8;
        return p;
    };
    struct Case {
        const char* what;
        Primitive p;
        bool number;
        std::string text;  // after fitting
        bool shrunk;
    };
    const std::vector<Case> cases = {
        {"a number that fits", text("1,234.50", 900, Align::Right), true, "1,234.50", false},
        {"a number too wide shrinks", text("1,999,999,999.98 (!)", 900, Align::Right), true, "1,999,999,999.98 (!)",
         true},
        {"left-aligned numbers shrink too", text("1,999,999,999.98", 500, Align::Left), true, "1,999,999,999.98",
         true},
        {"too wide at half size: marks", text("1,999,999,999.98", 200, Align::Right), true, "##", false},
        {"a centred title shrinks", text("EL NOMBRE DE SU EMPRESA, S.A. DE C.V.", 1200, Align::Center), false,
         "EL NOMBRE DE SU EMPRESA, S.A. DE C.V.", true},
        {"a left-aligned text is cut at its box", text("Descripción larga del artículo", 600, Align::Left), false,
         "Descripción larga del artículo", false},
        {"a text without a box is left alone", text("Total:", 0, Align::Right), false, "Total:", false},
    };
    for (Case c : cases) {
        fitInBox(c.p, c.number);
        EXPECT_EQ(c.p.text, c.text) << c.what;
        EXPECT_EQ(c.p.font.size < 8, c.shrunk) << c.what;
        if (c.p.w > 0) {
            EXPECT_LE(inkRect(c.p).w, c.p.w) << c.what;
        }
    }
}

// The overlap check itself: texts against texts, marks and lines; boxes
// around texts and lines meeting lines are no overlap.
TEST(PageGeometry, OverlapsAreInkOverInk) {
    Page page;
    auto add = [&](PrimKind k, std::string t, Mils x, Mils y, Mils w, Mils h, Align a = Align::Left) {
        Primitive p;
        p.kind = k;
        p.text = std::move(t);
        p.x = x, p.y = y, p.w = w, p.h = h, p.align = a;
        page.items.push_back(p);
    };
    add(PrimKind::Rect, "", 0, 0, 3000, 300);                      // 0: a frame
    add(PrimKind::Text, "Artículo", 60, 40, 1000, 0);              // 1
    add(PrimKind::Line, "", 1500, 0, 0, 300);                      // 2: a column rule
    add(PrimKind::Line, "", 0, 300, 3000, 0);                      // 3: meets the rule
    add(PrimKind::Text, "99,999.00", 1000, 40, 550, 0, Align::Right);  // 4: runs over the rule
    add(PrimKind::Text, "Total:", 2990, 40, 0, 0, Align::Right);   // 5
    add(PrimKind::CheckBox, "Sí", 2500, 40, 0, 0);                 // 6: over "Total:"
    const auto found = overlaps(page);
    EXPECT_EQ(found, (std::vector<std::pair<std::size_t, std::size_t>>{{2, 4}, {5, 6}})) << describe(page, found);
}

// The preview and the printer draw with the fonts the system has, which
// may be wider than the PDF's: each text drawn alone, its ink stays in the
// place the page measured for it.
TEST(PageGeometry, ThePreviewDrawsEveryTextInItsPlace) {
    const Page page = bigNumbersPage();
    constexpr double kDpi = 300;
    struct Span {
        int left, right, top, bottom;
        std::string text;
    };
    std::vector<Span> spans;
    for (const Primitive& p : page.items) {
        if (p.kind != PrimKind::Text) continue;
        Page alone;
        alone.width = page.width;
        alone.height = page.height;
        alone.items = {p};
        const QImage img = pageImage(alone, kDpi);
        Span s{img.width(), -1, img.height(), -1, p.text};
        for (int y = 0; y < img.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if (qGray(line[x]) < 160) {
                    s.left = std::min(s.left, x), s.right = std::max(s.right, x);
                    s.top = std::min(s.top, y), s.bottom = std::max(s.bottom, y);
                }
        }
        ASSERT_GE(s.right, s.left) << p.text << " drew nothing";
        const Rect ink = inkRect(p);
        // A pixel of anti-aliasing either side.
        EXPECT_GE(s.left + 1, static_cast<int>(ink.x * kDpi / 1000)) << p.text;
        EXPECT_LE(s.right - 1, static_cast<int>((ink.x + ink.w) * kDpi / 1000)) << p.text;
        spans.push_back(s);
    }
    // Texts side by side (their ink shares rows of pixels) stay apart.
    for (std::size_t i = 0; i < spans.size(); ++i)
        for (std::size_t j = i + 1; j < spans.size(); ++j) {
            const Span& a = spans[i];
            const Span& b = spans[j];
            if (a.top > b.bottom || b.top > a.bottom) continue;
            EXPECT_TRUE(a.right < b.left || b.right < a.left) << a.text << " / " << b.text;
        }
}

using test::readFile;

// The PDF as a reader sees it: every word where pdftotext finds it.
TEST(PageGeometry, ThePdfsWordsStandApart) {
    if (!std::filesystem::exists("/usr/bin/pdftotext")) GTEST_SKIP() << "pdftotext is not installed";
    tv::test::ScratchDir dir;
    PdfPageWriter w;
    std::string error;
    ASSERT_TRUE(w.write(dir.file("r.PDF"), {bigNumbersPage()}, &error)) << error;
    const std::string cmd = "/usr/bin/pdftotext -bbox '" + dir.file("r.PDF").string() + "' '" +
                            dir.file("r.html").string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string html = readFile(dir.file("r.html"));
    const std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    struct Box {
        double x0, y0, x1, y1;
        std::string text;
    };
    std::vector<Box> words;
    for (std::sregex_iterator it(html.begin(), html.end(), word), end; it != end; ++it)
        words.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4]),
                         (*it)[5]});
    std::vector<std::string> texts;
    for (const Box& b : words) texts.push_back(b.text);
    for (const char* expected : {"1,999,999,999.98", "(!)", "0.00", "Total:", "1,000,001,999,999,999.97"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected << " in " << html;
    for (std::size_t i = 0; i < words.size(); ++i)
        for (std::size_t j = i + 1; j < words.size(); ++j) {
            const Box& a = words[i];
            const Box& b = words[j];
            const bool sameLine = a.y0 < b.y1 - 0.5 && b.y0 < a.y1 - 0.5;
            // Apart by a blank at least (a point or more).
            EXPECT_FALSE(sameLine && a.x0 < b.x1 + 1 && b.x0 < a.x1 + 1) << a.text << " / " << b.text;
        }
}

TEST(PageGeometry, HtmlAndTextKeepTheNumbersWholeAndApart) {
    const Page page = bigNumbersPage();
    tv::test::ScratchDir dir;
    HtmlPageWriter html;
    std::string error;
    ASSERT_TRUE(html.write(dir.file("r.HTM"), {page}, &error)) << error;
    // Each number in its own box, at a size at which it fits there.
    const std::string doc = readFile(dir.file("r.HTM"));
    const std::regex div(R"re(<div class="t" style="left:([0-9.]+)in;top:[0-9.]+in;width:([0-9.]+)in;text-align:right;font:([0-9.]+)pt[^"]*">([^<]*)</div>)re");
    int numbers = 0;
    bool stockInItsColumn = false;
    for (std::sregex_iterator it(doc.begin(), doc.end(), div), end; it != end; ++it) {
        const std::string text = (*it)[4];
        if (text.find_first_of("0123456789") == std::string::npos) continue;
        ++numbers;
        if (text == "1,999,999,999.98 (!)") stockInItsColumn = (*it)[1] == "7.333" && (*it)[2] == "0.917";
        Font f;
        f.size = std::stod((*it)[3]);
        EXPECT_LE(textWidth(text, f), std::lround(std::stod((*it)[2]) * 1000)) << text;
    }
    EXPECT_EQ(numbers, 9);
    EXPECT_TRUE(stockInItsColumn);

    // Text: each number whole, a blank at least between neighbours.
    TextPageWriter text;
    const std::vector<std::string> lines = renderTextPage(page, text.options);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines[0].find("PIEZA  999,999,999.99       0.00 1,999,999,999.98 (!)"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("KILO -99,999,999,999.99 (!) 999,999,999.99 999,999,999,999,999.99 (!)"),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines.back().find("Total: 1,000,001,999,999,999.97 (!)"), std::string::npos) << lines.back();

    // A text moved past one neighbour does not land on the next one.
    Page row;
    auto add = [&](std::string t, Mils x, Mils w, Align a) {
        Primitive p;
        p.kind = PrimKind::Text;
        p.text = std::move(t);
        p.x = x, p.w = w, p.align = a;
        row.items.push_back(p);
    };
    add("AAAAAAAAAA", 0, 0, Align::Left);
    add("BBBBBBB", 1400, 0, Align::Left);
    add("CCCCCC", 500, 600, Align::Right);
    text.options.columnWidth = 100;
    EXPECT_EQ(renderTextPage(row, text.options), (std::vector<std::string>{"AAAAAAAAAA    BBBBBBB CCCCCC"}));
    // Nor right after one, which would read as one word.
    row.items.clear();
    add("PIEZA", 0, 0, Align::Left);
    add("999.99", 500, 600, Align::Right);
    EXPECT_EQ(renderTextPage(row, text.options), (std::vector<std::string>{"PIEZA 999.99"}));
}

}  // namespace
}  // namespace tv::report
