// Stations at work together on new documents: each form holds its folio
// while it is open, lines are stored only under a folio their form holds,
// a completed document never gains a line; what a station that ended
// without closing its forms left behind is released (at the next start,
// and when a form meets it), never what another open form holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <random>

#include "data/leftovers.h"
#include "movements/issues/issue_posting.h"
#include "movements/orders/order_posting.h"
#include "movements/receipts/receipt_posting.h"
#include "platform/threads/thread_state.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/form_station.h"
#include "tests/movements/support/harness.h"

namespace tv::movements {
namespace {

using data::TableId;
using test::ChildTables;
using test::Crash;
using test::D;
using test::FormStation;
using test::StepPoint;
using test::Unfinished;

struct Document {
    const char* name;
    const FolioRule* rule;
    test::DocumentShape shape;
    bool (*complete)(data::ThreadTableSet&, const LineTracker*);
};

const Document kReceipt{"receipt", &receipts::kReceiptFolio,
                        {TableId::Entradas, TableId::DetEntradas, "DEN:ENTRADA", "DEN:CodigoArticulo", "DEN:Cantidad",
                         "DEN:CostoUnitario"},
                        receipts::CompleteReceipt};
const Document kIssue{"issue", &issues::kIssueFolio,
                      {TableId::Salidas, TableId::DetSalidas, "DES:SALIDA", "DES:CodigoArticulo", "DES:Cantidad",
                       "DES:CostoUnitario"},
                      issues::CompleteIssue};
const Document kOrder{"order", &orders::kOrderFolio,
                      {TableId::Ordenes, TableId::DetOrdenes, "DOR:ORDEN", "DOR:Articulo", "DOR:Cantidad", "DOR:Costo"},
                      orders::CompleteOrder};

void PrintTo(const Document& d, std::ostream* os) { *os << d.name; }

constexpr int kArticles = 8;

class Stations : public test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        for (int a = 1; a <= kArticles; ++a) AddArticle({.noArt = a, .stock = Decimal(1000000), .average = D(100)});
        AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(1)}, {"FOL:SALIDAS", Value(1)}, {"FOL:ORDENCOMPRA", Value(1)}});
    }
    FormStation Form(data::ThreadTableSet& t, const Document& d) { return FormStation(t, *d.rule, d.shape); }
    static test::SeedLine Line(int article) { return {article, Decimal(1), D(250)}; }
    // A station whose program dies (no form closed, nothing shut down)
    // once `work` is done.
    void EndWithoutClosing(const std::function<bool(data::ThreadTableSet&)>& work) {
        CloseDb();
        const std::vector<int> codes = test::RunInProcesses(1, [&](int) {
            ChildTables c;
            std::fflush(nullptr);
            _exit(work(c.tables) ? 0 : 1);
            return 1;
        });
        ASSERT_EQ(codes, std::vector<int>{0});
    }
    bool LastSaid(const char* words) {
        return !presenter.empty() && presenter.last().caption == kFolioCaption &&
               presenter.last().text.find(words) != std::string::npos;
    }
};

class EachDocument : public Stations, public ::testing::WithParamInterface<Document> {};

// Two forms opened at once hold two folios. Neither takes the other's: a
// line under it and a completion with it are refused with that reason, and
// once a document is stored under a folio, no line is ever added to it.
TEST_P(EachDocument, TwoFormsOpenedAtOnceHoldTwoFoliosAndNeitherTakesTheOthers) {
    const Document& d = GetParam();
    ChildTables other;
    FormStation a = Form(tables(), d), b = Form(other.tables, d);
    EXPECT_EQ(a.Open(), 1);
    EXPECT_EQ(b.Open(), 2);
    EXPECT_FALSE(b.Type(1));
    EXPECT_FALSE(b.AddLine(Line(1)));
    EXPECT_TRUE(LastSaid("es de otro documento que se está capturando")) << presenter.last().text;
    EXPECT_FALSE(d.complete(other.tables, &b.Tracker()));
    EXPECT_TRUE(LastSaid("es de otro documento que se está capturando")) << presenter.last().text;

    ASSERT_TRUE(a.AddLine(Line(1)));
    ASSERT_TRUE(d.complete(tables(), &a.Tracker())) << presenter.last().text;
    presenter.clear();
    EXPECT_FALSE(b.AddLine(Line(2)));
    EXPECT_TRUE(LastSaid("ya es de")) << presenter.last().text;
    EXPECT_EQ(ReadLines(tables(), d.rule->lines, Value(1)).size(), 1u) << "the stored document gained no line";

    ASSERT_TRUE(b.Type(2));
    ASSERT_TRUE(b.AddLine(Line(2)));
    ASSERT_TRUE(d.complete(other.tables, &b.Tracker())) << presenter.last().text;
    EXPECT_EQ(Count(d.shape.header), 2);
    EXPECT_EQ(Count(d.shape.lines), 2);
    EXPECT_EQ(CountUnfinished(), Unfinished{});
}

