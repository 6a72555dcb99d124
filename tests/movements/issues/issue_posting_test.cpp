// The issue posting and the line form's stock check without any window:
// issued totals and ledger rows, the stock ruled at the line and again at
// completion, folios, refusals, and a failure injected midway.
#include <gtest/gtest.h>

#include "movements/common/lines.h"
#include "movements/common/stock.h"
#include "movements/issues/issue_posting.h"
#include "platform/types/text.h"
#include "tests/movements/issues/issue_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::issues {
namespace {

using data::TableId;
using test::D;
using test::Enter;
using test::Issue;
using test::Line;

class IssuePosting : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        AddRecord(TableId::TipSalidas, {{"TSA:Descripcion", Value("CONSUMO INTERNO DE PRODUCCION")}});
        AddRecord(TableId::Folios, {{"FOL:SALIDAS", Value(100)}});
        AddArticle({.noArt = 10, .stock = Decimal(10), .average = D(500)});
        AddArticle({.noArt = 20, .stock = D(350)});
    }
    bool Complete(const Issue& i) {
        Enter(tables(), i);
        return CompleteIssue(tables());
    }
    std::vector<Record> Ledger(long long article) {
        std::vector<Record> out;
        for (const Record& k : Rows(TableId::Kardex))
            if (Get(k, "KAR:ARTICULO").asNumber() == Decimal(article)) out.push_back(k);
        return out;
    }
    Decimal Stock(long long article) { return StockOnHand(*Article(article)); }
    // Stores one line of issue `folio` as the issue form's list does and
    // leaves it in the DetSalidas buffer, as the line form holds it.
    void HoldLine(long long folio, long long article, const Decimal& quantity) {
        const long long id = AddRecord(TableId::DetSalidas, {{"DES:SALIDA", Value(folio)},
                                                              {"DES:CodigoArticulo", Value(article)},
                                                              {"DES:Cantidad", Value(quantity)}});
        Record& line = tables().buffer(TableId::DetSalidas);
        EXPECT_EQ(Get(line, "DES:ID").asNumber(), Decimal(id));
    }
};

// Two lines of one article: each raises the issued total and writes its
// ledger row with the stock left after it; an issue row carries no costs.
TEST_F(IssuePosting, TotalsAndLedgerRows) {
    ASSERT_TRUE(Complete({.folio = 123, .type = 1, .date = 80000, .department = 2, .reference = "VALE-7",
                          .lines = {{10, Decimal(4), D(500)}, {20, D(150), D(0)}, {10, Decimal(6), D(500)}}}));
    EXPECT_EQ(ArticleField(10, "ART:Salidas"), Decimal(10));
    EXPECT_EQ(Stock(10), Decimal(0));
    EXPECT_EQ(ArticleField(10, "ART:COSTOPROMEDIO"), D(500));  // an issue leaves the average
    EXPECT_EQ(Stock(20), Decimal(2));
    const std::vector<Record> k10 = Ledger(10);
    ASSERT_EQ(k10.size(), 2u);
    EXPECT_EQ(Get(k10[0], "KAR:Existencia").asNumber(), Decimal(6));
    EXPECT_EQ(Get(k10[1], "KAR:Existencia").asNumber(), Decimal(0));
    for (const Record& k : Rows(TableId::Kardex)) {
        EXPECT_EQ(std::string(rtrim(Get(k, "KAR:Documento").asText())), "SAL-123");
        EXPECT_EQ(Get(k, "KAR:Concepto").asText(), "CONSUMO INTERNO DE P");
        EXPECT_EQ(std::string(rtrim(Get(k, "KAR:Referencia").asText())), "VALE-7");
        EXPECT_EQ(Get(k, "KAR:Fecha").asNumber(), Decimal(80000));
        EXPECT_EQ(Get(k, "KAR:Entrada").asNumber(), Decimal(0));
        EXPECT_EQ(Get(k, "KAR:COSTOUNITARIO").asNumber(), Decimal(0));
        EXPECT_EQ(Get(k, "KAR:COSTOPROMEDIO").asNumber(), Decimal(0));
    }
    EXPECT_EQ(Get(k10[1], "KAR:Salida").asNumber(), Decimal(6));
    EXPECT_EQ(Get(Ledger(20)[0], "KAR:Salida").asNumber(), D(150));
    EXPECT_TRUE(LedgerMatchesTotals());
    // The header is stored over the one reserved for it; the folio moves on.
    ASSERT_EQ(Count(TableId::Salidas), 1);
    const Record h = Rows(TableId::Salidas)[0];
    EXPECT_EQ(Get(h, "SAL:Folio").asNumber(), Decimal(123));
    EXPECT_EQ(Get(h, "SAL:RECIBE").asNumber(), Decimal(2));
    EXPECT_EQ(FolioCounter(tables(), kIssueFolio), 124);
}

