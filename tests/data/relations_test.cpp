// Deleting with related records: the cascades to lines and contacts run in
// one transaction, and a line that cannot be deleted rolls everything back.
#include <gtest/gtest.h>

#include "tests/data/data_fixture.h"

namespace tv::data::test {
namespace {

using T = TableId;

struct CascadeCase {
    TableId header;
    const char* headerLink;  // header field the lines refer to
    TableId line;
    const char* lineLink;
    bool textLink;
};

const CascadeCase kCascades[] = {
    {T::Ordenes, "ORD:Folio", T::DetOrdenes, "DOR:ORDEN", false},
    {T::Entradas, "ENT:Folio", T::DetEntradas, "DEN:ENTRADA", false},
    {T::Salidas, "SAL:Folio", T::DetSalidas, "DES:SALIDA", false},
    {T::Fisico, "FIS:ID", T::DetFisico, "DFI:INVENTARIO", false},
    {T::Proveedores, "PVD:Codigo", T::ContProv, "CPV:PROVEEDOR", true},
};

class CascadeTest : public DataTest {
protected:
    // Two headers (links 1 and 2) with three and two lines; the lines of
    // header 1 are numbered 1 to 3.
    void fill(const CascadeCase& c) {
        for (int h = 1; h <= 2; ++h) {
            set->buffer(c.header).clear();
            if (c.textLink) setText(c.header, c.headerLink, "P" + std::to_string(h));
            else if (c.header != T::Fisico) setNum(c.header, c.headerLink, h);
            ASSERT_EQ(set->gateway(c.header).InsertRecord(), kDone);
            for (int l = 0; l < (h == 1 ? 3 : 2); ++l) {
                set->buffer(c.line).clear();
                if (c.textLink) setText(c.line, c.lineLink, "p" + std::to_string(h));  // any case
                else setNum(c.line, c.lineLink, h);
                ASSERT_EQ(set->gateway(c.line).InsertRecord(), kDone);
            }
        }
    }
    int64_t count(TableId t) { return set->gateway(t).RecordCount(); }
    // Reads header 1 (as a list does before deleting it).
    void readHeaderOne(const CascadeCase& c) {
        set->buffer(c.header).clear();
        const TableDecl& d = decl(c.header);
        if (c.textLink) setText(c.header, c.headerLink, "P1");
        else setNum(c.header, c.headerLink, 1);
        int key = -1;
        for (size_t k = 0; k < d.keys.size(); ++k)
            if (d.keys[k].unique && d.layout->field(d.keys[k].components[0]).name == c.headerLink) key = int(k);
        ASSERT_GE(key, 0);
        ASSERT_EQ(set->gateway(c.header).ReadByKey(key), kDone);
    }
    // Header 1 in the buffer (a form or list shows it) after the same thread
    // read the table's other records meanwhile (a list filling its page).
    void showHeaderOneAfterReadingTheOthers(const CascadeCase& c) {
        readHeaderOne(c);
        const Record shown = set->buffer(c.header);
        TableGateway& g = set->gateway(c.header);
        g.SetPositionToStart();
        while (g.ReadNext() == kDone) {
        }
        set->buffer(c.header) = shown;
    }
};

TEST_F(CascadeTest, DeletingAHeaderDeletesItsLinesOnly) {
    for (const CascadeCase& c : kCascades) {
        SCOPED_TRACE(decl(c.header).label);
        fill(c);
        readHeaderOne(c);
        EXPECT_EQ(set->relations(c.header).DeleteWithRelated(false), kDone);
        EXPECT_EQ(count(c.header), 1);
        EXPECT_EQ(count(c.line), 2);
        // The lines left belong to header 2.
        TableGateway& lg = set->gateway(c.line);
        lg.SetPositionToStart();
        while (lg.ReadNext() == kDone) {
            if (c.textLink) EXPECT_EQ(text(c.line, c.lineLink), "p2");
            else EXPECT_EQ(num(c.line, c.lineLink), 2);
        }
    }
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(CascadeTest, ALineThatCannotBeDeletedRollsTheWholeDeleteBack) {
    for (const CascadeCase& c : kCascades) {
        SCOPED_TRACE(decl(c.header).label);
        presenter.shown.clear();
        fill(c);
        const std::string table = decl(c.line).storageName;
        // The second line of header 1 refuses to go.
        ASSERT_TRUE(conn->exec("CREATE TRIGGER keep_line BEFORE DELETE ON \"" + table +
                               "\" WHEN old.ID = 2 BEGIN SELECT RAISE(ABORT, 'held'); END")
                        .ok());
        readHeaderOne(c);
        presenter.answers = {Answer::No};  // question 36: do not try again
        EXPECT_EQ(set->relations(c.header).DeleteWithRelated(false), kNotDone);
        EXPECT_EQ(count(c.header), 2);
        EXPECT_EQ(count(c.line), 5);
        ASSERT_EQ(presenter.numbers(), (std::vector<int>{13, 36}));
        for (const auto& s : presenter.shown) EXPECT_EQ(s.depth, 0);  // shown after the rollback

        // Asked to try again once the line may go, the delete completes.
        presenter.shown.clear();
        presenter.onShow = [&](int n) -> std::optional<Answer> {
            if (n == 36) {
                conn->exec("DROP TRIGGER keep_line");
                return Answer::Yes;
            }
            return std::nullopt;
        };
        readHeaderOne(c);
        EXPECT_EQ(set->relations(c.header).DeleteWithRelated(false), kDone);
        presenter.onShow = nullptr;
        EXPECT_EQ(presenter.numbers(), (std::vector<int>{13, 36}));
        EXPECT_EQ(count(c.header), 1);
        EXPECT_EQ(count(c.line), 2);
        // Clean up for the next case's numbering of lines.
        ASSERT_TRUE(conn->exec("DELETE FROM \"" + table + "\"").ok());
        ASSERT_TRUE(conn->exec("DELETE FROM \"" + decl(c.header).storageName + "\"").ok());
    }
}

TEST_F(CascadeTest, ConfirmedDeleteAnsweredNoChangesNothing) {
    const CascadeCase& c = kCascades[0];
    fill(c);
    readHeaderOne(c);
    presenter.answers = {Answer::No};
    EXPECT_EQ(set->relations(c.header).DeleteWithRelated(true), kCancelled);
    EXPECT_EQ(presenter.numbers(), std::vector<int>{11});
    EXPECT_EQ(count(c.header), 2);
    EXPECT_EQ(count(c.line), 5);
}

TEST_F(CascadeTest, DeletingAnArticleOrCatalogueEntryDeletesNothingElse) {
    set->buffer(T::Articulo).clear();
    setNum(T::Articulo, "ART:NoArt", 5);
    ASSERT_EQ(set->gateway(T::Articulo).InsertRecord(), kDone);
    set->buffer(T::Kardex).clear();
    setNum(T::Kardex, "KAR:ARTICULO", 5);
    ASSERT_EQ(set->gateway(T::Kardex).InsertRecord(), kDone);
    set->buffer(T::DetEntradas).clear();
    setNum(T::DetEntradas, "DEN:CodigoArticulo", 5);
    ASSERT_EQ(set->gateway(T::DetEntradas).InsertRecord(), kDone);
    EXPECT_EQ(set->relations(T::Articulo).DeleteWithRelated(false), kDone);
    EXPECT_EQ(count(T::Articulo), 0);
    EXPECT_EQ(count(T::Kardex), 1);
    EXPECT_EQ(count(T::DetEntradas), 1);
}

TEST_F(CascadeTest, CancelledNewOrderTakesItsLinesWithIt) {
    TableGateway& ord = set->gateway(T::Ordenes);
    ASSERT_EQ(ord.PrepareNewRecord(), kDone);
    setNum(T::Ordenes, "ORD:Folio", 77);
    for (int i = 0; i < 2; ++i) {
        set->buffer(T::DetOrdenes).clear();
        setNum(T::DetOrdenes, "DOR:ORDEN", 77);
        ASSERT_EQ(set->gateway(T::DetOrdenes).InsertRecord(), kDone);
    }
    EXPECT_EQ(set->relations(T::Ordenes).CancelPendingInsert(), kDone);
    EXPECT_EQ(ord.AUTOINCDONE, 0);
    EXPECT_EQ(count(T::Ordenes), 0);
    EXPECT_EQ(count(T::DetOrdenes), 0);
}

// A delete on this thread reaches lines that the thread itself added and
// logged for its new order (both under folio 77): the deleted lines leave
// the log, so that the line another station then stores, under a row number
// freed by them, is not taken by the new order's cancel.
TEST_F(CascadeTest, LinesDeletedWithAHeaderLeaveTheLogOfWhatTheThreadAdded) {
    TableGateway& ord = set->gateway(T::Ordenes);
    Station other = station();
    Record& stored = other.set->buffer(T::Ordenes);
    stored.clear();
    stored.set(stored.layout().indexOf("ORD:Folio"), Value(77));
    ASSERT_EQ(other.set->gateway(T::Ordenes).InsertRecord(), kDone);

    ASSERT_EQ(ord.PrepareNewRecord(), kDone);
    setNum(T::Ordenes, "ORD:Folio", 77);
    const Record reserved = ord.BUFFER;
    for (int i = 0; i < 2; ++i) {
        set->buffer(T::DetOrdenes).clear();
        setNum(T::DetOrdenes, "DOR:ORDEN", 77);
        ASSERT_EQ(set->gateway(T::DetOrdenes).InsertRecord(), kDone);
    }
    ord.BUFFER = stored;
    ASSERT_EQ(set->relations(T::Ordenes).DeleteWithRelated(false), kDone);
    ASSERT_EQ(count(T::DetOrdenes), 0);

    Record& line = other.set->buffer(T::DetOrdenes);
    line.clear();
    line.set(line.layout().indexOf("DOR:ORDEN"), Value(77));
    ASSERT_EQ(other.set->gateway(T::DetOrdenes).InsertRecord(), kDone);
    ord.BUFFER = reserved;
    EXPECT_EQ(set->relations(T::Ordenes).CancelPendingInsert(), kDone);
    EXPECT_EQ(count(T::DetOrdenes), 1) << "the other station's line stays";
    EXPECT_EQ(count(T::Ordenes), 0);
    EXPECT_TRUE(presenter.shown.empty());
}

}  // namespace
}  // namespace tv::data::test

namespace tv::data::test {
namespace {

// Two users shown the same folio each add lines under it; one of them
// cancels. Only the lines that user's form added go with the cancelled
// header, never those of the other user that merely share the folio, nor
// lines stored earlier under it.
TEST_F(CascadeTest, ACancelledNewHeaderReleasesOnlyWhatItsOwnFormAdded) {
    for (const CascadeCase& c : kCascades) {
        if (c.header == T::Fisico) continue;  // its lines refer to its own id
        SCOPED_TRACE(decl(c.header).label);
        Station other = station();
        auto link = [&](ThreadTableSet& s, TableId t, const char* f) {
            Record& r = s.buffer(t);
            if (c.textLink) r.set(r.layout().indexOf(f), Value(std::string("F5")));
            else r.set(r.layout().indexOf(f), Value(5));
        };
        // A line stored before either form opened.
        set->buffer(c.line).clear();
        link(*set, c.line, c.lineLink);
        ASSERT_EQ(set->gateway(c.line).InsertRecord(), kDone);
        ThreadTableSet* users[] = {set.get(), other.set.get()};
        for (ThreadTableSet* u : users) {
            ASSERT_EQ(u->gateway(c.header).PrepareNewRecord(), kDone);
            link(*u, c.header, c.headerLink);
        }
        for (int round = 0; round < 2; ++round)
            for (ThreadTableSet* u : users) {
                ASSERT_EQ(u->gateway(c.line).PrepareNewRecord(), kDone);
                link(*u, c.line, c.lineLink);
                ASSERT_EQ(u->gateway(c.line).InsertRecord(), kDone);
            }
        EXPECT_EQ(count(c.line), 5);
        EXPECT_EQ(set->relations(c.header).CancelPendingInsert(), kDone);
        EXPECT_EQ(count(c.line), 3) << "the other user's two lines and the earlier one stay";
        EXPECT_EQ(other.set->relations(c.header).CancelPendingInsert(), kDone);
        EXPECT_EQ(count(c.line), 1) << "the earlier line stays";
        EXPECT_EQ(count(c.header), 0);
        // Clean for the next case.
        TableGateway& lg = set->gateway(c.line);
        lg.SetPositionToStart();
        while (lg.ReadNext() == kDone) lg.DeleteCurrentRecord(false);
    }
    EXPECT_TRUE(presenter.shown.empty());
}

// A delete acts on the record the buffer holds (the one a form or list
// shows), found again by its key, never on whatever record the table read
// last on the thread; a record gone meanwhile is not deleted and the user
// is told.
TEST_F(CascadeTest, ADeleteFindsTheShownRecordByItsKey) {
    const CascadeCase& c = kCascades[1];  // receipts and their lines
    fill(c);
    showHeaderOneAfterReadingTheOthers(c);
    EXPECT_EQ(set->relations(c.header).DeleteWithRelated(false), kDone);
    TableGateway& g = set->gateway(c.header);
    EXPECT_EQ(count(c.header), 1);
    EXPECT_EQ(count(c.line), 2);
    g.SetPositionToStart();
    ASSERT_EQ(g.ReadNext(), kDone);
    EXPECT_EQ(num(c.header, c.headerLink), 2) << "the other header stays";

    // Gone meanwhile (another station deleted it): nothing is deleted.
    Station other = station();
    other.set->buffer(c.header) = set->buffer(c.header);
    ASSERT_EQ(other.set->relations(c.header).DeleteWithRelated(false), kDone);
    set->buffer(c.line).clear();
    setNum(c.line, c.lineLink, 9);
    ASSERT_EQ(set->gateway(c.line).InsertRecord(), kDone);
    ASSERT_EQ(set->gateway(c.line).RecordCount(), 1);
    presenter.answers = {Answer::No};
    EXPECT_EQ(set->relations(c.header).DeleteWithRelated(false), kNotDone);
    EXPECT_EQ(presenter.numbers(), (std::vector<int>{13, 36}));
    EXPECT_EQ(count(c.line), 1) << "nothing else was deleted";
}

// Deleting the record as it was read trusts the read only inside the unit
// of work it was read in; outside one the record the buffer holds is found
// again by its key, whatever the table read since.
TEST_F(CascadeTest, ADeleteOfTheRecordAsReadTrustsOnlyAReadInsideItsUnit) {
    const CascadeCase& c = kCascades[1];  // receipts and their lines
    fill(c);
    showHeaderOneAfterReadingTheOthers(c);
    EXPECT_EQ(set->relations(c.header).DeleteReadWithRelated(), kDone);
    TableGateway& g = set->gateway(c.header);
    EXPECT_EQ(count(c.line), 2);
    g.SetPositionToStart();
    ASSERT_EQ(g.ReadNext(), kDone);
    EXPECT_EQ(num(c.header, c.headerLink), 2) << "the record shown went, not the one read last";

    // Read inside the unit: deleted as read, with its lines.
    storage::Transaction unit(*conn);
    ASSERT_TRUE(unit.ok());
    g.SetPositionToStart();
    ASSERT_EQ(g.ReadNext(), kDone);
    EXPECT_EQ(set->relations(c.header).DeleteReadWithRelated(), kDone);
    ASSERT_TRUE(unit.commit().ok());
    EXPECT_EQ(count(c.header), 0);
    EXPECT_EQ(count(c.line), 0);
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(CascadeTest, DeleteThatCannotTakeTheWriteLockChangesNothing) {
    const CascadeCase& c = kCascades[1];
    fill(c);
    readHeaderOne(c);
    // Another station holds the write lock; no waiting in this test.
    Station other = station();
    storage::Transaction held(*other.conn);
    ASSERT_TRUE(held.ok());
    set->relations(c.header).LOGOUTTIMEOUT = 0;
    presenter.answers = {Answer::No};
    EXPECT_EQ(set->relations(c.header).DeleteWithRelated(false), kNotDone);
    EXPECT_EQ(presenter.numbers(), (std::vector<int>{24, 36}));
    held.rollback();
    EXPECT_EQ(count(c.header), 2);
    EXPECT_EQ(count(c.line), 5);
}

TEST_F(DataTest, StreamModeWritesOneUnitAtTheFlush) {
    TableGateway& k = set->gateway(TableId::Kardex);
    TableGateway& u = set->gateway(TableId::usuarios);
    ASSERT_EQ(u.UseOnDemand(), kDone);  // a table's creation would end the stream's unit
    ASSERT_EQ(k.BeginStream(), kDone);
    for (int i = 0; i < 200; ++i) {
        set->buffer(TableId::Kardex).clear();
        setNum(TableId::Kardex, "KAR:ARTICULO", i % 7);
        ASSERT_EQ(k.InsertRecord(), kDone);
    }
    // A refused write in the run is reported after the flush, not during it.
    for (int i = 0; i < 2; ++i) {
        set->buffer(TableId::usuarios).clear();
        setText(TableId::usuarios, "USU:Nombre", "ana");
        u.InsertRecord();
    }
    EXPECT_TRUE(presenter.shown.empty());
    Station other = station();
    EXPECT_EQ(other.set->gateway(TableId::Kardex).RecordCount(), 0);  // not yet written
    EXPECT_EQ(k.Flush(), kDone);
    EXPECT_EQ(presenter.numbers(), std::vector<int>{15});
    EXPECT_EQ(other.set->gateway(TableId::Kardex).RecordCount(), 200);
    EXPECT_EQ(num(TableId::Kardex, "KAR:ID"), 200);
}

}  // namespace
}  // namespace tv::data::test
