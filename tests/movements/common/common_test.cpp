// What every document shares: the unit of work (all or nothing, the thread's
// buffers and handles put back, the message after the rollback), folios,
// the lines a form stored, article totals and ledger rows.
#include <gtest/gtest.h>

#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "movements/common/stock.h"
#include "movements/common/unit_of_work.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"

namespace tv::movements {
namespace {

using data::TableId;
using test::D;

const LineRule kLines{TableId::DetEntradas, "DEN:ID", "DEN:KeyId", "DEN:KeyEntrada", "DEN:ENTRADA",
                      "DEN:CodigoArticulo"};
const FolioRule kFolio{TableId::Entradas, "ENT:Folio", "ENT:KeyFolio", "FOL:ENTRADAS", kLines,
                       "una entrada de almacén"};

class Common : public test::DocumentDb {
protected:
    // Adds `amount` to an article's receipts total in one unit.
    bool Receive(data::ThreadTableSet& t, long long noArt, const Decimal& amount) {
        return RunAsOneUnit(t, {TableId::Articulo}, [&](Posting& p) {
            return ReadArticle(p, Decimal(noArt)) && p.Step("line", 1) && AddToArticle(p, "ART:Entradas", amount) &&
                   WriteArticle(p);
        });
    }
    int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }
};

// A unit that fails after its writes leaves the database as it was, and
// the thread's buffers and handles too: the header's reservation (completed
// inside the unit) is pending again, so the same completion can run again
// and stores the header once.
TEST_F(Common, AFailedUnitLeavesEverythingAsBeforeAndCanRunAgain) {
    AddArticle({.noArt = 10, .stock = 5});
    data::ThreadTableSet& t = tables();
    data::TableGateway& header = t.gateway(TableId::Entradas);
    ASSERT_EQ(header.PrepareNewRecord(), data::kDone);
    const std::string before = Dump();
    const Record typed = [&] {
        header.BUFFER.set(Field(TableId::Entradas, "ENT:Folio"), Value(7));
        header.BUFFER.set(Field(TableId::Entradas, "ENT:Referencia"), Value("FACT-1"));
        return header.BUFFER;
    }();
    auto complete = [&] {
        return RunAsOneUnit(t, {TableId::Entradas}, [&](Posting& p) {
            return ReadArticle(p, Decimal(10)) && AddToArticle(p, "ART:Entradas", Decimal(3)) && WriteArticle(p) &&
                   AddLedgerRow(p, {.article = Decimal(10), .document = "ENT-7", .in = Decimal(3), .stock = Decimal(8)}) &&
                   p.Insert(TableId::Entradas) && p.Step("after header");
        });
    };
    {
        test::InjectedFailure fail({"after header", 0});
        EXPECT_FALSE(complete());
        EXPECT_EQ(fail.hits(), 1);
    }
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(header.AUTOINCDONE, 1);
    EXPECT_TRUE(header.file()->hasReservation());
    EXPECT_TRUE(header.BUFFER == typed);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Error al registrar");

    ASSERT_TRUE(complete()) << presenter.last().caption << ": " << presenter.last().text;
    EXPECT_EQ(Count(TableId::Entradas), 1);
    EXPECT_EQ(Get(Rows(TableId::Entradas).at(0), "ENT:Referencia").asText().substr(0, 6), "FACT-1");
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(3));
    EXPECT_EQ(Count(TableId::Kardex), 1);
    EXPECT_TRUE(LedgerMatchesTotals());
}

// The reason is shown once the write lock is let go, never while it is held.
TEST_F(Common, TheMessageComesAfterTheRollback) {
    data::ThreadTableSet& t = tables();
    struct LockWatch : MessagePresenter {
        storage::Connection* c = nullptr;
        bool heldWhileShown = false;
        int shown = 0;
        Answer show(const MessageBox&) override {
            ++shown;
            heldWhileShown = heldWhileShown || c->holdsWriteLock();
            return Answer::Ok;
        }
    } watch;
    watch.c = &t.connection();
    ScopedPresenter scope(watch);
    EXPECT_FALSE(RunAsOneUnit(t, {TableId::Entradas}, [](Posting& p) { return p.Refuse(15, "ENT:KeyFolio"); }));
    EXPECT_EQ(watch.shown, 1);
    EXPECT_FALSE(watch.heldWhileShown);
}

