// A declared table made on the server: keys with the layer's rules (no-case
// equality, pending reservations and blank optional values outside unique
// keys), exact decimals, seeks the key's index serves, a connection's own
// table that nobody else sees.
#include <gtest/gtest.h>

#include "platform/storage/server/pg_errors.h"
#include "platform/storage/server/pg_sql.h"
#include "tests/platform/storage/server/server_fixture.h"

namespace tv::storage::server {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<TableDef> sampleDef(bool privateTable = false) {
    auto lay = std::make_shared<RecordLayout>(
        "Muestra", "MUE",
        std::vector<FieldSpec>{{"MUE:Codigo", FieldType::String, 10, 0},
                               {"MUE:Numero", FieldType::Decimal, 9, 0},
                               {"MUE:Nombre", FieldType::String, 30, 0},
                               {"MUE:Opcional", FieldType::String, 5, 0},
                               {"MUE:Importe", FieldType::Decimal, 15, 2},
                               {"MUE:Fecha", FieldType::Date, 0, 0}});
    auto def = std::make_shared<TableDef>();
    def->table = privateTable ? "Temporal" : "Muestra";
    def->layout = lay;
    def->keys = {{"MUE:KeyCodigo", {0}, true, true, false, false},
                 {"MUE:KeyNumero", {1}, true, false, false, true},
                 {"MUE:KeyNombre", {2, 5}, false, true, false, false},
                 {"MUE:KeyOpcional", {3}, true, false, true, false}};
    def->connectionPrivate = privateTable;
    return def;
}

class PgTables : public test::ServerTest {
protected:
    std::shared_ptr<TableDef> def = sampleDef();
    PgConnection::Statement ins;
    int64_t nextNumber = 1;

    void SetUp() override {
        ServerTest::SetUp();
        if (stopped()) return;
        installFunctions();
        make(*c, *def);
        make(*c, *def);  // a second time changes nothing
        ASSERT_TRUE(c->prepare(serverPlaceholders("INSERT INTO \"Muestra\"(\"Codigo\",\"Numero\",\"Nombre\","
                                                  "\"Opcional\",\"Importe\",\"Fecha\",tv_pending) "
                                                  "VALUES(?,?,?,?,?,?,?)"),
                               7, ins)
                        .ok());
    }

    static void make(PgConnection& on, const TableDef& d) {
        ASSERT_TRUE(on.beginUnit(5s).ok());
        ASSERT_TRUE(on.execScript(serverAutoNumberTableSql()).ok());
        for (const std::string& sql : serverTableSql(d)) {
            Status st = on.execScript(sql);
            ASSERT_TRUE(st.ok()) << sql << ": " << st.text;
        }
        ASSERT_TRUE(on.commit().ok());
    }

    Status add(const std::string& code, const std::string& name, const std::string& opt, int64_t cents = 0,
               bool pending = false) {
        return c->run(ins, PgParams()
                               .add(code)
                               .add(nextNumber++)
                               .add(name)
                               .add(opt)
                               .addScaled(cents, 2)
                               .add(int64_t{80000})
                               .add(pending ? 1 : 0));
    }
};

TEST_F(PgTables, KeysRefuseWhatTheLayersKeysRefuse) {
    ASSERT_TRUE(add("abc", "uno", "").ok());
    struct Case {
        const char* code;
        const char* opt;
        bool pending;
        int duplicatedKey;   // -1: stored
    } cases[] = {
        {"ABC", "", false, 0},          // no-case key: letter case does not count
        {"abc  ", "", false, 0},        // nor trailing blanks
        {"Cañón", "", false, -1},
        {"CAÑÓN", "", false, 0},        // nor the accented pairs
        {"canon", "", false, -1},
        {"abc", "", true, -1},          // a pending reservation is outside the unique keys
        {"x1", "", false, -1},          // a blank optional value is outside its key
        {"x2", "k", false, -1},
        {"x3", "k", false, 3},
        {"x4", "K", false, -1},         // a key that minds letter case
    };
    for (const Case& k : cases) {
        Status st = add(k.code, "n", k.opt, 0, k.pending);
        if (k.duplicatedKey < 0) {
            EXPECT_TRUE(st.ok()) << k.code << ": " << st.text;
            continue;
        }
        EXPECT_EQ(st.code, kCreatesDuplicateKey) << k.code;
        EXPECT_EQ(keyIndexFromIndexName(st.detail, def->table), k.duplicatedKey) << k.code << ": " << st.detail;
    }
    // The auto-numbered key holds pending records too.
    --nextNumber;
    EXPECT_EQ(add("y", "n", "").code, kCreatesDuplicateKey);
}

TEST_F(PgTables, DecimalsAreExactAndSeeksUseTheKeysIndex) {
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(add("c" + std::to_string(i), i % 2 ? "Nombre" : "nombre", "", 999999999999999 - i).ok());
    PgResult r;
    ASSERT_TRUE(c->exec("SELECT \"Importe\" FROM \"Muestra\" ORDER BY tv_row LIMIT 1", {}, &r).ok());
    EXPECT_EQ(r.text(0, 0), "9999999999999.99");
    EXPECT_EQ(r.scaled(0, 0, 2), 999999999999999);
    // The next record after (NOMBRE, date, row 50) in the order of the
    // no-case key with duplicates: a range on its index, never a sort.
    const std::string seek = serverPlaceholders(
        "SELECT tv_row FROM \"Muestra\" WHERE (" + serverKeyExpr(*def, 2, 0) + ",\"Fecha\",tv_row) > "
        "(tv_nocase(?1),?2,?3) ORDER BY " + serverKeyExpr(*def, 2, 0) + ",\"Fecha\",tv_row LIMIT 1");
    PgParams p;
    p.add("NOMBRE").add(int64_t{80000}).add(int64_t{50});
    ASSERT_TRUE(c->exec(seek, p, &r).ok());
    ASSERT_EQ(r.rows(), 1);
    EXPECT_EQ(r.int64(0, 0), 51);
    ASSERT_TRUE(c->execScript("ANALYZE \"Muestra\"").ok());
    ASSERT_TRUE(c->exec("EXPLAIN " + seek, p, &r).ok());
    std::string plan;
    for (int i = 0; i < r.rows(); ++i) plan += std::string(r.text(i, 0)) + "\n";
    EXPECT_NE(plan.find(serverIndexName(*def, 2)), std::string::npos) << plan;
    EXPECT_EQ(plan.find("Sort"), std::string::npos) << plan;
}

TEST_F(PgTables, AConnectionsOwnTableIsItsAlone) {
    auto own = sampleDef(true);
    PgConnection other(schema.conninfo());
    make(*c, *own);
    ASSERT_TRUE(c->exec("INSERT INTO \"Temporal\"(\"Codigo\",\"Numero\") VALUES('a',1)").ok());
    PgResult r;
    EXPECT_FALSE(other.exec("SELECT count(*) FROM \"Temporal\"", {}, &r).ok());
    make(other, *own);
    ASSERT_TRUE(other.exec("SELECT count(*) FROM \"Temporal\"", {}, &r).ok());
    EXPECT_EQ(r.int64(0, 0), 0);
    c->close();
    ASSERT_TRUE(c->open().ok());
    EXPECT_FALSE(c->exec("SELECT count(*) FROM \"Temporal\"", {}, &r).ok()) << "gone with the session";
}

}  // namespace
}  // namespace tv::storage::server