// The stock at completion: the issue's total of each article against its
// stock as stored, equal accepted; refused, naming the article, with nothing posted.
TEST_F(IssuePosting, EveryArticlesTotalAgainstItsStock) {
    struct Case {
        const char* what;
        Decimal stock;
        std::vector<Decimal> quantities;   // lines of the case's article
        bool posted;
    } cases[] = {
        {"equal to the stock", Decimal(10), {Decimal(10)}, true},
        {"just over the stock", Decimal(10), {D(1001)}, false},
        {"two lines within the stock", Decimal(10), {Decimal(8), Decimal(2)}, true},
        {"two lines over the stock, each within", Decimal(10), {Decimal(8), Decimal(7)}, false},
        {"nothing on hand", Decimal(0), {D(1)}, false},
        {"a negative stock", Decimal(-3), {D(1)}, false},
    };
    long long article = 500, folio = 1000;
    for (const Case& c : cases) {
        AddArticle({.noArt = article, .stock = c.stock});
        Issue issue{.folio = folio, .lines = {{20, Decimal(1), D(0)}}};  // another article, enough of it
        for (const Decimal& q : c.quantities) issue.lines.push_back({article, q, D(100)});
        Enter(tables(), issue);
        const std::string before = Dump();
        presenter.clear();
        EXPECT_EQ(CompleteIssue(tables()), c.posted) << c.what;
        if (c.posted) {
            Decimal total;
            for (const Decimal& q : c.quantities) total += q;
            EXPECT_EQ(ArticleField(article, "ART:Salidas"), total) << c.what;
            EXPECT_GE(Stock(article).sign(), 0) << c.what;
            EXPECT_TRUE(presenter.empty()) << c.what;
        } else {
            EXPECT_EQ(Dump(), before) << c.what;
            ASSERT_EQ(presenter.count(), 1u) << c.what;
            EXPECT_EQ(presenter.last().caption, "Existencia insuficiente") << c.what;
            EXPECT_NE(presenter.last().text.find("artículo " + std::to_string(article)), std::string::npos)
                << c.what << ": " << presenter.last().text;
            tables().gateway(TableId::Salidas).CancelPendingInsert();
        }
        ++article;
        ++folio;
    }
    EXPECT_TRUE(LedgerMatchesTotals());
}

// An article whose stock fell after its line was entered (another issue
// completed meanwhile): refused at completion, nothing posted; with the
// line lowered it posts.
TEST_F(IssuePosting, StockThatFellAfterTheLineWasEnteredIsRefusedAtCompletion) {
    Enter(tables(), {.folio = 1, .lines = {{10, Decimal(8), D(0)}}});
    // Another station issues 5 of the same article first.
    {
        movements::test::ChildTables other;
        Enter(other.tables, {.folio = 2, .lines = {{10, Decimal(5), D(0)}}});
        ASSERT_TRUE(CompleteIssue(other.tables));
    }
    const std::string before = Dump();
    EXPECT_FALSE(CompleteIssue(tables()));
    EXPECT_EQ(Dump(), before);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "Existencia insuficiente del artículo 10: hay 5.00 y la salida pide 8.00; "
                                     "no se guardó nada.");
    EXPECT_EQ(Stock(10), Decimal(5));
    // The header is still pending: the form can lower the line and try again.
    EXPECT_TRUE(tables().gateway(TableId::Salidas).file()->hasReservation());
}

// The line form's check: this line with the issue's other lines of the same
// article, against the stock read afresh.
TEST_F(IssuePosting, TheLineFormsStockCheck) {
    struct Case {
        const char* what;
        std::vector<Line> others;   // the issue's other stored lines
        long long article;
        Decimal quantity;
        std::optional<Decimal> wanted;   // nullopt: enough
    } cases[] = {
        {"equal to the stock", {}, 10, Decimal(10), std::nullopt},
        {"just over the stock", {}, 10, D(1001), D(1001)},
        {"with another line of the article", {{10, Decimal(8), {}}}, 10, Decimal(3), Decimal(11)},
        {"with another line of the article, within", {{10, Decimal(8), {}}}, 10, Decimal(2), std::nullopt},
        {"lines of other articles do not count", {{20, Decimal(3), {}}}, 10, Decimal(10), std::nullopt},
        {"an article that is not stored", {}, 99, D(1), D(1)},
        {"no article", {}, 0, D(1), D(1)},
    };
    long long folio = 700;
    for (const Case& c : cases) {
        for (const Line& o : c.others) HoldLine(folio, o.article, o.quantity);
        HoldLine(folio + 1, 10, Decimal(9));  // another issue's line
        HoldLine(folio, c.article, c.quantity);
        folio += 2;
        const std::optional<ShortStock> s = CheckLineStock(tables());
        ASSERT_EQ(s.has_value(), c.wanted.has_value()) << c.what;
        if (s) {
            EXPECT_EQ(s->wanted, *c.wanted) << c.what;
            EXPECT_EQ(s->article, Decimal(c.article)) << c.what;
        }
    }
}