// A total that would not fit its field is refused; nothing loses digits.
TEST_F(Common, AValueThatDoesNotFitIsRefused) {
    AddArticle({.noArt = 10, .stock = Decimal(999999990)});
    const std::string before = Dump();
    EXPECT_FALSE(Receive(tables(), 10, Decimal(1000000000)));
    EXPECT_EQ(Dump(), before);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Valor demasiado grande");
    EXPECT_NE(presenter.last().text.find("ART:Entradas"), std::string::npos);
}

// Articles read only for the totals a posting works on: those totals are
// written back alone, what was not read stays as stored, and once the unit
// has committed the buffer holds the last article whole, as a whole read
// leaves it. A whole rewrite of an article read so is refused.
TEST_F(Common, AnArticleReadForSomeTotalsKeepsTheRestAndEndsWhole) {
    AddArticle({.noArt = 10, .description = "TORNILLO", .stock = 5, .average = D(250), .barcode = "750100"});
    AddArticle({.noArt = 20, .description = "TUERCA", .stock = 7, .average = D(100), .barcode = "750200"});
    data::ThreadTableSet& t = tables();
    const Record& a = t.buffer(TableId::Articulo);
    ASSERT_TRUE(RunAsOneUnit(t, {TableId::Articulo}, [&](Posting& p) {
        for (long long noArt : {10, 20}) {
            if (!ReadArticle(p, Decimal(noArt), ArticleNeeds::StockAndCost)) return false;
            EXPECT_EQ(rtrim(a.get(Field(TableId::Articulo, "ART:Descripcion")).asText()), "");
            EXPECT_EQ(StockOnHand(a), Decimal(noArt == 10 ? 5 : 7));
            if (!AddToArticle(p, "ART:Salidas", Decimal(2)) || !WriteArticle(p)) return false;
        }
        return true;
    }));
    EXPECT_EQ(rtrim(a.get(Field(TableId::Articulo, "ART:Descripcion")).asText()), "TUERCA");
    EXPECT_EQ(a.number(Field(TableId::Articulo, "ART:COSTOPROMEDIO")), D(100));
    EXPECT_EQ(a.number(Field(TableId::Articulo, "ART:Salidas")), Decimal(2));
    for (long long noArt : {10, 20}) {
        const Record stored = *Article(noArt);
        EXPECT_EQ(Get(stored, "ART:Salidas").asNumber(), Decimal(2));
        EXPECT_EQ(rtrim(Get(stored, "ART:Descripcion").asText()), noArt == 10 ? "TORNILLO" : "TUERCA");
        EXPECT_EQ(rtrim(Get(stored, "ART:CodigoBarras").asText()), noArt == 10 ? "750100" : "750200");
    }

    const std::string before = Dump();
    EXPECT_FALSE(RunAsOneUnit(t, {.primary = TableId::Articulo, .quiet = true}, [&](Posting& p) {
        return ReadArticle(p, Decimal(10), ArticleNeeds::Ordered) && p.Update(TableId::Articulo);
    }));
    EXPECT_EQ(Dump(), before);
}

TEST_F(Common, FolioRules) {
    data::ThreadTableSet& t = tables();
    // No folio record: a new document opens with 1.
    EXPECT_EQ(FolioForNewDocument(t, kFolio), 1);
    AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(5)}});
    AddRecord(TableId::Entradas, {{"ENT:Folio", Value(5)}});
    // 5 is stored and 6 is held by a receipt being entered at another station.
    storage::Connection elsewhere(DbPath());
    data::ThreadTableSet other(elsewhere);
    ASSERT_TRUE(TryHoldFolio(other, kFolio, 6));
    EXPECT_EQ(FolioForNewDocument(t, kFolio), 7);
    EXPECT_FALSE(TryHoldFolio(t, kFolio, 0));
    EXPECT_FALSE(TryHoldFolio(t, kFolio, 5));
    EXPECT_FALSE(TryHoldFolio(t, kFolio, 6));
    EXPECT_TRUE(TryHoldFolio(t, kFolio, 7));
    EXPECT_TRUE(presenter.empty()) << "holding a folio typed says nothing";

    LineTracker own(kLines);
    struct Case {
        long long folio;
        bool accepted;
        int message;        // of the refusal, -1 a plain box
        long long counter;  // after an accepted completion
    } cases[] = {
        {0, false, -1, 5},   // required, not zero
        {5, false, 15, 5},   // a stored receipt has it
        {6, false, -1, 5},   // another open form holds it
        {3, true, 0, 5},     // the counter is never lowered
        {12, true, 0, 13},   // max(counter, folio + 1)
    };
    for (const Case& c : cases) {
        presenter.clear();
        const bool ok = RunAsOneUnit(t, {TableId::Entradas}, [&](Posting& p) {
            return CheckFolio(p, kFolio, c.folio, &own) && AdvanceFolio(p, kFolio, c.folio);
        });
        EXPECT_EQ(ok, c.accepted) << c.folio;
        EXPECT_EQ(FolioCounter(t, kFolio), c.counter) << c.folio;
        if (c.accepted) continue;
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(messageNumber(presenter.last()), c.message) << c.folio;
        if (c.message == 15) {
            EXPECT_NE(presenter.last().text.find("ENT:KeyFolio"), std::string::npos);
        }
    }
}

