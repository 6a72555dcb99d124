// Every completion refused by a full disk says so, and posts once when the
// room is back: the disk fills while the unit itself is being committed (a
// child process may not write its files past a few kilobytes, as on a
// small file system that has just filled up).
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "movements/counts/count_adjustment.h"
#include "movements/issues/issue_posting.h"
#include "movements/orders/order_posting.h"
#include "movements/receipts/receipt_posting.h"
#include "movements/wizard/order_generation.h"
#include "movements/wizard/picked_lines.h"
#include "platform/types/date.h"
#include "reports/closing/closing.h"
#include "tests/movements/counts/count_fixture.h"
#include "tests/movements/issues/issue_fixture.h"
#include "tests/movements/orders/order_fixture.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"
#include "tests/support/file_size_limit.h"

namespace tv::movements {
namespace {

using data::TableId;
using test::D;

class FullDisk : public test::DocumentDb {
protected:
    // Exit codes of the child.
    enum : int { kPosted = 0, kStoredOnAFullDisk = 10, kCauseNotNamed = 11, kNotPostedLater = 12, kNoLimit = 13 };

    // In a child: `prepare` puts the document in place on the child's own
    // tables, `complete` runs the completion; it is refused while the disk
    // is full (naming the full disk) and posts once there is room again.
    int RunOnAFullDisk(const std::function<void(data::ThreadTableSet&)>& prepare,
                       const std::function<bool(data::ThreadTableSet&)>& complete) {
        CloseDb();
        const std::vector<int> codes = test::RunInProcesses(1, [&](int) {
            test::ChildTables c;
            ErrorReporter::instance().setFatalHandler([this](int n) {
                std::fprintf(stderr, "fatal %d: %s\n", n, presenter.shown().back().box.text.c_str());
                std::_Exit(1);
            });
            prepare(c.tables);
            if (!tv::test::LimitFileSize(c.connection)) return int{kNoLimit};
            if (complete(c.tables)) return int{kStoredOnAFullDisk};
            bool named = false;
            for (const auto& s : presenter.shown()) {
                named = named || s.box.text.find("Disco lleno") != std::string::npos;
                if (s.box.text.find("no pudo confirmarse") != std::string::npos) return int{kCauseNotNamed};
            }
            if (!named) return int{kCauseNotNamed};
            if (!tv::test::RoomAgain()) return int{kNoLimit};
            // The same form, "Aceptar" once more.
            return complete(c.tables) ? int{kPosted} : int{kNotPostedLater};
        });
        return codes.empty() ? -1 : codes[0];
    }
};

TEST_F(FullDisk, EveryCompletionNamesTheFullDiskAndPostsOnceThereIsRoom) {
    constexpr int kLines = 40;
    ASSERT_EQ(data::CreateAllTables(tables()), data::kDone);
    AddRecord(TableId::TipEntradas, {{"TEN:Descripcion", Value("COMPRA")}});
    // The orders name a stored supplier (the generation refuses one that names nobody).
    AddRecord(TableId::Proveedores, {{"PVD:Codigo", Value("P1")}});
    AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(100)}, {"FOL:SALIDAS", Value(200)},
                                {"FOL:ORDENCOMPRA", Value(300)}});
    for (int a = 1; a <= kLines; ++a) AddArticle({.noArt = a, .stock = Decimal(1000), .average = D(100)});
    counts::test::StoreCount(tables(), {.id = 5, .date = dateFromYmd(2025, 3, 31), .lines = [] {
                                            std::vector<counts::test::CountLine> l;
                                            for (int a = 1; a <= kLines; ++a) l.push_back({a, Decimal(a)});
                                            return l;
                                        }()});
    auto lines = [] {
        std::vector<test::SeedLine> l;
        for (int a = 1; a <= kLines; ++a) l.push_back({a, Decimal(2), D(150)});
        return l;
    };
    struct Case {
        const char* what;
        std::function<void(data::ThreadTableSet&)> prepare;
        std::function<bool(data::ThreadTableSet&)> complete;
        long long ledgerRowsAfter;   // ledger rows once posted (once)
    };
    long long ledger = 0;
    const Case cases[] = {
        {"receipt",
         [&](data::ThreadTableSet& t) { receipts::test::Enter(t, {.folio = 100, .type = 1, .lines = lines()}); },
         [](data::ThreadTableSet& t) { return receipts::CompleteReceipt(t); }, ledger += kLines},
        {"issue", [&](data::ThreadTableSet& t) { issues::test::Enter(t, {.folio = 200, .lines = lines()}); },
         [](data::ThreadTableSet& t) { return issues::CompleteIssue(t); }, ledger += kLines},
        {"purchase order",
         [&](data::ThreadTableSet& t) { orders::test::Enter(t, {.folio = 300, .supplier = "P1", .lines = lines()}); },
         [](data::ThreadTableSet& t) { return orders::CompleteOrder(t); }, ledger},
        {"order generation",
         [](data::ThreadTableSet& t) {
             data::TableGateway& g = t.gateway(TableId::Temporden);
             for (int a = 1; a <= kLines; ++a) {
                 ASSERT_EQ(wizard::PickArticle(t, Decimal(a), wizard::Selection::All), wizard::PickOutcome::Added);
                 g.BUFFER.set(g.declaration().fieldIndex("TOR:Cantidad"), Value(Decimal(3)));
                 g.BUFFER.set(g.declaration().fieldIndex("TOR:Costo"), Value(D(150)));
                 ASSERT_EQ(g.UpdateRecord(), data::kDone);
             }
         },
         [](data::ThreadTableSet& t) {
             wizard::OrderHeader h;
             h.fecha = dateFromYmd(2025, 3, 1);
             h.proveedor = "P1";
             return wizard::GenerateOrder(t, h).stored;
         },
         ledger},
        {"count adjustment", [](data::ThreadTableSet&) {},
         [](data::ThreadTableSet& t) { return counts::AdjustInventory(t, 5).applied; }, ledger += kLines},
        {"period closing", [](data::ThreadTableSet&) {},
         [](data::ThreadTableSet& t) { return reports::RunClosing(dateFromYmd(2025, 4, 1), nullptr, t).done; },
         ledger = kLines},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = Dump();
        EXPECT_EQ(RunOnAFullDisk(c.prepare, c.complete), kPosted);
        EXPECT_TRUE(IntegrityOk());
        EXPECT_FALSE(Dump() == before) << "nothing was posted";
        EXPECT_EQ(Count(TableId::Kardex), c.ledgerRowsAfter);
        EXPECT_TRUE(LedgerMatchesTotals());
    }
    EXPECT_EQ(Count(TableId::Entradas), 0);  // the closing took them
    EXPECT_EQ(Count(TableId::Ordenes), 2);   // open orders stay
}

}  // namespace
}  // namespace tv::movements
