#include "platform/storage/storage.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <set>
#include <stdexcept>

#include "platform/storage/sql_util.h"
#include "platform/types/text.h"
#include "tests/platform/storage/storage_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"

namespace tv::storage {
namespace {

// ---------------------------------------------------------------------------

TEST_F(Storage, AutoNumbersAreNeverGivenTwice) {
    Connection c(db);
    ASSERT_TRUE(c.openStatus().ok()) << c.openStatus().text;
    Table t(c, def);
    EXPECT_EQ(add(t, 0, "a"), 1);
    EXPECT_EQ(add(t, 0, "b"), 2);
    EXPECT_EQ(add(t, 0, "c"), 3);
    // Deleting the last one does not free its number.
    Record r = rec();
    r.setRaw(kId, 3);
    ASSERT_TRUE(t.readByKey(kKeyId, r).ok());
    ASSERT_TRUE(t.deleteCurrent().ok());
    EXPECT_EQ(add(t, 0, "d"), 4);
    // A record stored with its own number (an import) moves the counter on.
    Record k = rec(0, "e");
    k.setRaw(kId, 50);
    ASSERT_TRUE(t.insert(k, Table::Numbering::Keep).ok());
    EXPECT_EQ(add(t, 0, "f"), 51);
    // ... and so does a table filled behind the layer's back.
    ASSERT_TRUE(c.exec("INSERT INTO Prueba(ID) VALUES(70)").ok());
    EXPECT_EQ(add(t, 0, "g"), 71);
    // A fresh connection (another station) continues from there.
    Connection c2(db);
    Table t2(c2, def);
    EXPECT_EQ(add(t2, 0, "h"), 72);
    // Inside one transaction the numbers keep counting.
    {
        Transaction tx(c);
        ASSERT_TRUE(tx.ok());
        EXPECT_EQ(add(t, 0, "i"), 73);
        EXPECT_EQ(add(t, 0, "j"), 74);
        ASSERT_TRUE(tx.commit().ok());
    }
    EXPECT_EQ(add(t2, 0, "k"), 75);
}

// Inside a unit of work the counter is written once, at the commit: a number
// the unit gave stays given whatever happened to its record, and a unit
// rolled back gives nothing away.
TEST_F(Storage, NumbersGivenInsideAUnitStayGivenOnceItCommits) {
    Connection c(db), other(db);
    Table t(c, def), t2(other, def);
    EXPECT_EQ(add(t, 0, "a"), 1);
    {
        Transaction tx(c);
        ASSERT_TRUE(tx.ok());
        EXPECT_EQ(add(t, 0, "b"), 2);
        EXPECT_EQ(add(t, 0, "c"), 3);
        tx.rollback();
    }
    {
        Transaction tx(c);
        ASSERT_TRUE(tx.ok());
        EXPECT_EQ(add(t, 0, "b"), 2) << "a unit rolled back gave nothing away";
        EXPECT_EQ(add(t, 0, "c", "C"), 3);
        // Its record deleted inside the unit: number 3 is still given.
        Record r = rec();
        r.setRaw(kId, 3);
        ASSERT_TRUE(t.readByKey(kKeyId, r).ok());
        ASSERT_TRUE(t.deleteCurrent().ok());
        // A failed add (a repeated code) makes the unit ask the table for
        // its numbers again; the one it gave but has not written yet counts.
        Record dup = rec(0, "d", "X");
        ASSERT_TRUE(t.insert(dup).ok());
        EXPECT_EQ(dup.raw(kId), 4);
        ASSERT_TRUE(t.readByKey(kKeyId, dup).ok());
        ASSERT_TRUE(t.deleteCurrent().ok());
        Record again = rec(0, "e", "A");
        ASSERT_TRUE(t.insert(again).ok());
        EXPECT_EQ(again.raw(kId), 5);
        Record clash = rec(0, "f", "a");
        EXPECT_EQ(t.insert(clash).code, kCreatesDuplicateKey);
        ASSERT_TRUE(t.readByKey(kKeyId, again).ok());
        ASSERT_TRUE(t.deleteCurrent().ok());
        EXPECT_EQ(add(t, 0, "g"), 6);
        ASSERT_TRUE(tx.commit().ok());
    }
    // Another station goes on after the highest number the unit gave.
    Record last = rec();
    last.setRaw(kId, 6);
    ASSERT_TRUE(t.readByKey(kKeyId, last).ok());
    ASSERT_TRUE(t.deleteCurrent().ok());
    EXPECT_EQ(add(t2, 0, "h"), 7);
}

TEST_F(Storage, AutoNumberThatDoesNotFitFails) {
    auto d = std::make_shared<TableDef>(*def);
    auto layout = std::make_shared<RecordLayout>(
        "Chico", "CHI", std::vector<FieldSpec>{{"CHI:ID", FieldType::Decimal, 1, 0}, {"CHI:X", FieldType::String, 5, 0}});
    d->table = "Chico";
    d->layout = layout;
    d->keys = {{"CHI:KeyId", {0}, true, true, false, true}};
    Connection c(db);
    Table t(c, d);
    Record r(layout);
    for (int i = 1; i <= 9; ++i) ASSERT_TRUE(t.insert(r).ok());
    Status st = t.insert(r);
    EXPECT_FALSE(st.ok());
    int64_t n = 0;
    ASSERT_TRUE(t.count(n).ok());
    EXPECT_EQ(n, 9);
}

TEST_F(Storage, DuplicateKeyNamesTheFirstDuplicatedKey) {
    Connection c(db);
    Table t(c, def);
    add(t, 100, "uno", "A1");
    add(t, 200, "dos", "B2");
    struct Case {
        long long noArt;
        const char* codigo;
        int key;  // -1: stored
    } cases[] = {
        {100, "A1", kKeyNoArt},  // both duplicated: the first in declaration order
        {300, "a1", kKeyCodigo}, // no-case: "a1" duplicates "A1"
        {200, "ZZ", kKeyNoArt},
        {0, "", -1},             // optional keys: zero and blank are never duplicates
        {0, "", -1},
        {0, "B2 ", kKeyCodigo},  // trailing blanks do not count
    };
    for (const Case& cs : cases) {
        Record r = rec(cs.noArt, "x", cs.codigo);
        Status st = t.insert(r);
        if (cs.key < 0) {
            EXPECT_TRUE(st.ok()) << cs.noArt << " " << cs.codigo << ": " << st.text;
        } else {
            EXPECT_EQ(st.code, kCreatesDuplicateKey) << cs.noArt << " " << cs.codigo;
            EXPECT_EQ(st.keyIndex, cs.key) << cs.noArt << " " << cs.codigo;
        }
    }
    // A rewrite that duplicates is refused the same way and changes nothing.
    Record r = rec(200);
    ASSERT_TRUE(t.readByKey(kKeyNoArt, r).ok());
    r.setText(kCodigo, "a1");
    Status st = t.update(r);
    EXPECT_EQ(st.code, kCreatesDuplicateKey);
    EXPECT_EQ(st.keyIndex, kKeyCodigo);
    Record again = rec(200);
    ASSERT_TRUE(t.readByKey(kKeyNoArt, again).ok());
    EXPECT_EQ(rtrim(again.text(kCodigo)), "B2");
}

TEST_F(Storage, OptionalKeysLeaveOutZeroAndBlank) {
    Connection c(db);
    Table t(c, def);
    for (int i = 0; i < 5; ++i) add(t, 0, "sin numero");
    add(t, 7, "siete", "C7");
    Record r = rec(0);
    EXPECT_EQ(t.readByKey(kKeyNoArt, r).code, kRecordNotAvailable);  // 0 finds none
    r = rec(0, "", "");
    EXPECT_EQ(t.readByKey(kKeyCodigo, r).code, kRecordNotAvailable);
    // Reading through an optional key passes over them.
    EXPECT_EQ(namesInOrder(t, kKeyNoArt), std::vector<std::string>{"siete"});
    EXPECT_EQ(namesInOrder(t, kKeyCodigo), std::vector<std::string>{"siete"});
    int64_t n = 0;
    ASSERT_TRUE(t.count(n).ok());
    EXPECT_EQ(n, 6);
}

TEST_F(Storage, NoCaseKeysMatchAndOrderAccentedLetters) {
    Connection c(db);
    Table t(c, def);
    std::vector<std::string> names = {"árbol", "Zorro", "Ñandú", "nube", "ÁRBOL", "Avión", "ñandú", "Oso", "ábaco", "abeja"};
    for (const auto& n : names) add(t, 0, n);
    // Matching ignores case, also of the accented pairs; the first added wins.
    struct Case {
        const char* probe;
        const char* found;
    } cases[] = {{"ÁRBOL", "árbol"}, {"árbol", "árbol"}, {"ÑANDÚ", "Ñandú"}, {"avión", "Avión"}, {"AVIÓN  ", "Avión"}};
    for (const Case& cs : cases) {
        Record r = rec(0, cs.probe);
        ASSERT_TRUE(t.readByKey(kKeyNombre, r).ok()) << cs.probe;
        EXPECT_EQ(rtrim(r.text(kNombre)), cs.found) << cs.probe;
    }
    Record r = rec(0, "arbol");  // without the accent it is another word
    EXPECT_EQ(t.readByKey(kKeyNombre, r).code, kRecordNotAvailable);
    // Key order is the no-case order; equal values in the order they were added.
    std::vector<std::string> expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
    EXPECT_EQ(namesInOrder(t, kKeyNombre), expected);
    std::vector<std::string> backwards(expected.rbegin(), expected.rend());
    auto rev = namesInOrder(t, kKeyNombre, -1);
    // Backwards, equal values come newest first.
    EXPECT_EQ(rev.size(), backwards.size());
    for (size_t i = 0; i < rev.size(); ++i) EXPECT_EQ(compareNoCase(rev[i], backwards[i]), 0) << i;
    auto iN = std::find(expected.begin(), expected.end(), "Ñandú") - expected.begin();
    EXPECT_EQ(expected[static_cast<size_t>(iN) + 1], "ñandú");
}

TEST_F(Storage, PositionAndReadNextPrevious) {
    Connection c(db);
    Table t(c, def);
    for (const char* n : {"c", "a", "b", "b", "d"}) add(t, 0, n);
    Record r = rec();
    // At or after a value.
    t.setPosition(kKeyNombre, rec(0, "b"));
    ASSERT_TRUE(t.next(r).ok());
    EXPECT_EQ(r.raw(kId), 3);  // the first "b" added
    ASSERT_TRUE(t.next(r).ok());
    EXPECT_EQ(r.raw(kId), 4);
    ASSERT_TRUE(t.next(r).ok());
    EXPECT_EQ(rtrim(r.text(kNombre)), "c");
    ASSERT_TRUE(t.previous(r).ok());
    EXPECT_EQ(r.raw(kId), 4);
    t.setPosition(kKeyNombre, rec(0, "bb"));
    ASSERT_TRUE(t.next(r).ok());
    EXPECT_EQ(rtrim(r.text(kNombre)), "c");
    t.setPosition(kKeyNombre, rec(0, "bb"));
    ASSERT_TRUE(t.previous(r).ok());
    EXPECT_EQ(r.raw(kId), 4);
    // Past the end: not available, again and again; the position stays.
    t.setPosition(kKeyNombre, rec(0, "d"));
    ASSERT_TRUE(t.next(r).ok());
    EXPECT_EQ(t.next(r).code, kRecordNotAvailable);
    EXPECT_EQ(t.next(r).code, kRecordNotAvailable);
    ASSERT_TRUE(t.previous(r).ok());
    EXPECT_EQ(rtrim(r.text(kNombre)), "c");
    // Record order.
    t.setOrder(Table::kRecordOrder);
    std::vector<long long> ids;
    while (t.next(r).ok()) ids.push_back(r.raw(kId));
    EXPECT_EQ(ids, (std::vector<long long>{1, 2, 3, 4, 5}));
    t.setPositionRow(3);
    ASSERT_TRUE(t.previous(r).ok());
    EXPECT_EQ(r.raw(kId), 3);
    ASSERT_TRUE(t.previous(r).ok());
    EXPECT_EQ(r.raw(kId), 2);
    // A read by key is a position for the order that is set.
    t.setOrder(kKeyNombre);
    Record k = rec(0, "a");
    ASSERT_TRUE(t.readByKey(kKeyNombre, k).ok());
    ASSERT_TRUE(t.next(r).ok());
    EXPECT_EQ(rtrim(r.text(kNombre)), "b");
    // Empty table: not available both ways.
    auto d2 = std::make_shared<TableDef>(*def);
    d2->table = "Vacia";
    Table e(c, d2);
    EXPECT_EQ(e.next(r).code, kRecordNotAvailable);
    EXPECT_EQ(e.previous(r).code, kRecordNotAvailable);
}

TEST_F(Storage, ScanResumesInsideRunsOfEqualValues) {
    Connection c(db), c2(db);
    Table t(c, def), other(c2, def);
    for (int i = 0; i < 300; ++i) add(t, i + 1, "n" + std::to_string(i % 7));
    for (int dir : {+1, -1}) {
        // A posting loop: read, rewrite, read on ... each record once, in key
        // order, although every rewrite makes the scan find its place again.
        t.setOrder(kKeyNombre);
        Record r = rec();
        std::vector<std::pair<std::string, long long>> seen;
        while ((dir > 0 ? t.next(r) : t.previous(r)).ok()) {
            seen.emplace_back(std::string(rtrim(r.text(kNombre))), r.raw(kId));
            r.setRaw(kMonto, r.raw(kMonto) + 150);
            ASSERT_TRUE(t.update(r).ok());
            if (seen.size() == 100) add(other, 999 + dir, dir > 0 ? "a" : "z");  // behind the position
        }
        ASSERT_EQ(seen.size(), dir > 0 ? 300u : 301u);  // the first pass added "a"
        auto sorted = seen;
        std::sort(sorted.begin(), sorted.end());
        if (dir < 0) std::reverse(sorted.begin(), sorted.end());
        EXPECT_EQ(seen, sorted);
    }
    Record x = rec(5);
    ASSERT_TRUE(other.readByKey(kKeyNoArt, x).ok());
    EXPECT_EQ(x.raw(kMonto), 300);
}

TEST_F(Storage, ValuesRoundTrip) {
    Connection c(db);
    Table t(c, def);
    Record r = rec(99999999999LL, "  con blancos  ", "x");
    r.setRaw(kMonto, -123456789012LL);  // -1,234,567,890.12
    r.setText(kNotas, "línea uno\nlínea dos");
    ASSERT_TRUE(t.insert(r).ok());
    Record back = rec(99999999999LL);
    ASSERT_TRUE(t.readByKey(kKeyNoArt, back).ok());
    EXPECT_EQ(back, r);
    EXPECT_EQ(back.text(kNombre), fitText("  con blancos", 30));
    // Text is stored without its trailing blanks.
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(c.db(), "SELECT Nombre FROM Prueba", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "  con blancos");
    sqlite3_finalize(s);
}

// Rows another program wrote are read as a store into the fields would
// hold them: decimals rounded half away from zero to the places (also past
// what a double holds exactly), texts cut or padded to their width, plain or
// accented, whether they sit in the cell or arrive from elsewhere.
TEST_F(Storage, RowsWrittenElsewhereAreReadAsTheFieldsHoldThem) {
    Connection c(db);
    Table t(c, def);
    add(t, 7, "x");
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(c.db(), "UPDATE Prueba SET Monto=?1, Nombre=?2, Notas=?3 WHERE NoArt=7", -1, &s, nullptr),
              SQLITE_OK);
    const std::string longName(45, 'n');
    struct Case {
        double monto;
        std::string nombre, notas;
    } cases[] = {
        {0.125, "corto", ""},
        {-0.125, "camión de carga", "ñ"},
        {1.005, longName, std::string(250, 'm')},
        {-0.0049, "", "línea uno\nlínea dos"},
        {-2.675, "añejo " + longName, "x"},
        {45035996273704.97, "abc", ""},
        {-45035996273704.955, std::string(30, 'z'), ""},
        {123456789.994999, "  blancos  ", ""},
    };
    for (const Case& k : cases) {
        sqlite3_bind_double(s, 1, k.monto);
        sqlite3_bind_text(s, 2, k.nombre.data(), static_cast<int>(k.nombre.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 3, k.notas.data(), static_cast<int>(k.notas.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(s), SQLITE_DONE);
        sqlite3_reset(s);
        // Read over a buffer that holds other texts of other lengths.
        Record back = rec(7, "una descripción que ocupa todo", "código");
        back.setText(kNotas, "otra nota");
        ASSERT_TRUE(t.readByKey(kKeyNoArt, back).ok()) << k.monto;
        Record expected = rec(7);
        expected.setRaw(kId, back.raw(kId));
        expected.setRaw(kMonto, std::llround(k.monto * 100));
        expected.setText(kNombre, k.nombre);
        expected.setText(kNotas, k.notas);
        EXPECT_EQ(back, expected) << k.monto << " " << k.nombre;
        EXPECT_EQ(back.text(kNombre), fitText(k.nombre, 30));
    }
    sqlite3_finalize(s);
}

TEST_F(Storage, ChangeAfterAnotherStationChangedIsRefused) {
    Connection a(db), b(db);
    Table ta(a, def), tb(b, def);
    add(ta, 1, "original");
    Record ra = rec(1), rb = rec(1);
    ASSERT_TRUE(ta.readByKey(kKeyNoArt, ra).ok());
    ASSERT_TRUE(tb.readByKey(kKeyNoArt, rb).ok());
    rb.setText(kNombre, "de la otra");
    ASSERT_TRUE(tb.update(rb).ok());
    ra.setText(kNombre, "mio");
    Status st = ta.update(ra);
    EXPECT_EQ(st.code, kRecordChanged);
    EXPECT_EQ(st.text, "Record Changed By Another Station");
    EXPECT_EQ(rtrim(ra.text(kNombre)), "de la otra");  // the buffer shows their version
    // Now watched anew: a second try goes through.
    ra.setText(kNombre, "mio");
    ASSERT_TRUE(ta.update(ra).ok());
    // A record deleted meanwhile is not available.
    ASSERT_TRUE(tb.readByKey(kKeyNoArt, rb).ok());
    ASSERT_TRUE(ta.deleteCurrent().ok());
    EXPECT_EQ(tb.update(rb).code, kRecordNotAvailable);
    EXPECT_EQ(tb.deleteCurrent().code, kRecordNotAvailable);
}

TEST_F(Storage, UpdatingSomeFieldsLeavesTheOthersAsStoredUnderTheSameWatch) {
    Connection a(db), b(db);
    Table ta(a, def), tb(b, def);
    add(ta, 1, "original", "C-1");
    Record ra = rec(1), rb = rec(1);
    ASSERT_TRUE(ta.readByKey(kKeyNoArt, ra).ok());
    ASSERT_TRUE(tb.readByKey(kKeyNoArt, rb).ok());
    // Only the amount is written: the name changed in the buffer is not.
    ra.setRaw(kMonto, 12345);
    ra.setText(kNombre, "no se escribe");
    ASSERT_TRUE(ta.update(ra, {kMonto}).ok());
    Record check = rec(1);
    ASSERT_TRUE(ta.readByKey(kKeyNoArt, check).ok());
    EXPECT_EQ(check.raw(kMonto), 12345);
    EXPECT_EQ(rtrim(check.text(kNombre)), "original");
    EXPECT_EQ(namesInOrder(ta, kKeyNombre), std::vector<std::string>{"original"});
    // It is a change like any other for the other station's watch.
    rb.setRaw(kMonto, 1);
    EXPECT_EQ(tb.update(rb, {kMonto}).code, kRecordChanged);
    EXPECT_EQ(rb.raw(kMonto), 12345);
    rb.setText(kCodigo, "C-2");
    rb.setRaw(kMonto, 2);
    ASSERT_TRUE(tb.update(rb, {kCodigo, kMonto}).ok());
    ASSERT_TRUE(ta.readByKey(kKeyNoArt, check).ok());
    EXPECT_EQ(rtrim(check.text(kCodigo)), "C-2");
    EXPECT_EQ(check.raw(kMonto), 2);
    // A field that is not in the record is refused.
    EXPECT_EQ(ta.update(check, {kNotas + 1}).code, kUnsupported);
    // Some fields of a reserved record do not complete it: it stays
    // reserved, for every station, until it is written whole.
    Record held = rec();
    ASSERT_TRUE(ta.reserve(held).ok());
    held.setRaw(kMonto, 700);
    ASSERT_TRUE(ta.update(held, {kMonto}).ok());
    EXPECT_TRUE(ta.hasReservation());
    EXPECT_TRUE(ta.currentPending());
    Record seen = rec();
    seen.setRaw(kId, held.raw(kId));
    ASSERT_TRUE(tb.readByKey(kKeyId, seen).ok());
    EXPECT_TRUE(tb.currentPending());
    EXPECT_EQ(seen.raw(kMonto), 700);
    held.setText(kNombre, "completo");
    ASSERT_TRUE(ta.completeReservation(held).ok());
    ASSERT_TRUE(tb.readByKey(kKeyId, seen).ok());
    EXPECT_FALSE(tb.currentPending());
}

TEST_F(Storage, AliasHasItsOwnPosition) {
    Connection c(db);
    auto aliasDef = pruebaDef("ALI");  // same table, other labels
    Table t(c, def), alias(c, aliasDef);
    for (const char* n : {"a", "b", "c"}) add(t, 0, n);
    Record r = rec(), ra(aliasDef->layout);
    t.setOrder(kKeyNombre);
    alias.setOrder(kKeyNombre);
    ASSERT_TRUE(t.next(r).ok());
    ASSERT_TRUE(t.next(r).ok());
    ASSERT_TRUE(alias.next(ra).ok());
    EXPECT_EQ(rtrim(ra.text(kNombre)), "a");
    ASSERT_TRUE(t.next(r).ok());
    EXPECT_EQ(rtrim(r.text(kNombre)), "c");
    ASSERT_TRUE(alias.next(ra).ok());
    EXPECT_EQ(rtrim(ra.text(kNombre)), "b");
    // Numbers are shared with the base table.
    Record n(aliasDef->layout);
    ASSERT_TRUE(alias.insert(n).ok());
    EXPECT_EQ(n.raw(kId), 4);
}

// A table of each connection alone: another connection (a logical thread,
// a running copy) neither sees nor deletes its rows, a shared table of the
// same name made earlier is left alone, and the rows go with the connection.
TEST_F(Storage, ConnectionPrivateTableKeepsItsRowsToItsConnection) {
    {
        Connection c(db);
        Table shared(c, def);
        add(shared, 1, "compartido");
    }
    auto own = std::make_shared<TableDef>(*def);
    own->connectionPrivate = true;
    Connection a(db), b(db);
    Table ta(a, own), tb(b, own);
    add(ta, 10, "de a");
    add(ta, 11, "otro de a");
    add(tb, 20, "de b");
    auto rows = [this](Table& t) {
        std::vector<long long> out;
        Record r = rec();
        t.setOrder(Table::kRecordOrder);
        while (t.next(r).ok()) out.push_back(r.raw(kNoArt));
        return out;
    };
    EXPECT_EQ(rows(ta), (std::vector<long long>{10, 11}));
    EXPECT_EQ(rows(tb), (std::vector<long long>{20}));
    // Deleting every row of one leaves the other's.
    Record r = rec();
    ta.setOrder(Table::kRecordOrder);
    while (ta.next(r).ok()) ASSERT_TRUE(ta.deleteCurrent().ok());
    EXPECT_TRUE(rows(ta).empty());
    EXPECT_EQ(rows(tb), (std::vector<long long>{20}));
    // A unique key holds within the connection.
    Record dup = rec(20, "repetido");
    EXPECT_EQ(tb.insert(dup).code, kCreatesDuplicateKey);
    EXPECT_TRUE(ta.insert(dup).ok());
    // The shared table of that name is untouched.
    {
        Connection c(db);
        Table fresh(c, def);
        EXPECT_EQ(rows(fresh), (std::vector<long long>{1}));
    }
    // A new connection starts empty, and another station holding the write
    // lock holds up neither its making nor its writes.
    Connection other(db);
    Transaction hold(other);
    ASSERT_TRUE(hold.ok());
    Connection later(db);
    later.setLockTimeout(std::chrono::milliseconds(30));
    Table tl(later, own);
    EXPECT_TRUE(rows(tl).empty());
    EXPECT_EQ(add(tl, 30, "mientras tanto"), 1);
    EXPECT_EQ(rows(tl), (std::vector<long long>{30}));
    hold.rollback();
    EXPECT_TRUE(later.integrityCheck().ok());
}

TEST_F(Storage, ReservationsFromTwoConnections) {
    Connection a(db), b(db);
    Table ta(a, def), tb(b, def);
    add(ta, 0, "x", "USADO");
    Record ra = rec(), rb = rec();
    ASSERT_TRUE(ta.reserve(ra).ok());
    ASSERT_TRUE(tb.reserve(rb).ok());  // blank code: no collision with the other reservation
    EXPECT_EQ(ra.raw(kId), 2);
    EXPECT_EQ(rb.raw(kId), 3);
    // The reserved records hold their numbers.
    Record probe = rec();
    probe.setRaw(kId, 3);
    EXPECT_TRUE(ta.readByKey(kKeyId, probe).ok());
    // Completing checks the other unique keys then.
    rb.setText(kCodigo, "usado");
    rb.setText(kNombre, "b");
    Status st = tb.completeReservation(rb);
    EXPECT_EQ(st.code, kCreatesDuplicateKey);
    EXPECT_EQ(st.keyIndex, kKeyCodigo);
    EXPECT_TRUE(tb.hasReservation());
    rb.setText(kCodigo, "NUEVO");
    ASSERT_TRUE(tb.completeReservation(rb).ok());
    EXPECT_EQ(rb.raw(kId), 3);
    // Cancelling deletes the reserved record; its number is not given again.
    ASSERT_TRUE(ta.cancelReservation().ok());
    probe.setRaw(kId, 2);
    EXPECT_EQ(ta.readByKey(kKeyId, probe).code, kRecordNotAvailable);
    EXPECT_EQ(add(ta, 0, "z"), 4);
    int64_t n = 0;
    ASSERT_TRUE(ta.count(n).ok());
    EXPECT_EQ(n, 3);
}

TEST_F(Storage, ReservationsOfOtherStationsAreToldApartWhenRead) {
    Connection a(db), b(db);
    Table ta(a, def), tb(b, def);
    add(ta, 0, "guardado");
    Record held = rec();
    ASSERT_TRUE(tb.reserve(held).ok());
    EXPECT_TRUE(tb.currentPending());
    Record r = rec();
    std::vector<bool> pending;
    ta.setOrder(Table::kRecordOrder);
    while (ta.next(r).ok()) pending.push_back(ta.currentPending());
    EXPECT_EQ(pending, (std::vector<bool>{false, true}));
    ASSERT_TRUE(ta.readByRow(2, r).ok());
    EXPECT_TRUE(ta.currentPending());
    held.setText(kNombre, "completo");
    ASSERT_TRUE(tb.completeReservation(held).ok());
    EXPECT_FALSE(tb.currentPending());
    ASSERT_TRUE(ta.readByRow(2, r).ok());
    EXPECT_FALSE(ta.currentPending());
}

TEST_F(Storage, DeleteAllEmptiesTheTableAndNumberingGoesOn) {
    Connection c(db);
    Table t(c, def);
    for (int i = 0; i < 5; ++i) add(t, i + 1, "r" + std::to_string(i));
    {
        // Inside a unit: undone with it.
        Transaction tx(c);
        int64_t gone = 0;
        ASSERT_TRUE(t.deleteAll(&gone).ok());
        EXPECT_EQ(gone, 5);
        tx.rollback();
    }
    int64_t n = 0;
    ASSERT_TRUE(t.count(n).ok());
    EXPECT_EQ(n, 5);
    Record r = rec();
    ASSERT_TRUE(t.next(r).ok());
    int64_t gone = 0;
    ASSERT_TRUE(t.deleteAll(&gone).ok());
    EXPECT_EQ(gone, 5);
    ASSERT_TRUE(t.count(n).ok());
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(t.hasCurrent());
    EXPECT_EQ(t.next(r).code, kRecordNotAvailable);
    EXPECT_EQ(add(t, 1, "nuevo"), 6) << "numbers are not given again";
}

TEST_F(Storage, TransactionsNestAndRollBack) {
    Connection c(db), other(db);
    Table t(c, def), t2(other, def);
    ASSERT_TRUE(t.open().ok());
    int64_t n = 0;
    // Nested: only the outermost commits.
    {
        Transaction outer(c);
        ASSERT_TRUE(outer.ok());
        add(t, 0, "a");
        {
            Transaction inner(c);
            ASSERT_TRUE(inner.ok());
            add(t, 0, "b");
            ASSERT_TRUE(inner.commit().ok());
        }
        ASSERT_TRUE(t2.count(n).ok());
        EXPECT_EQ(n, 0);  // not yet visible to another connection
        ASSERT_TRUE(outer.commit().ok());
    }
    ASSERT_TRUE(t2.count(n).ok());
    EXPECT_EQ(n, 2);
    // An exception rolls everything back.
    try {
        Transaction tx(c);
        add(t, 0, "c");
        throw std::runtime_error("boom");
    } catch (const std::runtime_error&) {
    }
    ASSERT_TRUE(t2.count(n).ok());
    EXPECT_EQ(n, 2);
    // An inner unit that fails dooms the outer: its commit fails, nothing stays.
    {
        Transaction outer(c);
        add(t, 0, "d");
        { Transaction inner(c); }
        Record r = rec(0, "e");
        EXPECT_FALSE(t.insert(r).ok());
        EXPECT_FALSE(outer.commit().ok());
    }
    ASSERT_TRUE(t.count(n).ok());
    EXPECT_EQ(n, 2);
    // The write lock is taken at begin: another connection times out.
    Transaction holder(c);
    ASSERT_TRUE(holder.ok());
    Transaction waiter(other, std::chrono::milliseconds(50));
    EXPECT_EQ(waiter.status().code, kLockTimeout);
    Record r = rec(0, "f");
    other.setLockTimeout(std::chrono::milliseconds(50));
    EXPECT_EQ(t2.insert(r).code, kLockTimeout);
}

TEST_F(Storage, StreamModeWritesOnFlush) {
    Connection c(db), other(db);
    Table t(c, def), t2(other, def);
    ASSERT_TRUE(c.beginStream().ok());
    for (int i = 0; i < 100; ++i) add(t, 0, "s");
    int64_t n = 0;
    ASSERT_TRUE(t2.count(n).ok());
    EXPECT_EQ(n, 0);
    ASSERT_TRUE(c.flush().ok());
    ASSERT_TRUE(t2.count(n).ok());
    EXPECT_EQ(n, 100);
    add(t, 0, "s");
    {
        Transaction tx(c);  // flushes the stream first
        add(t, 0, "t");
    }  // rolled back: only "t"
    ASSERT_TRUE(c.endStream().ok());
    ASSERT_TRUE(t2.count(n).ok());
    EXPECT_EQ(n, 101);
    // A connection that closes with buffered writes keeps them.
    {
        Connection c3(db);
        Table t3(c3, def);
        ASSERT_TRUE(c3.beginStream().ok());
        add(t3, 0, "u");
    }
    ASSERT_TRUE(t2.count(n).ok());
    EXPECT_EQ(n, 102);
}

// A full disk makes SQLite roll the whole unit back by itself. A write after
// that must not be committed on its own (half a document stored while the
// caller is told the unit failed): the unit fails as a whole, in a
// Transaction and in stream mode alike.
TEST_F(Storage, UnitRolledBackByTheDatabaseTakesNoFurtherWrites) {
    Connection c(db), other(db);
    Table t(c, def), t2(other, def);
    add(t, 0, "antes");
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(c.db(), "PRAGMA page_count", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    const int pages = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    ASSERT_TRUE(c.exec("PRAGMA max_page_count=" + std::to_string(pages + 2)).ok());
    // Fills the database until a write fails.
    auto fill = [&] {
        for (int i = 0; i < 2000; ++i) {
            Record r = rec(0, "relleno " + std::to_string(i));
            r.setText(kNotas, std::string(200, 'x'));
            if (!t.insert(r).ok()) return true;
        }
        return false;
    };
    for (bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "transaction");
        int64_t before = 0, after = 0;
        ASSERT_TRUE(t2.count(before).ok());
        {
            std::optional<Transaction> tx;
            if (stream) ASSERT_TRUE(c.beginStream().ok());
            else tx.emplace(c);
            ASSERT_TRUE(fill());
            Record small = rec(0, "despues");
            EXPECT_FALSE(t.insert(small).ok());
            if (stream) EXPECT_FALSE(c.endStream().ok());
            else EXPECT_FALSE(tx->commit().ok());
        }
        ASSERT_TRUE(t2.count(after).ok());
        EXPECT_EQ(after, before);
        // The connection works on afterwards.
        ASSERT_TRUE(c.exec("PRAGMA max_page_count=1000000").ok());
        add(t, 0, "luego");
        ASSERT_TRUE(c.exec("PRAGMA max_page_count=" + std::to_string(pages + 2)).ok());
    }
}

TEST_F(Storage, DriverOptions) {
    Connection c(db);
    EXPECT_TRUE(c.setOption("Recover=10").ok());
    EXPECT_EQ(c.lockTimeout(), std::chrono::seconds(10));
    EXPECT_TRUE(c.setOption("QUICKSCAN=on").ok());
    EXPECT_TRUE(c.setOption("quickscan=OFF").ok());
    EXPECT_EQ(c.setOption("Recover=x").code, kUnsupported);
    EXPECT_EQ(c.setOption("Nada").code, kUnsupported);
}

TEST_F(Storage, PerThreadConnectionUsesTheConfiguredPath) {
    setDatabasePath(db);
    Connection& c = Connection::current();
    EXPECT_EQ(&c, &Connection::current());
    EXPECT_EQ(c.path(), db);
    Table t(c, def);
    EXPECT_EQ(add(t, 0, "a"), 1);
    EXPECT_TRUE(fs::exists(db));
}

// ---------------------------------------------------------------------------
// Several processes, crashes and damaged files.

using test::exitCode;
using test::spawn;

TEST_F(Storage, TwoProcessesAddingAtOnce) {
    {
        Connection c(db);  // created before the race
        Table t(c, def);
        ASSERT_TRUE(t.open().ok());
    }
    constexpr int kEach = 150;
    auto worker = [&](int base) {
        return [&, base] {
            Connection c(db);
            Table t(c, def);
            for (int i = 0; i < kEach; ++i) {
                Record r = rec(base + i, "p");
                if (!t.insert(r).ok()) return 3;
                if (i % 3 == 0) {  // reservations too
                    Record q = rec();
                    if (!t.reserve(q).ok()) return 4;
                    q.setRaw(kNoArt, base + 100000 + i);
                    if (!t.completeReservation(q).ok()) return 5;
                }
            }
            return 0;
        };
    };
    pid_t p1 = spawn(worker(1000000));
    pid_t p2 = spawn(worker(2000000));
    EXPECT_EQ(exitCode(p1), 0);
    EXPECT_EQ(exitCode(p2), 0);
    Connection c(db);
    Table t(c, def);
    std::set<long long> ids, numbers;
    Record r = rec();
    int rows = 0;
    while (t.next(r).ok()) {
        ++rows;
        ids.insert(r.raw(kId));
        numbers.insert(r.raw(kNoArt));
    }
    const int expected = 2 * (kEach + (kEach + 2) / 3);
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(static_cast<int>(ids.size()), expected);
    EXPECT_EQ(static_cast<int>(numbers.size()), expected);
    EXPECT_EQ(*ids.rbegin(), expected);
    EXPECT_TRUE(c.integrityCheck().ok());
}

TEST_F(Storage, KilledInTheMiddleOfATransaction) {
    {
        Connection c(db);
        Table t(c, def);
        for (int i = 0; i < 10; ++i) add(t, i + 1, "antes");
    }
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    pid_t pid = spawn([&] {
        Connection c(db);
        Table t(c, def);
        Transaction tx(c);
        for (int i = 0; i < 5000; ++i) {
            Record r = rec(1000 + i, "durante");
            r.setText(kNotas, std::string(150, 'x'));
            if (!t.insert(r).ok()) return 3;
        }
        char ch = 'r';
        if (write(pipefd[1], &ch, 1) != 1) return 4;
        for (;;) pause();
    });
    char ch = 0;
    ASSERT_EQ(read(pipefd[0], &ch, 1), 1);
    kill(pid, SIGKILL);
    EXPECT_EQ(exitCode(pid), 100 + SIGKILL);
    close(pipefd[0]);
    close(pipefd[1]);
    Connection c(db);
    ASSERT_TRUE(c.openStatus().ok()) << c.openStatus().text;
    EXPECT_TRUE(c.integrityCheck().ok());
    Table t(c, def);
    int64_t n = 0;
    ASSERT_TRUE(t.count(n).ok());
    EXPECT_EQ(n, 10);
    EXPECT_EQ(add(t, 0, "despues"), 11);
}

TEST_F(Storage, FolderWithoutWriteAccessOpensReadOnly) {
    {
        Connection c(db);
        Table t(c, def);
        add(t, 1, "guardado");
    }
    // As root, write access is denied only to another user.
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    ASSERT_EQ(chmod(db.c_str(), 0444), 0);
    pid_t pid = spawn([&] {
        if (geteuid() == 0 && setuid(65534) != 0) return 10;
        Connection c(db);
        if (c.openStatus().code != kAccessDenied || !c.readOnly()) return 3;
        Table t(c, def);
        if (t.open().code != kAccessDenied) return 4;
        Record r = rec(1);
        if (!t.readByKey(kKeyNoArt, r).ok() || rtrim(r.text(kNombre)) != "guardado") return 5;
        Record n = rec(2, "nuevo");
        if (t.insert(n).code != kAccessDenied) return 6;
        // A database that does not exist cannot be created there.
        Connection none(dir.file("otra.db"));
        if (none.openStatus().code != kFileNotFound) return 7;
        return 0;
    });
    EXPECT_EQ(exitCode(pid), 0);
    chmod(dir.path().c_str(), 0700);
}

TEST_F(Storage, DamagedDatabaseIsReportedNeverACrash) {
    // Garbage bytes.
    {
        std::ofstream f(db, std::ios::binary);
        for (int i = 0; i < 20000; ++i) f.put(static_cast<char>((i * 7919) & 0xff));
    }
    {
        Connection c(db);
        EXPECT_EQ(c.openStatus().code, kKeyFileMustBeRebuilt);
        EXPECT_EQ(c.openStatus().text, "Key File Must Be Rebuilt");
        Table t(c, def);
        EXPECT_EQ(t.open().code, kKeyFileMustBeRebuilt);
        Record r = rec(1);
        EXPECT_FALSE(t.readByKey(kKeyNoArt, r).ok());
        EXPECT_FALSE(c.rebuild().ok());  // not a database: cannot be repaired
    }
    // A truncated database: whatever the first report is, it is a status.
    fs::remove(db);
    {
        Connection c(db);
        Table t(c, def);
        Transaction tx(c);
        for (int i = 0; i < 3000; ++i) add(t, i + 1, "fila " + std::to_string(i));
        ASSERT_TRUE(tx.commit().ok());
        ASSERT_TRUE(c.exec("PRAGMA wal_checkpoint(TRUNCATE)").ok());
    }
    fs::resize_file(db, fs::file_size(db) / 2);
    {
        Connection c(db);
        Table t(c, def);
        bool reported = !c.openStatus().ok();
        Status st = t.open();
        reported = reported || st.code == kKeyFileMustBeRebuilt;
        Record r = rec();
        t.setOrder(kKeyNombre);
        for (;;) {
            st = t.next(r);
            if (!st.ok()) break;
        }
        reported = reported || st.code == kKeyFileMustBeRebuilt;
        EXPECT_TRUE(reported || !c.integrityCheck().ok());
        EXPECT_FALSE(c.rebuild().ok());
    }
}

TEST_F(Storage, RebuildRepairsDamagedKeys) {
    {
        Connection c(db);
        Table t(c, def);
        for (int i = 0; i < 50; ++i) add(t, i + 1, "n" + std::to_string(i));
        // Damage the name key: its entries no longer follow its definition.
        ASSERT_TRUE(c.exec("PRAGMA writable_schema=ON").ok());
        ASSERT_TRUE(
            c.exec("UPDATE sqlite_master SET sql=replace(sql,',tv_row)',' DESC,tv_row)') WHERE name='tv_Prueba_2'")
                .ok());
        ASSERT_TRUE(c.exec("PRAGMA writable_schema=OFF").ok());
    }
    Connection c(db);
    ASSERT_TRUE(c.openStatus().ok());
    Table t(c, def);  // a handle from before the rebuild keeps working
    EXPECT_EQ(c.integrityCheck().code, kKeyFileMustBeRebuilt);
    EXPECT_TRUE(c.rebuild().ok());
    EXPECT_TRUE(c.integrityCheck().ok());
    Record r = rec(0, "n7");
    ASSERT_TRUE(t.readByKey(kKeyNombre, r).ok());
    EXPECT_EQ(r.raw(kNoArt), 8);
}


// ---------------------------------------------------------------------------
// Files, permissions and stations without write access.

mode_t modeOf(const fs::path& p) {
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// The database holds the password hashes: never readable by everyone,
// whatever the umask; its journals take the same permissions.
TEST_F(Storage, NewDatabaseAndItsJournalsAreForOwnerAndGroupOnly) {
    const mode_t old = ::umask(022);
    {
        Connection c(db);
        ASSERT_TRUE(c.openStatus().ok()) << c.openStatus().text;
        Table t(c, def);
        add(t, 1, "a");
        for (const char* ext : {"", "-wal", "-shm"}) EXPECT_EQ(modeOf(db.string() + ext), 0660u) << ext;
    }
    ::umask(old);
    // They stay after the last connection closed (a station without write
    // access reads through them), the log emptied.
    EXPECT_TRUE(fs::exists(db.string() + "-wal"));
    EXPECT_TRUE(fs::exists(db.string() + "-shm"));
    EXPECT_EQ(fs::file_size(db.string() + "-wal"), 0u);
}

// A table of a million rows must not go back to the kernel for every page.
TEST_F(Storage, EveryConnectionHasALargePageCache) {
    auto cacheKiB = [](Connection& c) {
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(c.db(), "PRAGMA cache_size", -1, &s, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_step(s), SQLITE_ROW);
        long long v = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return v < 0 ? -v : v * 4;  // pages of 4 KiB
    };
    Connection c(db);
    EXPECT_GE(cacheKiB(c), 64 * 1024);
    ASSERT_TRUE(c.setOption("QUICKSCAN=on").ok());
    ASSERT_TRUE(c.setOption("QUICKSCAN=off").ok());
    EXPECT_GE(cacheKiB(c), 64 * 1024) << "the end of a quick scan keeps it";
}

// Runs `body` as another user (a station without the writer's rights);
// needs root to become that user.
bool canBecomeOthers() { return geteuid() == 0; }
template <class F>
pid_t spawnAs(uid_t uid, F body) {
    return spawn([uid, body] { return setgid(uid) == 0 && setuid(uid) == 0 ? body() : 10; });
}

// A station that may only read sees the live database: what another station
// writes while it reads, from a folder whose name holds "#", "%" and "?".
TEST_F(Storage, ReadOnlyStationReadsTheLiveDatabase) {
    if (!canBecomeOthers()) GTEST_SKIP() << "needs root to act as another user";
    const fs::path folder = dir.file("alm#1 100% ¿listo?");
    ASSERT_TRUE(fs::create_directory(folder));
    const fs::path live = folder / "talvor.db";
    {
        Connection c(live);
        ASSERT_TRUE(c.openStatus().ok()) << c.openStatus().text;
        Table t(c, def);
        add(t, 1, "guardado");
    }
    // Readable by everyone, writable by its owner only.
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    for (const char* ext : {"", "-wal", "-shm"}) {
        if (fs::exists(live.string() + ext)) {
            ASSERT_EQ(chmod((live.string() + ext).c_str(), 0644), 0);
        }
    }

    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t pid = spawnAs(65534, [&] {
        Connection c(live);
        if (c.openStatus().code != kAccessDenied || !c.readOnly()) return 3;
        Table t(c, def);
        Record r = rec(1);
        if (!t.readByKey(kKeyNoArt, r).ok() || rtrim(r.text(kNombre)) != "guardado") return 4;
        char ch = 'r';
        if (write(toParent[1], &ch, 1) != 1 || read(toChild[0], &ch, 1) != 1) return 5;
        // The other station has changed it and added one meanwhile.
        r = rec(1);
        if (!t.readByKey(kKeyNoArt, r).ok()) return 6;
        if (rtrim(r.text(kNombre)) != "cambiado") return 7;
        int64_t n = 0;
        if (!t.count(n).ok() || n != 2) return 8;
        if (!c.integrityCheck().ok()) return 9;
        return 0;
    });
    close(toParent[1]);
    close(toChild[0]);
    char ch = 0;
    if (read(toParent[0], &ch, 1) != 1) {
        EXPECT_EQ(exitCode(pid), 0) << "the reader gave up before the change";
        close(toParent[0]);
        close(toChild[1]);
        chmod(dir.path().c_str(), 0700);
        return;
    }
    {
        Connection c(live);
        ASSERT_TRUE(c.openStatus().ok()) << c.openStatus().text;
        Table t(c, def);
        Record r = rec(1);
        ASSERT_TRUE(t.readByKey(kKeyNoArt, r).ok());
        r.setText(kNombre, "cambiado");
        ASSERT_TRUE(t.update(r).ok());
        add(t, 2, "nuevo");
        ASSERT_EQ(write(toChild[1], &ch, 1), 1);
        EXPECT_EQ(exitCode(pid), 0);
    }
    close(toParent[0]);
    close(toChild[1]);
    chmod(dir.path().c_str(), 0700);
}

// Without its journal files, a folder that may not be written cannot give
// the live database: said so, never read from a snapshot.
TEST_F(Storage, ReadOnlyStationWithoutJournalFilesSaysWhy) {
    if (!canBecomeOthers()) GTEST_SKIP() << "needs root to act as another user";
    storeOneWithoutJournals();
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(db.c_str(), 0644), 0);
    pid_t pid = spawnAs(65534, [&] {
        Connection c(db);
        if (c.openStatus().ok() || c.openStatus().code == kAccessDenied) return 3;
        if (c.openStatus().text.find("-wal") == std::string::npos) return 4;
        return c.isOpen() ? 5 : 0;
    });
    EXPECT_EQ(exitCode(pid), 0);
    chmod(dir.path().c_str(), 0700);
}

// A run without write access leaves journal files it made with the
// database's permissions of the time; once the database is writable, a
// later station writes anyway. A log with contents is never removed.
TEST_F(Storage, JournalsLeftByAReadOnlyRunDoNotKeepALaterStationFromWriting) {
    if (!canBecomeOthers()) GTEST_SKIP() << "needs root to act as another user";
    storeOneWithoutJournals();
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(db.c_str(), 0444), 0);
    pid_t reader = spawnAs(65534, [&] {
        Connection c(db);
        if (c.openStatus().code != kAccessDenied) return 3;
        Table t(c, def);
        Record r = rec(1);
        return t.readByKey(kKeyNoArt, r).ok() ? 0 : 4;
    });
    ASSERT_EQ(exitCode(reader), 0);
    struct stat st{};
    ASSERT_EQ(::stat((db.string() + "-wal").c_str(), &st), 0) << "the read-only run left its log";
    ASSERT_EQ(st.st_uid, 65534u);
    ASSERT_EQ(chmod(db.c_str(), 0666), 0);  // the database is writable now
    auto writer = [&] {
        Connection c(db);
        if (!c.openStatus().ok() || c.readOnly()) return 3;
        Table t(c, def);
        Record r = rec(2, "nuevo");
        if (!t.insert(r).ok()) return 4;
        return c.integrityCheck().ok() ? 0 : 5;
    };
    EXPECT_EQ(exitCode(spawnAs(65533, writer)), 0);

    // A log with contents that this station cannot write: left as it is,
    // and the database read (read-only) rather than anything lost.
    {
        Connection c(db);
        Table t(c, def);
        add(t, 3, "en el registro");
        // A copy of the log while it holds frames.
        ASSERT_GT(fs::file_size(db.string() + "-wal"), 0u);
        fs::copy_file(db.string() + "-wal", dir.file("copia-wal"));
    }
    fs::remove(db.string() + "-wal");
    fs::rename(dir.file("copia-wal"), db.string() + "-wal");
    ASSERT_EQ(chmod((db.string() + "-wal").c_str(), 0444), 0);
    const auto size = fs::file_size(db.string() + "-wal");
    pid_t other = spawnAs(65533, [&] {
        Connection c(db);
        if (c.openStatus().code != kAccessDenied) return 3;
        Table t(c, def);
        Record r = rec(3);
        return t.readByKey(kKeyNoArt, r).ok() ? 0 : 4;
    });
    EXPECT_EQ(exitCode(other), 0);
    EXPECT_EQ(fs::file_size(db.string() + "-wal"), size);
    chmod(dir.path().c_str(), 0700);
}

// ---------------------------------------------------------------------------
// The storage's texts go into Spanish messages as their %ErrorText: the
// driver's classic texts the messages quote stay as they are ("Access
// Denied", "Key File Must Be Rebuilt", ...); every other text is the
// program's own, in Spanish, SQLite's words kept aside as the detail.
TEST_F(Storage, ItsOwnTextsAreSpanish) {
    const std::vector<std::string> quoted = {"File Not Found", "Access Denied", "Record Not Available",
                                             "Creates Duplicate Key", "Key File Must Be Rebuilt",
                                             "Unsupported File Driver Function", "Record Changed By Another Station"};
    const std::vector<std::string> english = {"the ", " is ", "not ", "database", "disk", "busy", "pending",
                                              "reservation", "rolled", "transaction", "unable", "i/o", "datatype", "mismatch", "no such",
                                              "closed", "constraint", "failed", "attempt"};
    auto spanish = [&](Status st) {
        std::string t = st.text;
        for (const std::string& q : quoted)
            for (auto at = t.find(q); at != std::string::npos; at = t.find(q)) t.erase(at, q.size());
        std::string lower = t;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return std::tolower(ch); });
        for (const std::string& w : english)
            if (lower.find(w) != std::string::npos)
                return ::testing::AssertionFailure() << "\"" << st.text << "\" says \"" << w << "\"";
        if (st.text.empty()) return ::testing::AssertionFailure() << "no text";
        return ::testing::AssertionSuccess();
    };
    Connection c(db);
    Table t(c, def);
    add(t, 1, "uno");
    {
        SCOPED_TRACE("another station holds the write lock");
        Connection other(db);
        Transaction held(other);
        ASSERT_TRUE(held.ok());
        Transaction tx(c, std::chrono::milliseconds(0));
        EXPECT_EQ(tx.status().code, kLockTimeout);
        EXPECT_TRUE(spanish(tx.status()));
    }
    {
        SCOPED_TRACE("a number reserved twice");
        Record r = rec(0, "reservado");
        ASSERT_TRUE(t.reserve(r).ok());
        const Status again = t.reserve(r);
        EXPECT_FALSE(again.ok());
        EXPECT_TRUE(spanish(again));
        ASSERT_TRUE(t.cancelReservation().ok());
    }
    {
        SCOPED_TRACE("SQLite's own refusal");
        const Status st = c.exec("INSERT INTO Prueba(tv_row) VALUES('x')");
        EXPECT_EQ(st.code, kFileSystemError);
        EXPECT_TRUE(spanish(st));
        EXPECT_FALSE(st.detail.empty()) << "SQLite's words are kept for the log";
    }
    {
        SCOPED_TRACE("a rule's refusal in its own words");
        ASSERT_TRUE(c.exec("CREATE TRIGGER regla BEFORE DELETE ON Prueba BEGIN SELECT RAISE(ABORT, "
                           "'no se borra'); END").ok());
        Record r = rec(1);
        ASSERT_TRUE(t.readByKey(kKeyNoArt, r).ok());
        const Status st = t.deleteCurrent();
        EXPECT_EQ(st.text, "no se borra");
        ASSERT_TRUE(c.exec("DROP TRIGGER regla").ok());
    }
    {
        SCOPED_TRACE("a commit with nothing begun, a connection that is not open");
        Transaction tx(c);
        ASSERT_TRUE(tx.commit().ok());
        EXPECT_TRUE(spanish(tx.commit()));
        Connection nowhere(dir.file("no-existe") / "talvor.db");
        EXPECT_FALSE(nowhere.openStatus().ok());
        EXPECT_TRUE(spanish(nowhere.exec("SELECT 1")));
    }
    {
        SCOPED_TRACE("every SQLite result and system error the storage can meet");
        for (int rc = 1; rc <= 26; ++rc) EXPECT_TRUE(spanish(detail::statusFor(rc, "some english words"))) << rc;
        for (int err : {EACCES, ENOSPC, EROFS, ENOENT, EIO, ESTALE})
            EXPECT_TRUE(spanish(Status::make(kFileSystemError, detail::systemWords(err)))) << err;
    }
}

