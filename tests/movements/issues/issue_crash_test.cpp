// The issue completion against crashes and other completions: a child
// process killed at several points of a posting of a few thousand lines,
// and two logical threads and two processes issuing the last units of one
// article at once.
#include <gtest/gtest.h>

#include "movements/common/stock.h"
#include "movements/issues/issue_posting.h"
#include "platform/threads/logical_thread.h"
#include "tests/movements/issues/issue_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::issues {
namespace {

using data::TableId;
using movements::test::Crash;
using movements::test::StepPoint;
using test::D;
using test::Enter;
using test::Issue;

constexpr int kArticles = 40;

class IssueUnderStress : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        for (int a = 1; a <= kArticles; ++a) AddArticle({.noArt = a, .stock = Decimal(1000)});
        AddRecord(TableId::Folios, {{"FOL:SALIDAS", Value(1)}});
    }
};

// An issue of 3,000 lines is killed at points before, inside and after its
// unit: the database is whole every time, and wholly before the completion,
// or (once committed) wholly after.
TEST_F(IssueUnderStress, AProcessKilledWhilePostingLeavesTheIssueWhollyBeforeOrAfter) {
    constexpr int kLines = 3000;
    Issue issue{.folio = 77, .reference = "VALE"};
    for (int i = 0; i < kLines; ++i) issue.lines.push_back({i % kArticles + 1, Decimal(1 + i % 3), D(150)});
    Enter(tables(), issue, false);  // the lines are stored; the header is stored by the completion
    CloseDb();
    const std::string before = Dump();
    auto child = [] {
        movements::test::ChildTables c;
        Enter(c.tables, {.folio = 77, .reference = "VALE"}, false);
        return CompleteIssue(c.tables) ? 0 : 1;
    };
    ExpectKilledAtEachLeavesItAsBefore(
        {StepPoint{"begin", 0}, StepPoint{"line", 1},
         StepPoint{"line", kLines / 2}, StepPoint{"line", kLines},
         StepPoint{"folio", 0}, StepPoint{"header", 0}, StepPoint{"commit", 0}},
        child, before);
    ASSERT_EQ(movements::test::RunAndKillAt({"committed", 0}, child), Crash::KilledAtStep);
    EXPECT_TRUE(IntegrityOk());
    EXPECT_EQ(Count(TableId::Kardex), kLines);
    EXPECT_EQ(Count(TableId::Salidas), 1);
    EXPECT_EQ(FolioCounter(tables(), kIssueFolio), 78);
    EXPECT_EQ(ArticleField(1, "ART:Salidas"), Decimal(150));  // 75 lines of 1, 2 and 3 in turn
    EXPECT_TRUE(LedgerMatchesTotals());
}

// The last 5 units of an article issued by two logical threads, then by two
// processes, at once: each has passed its line's check (both saw 5 on
// hand), exactly one completion succeeds and the stock never goes below zero.
TEST_F(IssueUnderStress, TheLastUnitsIssuedTwiceAtOnceGoOnce) {
    AddArticle({.noArt = 100, .stock = Decimal(5)});
    AddArticle({.noArt = 200, .stock = Decimal(5)});
    auto issueLast = [](data::ThreadTableSet& t, long long folio, long long article, bool yield) {
        // The article's line is stored last: it is in the buffer, as the line form holds it.
        Enter(t, {.folio = folio, .lines = {{1, Decimal(1), D(0)}, {article, Decimal(5), D(0)}}});
        if (CheckLineStock(t).has_value()) return false;  // the line form's check passed for both
        if (yield) threads::yieldNow();                     // the other thread gets as far
        return CompleteIssue(t);
    };
    CloseDb();
    bool a = false, b = false;
    ASSERT_TRUE(movements::test::RunOnThreads({[&] { a = issueLast(data::tables(), 1000, 100, true); },
                                               [&] { b = issueLast(data::tables(), 2000, 100, true); }}));
    EXPECT_NE(a, b);
    EXPECT_EQ(StockOnHand(*Article(100)), Decimal(0));
    const std::vector<int> codes = movements::test::RunInProcesses(2, [&](int i) {
        movements::test::ChildTables c;
        return issueLast(c.tables, 3000 + 1000 * i, 200, false) ? 0 : 1;
    });
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ((codes[0] == 0) + (codes[1] == 0), 1) << codes[0] << " " << codes[1];
    EXPECT_EQ(StockOnHand(*Article(200)), Decimal(0));
    EXPECT_EQ(Count(TableId::Salidas), 2);
    EXPECT_EQ(ArticleField(1, "ART:Salidas"), Decimal(2));  // the refused issues took nothing
    EXPECT_TRUE(LedgerMatchesTotals());
}

}  // namespace
}  // namespace tv::movements::issues