// A station whose program ended with the form open (its connection gone)
// left its header, its folio and its line: the next form that meets the
// folio releases them and takes the folio; nothing of theirs is posted.
TEST_P(EachDocument, WhatAClosedStationsFormLeftIsReleasedWhenItsFolioIsMet) {
    const Document& d = GetParam();
    EndWithoutClosing([&](data::ThreadTableSet& t) {
        FormStation b = Form(t, d);
        return b.Open() == 1 && b.AddLine(Line(3));
    });
    EXPECT_EQ(CountUnfinished(), (Unfinished{1, 1, 1}));
    FormStation a = Form(tables(), d);
    EXPECT_EQ(a.Open(), 1);
    EXPECT_EQ(CountUnfinished(), (Unfinished{1, 1, 0})) << "only the open form's header and folio";
    ASSERT_TRUE(a.AddLine(Line(4)));
    ASSERT_TRUE(d.complete(tables(), &a.Tracker())) << presenter.last().text;
    EXPECT_EQ(CountUnfinished(), Unfinished{});
    const std::vector<Record> lines = ReadLines(tables(), d.rule->lines, Value(1));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LineArticle(d.rule->lines, lines[0]), Decimal(4));
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;
}

INSTANTIATE_TEST_SUITE_P(Documents, EachDocument, ::testing::Values(kReceipt, kIssue, kOrder),
                         [](const ::testing::TestParamInfo<Document>& i) { return std::string(i.param.name); });

// Cancelling gives back the lines, the header and the folio in one unit:
// the next new document opens with the same folio.
TEST_F(Stations, CancellingGivesEverythingBack) {
    FormStation a = Form(tables(), kReceipt);
    ASSERT_EQ(a.Open(), 1);
    ASSERT_TRUE(a.AddLine(Line(1)));
    ASSERT_TRUE(a.AddLine(Line(2)));
    ASSERT_TRUE(a.Cancel());
    EXPECT_EQ(CountUnfinished(), Unfinished{});
    EXPECT_EQ(Count(TableId::DetEntradas), 0);
    EXPECT_EQ(a.Open(), 1);
}