// ---------------------------------------------------------------------------
// A full disk is said as such: in a single write, a reservation, a unit of
// work (its later writes and its commit) and stream mode alike.
TEST_F(Storage, FullDiskIsReportedAsSuch) {
    Connection c(db);
    Table t(c, def);
    add(t, 0, "antes");
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(c.db(), "PRAGMA page_count", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    const int pages = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    auto full = [&] { ASSERT_TRUE(c.exec("PRAGMA max_page_count=" + std::to_string(pages + 1)).ok()); };
    auto room = [&] { ASSERT_TRUE(c.exec("PRAGMA max_page_count=1000000").ok()); };
    auto big = [&] {
        Record r = rec(0, "relleno");
        r.setText(kNotas, std::string(200, 'x'));
        return r;
    };
    // Fills the database until a write fails; that failure.
    auto fill = [&] {
        for (int i = 0; i < 2000; ++i) {
            Record r = big();
            Status st = t.insert(r);
            if (!st.ok()) return st;
        }
        return Status{};
    };
    full();
    {
        SCOPED_TRACE("single write");
        Status st = fill();
        EXPECT_EQ(st.code, kDiskFull);
        EXPECT_NE(st.text.find("Disco lleno"), std::string::npos) << st.text;
    }
    {
        SCOPED_TRACE("reservation");
        Record r = big();
        Status st;
        for (int i = 0; i < 2000 && st.ok(); ++i) {
            st = t.reserve(r);
            if (st.ok()) st = t.completeReservation(r);
        }
        EXPECT_EQ(st.code, kDiskFull);
    }
    for (bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "unit of work");
        std::optional<Transaction> tx;
        if (stream) ASSERT_TRUE(c.beginStream().ok());
        else tx.emplace(c);
        Status st = fill();
        EXPECT_EQ(st.code, kDiskFull);
        Record small = rec(0, "despues");
        EXPECT_EQ(t.insert(small).code, kDiskFull);
        Status end = stream ? c.endStream() : tx->commit();
        EXPECT_EQ(end.code, kDiskFull) << end.text;
    }
    room();
    add(t, 0, "luego");
}
}  // namespace
}  // namespace tv::storage
