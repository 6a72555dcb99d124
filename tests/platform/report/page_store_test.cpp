// A long report is never whole in memory: its pages go straight to an
// output as they complete, or into a compact store that the preview and
// the writers read one page at a time.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "platform/report/html_writer.h"
#include "platform/report/paginator.h"
#include "platform/report/pdf_writer.h"
#include "platform/report/report_run_controller.h"
#include "platform/report/text_writer.h"
#include "tests/platform/report/sample_report.h"
#include "tests/support/scratch_dir.h"

namespace tv::report {
namespace {

using test::readFile;
using test::samplePages;

// Every kind of primitive with every field set to something unusual.
Page oddPage() {
    Page page;
    page.number = 70000;
    page.width = 14000;
    page.height = 8500;
    Primitive t;
    t.kind = PrimKind::Text;
    t.text = "Señal € \"x\" \x01";
    t.x = -250, t.y = 123456, t.w = 0, t.h = 7;
    t.font = Font{"Courier New", 6.5, true, true};
    t.align = Align::Center;
    page.items.push_back(t);
    Primitive l;
    l.kind = PrimKind::Line;
    l.x = 8000, l.y = 10, l.w = -8000, l.h = 0, l.pen = 30, l.doubleLine = true;
    page.items.push_back(l);
    Primitive r;
    r.kind = PrimKind::Rect;
    r.x = 1, r.y = 2, r.w = 3, r.h = 4, r.fill = 4, r.border = false;
    page.items.push_back(r);
    Primitive c;
    c.kind = PrimKind::CheckBox;
    c.checked = true;
    c.text = "Sí";
    page.items.push_back(c);
    Primitive o = c;
    o.kind = PrimKind::Radio;
    o.checked = false;
    o.align = Align::Right;
    page.items.push_back(o);
    return page;
}

void expectSamePages(const Page& a, const Page& b) {
    EXPECT_EQ(a.number, b.number);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    ASSERT_EQ(a.items.size(), b.items.size());
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        const Primitive& x = a.items[i];
        const Primitive& y = b.items[i];
        EXPECT_TRUE(x.kind == y.kind && x.x == y.x && x.y == y.y && x.w == y.w && x.h == y.h && x.text == y.text &&
                    x.font == y.font && x.align == y.align && x.pen == y.pen && x.doubleLine == y.doubleLine &&
                    x.border == y.border && x.fill == y.fill && x.checked == y.checked && x.image == y.image)
            << "page " << a.number << " item " << i << " \"" << x.text << "\"";
    }
}

TEST(PageStore, GivesBackEveryPageAsItWasAndKeepsItSmall) {
    tv::test::ScratchDir dir;
    std::vector<Page> pages = samplePages(test::writeSampleJpeg(dir.path()), 2000);
    pages.push_back(oddPage());
    PageStore store;
    for (const Page& p : pages) store.add(p);
    ASSERT_EQ(store.size(), pages.size());
    // Read in any order, each as it was; the picture is the same one.
    for (std::size_t i : {std::size_t{5}, pages.size() - 1, std::size_t{0}, pages.size() / 2})
        expectSamePages(store[i], pages[i]);
    Page reused = oddPage();  // reading replaces what the page held
    store.read(1, reused);
    expectSamePages(reused, pages[1]);
    EXPECT_EQ(store.largestWidth(), 14000);
    EXPECT_EQ(store.largestHeight(), 11000);
    EXPECT_THROW(store.at(pages.size()), std::out_of_range);
    // A page of the sample report (about 45 lines, 230 primitives) takes
    // tens of KB unpacked; packed, it takes a few hundred bytes.
    EXPECT_LT(store.storedBytes() / store.size(), 1024u) << store.storedBytes();
    store.clear();
    EXPECT_TRUE(store.empty());
    store.add(pages[3]);
    expectSamePages(store[0], pages[3]);
}

// Pages read back from the store make the same files as the pages themselves.
TEST(PageStore, WritersGiveTheSameFilesFromTheStore) {
    tv::test::ScratchDir dir;
    const std::vector<Page> pages = samplePages(test::writeSampleJpeg(dir.path()), 300);
    PageStore store;
    for (const Page& p : pages) store.add(p);
    std::filesystem::create_directories(dir.file("a"));
    std::filesystem::create_directories(dir.file("b"));
    TextPageWriter text;
    HtmlPageWriter html;
    PdfPageWriter pdf;
    std::string error;
    for (ReportOutputWriter* w : std::initializer_list<ReportOutputWriter*>{&text, &html, &pdf}) {
        const std::string name = "r" + w->extension();
        ASSERT_TRUE(w->write(dir.file("a") / name, pages, &error)) << error;
        ASSERT_TRUE(w->write(dir.file("b") / name, store, &error)) << error;
        // Only the PDF's time of writing may differ.
        const std::regex date(R"(/CreationDate \(D:[0-9]+Z\))");
        EXPECT_EQ(std::regex_replace(readFile(dir.file("a") / name), date, ""),
                  std::regex_replace(readFile(dir.file("b") / name), date, ""))
            << name;
        EXPECT_FALSE(std::filesystem::exists(dir.file("b") / (name + ".part")));
    }
}

// An output that fails after `pages` pages, as a full disk would.
struct FailingOutput : PageOutput {
    explicit FailingOutput(PageOutput& to, int pages) : to(to), left(pages) {}
    bool add(const Page& page) override {
        if (left-- <= 0) return fail("Disco lleno");
        return to.add(page);
    }
    bool finish() override { return error_.empty() && to.finish(); }
    PageOutput& to;
    int left;
};

// A file is replaced only when it is complete: a run that fails, is
// cancelled or finds nothing leaves the file of that name as it was.
TEST(PageStore, AnOutputThatFailsOrStopsLeavesTheOldFile) {
    tv::test::ScratchDir dir;
    const auto file = dir.file("r.TXT");
    std::ofstream(file) << "el reporte de ayer\n";
    TextPageWriter text;
    std::string error;

    test::GeneratedArticles many(5000);
    ReportRunController failing("ImpresionExistencias", test::sampleLayout(), many);
    {
        std::unique_ptr<PageOutput> out = text.open(file, &error);
        ASSERT_NE(out, nullptr) << error;
        FailingOutput full(*out, 3);
        EXPECT_EQ(failing.runTo(full, [] {}), ReportRunController::kCancelled);
        EXPECT_EQ(full.error(), "Disco lleno");
        // The loop stopped soon after: no point printing what cannot be written.
        EXPECT_LT(failing.processor().progress().records, 1000);
    }
    test::GeneratedArticles none(0);
    ReportRunController empty("ImpresionExistencias", test::sampleLayout(), none);
    {
        std::unique_ptr<PageOutput> out = text.open(file, &error);
        EXPECT_EQ(empty.runTo(*out, [] {}), ReportRunController::kCancelled);
    }
    EXPECT_EQ(readFile(file), "el reporte de ayer\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("r.TXT.part")));

    test::GeneratedArticles some(100);
    ReportRunController ok("ImpresionExistencias", test::sampleLayout(), some);
    std::unique_ptr<PageOutput> out = text.open(file, &error);
    EXPECT_EQ(ok.runTo(*out, [] {}), ReportRunController::kCompleted);
    EXPECT_NE(readFile(file).find("Artículo número 100"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("r.TXT.part")));
}

// The peak resident memory (KB) of a child process that prints `count`
// articles straight to a text, an HTML and a PDF file, or into the store
// the preview reads (and reads its last page back).
long peakKilobytes(const std::filesystem::path& dir, long long count, bool store) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        TextPageWriter text;
        HtmlPageWriter html;
        PdfPageWriter pdf;
        bool ok = true;
        if (store) {
            test::GeneratedArticles src(count);
            ReportRunController run("ImpresionExistencias", test::sampleLayout(), src);
            ok = run.run([] {}) == ReportRunController::kCompleted && !run.pages()[run.pages().size() - 1].items.empty();
        } else {
            for (ReportOutputWriter* w : std::initializer_list<ReportOutputWriter*>{&text, &html, &pdf}) {
                test::GeneratedArticles src(count);
                ReportRunController run("ImpresionExistencias", test::sampleLayout(), src);
                std::string error;
                std::unique_ptr<PageOutput> out = w->open(dir / ("r" + w->extension()), &error);
                ok = ok && out && run.runTo(*out, [] {}) == ReportRunController::kCompleted;
            }
        }
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        const long peak = ok ? u.ru_maxrss : -1;
        if (write(fds[1], &peak, sizeof peak) != sizeof peak) _exit(2);
        _exit(0);
    }
    close(fds[1]);
    long peak = -1;
    if (read(fds[0], &peak, sizeof peak) != sizeof peak) peak = -1;
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return peak;
}

// Straight output takes the same memory for ten times the articles; the
// preview's store grows by about a KB a page. Each run is a process of its
// own, so that one run's peak does not hide the other's.
TEST(ReportMemory, StraightOutputStaysFlatAndTheStoreStaysSmall) {
    tv::test::ScratchDir dir;
    const long small = peakKilobytes(dir.path(), 5000, false);
    const long large = peakKilobytes(dir.path(), 50000, false);
    ASSERT_GT(small, 0);
    ASSERT_GT(large, 0);
    EXPECT_LE(large, small * 12 / 10) << small << " KB at 5,000 articles, " << large << " KB at 50,000";

    const long stored = peakKilobytes(dir.path(), 50000, true);
    ASSERT_GT(stored, 0);
    // About 1,100 pages of 45 lines: well under a MB packed (kept unpacked,
    // they would take some 45 MB).
    EXPECT_LE(stored - small, 8 * 1024) << small << " KB straight, " << stored << " KB stored";
}

}  // namespace
}  // namespace tv::report