TEST_F(Common, WithoutAFolioRecordTheFirstCompletionAddsIt) {
    data::ThreadTableSet& t = tables();
    ASSERT_TRUE(RunAsOneUnit(t, {TableId::Entradas}, [&](Posting& p) { return AdvanceFolio(p, kFolio, 40); }));
    EXPECT_EQ(Count(TableId::Folios), 1);
    EXPECT_EQ(FolioCounter(t, kFolio), 41);
}

// Cancelling deletes the lines this form stored and nothing else, with
// the new header, in one unit.
TEST_F(Common, TheTrackerDeletesExactlyTheFormsOwnLines) {
    data::ThreadTableSet& t = tables();
    const long long other = AddRecord(TableId::DetEntradas, {{"DEN:ENTRADA", Value(9)}, {"DEN:CodigoArticulo", Value(1)}});
    LineTracker own(kLines);
    data::TableGateway& lines = t.gateway(TableId::DetEntradas);
    for (int article : {2, 3}) {
        ASSERT_EQ(lines.PrepareNewRecord([](Record& r) { r.set(1, Value(9)); }), data::kDone);
        own.AfterLineForm(lines.BUFFER, kInsert, kCancelled);  // a cancelled line form stored nothing
        lines.BUFFER.set(2, Value(article));
        ASSERT_EQ(lines.InsertRecord(), data::kDone);
        own.AfterLineForm(lines.BUFFER, kInsert, kCompleted);
    }
    EXPECT_EQ(own.Size(), 2u);
    EXPECT_EQ(own.Foreign(t, Value(9)), 1);
    data::TableGateway& header = t.gateway(TableId::Entradas);
    ASSERT_EQ(header.PrepareNewRecord(), data::kDone);
    ASSERT_TRUE(own.DeleteStored(t, [&](Posting&) { return header.CancelPendingInsert() == data::kDone; }));
    EXPECT_TRUE(own.Empty());
    const std::vector<Record> left = Rows(TableId::DetEntradas);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(Get(left[0], "DEN:ID").asNumber(), Decimal(other));
    EXPECT_EQ(Count(TableId::Entradas), 0);
}

TEST_F(Common, LinesAndTheirArticles) {
    AddArticle({.noArt = 10});
    AddRecord(TableId::DetEntradas, {{"DEN:ENTRADA", Value(4)}, {"DEN:CodigoArticulo", Value(10)}});
    AddRecord(TableId::DetEntradas, {{"DEN:ENTRADA", Value(5)}, {"DEN:CodigoArticulo", Value(10)}});
    AddRecord(TableId::DetEntradas, {{"DEN:ENTRADA", Value(4)}, {"DEN:CodigoArticulo", Value(77)}});
    data::ThreadTableSet& t = tables();
    const std::vector<Record> lines = ReadLines(t, kLines, Value(4));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(HasLines(t, kLines, Value(5)));
    EXPECT_FALSE(HasLines(t, kLines, Value(6)));
    EXPECT_FALSE(RunAsOneUnit(t, {TableId::Entradas}, [&](Posting& p) { return CheckLineArticles(p, kLines, lines); }));
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, kMissingArticleCaption);
    EXPECT_NE(presenter.last().text.find("77"), std::string::npos);
    EXPECT_TRUE(RunAsOneUnit(t, {TableId::Entradas}, [&](Posting& p) {
        return CheckLineArticles(p, kLines, {lines[0]});
    }));
}

// A long document's lines one at a time, in key order, inside a unit.
TEST_F(Common, ALongDocumentsLinesAreWalkedOneAtATime) {
    for (int article : {3, 1, 2})
        AddRecord(TableId::DetEntradas, {{"DEN:ENTRADA", Value(4)}, {"DEN:CodigoArticulo", Value(article)}});
    AddRecord(TableId::DetEntradas, {{"DEN:ENTRADA", Value(5)}, {"DEN:CodigoArticulo", Value(9)}});
    std::vector<long long> articles;
    EXPECT_TRUE(RunAsOneUnit(tables(), {TableId::Entradas}, [&](Posting& p) {
        return ForEachLine(p, kLines, Value(4),
                           [&](const Record& line) { articles.push_back(LineArticle(kLines, line).toInt64()); });
    }));
    EXPECT_EQ(articles, (std::vector<long long>{3, 1, 2}));
}