// On a change the line's stored quantity plays no part; the stock is read
// as stored now, not as the buffer last held it.
TEST_F(IssuePosting, AChangedLineCountsOnceAndTheStockIsReadAfresh) {
    HoldLine(7, 10, Decimal(8));
    Record& line = tables().buffer(TableId::DetSalidas);
    line.set(line.layout().indexOf("DES:Cantidad"), Value(Decimal(9)));  // changed from 8, not stored yet
    EXPECT_FALSE(CheckLineStock(tables()).has_value());
    line.set(line.layout().indexOf("DES:Cantidad"), Value(D(1001)));
    ASSERT_TRUE(CheckLineStock(tables()).has_value());
    line.set(line.layout().indexOf("DES:Cantidad"), Value(Decimal(6)));
    // The form's Articulo buffer still says 10 on hand; the stored stock fell to 5.
    tables().buffer(TableId::Articulo) = *Article(10);
    {
        movements::test::ChildTables other;
        Enter(other.tables, {.folio = 2, .lines = {{10, Decimal(5), D(0)}}});
        ASSERT_TRUE(CompleteIssue(other.tables));
    }
    const std::optional<ShortStock> s = CheckLineStock(tables());
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->onHand, Decimal(5));
    EXPECT_EQ(s->wanted, Decimal(6));
}

// Refused completions post nothing: the database is as it was, the message
// says why, and the header is still pending for the form to try again.
TEST_F(IssuePosting, RefusalsPostNothing) {
    ASSERT_TRUE(Complete({.folio = 90, .lines = {{10, Decimal(1), D(100)}}}));
    struct Case {
        const char* what;
        Issue issue;
        int message;          // -1: a plain box
        const char* names;    // what the message names
    } cases[] = {
        {"a folio a stored issue has", {.folio = 90, .lines = {{10, Decimal(1), D(100)}}}, 15, "sal:KeyFolio"},
        {"folio zero", {.folio = 0, .lines = {}}, -1, "folio"},
        {"a line whose article is gone", {.folio = 91, .lines = {{10, Decimal(1), D(100)}, {77, Decimal(1), D(0)}}},
         -1, "77"},
        {"a line of article 0", {.folio = 92, .lines = {{0, Decimal(1), D(100)}}}, -1, "artículo 0"},
        {"a quantity of zero", {.folio = 93, .lines = {{10, Decimal(0), D(100)}}}, -1, "mayor que cero"},
        {"a negative quantity", {.folio = 94, .lines = {{10, Decimal(-2), D(100)}}}, -1, "mayor que cero"},
    };
    for (const Case& c : cases) {
        Enter(tables(), c.issue);
        const std::string before = Dump();
        presenter.clear();
        EXPECT_FALSE(CompleteIssue(tables())) << c.what;
        EXPECT_EQ(Dump(), before) << c.what;
        ASSERT_EQ(presenter.count(), 1u) << c.what;
        EXPECT_EQ(messageNumber(presenter.last()), c.message) << c.what;
        EXPECT_NE(presenter.last().text.find(c.names), std::string::npos) << c.what << ": " << presenter.last().text;
        data::TableGateway& header = tables().gateway(TableId::Salidas);
        EXPECT_TRUE(header.file()->hasReservation()) << c.what;
        header.CancelPendingInsert();
    }
}

// The counter becomes max(counter, folio + 1): a folio typed below it
// leaves it; one above moves it on; an issue without lines still stores its
// header and advances it.
TEST_F(IssuePosting, TheFolioCounterIsNeverLowered) {
    struct Case {
        long long folio, counter;
    } cases[] = {{50, 100}, {100, 101}, {250, 251}, {120, 251}};
    for (const Case& c : cases) {
        ASSERT_TRUE(Complete({.folio = c.folio})) << c.folio;
        EXPECT_EQ(FolioCounter(tables(), kIssueFolio), c.counter) << c.folio;
    }
    EXPECT_EQ(Count(TableId::Kardex), 0);
    EXPECT_EQ(Count(TableId::Salidas), 4);
}

// A failure at a middle line leaves every table as before; once the cause
// is gone the same completion posts once.
TEST_F(IssuePosting, AFailureAtAMiddleLineLeavesEverythingAsBefore) {
    std::vector<Line> lines;
    for (int i = 0; i < 9; ++i) lines.push_back({i % 2 == 0 ? 10 : 20, D(10), D(300)});
    Enter(tables(), {.folio = 600, .reference = "R", .lines = lines});
    const std::string before = Dump();
    {
        movements::test::InjectedFailure fail({"line", 5});
        EXPECT_FALSE(CompleteIssue(tables()));
        EXPECT_EQ(fail.hits(), 1);
    }
    EXPECT_EQ(Dump(), before);
    EXPECT_TRUE(CompleteIssue(tables()));
    EXPECT_FALSE(CompleteIssue(tables()));  // a second completion of the same issue: its folio is used
    EXPECT_EQ(Count(TableId::Kardex), 9);
    EXPECT_EQ(Count(TableId::Salidas), 1);
    EXPECT_EQ(ArticleField(10, "ART:Salidas"), D(50));
    EXPECT_EQ(FolioCounter(tables(), kIssueFolio), 601);
    EXPECT_TRUE(LedgerMatchesTotals());
}

}  // namespace
}  // namespace tv::movements::issues
