#include <gtest/gtest.h>

#include <map>
#include <numeric>

#include "platform/report/paginator.h"
#include "platform/types/picture.h"
#include "tests/platform/report/sample_report.h"
#include "tests/support/scratch_dir.h"

namespace tv::report {
namespace {

using test::sampleArticles;
using test::textRows;

std::string money(long long cents) {
    return formatWithPicture("n-14.2", Value(Decimal::fromScaled(cents, 2))).erase(0, 0);
}
std::string trimmed(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

std::vector<Page> runSample(const std::vector<test::SampleArticle>& arts,
                            const std::filesystem::path& logo = {}) {
    Paginator pag(test::sampleLayout(logo));
    VectorRecordSource src(test::sampleRecords(arts), test::sampleGlobals());
    while (src.next()) pag.addRecord(src);
    return pag.finish();
}

TEST(Paginator, SampleReportPagesHeadersGroupsAndTotals) {
    tv::test::ScratchDir dir;
    auto arts = sampleArticles();
    std::vector<Page> pages = runSample(arts, test::writeSampleJpeg(dir.path()));

    // 50 details, 3+3 category and 9+9 brand bands and the report footer do
    // not fit two pages of 37 lines.
    ASSERT_EQ(pages.size(), 3u);

    std::vector<std::vector<std::string>> body;  // flow rows of all pages, in order
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const Page& p = pages[i];
        EXPECT_EQ(p.number, static_cast<int>(i + 1));
        auto rows = textRows(p);
        ASSERT_GE(rows.size(), 3u);
        // Page header on every page: company, page number, title, headings.
        EXPECT_EQ(rows[0], (std::vector<std::string>{"Ferretería López", std::to_string(i + 1)}));
        EXPECT_EQ(rows[1], (std::vector<std::string>{"Existencia en almacén"}));
        EXPECT_EQ(rows[2][1], "Descripción");
        // Page footer with the page number.
        EXPECT_EQ(rows.back(), (std::vector<std::string>{"Página", std::to_string(i + 1)}));
        // The header's box and picture are drawn on every page.
        int boxes = 0, images = 0;
        for (const Primitive& prim : p.items) {
            boxes += prim.kind == PrimKind::Rect;
            images += prim.kind == PrimKind::Image;
            // Nothing of the flow runs into the page footer.
            if (prim.kind == PrimKind::Text && prim.y >= 1250 && prim.y < 10500) {
                EXPECT_LE(prim.y + 250, 10500) << prim.text;
            }
        }
        EXPECT_EQ(boxes, 1);
        EXPECT_EQ(images, 1);
        std::vector<std::vector<std::string>> flow(rows.begin() + 3, rows.end() - 1);
        ASSERT_FALSE(flow.empty());
        // A group header never stays alone at the foot of a page.
        if (i + 1 < pages.size()) {
            EXPECT_NE(flow.back()[0], "Categoría:");
            EXPECT_NE(flow.back()[0], "Marca:");
        }
        body.insert(body.end(), flow.begin(), flow.end());
    }

    // Walk the flow and check it against the data.
    std::map<int, std::pair<int, long long>> perMarca;  // count, cents
    std::map<int, long long> perCategoria;
    long long all = 0;
    for (const auto& a : arts) {
        perMarca[a.marca].first++;
        perMarca[a.marca].second += a.existenciasCents;
        perCategoria[a.categoria] += a.existenciasCents;
        all += a.existenciasCents;
    }
    std::size_t r = 0;
    int lastCat = -1, lastMarca = -1;
    long long running = 0;
    for (std::size_t k = 0; k < arts.size(); ++k) {
        const auto& a = arts[k];
        if (a.categoria != lastCat) {
            ASSERT_EQ(body.at(r), (std::vector<std::string>{"Categoría:", std::to_string(a.categoria)})) << r;
            ++r;
        }
        if (a.marca != lastMarca) {
            ASSERT_EQ(body.at(r), (std::vector<std::string>{"Marca:", std::to_string(a.marca)})) << r;
            ++r;
        }
        lastCat = a.categoria;
        lastMarca = a.marca;
        running += a.existenciasCents;
        ASSERT_EQ(body.at(r), (std::vector<std::string>{std::to_string(a.noArt), a.descripcion,
                                                        trimmed(money(a.existenciasCents)),
                                                        trimmed(money(running))}))
            << r;
        ++r;
        bool lastOfMarca = k + 1 == arts.size() || arts[k + 1].marca != a.marca;
        bool lastOfCat = k + 1 == arts.size() || arts[k + 1].categoria != a.categoria;
        if (lastOfMarca) {
            ASSERT_EQ(body.at(r), (std::vector<std::string>{"Total marca:", std::to_string(perMarca[a.marca].first),
                                                            trimmed(money(perMarca[a.marca].second))}))
                << r;
            ++r;
        }
        if (lastOfCat) {
            ASSERT_EQ(body.at(r), (std::vector<std::string>{"Total categoría:",
                                                            trimmed(money(perCategoria[a.categoria]))}))
                << r;
            ++r;
        }
    }
    ASSERT_EQ(body.at(r), (std::vector<std::string>{"Total general:", "1,593.75"}));
    EXPECT_EQ(all, 159375);
    EXPECT_EQ(r + 1, body.size());
}

TEST(Paginator, CheckBoxesFollowTheirField) {
    auto arts = sampleArticles(6);
    std::vector<Page> pages = runSample(arts);
    std::vector<bool> checks;
    for (const Primitive& p : pages.at(0).items)
        if (p.kind == PrimKind::CheckBox) checks.push_back(p.checked);
    EXPECT_EQ(checks, (std::vector<bool>{true, true, false, true, true, false}));
}

TEST(Paginator, NoRecordNoPage) {
    Paginator pag(test::sampleLayout());
    EXPECT_TRUE(pag.finish().empty());
    EXPECT_EQ(pag.records(), 0);
}

// Page totals start again on every page; a record that does not fit starts a
// new page, and a band taller than the area still prints (cut) instead of
// looping.
TEST(Paginator, PageTotalsAndOverflow) {
    ReportLayout l;
    l.detailArea = {250, 1000, 8000, 1250};  // five lines of 250
    l.detail = Band{250, {Item::value("N", "n_4", 0, 0, 500, Align::Right)}};
    l.pageFooter = Band{250, {Item::sum("N", "n_6", 0, 0, 500, TotalReset::Page),
                              Item::count("n_3", 600, 0, 300, TotalReset::Page)}};
    Paginator pag(l);
    for (int i = 1; i <= 12; ++i) pag.addRecord(ValueMap{{"N", Value(i)}});
    std::vector<Page> pages = pag.finish();
    ASSERT_EQ(pages.size(), 3u);
    const std::vector<std::vector<std::string>> footers = {{"15", "5"}, {"40", "5"}, {"23", "2"}};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(textRows(pages[i]).back(), footers[i]) << i;

    ReportLayout tall;
    tall.detailArea = {250, 1000, 8000, 500};
    tall.detail = Band{800, {Item::fixed("x", 0, 0)}};
    Paginator p2(tall);
    for (int i = 0; i < 3; ++i) p2.addRecord(ValueMap{});
    EXPECT_EQ(p2.finish().size(), 3u);
}

TEST(Paginator, RadioButtonsAndAlignment) {
    ReportLayout l;
    l.detail = Band{250, {Item::radio("K", "2", "dos", 0, 0), Item::radio("T", "B", "be", 1000, 0),
                          Item::value("T", "s10", 2000, 0, 1000, Align::Center)}};
    Paginator pag(l);
    pag.addRecord(ValueMap{{"K", Value(2)}, {"T", Value("A")}});
    pag.addRecord(ValueMap{{"K", Value(3)}, {"T", Value("B  ")}});
    auto pages = pag.finish();
    ASSERT_EQ(pages.size(), 1u);
    std::vector<bool> radios;
    for (const Primitive& p : pages[0].items) {
        if (p.kind == PrimKind::Radio) radios.push_back(p.checked);
        if (p.kind == PrimKind::Text) {
            // Pictures pad to their width; the page keeps the bare value and
            // its alignment in its box.
            EXPECT_TRUE(p.text == "A" || p.text == "B") << p.text;
            EXPECT_EQ(p.align, Align::Center);
            EXPECT_EQ(p.w, 1000);
        }
    }
    EXPECT_EQ(radios, (std::vector<bool>{true, false, false, true}));
}

TEST(Layout, CheckFindsBadLayouts) {
    EXPECT_EQ(test::sampleLayout().check(), std::nullopt);
    ReportLayout bad = test::sampleLayout();
    bad.detail.items.push_back(Item::value("X", "zz9", 0, 0));
    EXPECT_NE(bad.check(), std::nullopt);
    ReportLayout noArea;
    noArea.detailArea.h = 0;
    EXPECT_NE(noArea.check(), std::nullopt);
}

}  // namespace
}  // namespace tv::report
