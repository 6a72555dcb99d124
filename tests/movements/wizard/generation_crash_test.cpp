// The order generation against crashes: a child process killed with
// SIGKILL at several points of a generation of a few thousand lines finds
// the database whole, and wholly before the generation or (once
// committed) wholly after it.
#include <gtest/gtest.h>

#include "data/transaction.h"
#include "tests/movements/support/harness.h"
#include "tests/movements/wizard/wizard_fixture.h"

namespace tv::movements::wizard {
namespace {

using data::TableId;
using movements::test::Crash;
using movements::test::StepPoint;

constexpr int kArticles = 2000;

class GenerationUnderStress : public test::WizardDb {};

TEST_F(GenerationUnderStress, AProcessKilledWhileGeneratingLeavesEverythingBeforeOrAfter) {
    {
        data::DataTransaction tx(tables());
        for (long long a = 1; a <= kArticles; ++a) AddLevels({a, Decimal(0), Decimal(10), Decimal(10), Decimal(a % 5)});
        AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(300)}});
        ASSERT_TRUE(tx.commit());
    }
    CloseDb();
    const std::string before = Dump();
    // The child picks every article (its own lines: the table is its own)
    // and generates.
    auto child = [] {
        movements::test::ChildTables c;
        if (!ClearPicked(c.tables)) return 2;
        for (long long a = 1; a <= kArticles; ++a)
            if (PickArticle(c.tables, Decimal(a), Selection::BelowMinimum) != PickOutcome::Added) return 3;
        return GenerateOrder(c.tables, {}).stored ? 0 : 1;
    };
    ExpectKilledAtEachLeavesItAsBefore(
        {StepPoint{"begin", 0}, StepPoint{"line", 1},
         StepPoint{"line", kArticles / 2}, StepPoint{"line", kArticles},
         StepPoint{"header", 0}, StepPoint{"folio", 0}, StepPoint{"commit", 0}},
        child, before);
    ASSERT_EQ(movements::test::RunAndKillAt({"committed", 0}, child), Crash::KilledAtStep);
    EXPECT_TRUE(IntegrityOk());
    EXPECT_EQ(Count(TableId::Ordenes), 1);
    EXPECT_EQ(Count(TableId::DetOrdenes), kArticles);
    EXPECT_EQ(Counter(), 301);
    // Each article ordered what its minimum lacked: 10 less what it had pending.
    Decimal total;
    for (const Record& a : Rows(TableId::Articulo)) {
        const Decimal pending = Get(a, "ART:NoArt").asNumber().toInt64() % 5;
        EXPECT_EQ(Get(a, "ART:Pedido").asNumber(), Decimal(10));
        total += Decimal(10) - pending;
    }
    EXPECT_EQ(Get(*Order(300), "ORD:TOTALARTICULO").asNumber(), total);
}

}  // namespace
}  // namespace tv::movements::wizard
