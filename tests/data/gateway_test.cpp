// Table access through the gateways: auto-numbering, keys, reading in order,
// the watch on a rewrite, aliases, field binding and deferred messages.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>

#include "data/field_resolver.h"
#include "data/transaction.h"
#include "platform/expr/program.h"
#include "platform/types/text.h"
#include "tests/data/data_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/file_size_limit.h"

namespace tv::data::test {
namespace {

using T = TableId;

// --- auto-numbering -----------------------------------------------------------

struct NumberCase {
    TableId table;
    const char* numberField;
    const char* uniqueField;  // a unique, not optional text field to fill, or null
};

TEST_F(DataTest, AutoNumbersStartAtOneAndAreNeverGivenTwice) {
    const NumberCase cases[] = {
        {T::CatArticulos, "CAR:Codigo", nullptr},
        {T::Kardex, "KAR:ID", nullptr},
        {T::Articulo, "ART:ID", nullptr},
        {T::Proveedores, "PVD:Id", "PVD:Codigo"},
        {T::Entradas, "ENT:Id", nullptr},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(decl(c.table).label);
        TableGateway& g = set->gateway(c.table);
        auto fill = [&](int n) {
            if (c.uniqueField) setText(c.table, c.uniqueField, "C" + std::to_string(n));
        };
        // A posting's insert (no reservation), then a form's (reserved first).
        set->buffer(c.table).clear();
        fill(1);
        ASSERT_EQ(g.InsertRecord(), kDone);
        EXPECT_EQ(num(c.table, c.numberField), 1);
        ASSERT_EQ(g.PrepareNewRecord(), kDone);
        EXPECT_EQ(g.AUTOINCDONE, 1);
        EXPECT_EQ(num(c.table, c.numberField), 2);
        fill(2);
        ASSERT_EQ(g.InsertRecord(), kDone);
        EXPECT_EQ(g.AUTOINCDONE, 0);
        // Twelve more: a one-digit id would have run out at the tenth.
        for (int i = 3; i <= 12; ++i) {
            set->buffer(c.table).clear();
            fill(i);
            ASSERT_EQ(g.InsertRecord(), kDone);
            EXPECT_EQ(num(c.table, c.numberField), i);
        }
        // Deleting the last record does not free its number.
        ASSERT_EQ(g.DeleteCurrentRecord(false), kDone);
        set->buffer(c.table).clear();
        fill(13);
        ASSERT_EQ(g.InsertRecord(), kDone);
        EXPECT_EQ(num(c.table, c.numberField), 13);
        // A cancelled insert leaves nothing behind.
        ASSERT_EQ(g.PrepareNewRecord(), kDone);
        ASSERT_EQ(g.CancelPendingInsert(), kDone);
        EXPECT_EQ(g.RecordCount(), 12);
    }
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(DataTest, FailedReservationsAskWhetherToTryAgain) {
    TableGateway& g = set->gateway(T::CatArticulos);
    ASSERT_EQ(g.UseOnDemand(), kDone);
    ASSERT_TRUE(conn->exec("CREATE TRIGGER no_add BEFORE INSERT ON \"CatArticulos\" "
                           "BEGIN SELECT RAISE(ABORT, 'sin lugar'); END")
                    .ok());
    presenter.answers = {Answer::Yes, Answer::No};  // three more attempts, then give up
    EXPECT_EQ(g.PrepareNewRecord(), kNotDone);
    EXPECT_EQ(presenter.numbers(), (std::vector<int>{35, 35}));
    EXPECT_EQ(g.AUTOINCDONE, 0);
    // Inside a unit of work nobody is asked: the insert fails, and says so
    // after the rollback.
    presenter.shown.clear();
    {
        DataTransaction tx(*set);
        set->buffer(T::CatArticulos).clear();
        EXPECT_EQ(g.InsertRecord(), kNotDone);
        EXPECT_TRUE(presenter.shown.empty());
    }
    EXPECT_EQ(presenter.numbers(), std::vector<int>{4});
    EXPECT_EQ(presenter.shown[0].depth, 0);
}

// --- keys ---------------------------------------------------------------------

struct DuplicateCase {
    TableId table;
    const char* field;
    const char* first;
    const char* second;
    const char* label;
    bool reserved;  // inserted through a form's reservation
};

// A new record given up while the disk is full cannot be given back: the
// reservation stays, so that it is given back (and new records are numbered
// again) once there is room, by the same cancel or by the next new record.
TEST_F(DataTest, AReservationThatCouldNotBeGivenBackIsGivenBackOnceThereIsRoom) {
    ASSERT_EQ(CreateAllTables(*set), kDone);
    struct Case {
        const char* what;
        bool throughRelations;   // the cancel of a form (with its cascades), else the gateway's own
        bool retryByCancel;      // given back by the cancel again, else by the next new record
    };
    const Case cases[] = {
        {"gateway, then the cancel again", false, true},
        {"gateway, then the next new record", false, false},
        {"relations, then the cancel again", true, true},
        {"relations, then the next new record", true, false},
    };
    enum : int { kGivenBackOnAFullDisk = 20, kNoLimit, kNotGivenBackLater, kNoNewRecord };
    // Asked to number again, the answer is No (a new record that cannot be numbered fails).
    presenter.onShow = [](int n) -> std::optional<Answer> {
        if (n == 35) return Answer::No;
        return std::nullopt;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set.reset();
        conn.reset();
        const pid_t pid = tv::test::spawn([&] {
            Station s = station();
            TableGateway& g = s.set->gateway(T::Entradas);
            if (g.PrepareNewRecord() != kDone) return int{kNoNewRecord};
            auto cancel = [&] {
                return c.throughRelations ? s.set->relations(T::Entradas).CancelPendingInsert() : g.CancelPendingInsert();
            };
            if (!tv::test::LimitFileSize(*s.conn)) return int{kNoLimit};
            if (cancel() == kDone) return int{kGivenBackOnAFullDisk};
            if (!tv::test::RoomAgain()) return int{kNoLimit};
            if (c.retryByCancel && cancel() != kDone) return int{kNotGivenBackLater};
            for (int i = 0; i < 3; ++i)
                if (g.PrepareNewRecord() != kDone || g.InsertRecord() != kDone) return int{kNoNewRecord};
            return 0;
        });
        EXPECT_EQ(tv::test::exitCode(pid), 0);
        conn = std::make_unique<storage::Connection>(dir.file("talvor.db"));
        set = std::make_unique<ThreadTableSet>(*conn);
        presenter.watched = conn.get();
        sqlite3_stmt* q = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(conn->db(), "SELECT count(*), sum(tv_pending) FROM Entradas", -1, &q, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(q, 0), 3) << "the given up record is gone; the three new ones are stored";
        EXPECT_EQ(sqlite3_column_int(q, 1), 0);
        sqlite3_finalize(q);
        ASSERT_EQ(set->gateway(T::Entradas).DeleteAllRecords(), kDone);
    }
    EXPECT_TRUE(fatals.empty());
}

TEST_F(DataTest, DuplicateKeyIsNamedByItsRegisteredLabel) {
    const DuplicateCase cases[] = {
        {T::CatArticulos, "CAR:Descripcion", "Tornillos", "TORNILLOS", "car:KeyDescripcion", true},
        {T::Entradas, "ENT:Folio", "17", "17", "ENT:KeyFolio", false},
        {T::Salidas, "SAL:Folio", "5", "5", "sal:KeyFolio", true},
        {T::Proveedores, "PVD:Codigo", "ACME", "acme", "pvd:KeyCodigo", true},
        {T::usuarios, "USU:Nombre", "Ana", "ANA", "USU:KeyNombre", false},
    };
    for (const DuplicateCase& c : cases) {
        SCOPED_TRACE(c.label);
        presenter.shown.clear();
        TableGateway& g = set->gateway(c.table);
        for (int which = 0; which < 2; ++which) {
            const char* v = which == 0 ? c.first : c.second;
            if (c.reserved) {
                ASSERT_EQ(g.PrepareNewRecord(), kDone);
            } else {
                set->buffer(c.table).clear();
            }
            setText(c.table, c.field, v);
            int r = g.InsertRecord();
            if (which == 0) ASSERT_EQ(r, kDone);
            else EXPECT_EQ(r, kNotDone);
        }
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_EQ(presenter.shown[0].number, 15);
        EXPECT_EQ(presenter.shown[0].text,
                  std::string("Agregar este registro crea una clave duplicada para la clave: ") + c.label);
        // The refused record is not stored; a reservation is given back.
        if (c.reserved) {
            EXPECT_EQ(g.CancelPendingInsert(), kDone);
        }
        EXPECT_EQ(g.RecordCount(), 1);
    }
}

TEST_F(DataTest, UniqueOptionalKeysTakeManyZeroOrBlankValues) {
    TableGateway& art = set->gateway(T::Articulo);
    for (int i = 0; i < 3; ++i) {
        set->buffer(T::Articulo).clear();
        setText(T::Articulo, "ART:Descripcion", "sin numero");
        ASSERT_EQ(art.InsertRecord(), kDone);
    }
    TableGateway& car = set->gateway(T::CatArticulos);
    for (int i = 0; i < 3; ++i) {
        set->buffer(T::CatArticulos).clear();
        ASSERT_EQ(car.InsertRecord(), kDone);  // blank name
    }
    // Several reservations of suppliers at once: a pending blank code is
    // not a blank entry of the unique code key.
    Station other = station();
    ASSERT_EQ(set->gateway(T::Proveedores).PrepareNewRecord(), kDone);
    ASSERT_EQ(other.set->gateway(T::Proveedores).PrepareNewRecord(), kDone);
    EXPECT_NE(num(T::Proveedores, "PVD:Id"),
              other.set->buffer(T::Proveedores).number(decl(T::Proveedores).fieldIndex("PVD:Id")).toInt64());
    EXPECT_TRUE(presenter.shown.empty());
    // A look-up by number 0 finds none of the unnumbered articles.
    set->buffer(T::Articulo).clear();
    EXPECT_EQ(art.ReadByKey("ART:KeyNoArt"), kNotDone);
    EXPECT_EQ(art.RecordCount(), 3);
}

TEST_F(DataTest, NoCaseKeysOrderAndMatchAccentedLetters) {
    TableGateway& g = set->gateway(T::CatArticulos);
    const std::vector<std::string> names = {"ébano", "Zeta", "álamo", "beta", "ÑANDÚ", "Alfa"};
    for (const std::string& n : names) {
        set->buffer(T::CatArticulos).clear();
        setText(T::CatArticulos, "CAR:Descripcion", n);
        ASSERT_EQ(g.InsertRecord(), kDone) << n;
    }
    // Upper case of an accented name is the same key value.
    set->buffer(T::CatArticulos).clear();
    setText(T::CatArticulos, "CAR:Descripcion", "ÉBANO");
    EXPECT_EQ(g.InsertRecord(), kNotDone);
    EXPECT_EQ(presenter.numbers(), std::vector<int>{15});

    const int key = decl(T::CatArticulos).keyIndex("CAR:KeyDescripcion");
    set->buffer(T::CatArticulos).clear();
    setText(T::CatArticulos, "CAR:Descripcion", "ÁLAMO");
    ASSERT_EQ(g.ReadByKey(key), kDone);
    EXPECT_EQ(text(T::CatArticulos, "CAR:Descripcion"), "álamo");
    setText(T::CatArticulos, "CAR:Descripcion", "ñandú");
    ASSERT_EQ(g.ReadByKey(key), kDone);
    EXPECT_EQ(text(T::CatArticulos, "CAR:Descripcion"), "ÑANDÚ");

    std::vector<std::string> expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
    std::vector<std::string> read;
    g.SetPositionToStart(key);
    while (g.ReadNext() == kDone) read.push_back(text(T::CatArticulos, "CAR:Descripcion"));
    EXPECT_EQ(read, expected);
    // "alfa" before "beta" whatever the case: the order ignores it.
    auto pos = [&](const char* s) { return std::find(read.begin(), read.end(), s) - read.begin(); };
    EXPECT_LT(pos("Alfa"), pos("beta"));
    EXPECT_LT(pos("beta"), pos("Zeta"));
}

// --- reading ------------------------------------------------------------------

TEST_F(DataTest, ReadNextPastTheEndAnswersFiveQuietlyAndSetsAtEof) {
    TableGateway& g = set->gateway(T::Marcas);
    for (const char* m : {"Uno", "Dos"}) {
        set->buffer(T::Marcas).clear();
        setText(T::Marcas, "MAR:Marca", m);
        ASSERT_EQ(g.InsertRecord(), kDone);
    }
    g.SetPositionToStart();
    EXPECT_EQ(g.ReadNext(), kDone);
    EXPECT_EQ(g.ATEOF, 0);
    EXPECT_EQ(g.ReadNext(), kDone);
    EXPECT_EQ(g.ReadNext(), kNotDone);
    EXPECT_EQ(g.ATEOF, 1);
    EXPECT_EQ(g.ReadPrevious(), kDone);
    EXPECT_EQ(g.ATEOF, 0);
    // Empty table, either direction; and a key value nobody has.
    TableGateway& u = set->gateway(T::Unidades);
    EXPECT_EQ(u.ReadNext(), kNotDone);
    EXPECT_EQ(u.ATEOF, 1);
    EXPECT_EQ(u.ReadPrevious(), kNotDone);
    set->buffer(T::Unidades).clear();
    setNum(T::Unidades, "UNI:Codigo", 42);
    setText(T::Unidades, "UNI:UM", "kilo");
    EXPECT_EQ(u.ReadByKeyOrClear("UNI:KeyCodigo"), kNotDone);
    EXPECT_EQ(num(T::Unidades, "UNI:Codigo"), 0);
    EXPECT_EQ(text(T::Unidades, "UNI:UM"), "");
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(u.OPENED, 1);  // opened by its use, and stays open
    EXPECT_EQ(u.USED, 1);
}

TEST_F(DataTest, ChangeAfterAnotherStationChangedTheRecordIsRefused) {
    TableGateway& g = set->gateway(T::Articulo);
    set->buffer(T::Articulo).clear();
    setNum(T::Articulo, "ART:NoArt", 100);
    setText(T::Articulo, "ART:Descripcion", "Martillo");
    ASSERT_EQ(g.InsertRecord(), kDone);

    for (bool throughRelations : {false, true}) {
        SCOPED_TRACE(throughRelations);
        presenter.shown.clear();
        // Both stations read the article; the other one saves first.
        set->buffer(T::Articulo).clear();
        setNum(T::Articulo, "ART:NoArt", 100);
        ASSERT_EQ(g.ReadByKey("ART:KeyNoArt"), kDone);
        Station other = station();
        Record& ob = other.set->buffer(T::Articulo);
        ob.set(ob.layout().indexOf("ART:NoArt"), Value(100));
        ASSERT_EQ(other.set->gateway(T::Articulo).ReadByKey("ART:KeyNoArt"), kDone);
        std::string theirs = throughRelations ? "Martillo grande" : "Martillo de bola";
        ob.set(ob.layout().indexOf("ART:Descripcion"), Value(theirs));
        ASSERT_EQ(other.set->gateway(T::Articulo).UpdateRecord(), kDone);

        setText(T::Articulo, "ART:Descripcion", "Mío");
        if (throughRelations) {
            EXPECT_EQ(set->relations(T::Articulo).UpdateWithRelated(true), kNotDone);
            EXPECT_EQ(presenter.numbers(), std::vector<int>{8});
        } else {
            EXPECT_EQ(g.UpdateRecord(), kNotDone);
            EXPECT_EQ(presenter.numbers(), std::vector<int>{7});
        }
        EXPECT_EQ(text(T::Articulo, "ART:Descripcion"), theirs);
        // Now watching their version: a second try goes through.
        setText(T::Articulo, "ART:Descripcion", "Mío");
        EXPECT_EQ(g.UpdateRecord(), kDone);
        for (const auto& s : presenter.shown) EXPECT_EQ(s.depth, 0);
    }
}

TEST_F(DataTest, RecordHandedInTheBufferIsFoundAgainByItsId) {
    TableGateway& g = set->gateway(T::Ordenes);
    set->buffer(T::Ordenes).clear();
    setNum(T::Ordenes, "ORD:Folio", 3);
    ASSERT_EQ(g.InsertRecord(), kDone);
    for (int i = 0; i < 2; ++i) {
        set->buffer(T::DetOrdenes).clear();
        setNum(T::DetOrdenes, "DOR:ORDEN", 3);
        ASSERT_EQ(set->gateway(T::DetOrdenes).InsertRecord(), kDone);
    }
    // Another table set gets the record as a list hands it over: in the
    // buffer only, not read through its own gateway.
    Station other = station();
    other.set->buffer(T::Ordenes) = set->buffer(T::Ordenes);
    Record& ob = other.set->buffer(T::Ordenes);
    ob.set(ob.layout().indexOf("ORD:Elabora"), Value("Luis"));
    ASSERT_EQ(other.set->gateway(T::Ordenes).Watch(), kDone);
    EXPECT_EQ(rtrimmed(ob.text(ob.layout().indexOf("ORD:Elabora"))), "");  // the stored version
    ob.set(ob.layout().indexOf("ORD:Elabora"), Value("Luis"));
    ASSERT_EQ(other.set->gateway(T::Ordenes).UpdateRecord(), kDone);
    // The same for a delete with its lines.
    Station third = station();
    third.set->buffer(T::Ordenes) = ob;
    EXPECT_EQ(third.set->relations(T::Ordenes).DeleteWithRelated(false), kDone);
    EXPECT_EQ(g.RecordCount(), 0);
    EXPECT_EQ(set->gateway(T::DetOrdenes).RecordCount(), 0);
    EXPECT_TRUE(presenter.shown.empty());
}

// --- aliases and field binding ------------------------------------------------------------

TEST_F(DataTest, AliasReadsTheSameRecordsWithItsOwnBuffer) {
    TableGateway& art = set->gateway(T::Articulo);
    for (int n : {7, 8}) {
        set->buffer(T::Articulo).clear();
        setNum(T::Articulo, "ART:NoArt", n);
        setText(T::Articulo, "ART:Descripcion", "Artículo " + std::to_string(n));
        setText(T::Articulo, "ART:CodigoBarras", "750" + std::to_string(n));
        setText(T::Articulo, "ART:Notas", "nota " + std::to_string(n));
        ASSERT_EQ(art.InsertRecord(), kDone);
    }
    set->buffer(T::Articulo).clear();
    setNum(T::Articulo, "ART:NoArt", 7);
    ASSERT_EQ(art.ReadByKey("ART:KeyNoArt"), kDone);

    TableGateway& aar = set->gateway(T::AliasArticulos);
    EXPECT_EQ(aar.ALIASEDFILE, &art);
    EXPECT_EQ(set->relations(T::AliasArticulos).ALIASFILE, &set->relations(T::Articulo));
    setText(T::AliasArticulos, "AAR:CodigoBarras", "7508");
    ASSERT_EQ(aar.ReadByKey("AAR:KeyCodigoBarras"), kDone);
    EXPECT_EQ(num(T::AliasArticulos, "AAR:NoArt"), 8);
    EXPECT_EQ(text(T::AliasArticulos, "AAR:NOTAS"), "nota 8");
    EXPECT_EQ(num(T::Articulo, "ART:NoArt"), 7);  // undisturbed
    // A change through the alias is the same record.
    setText(T::AliasArticulos, "AAR:Modelo", "X1");
    ASSERT_EQ(aar.UpdateRecord(), kDone);
    setNum(T::Articulo, "ART:NoArt", 8);
    ASSERT_EQ(art.ReadByKey("ART:KeyNoArt"), kDone);
    EXPECT_EQ(text(T::Articulo, "ART:Modelo"), "X1");
    EXPECT_EQ(aar.RecordCount(), 2);
}

TEST_F(DataTest, OpenedTablesBindTheirFieldsAndChosenMemos) {
    EXPECT_FALSE(set->lookupBoundField("ART:NoArt").has_value());
    ASSERT_EQ(set->gateway(T::Articulo).OpenTable(), kDone);
    ASSERT_EQ(set->gateway(T::AliasArticulos).OpenTable(), kDone);
    ASSERT_EQ(set->gateway(T::Ordenes).OpenTable(), kDone);
    setNum(T::Articulo, "ART:NoArt", 12345678901LL);
    setText(T::Articulo, "ART:Notas", "frágil");
    setText(T::AliasArticulos, "AAR:NOTAS", "oculta");
    setText(T::Ordenes, "ORD:Nota", "urgente");

    struct Case {
        const char* name;
        std::optional<std::string> text;  // nullopt: not bound
    };
    const Case cases[] = {
        {"ART:NoArt", "12345678901"}, {"art:noart", "12345678901"}, {"ART:Notas", "frágil"},
        {"ORD:Nota", "urgente"},      {"AAR:NOTAS", std::nullopt},   {"AAR:NoArt", "0"},
        {"KAR:ID", std::nullopt},     {"ART:Nada", std::nullopt},    {"NoArt", std::nullopt},
    };
    for (const Case& c : cases) {
        std::optional<Value> v = set->lookupBoundField(c.name);
        ASSERT_EQ(v.has_value(), c.text.has_value()) << c.name;
        if (v) {
            EXPECT_EQ(rtrimmed(v->asText()), *c.text) << c.name;
        }
    }
    // Compiled once against the buffers, an expression reads them as they change.
    ThreadFieldResolver names(*set);
    std::optional<expr::Program> p = expr::Program::compile("art:NoArt + 1", names);
    ASSERT_TRUE(p.has_value());
    setNum(T::Articulo, "ART:NoArt", 41);
    EXPECT_EQ(p->evaluate().asText(), "42");
    EXPECT_FALSE(expr::Program::compile("AAR:NOTAS", names).has_value());
    // No table was physically opened just to bind it.
    EXPECT_EQ(set->gateway(T::Articulo).USED, 0);
    EXPECT_EQ(set->gateway(T::Articulo).OPENED, 1);
}

// --- messages during a unit of work ----------------------------------------------

TEST_F(DataTest, MessagesWaitUntilTheTransactionHasEnded) {
    TableGateway& g = set->gateway(T::CatArticulos);
    set->buffer(T::CatArticulos).clear();
    setText(T::CatArticulos, "CAR:Descripcion", "Tuercas");
    ASSERT_EQ(g.InsertRecord(), kDone);
    {
        DataTransaction tx(*set);
        ASSERT_TRUE(tx.ok());
        set->buffer(T::CatArticulos).clear();
        setText(T::CatArticulos, "CAR:Descripcion", "Clavos");
        EXPECT_EQ(g.InsertRecord(), kDone);
        set->buffer(T::CatArticulos).clear();
        setText(T::CatArticulos, "CAR:Descripcion", "Tuercas");
        EXPECT_EQ(g.InsertRecord(), kNotDone);
        EXPECT_TRUE(presenter.shown.empty());
        tx.rollback();
    }
    ASSERT_EQ(presenter.numbers(), std::vector<int>{15});
    EXPECT_EQ(presenter.shown[0].depth, 0);
    EXPECT_EQ(g.RecordCount(), 1);  // "Clavos" went with the rollback
}

// --- open and close with related tables -------------------------------------------------

TEST_F(DataTest, OpenWithRelatedCountsAndCloseUndoesIt) {
    TableRelations& ent = set->relations(T::Entradas);
    ent.RequestRelatedOpen();
    ASSERT_EQ(ent.OpenWithRelated(), kDone);
    EXPECT_EQ(ent.FORCINGOPEN, 0);
    EXPECT_EQ(set->gateway(T::Entradas).USED, 1);
    for (TableId t : {T::Proveedores, T::PreProv, T::DetEntradas, T::TipEntradas, T::ContProv}) {
        EXPECT_EQ(set->gateway(t).OPENED, 1) << decl(t).label;
        EXPECT_EQ(set->gateway(t).USED, 0) << decl(t).label;  // opened at first use only
    }
    ent.CloseWithRelated();
    for (TableId t : {T::Entradas, T::Proveedores, T::PreProv, T::DetEntradas, T::ContProv})
        EXPECT_EQ(set->gateway(t).OPENED, 0) << decl(t).label;
    EXPECT_EQ(set->gateway(T::Entradas).USED, 0);
    // Without forcing, only the direct relations of a table whose related
    // tables have no relations declared yet.
    TableRelations& mar = set->relations(T::Marcas);
    ASSERT_EQ(mar.OpenWithRelated(), kDone);
    EXPECT_EQ(set->gateway(T::Articulo).OPENED, 1);
    mar.CloseWithRelated();
    EXPECT_EQ(set->gateway(T::Articulo).OPENED, 0);
}

}  // namespace
}  // namespace tv::data::test