// At start: the leftovers of every station that is gone (receipts and
// issues with their lines and folios, a count with its lines, a new
// supplier with its contacts) and the rows of older databases that no
// owner holds are released in one unit; an open form's are untouched.
TEST_F(Stations, AtStartTheLeftoversOfClosedStationsGoAndAnOpenFormsStay) {
    auto reserve = [](data::ThreadTableSet& t, TableId table) {
        return t.gateway(table).PrepareNewRecord() == data::kDone ? t.gateway(table).BUFFER.number(0).toInt64() : 0;
    };
    auto add = [](data::ThreadTableSet& t, TableId table, const char* field, const Value& v) {
        data::TableGateway& g = t.gateway(table);
        if (g.PrepareNewRecord() != data::kDone) return false;
        g.BUFFER.set(g.declaration().fieldIndex(field), v);
        return g.InsertRecord() == data::kDone;
    };
    ChildTables open;
    FormStation live = Form(open.tables, kReceipt);
    ASSERT_EQ(live.Open(), 1);
    ASSERT_TRUE(live.AddLine(Line(1)));
    const long long liveCount = reserve(open.tables, TableId::Fisico);
    ASSERT_TRUE(add(open.tables, TableId::DetFisico, "DFI:INVENTARIO", Value(liveCount)));
    EndWithoutClosing([&](data::ThreadTableSet& t) {
        FormStation r = Form(t, kReceipt), i = Form(t, kIssue);
        if (r.Open() != 2 || !r.AddLine(Line(2)) || i.Open() != 1 || !i.AddLine(Line(3))) return false;
        const long long count = reserve(t, TableId::Fisico);
        if (!add(t, TableId::DetFisico, "DFI:INVENTARIO", Value(count)) ||
            !add(t, TableId::DetFisico, "DFI:INVENTARIO", Value(count)) || reserve(t, TableId::Proveedores) == 0)
            return false;
        const int64_t supplierRow = t.gateway(TableId::Proveedores).file()->reservedRow();
        // And an older database's reservation, of nobody.
        return add(t, TableId::ContProv, "CPV:PROVEEDOR", Value(data::PendingChildCode(supplierRow))) &&
               reserve(t, TableId::Marcas) != 0 && t.connection().exec("UPDATE \"Marcas\" SET tv_owner=NULL").ok();
    });
    // An older database's line under a folio nobody has.
    AddRecord(TableId::DetSalidas, {{"DES:SALIDA", Value(99)}, {"DES:CodigoArticulo", Value(1)}});
    CloseDb();
    EXPECT_EQ(CountUnfinished(), (Unfinished{7, 3, 7}));

    data::Released released;
    ASSERT_EQ(data::ReleaseLeftovers(tables(), &released), data::kDone);
    EXPECT_EQ(released.reservations, 5);   // receipt, issue, count, supplier, the old one
    EXPECT_EQ(released.claims, 2);
    EXPECT_EQ(released.lines, 6);          // 1 + 1 + 2 counted, a contact, the old line
    EXPECT_EQ(CountUnfinished(), (Unfinished{2, 1, 2})) << "the open form's receipt and count";
    EXPECT_EQ(Count(TableId::ContProv), 0);

    ASSERT_TRUE(kReceipt.complete(open.tables, &live.Tracker())) << presenter.last().text;
    EXPECT_EQ(Count(TableId::Entradas), 1);
    EXPECT_EQ(ArticleField(1, "ART:Entradas"), Decimal(1));
}

// A database of an older version has no owners: its tables gain the column
// at start, and the reservations it kept (nobody's) are released.
TEST_F(Stations, AnOlderDatabaseGainsOwnersAndLosesItsLeftovers) {
    AddRecord(TableId::Marcas, {{"MAR:Marca", Value("ACME")}});
    storage::Connection& c = tables().connection();
    // Quoted names: the same SQL on the file and on the server.
    for (const char* sql : {"DROP INDEX \"tv_Marcas_owner\"", "ALTER TABLE \"Marcas\" DROP COLUMN tv_owner",
                            "INSERT INTO \"Marcas\"(\"Codigo\", \"Marca\", tv_pending) VALUES(9, '', 1)"})
        ASSERT_TRUE(c.exec(sql).ok()) << sql;
    CloseDb();
    ASSERT_EQ(data::CreateAllTables(tables()), data::kDone);
    data::Released released;
    ASSERT_EQ(data::ReleaseLeftovers(tables(), &released), data::kDone);
    EXPECT_EQ(released.reservations, 1);
    EXPECT_EQ(CountUnfinished(), Unfinished{});
    EXPECT_EQ(Count(TableId::Marcas), 1);
    // New reservations say whose they are again.
    ASSERT_EQ(tables().gateway(TableId::Marcas).PrepareNewRecord(), data::kDone);
    EXPECT_EQ(CountUnfinished(), (Unfinished{1, 0, 0}));
    ASSERT_EQ(data::ReleaseLeftovers(tables(), &released), data::kDone);
    EXPECT_EQ(released.total(), 0) << "an open form's reservation stays";
}

