// The table layer on the server: the same operations give the same answers
// and messages as on talvor.db, both run here side by side.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/storage/driver.h"
#include "platform/storage/storage.h"
#include "platform/types/text.h"
#include "tests/platform/storage/storage_fixture.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_server.h"

namespace tv::storage {
namespace {

struct BothStores : ::testing::Test {
    test::ServerSchema schema;
    test::ScratchDir dir;
    std::shared_ptr<const TableDef> def = pruebaDef();

    void SetUp() override { TV_REQUIRE_SERVER(schema); }

    std::unique_ptr<Connection> open(bool server) {
        if (server) return std::make_unique<Connection>(Connection::Server{schema.conninfo()});
        return std::make_unique<Connection>(dir.file("talvor.db"));
    }
    Record rec(long long noArt, const std::string& nombre, const std::string& codigo = "", long long monto = 0) {
        Record r(def->layout);
        r.setRaw(kNoArt, noArt);
        r.setText(kNombre, nombre);
        r.setText(kCodigo, codigo);
        r.setRaw(kMonto, monto);
        return r;
    }
    // What a run of operations said, one line each, to compare the stores.
    std::vector<std::string> run(bool server, const std::function<void(Connection&, Table&, std::vector<std::string>&)>& ops) {
        auto c = open(server);
        EXPECT_TRUE(c->openStatus().ok()) << c->openStatus().text;
        Table t(*c, def);
        std::vector<std::string> out;
        ops(*c, t, out);
        return out;
    }
    static std::string said(const Status& st) {
        return st.ok() ? "ok" : std::to_string(st.code) + " " + st.text + " k" + std::to_string(st.keyIndex);
    }
    static std::string line(const Record& r) {
        return std::to_string(r.raw(kId)) + "|" + std::to_string(r.raw(kNoArt)) + "|" +
               std::string(rtrim(r.text(kNombre))) + "|" + std::string(rtrim(r.text(kCodigo))) + "|" +
               std::to_string(r.raw(kMonto));
    }
};

// Keys, no-case order and equality, optional keys, duplicates, exact
// decimals, reading both ways and by position: one script, both stores.
TEST_F(BothStores, KeysOrdersAndDuplicatesAnswerAlike) {
    auto script = [&](Connection& c, Table& t, std::vector<std::string>& out) {
        const struct {
            long long noArt;
            const char* nombre;
            const char* codigo;
            long long monto;
        } rows[] = {{10, "ñandú", "b-1", 12345678901}, {20, "Ñandu", "", -5}, {0, "árbol  ", "A-1", 1},
                    {30, "zorro", "a-2", 99}, {40, "ZORRO", "", 0}, {50, "Ábaco", "x", 7}};
        for (const auto& r : rows) {
            Record x = rec(r.noArt, r.nombre, r.codigo, r.monto);
            const std::string st = said(t.insert(x));
            out.push_back("insert " + st + " " + std::to_string(x.raw(kId)));
        }
        // Duplicates: the number (key 1) and a code differing only in case and blanks (key 3).
        Record dup = rec(10, "otro");
        out.push_back("dup number " + said(t.insert(dup)));
        Record dupCode = rec(60, "otro", "B-1  ");
        out.push_back("dup code " + said(t.insert(dupCode)));
        // Inside a unit a refused write leaves the unit going.
        {
            Transaction tx(c);
            Record a = rec(70, "en unidad");
            out.push_back("unit insert " + said(t.insert(a)));
            Record b = rec(70, "repetido");
            out.push_back("unit dup " + said(t.insert(b)));
            out.push_back("unit commit " + said(tx.commit()));
        }
        for (int key : {int(kKeyNombre), int(kKeyCodigo), int(kKeyNoArt), Table::kRecordOrder}) {
            t.setOrder(key);
            Record r(def->layout);
            std::string fwd, back;
            while (t.next(r).ok()) fwd += line(r) + ";";
            while (t.previous(r).ok()) back += line(r) + ";";
            out.push_back("order " + std::to_string(key) + " " + fwd);
            out.push_back("back " + std::to_string(key) + " " + back);
        }
        // No-case lookups ignore case, accents' case and trailing blanks.
        Record probe = rec(0, "ÑANDÚ   ");
        std::string st = said(t.readByKey(kKeyNombre, probe));
        out.push_back("by name " + st + " " + line(probe));
        Record byCode = rec(0, "", "A-2");
        st = said(t.readByKey(kKeyCodigo, byCode));
        out.push_back("by code " + st + " " + line(byCode));
        // A position between equal values goes on from there, both ways.
        Record pos = rec(0, "zorro");
        t.setPosition(kKeyNombre, pos);
        Record r(def->layout);
        st = said(t.next(r));
        out.push_back("from zorro " + st + " " + line(r));
        st = said(t.next(r));
        out.push_back("then " + st + " " + line(r));
        t.setPosition(kKeyNombre, pos);
        st = said(t.previous(r));
        out.push_back("before zorro " + st + " " + line(r));
        int64_t n = 0;
        st = said(t.count(n));
        out.push_back("count " + st + " " + std::to_string(n));
    };
    const auto file = run(false, script);
    const auto server = run(true, script);
    EXPECT_EQ(file, server);
    // The script really met what it is about.
    ASSERT_GE(file.size(), 9u);
    EXPECT_EQ(file[0], "insert ok 1");
    EXPECT_EQ(file[6], "dup number 40 Creates Duplicate Key k1");
    EXPECT_EQ(file[7], "dup code 40 Creates Duplicate Key k3");
    EXPECT_EQ(file[9], "unit dup 40 Creates Duplicate Key k1");
    EXPECT_EQ(file[10], "unit commit ok");
}

// The change check against another station, a delete meanwhile, and an
// update of a few fields: the same statuses and the other's version shown.
TEST_F(BothStores, ChangeCheckAgainstAnotherStation) {
    for (bool server : {false, true}) {
        SCOPED_TRACE(server ? "server" : "file");
        auto a = open(server), b = open(server);
        Table ta(*a, def), tb(*b, def);
        Record r = rec(1, "uno", "", 100);
        ASSERT_TRUE(ta.insert(r).ok());
        Record rb = rec(1, "");
        ASSERT_TRUE(tb.readByKey(kKeyNoArt, rb).ok());
        r.setText(kNombre, "cambiado por A");
        ASSERT_TRUE(ta.update(r).ok());
        rb.setText(kNombre, "cambiado por B");
        Status st = tb.update(rb);
        EXPECT_EQ(st.code, kRecordChanged);
        EXPECT_EQ(rtrim(rb.text(kNombre)), "cambiado por A");
        // Now watched anew: B's next change goes through, a field at a time.
        rb.setRaw(kMonto, 250);
        EXPECT_TRUE(tb.update(rb, {kMonto}).ok());
        Record back = rec(1, "");
        ASSERT_TRUE(ta.readByKey(kKeyNoArt, back).ok());
        EXPECT_EQ(back.raw(kMonto), 250);
        EXPECT_EQ(rtrim(back.text(kNombre)), "cambiado por A");
        ASSERT_TRUE(ta.deleteCurrent().ok());
        EXPECT_EQ(tb.update(rb).code, kRecordNotAvailable);
    }
}

// A number reserved on one station is seen by the others at once, and a
// cancelled one is never given again.
TEST_F(BothStores, ReservationsSeenByOthersAtOnce) {
    for (bool server : {false, true}) {
        SCOPED_TRACE(server ? "server" : "file");
        auto a = open(server), b = open(server);
        Table ta(*a, def), tb(*b, def);
        Record r = rec(0, "");
        ASSERT_TRUE(ta.reserve(r).ok());
        EXPECT_EQ(r.raw(kId), 1);
        int64_t next = 0;
        ASSERT_TRUE(tb.peekNextNumber(next).ok());
        EXPECT_EQ(next, 2);
        ASSERT_TRUE(ta.cancelReservation().ok());
        Record s = rec(5, "x");
        ASSERT_TRUE(tb.insert(s).ok());
        EXPECT_EQ(s.raw(kId), 2);
    }
}

TEST_F(BothStores, DecimalsAreExactOnTheServer) {
    auto c = open(true);
    Table t(*c, def);
    // 11 digits with 2 places: beyond what a binary float keeps of every cent.
    Record r = rec(1, "caro", "", 98765432199);
    ASSERT_TRUE(t.insert(r).ok());
    Record back = rec(1, "");
    ASSERT_TRUE(t.readByKey(kKeyNoArt, back).ok());
    EXPECT_EQ(back.raw(kMonto), 98765432199);
    EXPECT_EQ(schema.adminValue("SELECT data_type FROM information_schema.columns WHERE table_schema = '" +
                                schema.name() + "' AND table_name = 'Prueba' AND column_name = 'Monto'"),
              "numeric");
    EXPECT_EQ(schema.adminValue("SELECT \"Monto\"::text FROM \"" + schema.name() + "\".\"Prueba\""), "987654321.99");
}

// The tables of a new database are made in one unit: a station that finds
// them missing makes them all, and a second start writes nothing.
TEST_F(BothStores, TablesMadeInOneUnit) {
    auto c = open(true);
    auto other = std::make_shared<TableDef>(*pruebaDef("OTR"));
    other->table = "Otra";
    ASSERT_TRUE(createTables(*c, {def, other}).ok());
    EXPECT_EQ(schema.adminValue("SELECT count(*) FROM pg_tables WHERE schemaname = '" + schema.name() +
                                "' AND tablename IN ('Prueba', 'Otra')"),
              "2");
    EXPECT_EQ(schema.adminValue("SELECT count(*) FROM pg_indexes WHERE schemaname = '" + schema.name() +
                                "' AND indexname LIKE 'tv_Prueba_%'"),
              "5");
    auto again = open(true);
    ASSERT_TRUE(createTables(*again, {def, other}).ok());
}

// A decimal column stored by an older declaration with other digits or
// places: the start's unit widens what is narrower than the field now,
// every stored value kept; nothing is ever cut or rounded.
TEST_F(BothStores, ADecimalColumnStoredNarrowerIsWidenedAtStartKeepingItsValues) {
    struct Case {
        int digits, places;             // as stored
        long long raw;                  // a value stored then (scaled by its places)
        const char* type;               // the column's type after the start
        const char* kept;               // and the value, as the server writes it
    };
    const Case cases[] = {
        {9, 2, 999999999, "numeric(11,2)", "9999999.99"},       // fewer digits: widened
        {11, 1, 9999999999, "numeric(12,2)", "999999999.90"},   // more whole digits, fewer places
        {13, 4, 1234567891234, "numeric(13,4)", "123456789.1234"},  // wider: kept as it is
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.type);
        auto stored = std::make_shared<TableDef>(*def);
        std::vector<FieldSpec> fields = stored->layout->fields();
        fields[kMonto].size = k.digits;
        fields[kMonto].places = k.places;
        stored->layout = std::make_shared<RecordLayout>("Prueba", "PRU", fields);
        {
            auto c = open(true);
            ASSERT_TRUE(c->exec("DROP TABLE IF EXISTS \"Prueba\"").ok());
            Table t(*c, stored);
            Record r(stored->layout);
            r.setRaw(kNoArt, 1);
            r.setRaw(kMonto, k.raw);
            ASSERT_TRUE(t.insert(r).ok());
        }
        auto c = open(true);
        ASSERT_TRUE(createTables(*c, {def}).ok());
        EXPECT_EQ(schema.adminValue("SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = '\"" +
                                    schema.name() + "\".\"Prueba\"'::regclass AND attname = 'Monto'"),
                  k.type);
        EXPECT_EQ(schema.adminValue("SELECT \"Monto\"::text FROM \"" + schema.name() + "\".\"Prueba\""), k.kept);
        Table t(*c, def);
        bool missing = true;
        ASSERT_TRUE(t.checkSchema(missing).ok());
        EXPECT_FALSE(missing) << "a second start changes nothing";
    }
}

// The integrity check finds an index the server does not use, naming it;
// the key rebuild makes it whole again, and the rows stay as they were.
TEST_F(BothStores, TheIntegrityCheckNamesAnIndexNotValidAndTheRebuildMendsIt) {
    auto c = open(true);
    Table t(*c, def);
    for (long long n : {1, 2, 3}) {
        Record r = rec(n, "fila " + std::to_string(n), "C" + std::to_string(n));
        ASSERT_TRUE(t.insert(r).ok());
    }
    EXPECT_TRUE(c->integrityCheck().ok());
    const std::string index = "\"" + schema.name() + "\".\"tv_Prueba_2\"";
    ASSERT_TRUE(schema.admin("UPDATE pg_index SET indisvalid = false WHERE indexrelid = '" + index + "'::regclass"));
    Status st = c->integrityCheck();
    EXPECT_EQ(st.code, kKeyFileMustBeRebuilt);
    EXPECT_NE(st.detail.find("tv_Prueba_2"), std::string::npos) << st.detail;
    EXPECT_EQ(st.detail.find("tv_Prueba_1"), std::string::npos) << "only what is wrong: " << st.detail;

    EXPECT_TRUE(c->rebuild().ok());
    EXPECT_EQ(schema.adminValue("SELECT indisvalid FROM pg_index WHERE indexrelid = '" + index + "'::regclass"), "t");
    EXPECT_TRUE(c->integrityCheck().ok());
    Record back = rec(0, "FILA 2");
    ASSERT_TRUE(t.readByKey(kKeyNombre, back).ok()) << "read through the rebuilt key";
    EXPECT_EQ(back.raw(kNoArt), 2);
}

// A table the server cannot read whole is named, and the others are not.
TEST_F(BothStores, TheIntegrityCheckNamesATableThatCannotBeReadWhole) {
    auto c = open(true);
    Table t(*c, def);
    Record r = rec(1, "uno");
    ASSERT_TRUE(t.insert(r).ok());
    // A stored value the server can no longer read, as a damaged one: an
    // enumeration whose label went away.
    const std::string s = "\"" + schema.name() + "\".";
    ASSERT_TRUE(schema.admin("CREATE TYPE " + s + "color AS ENUM ('rojo'); CREATE TABLE " + s +
                             "\"Rota\"(c " + s + "color); INSERT INTO " + s + "\"Rota\" VALUES ('rojo'); "
                             "DELETE FROM pg_enum WHERE enumtypid = '" + s + "color'::regtype"));
    Status st = c->integrityCheck();
    EXPECT_EQ(st.code, kKeyFileMustBeRebuilt);
    EXPECT_NE(st.detail.find("Rota"), std::string::npos) << st.detail;
    EXPECT_EQ(st.detail.find("Prueba"), std::string::npos) << st.detail;
    ASSERT_TRUE(schema.admin("DROP TABLE " + s + "\"Rota\""));
    EXPECT_TRUE(c->integrityCheck().ok());
}

TEST_F(BothStores, UnreachableServerIsNamedAndNoFileIsMade) {
    test::WorkingDir wd(dir.path());
    setDatabaseServer("host=" + dir.path().string() + " port=1 dbname=almacen connect_timeout=2");
    Connection& c = Connection::current();
    setDatabaseServer("");
    EXPECT_EQ(c.openStatus().code, kFileSystemError);
    EXPECT_NE(c.openStatus().text.find("No se pudo conectar con el servidor de datos"), std::string::npos)
        << c.openStatus().text;
    EXPECT_NE(c.openStatus().text.find(":1/almacen"), std::string::npos) << c.openStatus().text;
    EXPECT_FALSE(std::filesystem::exists(dir.file("talvor.db")));
    Table t(c, def);
    EXPECT_EQ(t.open().code, kFileSystemError);
}

// A role that may only read: the tables are read, every write is refused
// as on a file this station cannot write.
TEST_F(BothStores, ReadOnlyRoleWorksReadOnly) {
    {
        auto c = open(true);
        Table t(*c, def);
        Record r = rec(1, "guardado");
        ASSERT_TRUE(t.insert(r).ok());
    }
    const std::string role = "tv_ro_" + schema.name();
    std::string err;
    ASSERT_TRUE(schema.admin("DROP ROLE IF EXISTS " + role + "; CREATE ROLE " + role + " LOGIN; GRANT USAGE ON SCHEMA " +
                                 schema.name() + " TO " + role + "; GRANT SELECT ON ALL TABLES IN SCHEMA " +
                                 schema.name() + " TO " + role,
                             &err))
        << err;
    Connection ro(Connection::Server{schema.conninfo() + " user=" + role});
    EXPECT_EQ(ro.openStatus().code, kAccessDenied) << ro.openStatus().text;
    EXPECT_TRUE(ro.readOnly());
    Table t(ro, def);
    Record r = rec(1, "");
    EXPECT_TRUE(t.readByKey(kKeyNoArt, r).ok());
    EXPECT_EQ(rtrim(r.text(kNombre)), "guardado");
    Record n = rec(2, "nuevo");
    EXPECT_EQ(t.insert(n).code, kAccessDenied);
    schema.admin("REVOKE ALL ON ALL TABLES IN SCHEMA " + schema.name() + " FROM " + role + "; REVOKE USAGE ON SCHEMA " +
                 schema.name() + " FROM " + role + "; DROP ROLE " + role);
}

// The server gone in the middle of a unit (its session ended, as when it
// restarts): the unit says so naming the server, nothing of it is stored,
// and the next unit connects again.
TEST_F(BothStores, ServerLostMidUnitStoresNothingAndTheNextUnitReconnects) {
    auto c = open(true);
    Table t(*c, def);
    Record first = rec(1, "antes");
    ASSERT_TRUE(t.insert(first).ok());
    {
        Transaction tx(*c);
        ASSERT_TRUE(tx.ok());
        Record a = rec(2, "a medias");
        ASSERT_TRUE(t.insert(a).ok());
        // Only this connection's session: tests running at once on the same
        // server have sessions in a unit too.
        Status failure;
        std::unique_ptr<Statement> pid = c->driver().prepare("SELECT pg_backend_pid()", failure);
        ASSERT_TRUE(pid) << failure.text;
        ASSERT_EQ(pid->step(), Statement::Step::Row);
        const std::string backend = std::to_string(pid->columnInt(0));
        pid.reset();
        ASSERT_EQ(schema.adminValue("SELECT count(pg_terminate_backend(pid, 5000)) FROM pg_stat_activity WHERE pid = " +
                                    backend + " AND state = 'idle in transaction'"),
                  "1");
        Record b = rec(3, "después");
        Status st = t.insert(b);
        EXPECT_EQ(st.code, kFileSystemError);
        EXPECT_NE(st.text.find("Se perdió la conexión con el servidor de datos"), std::string::npos) << st.text;
        EXPECT_FALSE(tx.commit().ok());
    }
    Record again = rec(4, "otra vez");
    EXPECT_TRUE(t.insert(again).ok());
    EXPECT_EQ(schema.adminValue("SELECT string_agg(\"Nombre\", ',' ORDER BY tv_row) FROM \"" + schema.name() +
                                "\".\"Prueba\""),
              "antes,otra vez");
}

}  // namespace
}  // namespace tv::storage