TEST_F(Common, LedgerRowsCarryEveryFieldGiven) {
    data::ThreadTableSet& t = tables();
    // Values left over in the buffer from an earlier row never reach a new one.
    t.buffer(TableId::Kardex).set(Field(TableId::Kardex, "KAR:COSTOUNITARIO"), Value(D(999)));
    ASSERT_TRUE(RunAsOneUnit(t, {TableId::Kardex}, [](Posting& p) {
        return AddLedgerRow(p, {.article = Decimal(10), .date = 80000, .document = DocumentText("ENT-", 123),
                                .concepto = "COMPRA A PROVEEDOR NACIONAL", .reference = "F-1", .in = D(250),
                                .stock = D(1250), .averageCost = D(375)});
    }));
    const Record k = Rows(TableId::Kardex).at(0);
    EXPECT_EQ(Get(k, "KAR:Documento").asText().substr(0, 7), "ENT-123");
    EXPECT_EQ(Get(k, "KAR:Concepto").asText(), "COMPRA A PROVEEDOR N");  // its first 20 characters
    EXPECT_EQ(Get(k, "KAR:Fecha").asNumber(), Decimal(80000));
    EXPECT_EQ(Get(k, "KAR:Entrada").asNumber(), D(250));
    EXPECT_EQ(Get(k, "KAR:COSTOUNITARIO").asNumber(), Decimal());
    EXPECT_EQ(Get(k, "KAR:COSTOPROMEDIO").asNumber(), D(375));
    EXPECT_EQ(Get(k, "KAR:ID").asNumber(), Decimal(1));
    EXPECT_EQ(LineAmount(Value(D(250)), Value(D(35))), D(88));  // 0.875 rounds half away from zero
}

// Two logical threads adding to one article at once, each reading the total
// inside its unit: nothing is lost.
TEST_F(Common, TwoLogicalThreadsLoseNoUpdate) {
    AddArticle({.noArt = 10});
    CloseDb();
    constexpr int kEach = 40;
    auto worker = [this] {
        for (int i = 0; i < kEach; ++i) {
            EXPECT_TRUE(Receive(data::tables(), 10, Decimal(1)));
            threads::yieldNow();
        }
    };
    ASSERT_TRUE(test::RunOnThreads({worker, worker}));
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(2 * kEach));
}

// A child killed at a step of a unit: the database is whole and wholly
// before the unit; killed once it has committed, wholly after.
TEST_F(Common, AProcessKilledInAUnitLeavesItWhollyBeforeOrAfter) {
    AddArticle({.noArt = 10});
    CloseDb();
    const std::string before = Dump();
    auto child = [this] {
        test::ChildTables c;
        return Receive(c.tables, 10, Decimal(4)) ? 0 : 1;
    };
    for (const test::StepPoint& at : {test::StepPoint{"begin", 0}, test::StepPoint{"line", 1},
                                      test::StepPoint{"commit", 0}}) {
        EXPECT_EQ(test::RunAndKillAt(at, child), test::Crash::KilledAtStep) << at.step;
        EXPECT_TRUE(IntegrityOk()) << at.step;
        EXPECT_EQ(Dump(), before) << at.step;
    }
    EXPECT_EQ(test::RunAndKillAt({"committed", 0}, child), test::Crash::KilledAtStep);
    EXPECT_TRUE(IntegrityOk());
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(4));
    EXPECT_EQ(test::RunAndKillAt({"no such step", 0}, child), test::Crash::FinishedFirst);
}

// Two processes adding to one article at once wait for each other.
TEST_F(Common, TwoProcessesLoseNoUpdate) {
    AddArticle({.noArt = 10});
    CloseDb();
    constexpr int kEach = 30;
    const std::vector<int> codes = test::RunInProcesses(2, [this](int) {
        test::ChildTables c;
        for (int i = 0; i < kEach; ++i)
            if (!Receive(c.tables, 10, Decimal(1))) return 1;
        return 0;
    });
    EXPECT_EQ(codes, (std::vector<int>{0, 0}));
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(2 * kEach));
}

}  // namespace
}  // namespace tv::movements