// Four stations posting receipts and issues at once on the same articles:
// every form holds its own folio, no line and no document is refused, every
// line is posted once, and nothing is left unfinished.
TEST_F(Stations, FourStationsPostingAtOnceAreNeverRefused) {
    constexpr int kStations = 4, kEach = 12;
    CloseDb();
    const std::vector<int> codes = test::RunInProcesses(kStations, [this](int station) {
        ChildTables c;
        std::minstd_rand pace(static_cast<unsigned>(station + 1));
        int refused = 0;
        for (int n = 0; n < kEach; ++n) {
            const Document& d = n % 2 == 0 ? kReceipt : kIssue;
            FormStation f = Form(c.tables, d);
            if (f.Open() == 0) ++refused;
            for (int l = 0; l < 2; ++l) {
                usleep(pace() % 3000);  // the others open and post meanwhile
                if (!f.AddLine(Line(1 + static_cast<int>(pace() % kArticles)))) ++refused;
            }
            if (!d.complete(c.tables, &f.Tracker())) ++refused;
        }
        return refused;
    });
    EXPECT_EQ(codes, std::vector<int>(kStations, 0));
    EXPECT_EQ(Count(TableId::Entradas) + Count(TableId::Salidas), kStations * kEach);
    EXPECT_EQ(Count(TableId::Kardex), kStations * kEach * 2);
    EXPECT_EQ(CountUnfinished(), Unfinished{});
    EXPECT_TRUE(LedgerMatchesTotals());
}

// A station killed with its form open, while a line is reserved, inside the
// completion, or just after it: after the next start nothing of it is left,
// and another station's open form is untouched and completes.
TEST_F(Stations, AStationKilledAnywhereLeavesNothingAfterTheNextStart) {
    CloseDb();
    test::PausedStation live([](const std::function<void()>& pause) {
        ChildTables c;
        FormStation f(c.tables, *kReceipt.rule, kReceipt.shape);
        if (f.Open() == 0 || !f.AddLine({1, Decimal(1), D(100)}) || !f.AddLine({2, Decimal(1), D(100)})) return 1;
        pause();
        return receipts::CompleteReceipt(c.tables, &f.Tracker()) ? 0 : 2;
    });
    ASSERT_TRUE(live.Paused());
    const Unfinished held = CountUnfinished();
    EXPECT_EQ(held, (Unfinished{1, 1, 2}));
    struct Kill {
        StepPoint at;
        const Document* d;
    } kills[] = {
        {{"form open"}, &kReceipt},
        {{"form open"}, &kIssue},
        {{"reserve line", 0, 2}, &kReceipt},  // inside the second line's unit
        {{"line", 2}, &kIssue},               // inside the completion
        {{"commit", 0, 5}, &kOrder},          // its commit (after the opening and three lines)
        {{"committed", 0, 5}, &kReceipt},     // just after it
    };
    for (const Kill& k : kills) {
        SCOPED_TRACE(std::string(k.d->name) + " killed at " + k.at.step);
        const Crash crash = test::RunAndKillAt(k.at, [&k] {
            ChildTables c;
            FormStation f(c.tables, *k.d->rule, k.d->shape);
            if (f.Open() == 0) return 1;
            for (int a = 3; a <= 5; ++a)
                if (!f.AddLine({a, Decimal(1), D(100)})) return 1;
            Posting(c.tables).Step("form open");
            return k.d->complete(c.tables, &f.Tracker()) ? 0 : 1;
        });
        ASSERT_EQ(crash, Crash::KilledAtStep);
        data::Released released;
        ASSERT_EQ(data::ReleaseLeftovers(tables(), &released), data::kDone);  // the next start
        EXPECT_EQ(released.claims, k.at.step == "committed" ? 0 : 1);
        EXPECT_EQ(CountUnfinished(), held);
        EXPECT_TRUE(IntegrityOk());
        CloseDb();
    }
    EXPECT_EQ(live.Finish(), 0);
    EXPECT_EQ(CountUnfinished(), Unfinished{});
    EXPECT_EQ(Count(TableId::Entradas), 2);  // the one killed after its commit, and the open form's
    EXPECT_EQ(Count(TableId::Salidas) + Count(TableId::Ordenes), 0);
    EXPECT_EQ(ArticleField(1, "ART:Entradas"), Decimal(1));
    EXPECT_TRUE(LedgerMatchesTotals());
}

}  // namespace
}  // namespace tv::movements
