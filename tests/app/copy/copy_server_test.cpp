// Copies between talvor.db and the test server: the round trip, the
// refusals, and copies that fail or are killed midway.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "app/copy/copy_command.h"
#include "app/copy/copy_plan.h"
#include "app/copy/copy_server.h"
#include "app/copy/copy_tables.h"
#include "platform/storage/server/pg_connection.h"
#include "platform/storage/server/pg_sql.h"
#include "platform/storage/sql_util.h"
#include "platform/types/text.h"
#include "tests/app/copy/copy_fixture.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_server.h"

namespace tv::copy {
namespace {

namespace fs = std::filesystem;
using storage::Status;
using storage::server::PgConnection;
using storage::server::PgResult;

std::vector<std::string> tablesThere(const std::string& conninfo) {
    PgConnection pg(conninfo);
    EXPECT_TRUE(pg.open().ok());
    std::vector<std::string> there;
    EXPECT_TRUE(detail::programTablesThere(pg, there).ok());
    return there;
}

// Every relation and function in the schema: a failed copy leaves none.
std::string schemaObjects(const tv::test::ServerSchema& s) {
    return s.adminValue("SELECT (SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                        "WHERE n.nspname = '" + s.name() + "') + (SELECT count(*) FROM pg_proc p JOIN pg_namespace n "
                        "ON n.oid = p.pronamespace WHERE n.nspname = '" + s.name() + "')");
}

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

const detail::TablePlan& planOf(const std::string& table) {
    for (const detail::TablePlan& t : detail::tablePlans())
        if (t.table == table) return t;
    throw std::runtime_error("no table " + table);
}

class CopyServer : public ::testing::Test {
protected:
    void SetUp() override {
        TV_REQUIRE_SERVER(schema);
        fs::create_directory(dir.file("origen"));
        fs::create_directory(dir.file("destino"));
        source = dir.file("origen") / "talvor.db";
        target = dir.file("destino") / "talvor.db";
        filled = test::fillDatabase(source);
    }

    tv::test::ServerSchema schema;
    tv::test::ScratchDir dir;
    fs::path source, target;
    test::Filled filled;
    CopyReport report;
};

TEST_F(CopyServer, RoundTripGivesTheSameRecordsKeysAndCounters) {
    Status st = copyToServer(source, schema.conninfo(), report);
    ASSERT_TRUE(st.ok()) << st.text;
    EXPECT_EQ(report.tables.size(), detail::tablePlans().size());
    EXPECT_EQ(report.reservationsLeftOut, 1);

    PgConnection pg(schema.conninfo());
    ASSERT_TRUE(pg.open().ok());
    // Decimals exact on the server, keys as its indexes, row numbering after the copied rows.
    for (const detail::TablePlan& t : detail::tablePlans()) {
        for (size_t i = 0; i < t.cols.size(); ++i) {
            if (t.cols[i].kind != detail::ColKind::Decimal) continue;
            PgResult r;
            ASSERT_TRUE(pg.exec("SELECT " + storage::detail::quoteId(t.cols[i].name) + "::text FROM " +
                                    storage::detail::quoteId(t.table) + " ORDER BY tv_row",
                                {}, &r)
                            .ok());
            ASSERT_EQ(r.rows(), 3) << t.table;
            for (int n = 0; n < 3; ++n)
                EXPECT_EQ(r.text(n, 0), storage::server::scaledText(test::filledDecimal(n, t.cols[i].places),
                                                                    t.cols[i].places))
                    << t.table << "." << t.cols[i].name;
        }
        PgResult r;
        ASSERT_TRUE(pg.exec("SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema() AND tablename = $1 "
                            "AND indexname LIKE 'tv\\_%'",
                            storage::server::PgParams().add(t.table), &r)
                        .ok());
        EXPECT_EQ(r.int64(0, 0), static_cast<int64_t>(t.def->keys.size())) << t.table;
    }
    PgResult next;
    ASSERT_TRUE(pg.exec("SELECT nextval(pg_get_serial_sequence('\"Articulo\"', 'tv_row'))", {}, &next).ok());
    EXPECT_EQ(next.int64(0, 0), 4);
    // A no-case key refuses the same text in other letters.
    const detail::TablePlan* keyed = nullptr;
    int key = -1;
    for (const detail::TablePlan& t : detail::tablePlans()) {
        for (size_t k = 0; k < t.def->keys.size() && key < 0; ++k) {
            const storage::KeyDef& kd = t.def->keys[k];
            if (kd.unique && kd.noCase && kd.fields.size() == 1 &&
                t.cols[static_cast<size_t>(kd.fields[0])].kind == detail::ColKind::Text)
                key = static_cast<int>(k);
        }
        if (key >= 0) {
            keyed = &t;
            break;
        }
    }
    ASSERT_NE(keyed, nullptr);
    const detail::TablePlan& art = *keyed;
    const std::string table = storage::detail::quoteId(art.table);
    const std::string col = art.cols[static_cast<size_t>(art.def->keys[static_cast<size_t>(key)].fields[0])].name;
    PgResult stored;
    ASSERT_TRUE(pg.exec("SELECT " + storage::detail::quoteId(col) + " FROM " + table + " ORDER BY tv_row LIMIT 1", {},
                        &stored)
                    .ok());
    std::string other(stored.text(0, 0));
    for (char& ch : other) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    other = std::string(other) + "   ";
    ASSERT_TRUE(pg.beginUnit(std::chrono::seconds(5)).ok());
    st = pg.exec("INSERT INTO " + table + "(" + storage::detail::quoteId(col) + ") VALUES($1)",
                 storage::server::PgParams().add(other));
    pg.rollback();
    EXPECT_EQ(st.code, storage::kCreatesDuplicateKey) << st.text;
    // The index is named aside; the text is the one both stores give.
    EXPECT_NE(st.detail.find(storage::server::serverIndexName(*art.def, key)), std::string::npos) << st.detail;

    st = copyToFile(schema.conninfo(), target, report);
    ASSERT_TRUE(st.ok()) << st.text;
    EXPECT_EQ(filesIn(target.parent_path()), std::set<std::string>{"talvor.db"});
    const std::vector<std::string> before = test::dumpDatabase(source), after = test::dumpDatabase(target);
    EXPECT_EQ(before, after);
    EXPECT_GT(before.size(), 3 * detail::tablePlans().size());

    // On the new file: the no-case key finds the record in other letters,
    // and the reserved number is not given again.
    storage::Connection c(target);
    ASSERT_TRUE(c.openStatus().ok()) << c.openStatus().text;
    storage::Table articles(c, art.def);
    Record rec(art.def->layout);
    rec.setText(art.def->keys[static_cast<size_t>(key)].fields[0], other);
    EXPECT_TRUE(articles.readByKey(key, rec).ok());
    const detail::TablePlan& reserved = planOf(filled.reservedTable);
    storage::Table numbered(c, reserved.def);
    Record fresh(reserved.def->layout);
    ASSERT_TRUE(numbered.insert(fresh).ok());
    EXPECT_EQ(fresh.raw(reserved.def->keys[static_cast<size_t>(reserved.def->autoNumberKey())].fields[0]),
              filled.reservedNumber + 1);
}

// As a user runs it: the server from TALVOR_SERVER, a summary of what went.
TEST_F(CopyServer, TheCommandCopiesBothWaysAndSaysWhat) {
    std::ostringstream out, err;
    ASSERT_EQ(runCopyCommand({"a-servidor", source.string()}, schema.conninfo(), out, err), 0) << err.str();
    const std::string tables = std::to_string(detail::tablePlans().size());
    EXPECT_NE(out.str().find("Copiados " + std::to_string(3 * detail::tablePlans().size()) + " registros de " +
                             tables + " tablas y "),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find(" al servidor.\nRegistros reservados por formas que no los terminaron, que no se "
                             "copiaron: 1;"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("  Kardex: 3\n"), std::string::npos) << out.str();
    out.str("");
    ASSERT_EQ(runCopyCommand({"a-archivo", target.string()}, schema.conninfo(), out, err), 0) << err.str();
    EXPECT_NE(out.str().find(" a " + target.string() + ".\n"), std::string::npos) << out.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(test::dumpDatabase(target), test::dumpDatabase(source));
}

TEST_F(CopyServer, ASchemaHoldingTheProgramsTablesIsRefusedUntouched) {
    ASSERT_TRUE(schema.admin("CREATE TABLE " + schema.name() + ".tv_autonumber(tbl text, col text, last bigint); "
                             "INSERT INTO " + schema.name() + ".tv_autonumber VALUES('x', 'y', 7)"));
    Status st = copyToServer(source, schema.conninfo(), report);
    EXPECT_FALSE(st.ok());
    EXPECT_NE(st.text.find("ya tiene tablas del programa (tv_autonumber)"), std::string::npos) << st.text;
    EXPECT_EQ(tablesThere(schema.conninfo()), std::vector<std::string>{"tv_autonumber"});
    EXPECT_EQ(schema.adminValue("SELECT count(*) FROM " + schema.name() + ".tv_autonumber"), "1");

    // A copy made before counts too.
    ASSERT_TRUE(schema.admin("DROP TABLE " + schema.name() + ".tv_autonumber"));
    ASSERT_TRUE(copyToServer(source, schema.conninfo(), report).ok());
    st = copyToServer(source, schema.conninfo(), report);
    EXPECT_NE(st.text.find("ya tiene tablas del programa"), std::string::npos) << st.text;
    EXPECT_EQ(schema.adminValue("SELECT count(*) FROM " + schema.name() + ".\"Articulo\""), "3");
}

// A failure anywhere leaves nothing: the server's schema as it was, no
// new file and nothing of it beside its place.
TEST_F(CopyServer, AFailureMidwayLeavesNothing) {
    ASSERT_TRUE(copyToServer(source, schema.conninfo(), report).ok());
    tv::test::ServerSchema empty;
    for (const char* at : {"Articulo", "Kardex", "confirmar"}) {
        SCOPED_TRACE(at);
        auto fail = [at](std::string_view step) {
            return step == at ? detail::failure("fallo inyectado") : Status{};
        };
        Status st = copyToServer(source, empty.conninfo(), report, fail);
        EXPECT_EQ(st.text, "fallo inyectado");
        EXPECT_EQ(schemaObjects(empty), "0");
        st = copyToFile(schema.conninfo(), target, report, fail);
        EXPECT_EQ(st.text, "fallo inyectado");
        EXPECT_TRUE(filesIn(target.parent_path()).empty());
    }
}

// A copy killed at any point leaves the server's schema empty, and beside
// the file only what the next copy there removes.
TEST_F(CopyServer, AKilledCopyLeavesNothingBehind) {
    ASSERT_TRUE(copyToServer(source, schema.conninfo(), report).ok());
    tv::test::ServerSchema empty;
    for (bool toServer : {true, false}) {
        for (const char* at : {"Articulo", "confirmar"}) {
            SCOPED_TRACE(std::string(toServer ? "a-servidor " : "a-archivo ") + at);
            int ready[2], never[2];
            ASSERT_EQ(::pipe(ready), 0);
            ASSERT_EQ(::pipe(never), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                auto stop = [&](std::string_view step) {
                    if (step == at) {
                        char b = 1;
                        if (::write(ready[1], &b, 1) == 1) (void)::read(never[0], &b, 1);
                    }
                    return Status{};
                };
                CopyReport r;
                if (toServer) copyToServer(source, empty.conninfo(), r, stop);
                else copyToFile(schema.conninfo(), target, r, stop);
                ::_exit(0);
            }
            char b = 0;
            ASSERT_EQ(::read(ready[0], &b, 1), 1);
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            for (int fd : {ready[0], ready[1], never[0], never[1]}) ::close(fd);
            EXPECT_TRUE(WIFSIGNALED(status));

            if (toServer) {
                EXPECT_EQ(schemaObjects(empty), "0");
                // The killed station's unit is gone: the next copy gets the lock and makes everything.
                ASSERT_TRUE(copyToServer(source, empty.conninfo(), report).ok());
                EXPECT_EQ(tablesThere(empty.conninfo()).size(), detail::tablePlans().size() + 1);
                ASSERT_TRUE(empty.admin("DROP SCHEMA " + empty.name() + " CASCADE; CREATE SCHEMA " + empty.name()));
            } else {
                EXPECT_FALSE(fs::exists(target));
                EXPECT_EQ(removeCopyLeftovers(target), 1);
                // (The journals of the database the last round read and removed stay until a new one is put there.)
                for (const std::string& left : filesIn(target.parent_path()))
                    if (left.rfind("talvor.db-", 0) != 0) ADD_FAILURE() << left;
                ASSERT_TRUE(copyToFile(schema.conninfo(), target, report).ok());
                EXPECT_EQ(filesIn(target.parent_path()), std::set<std::string>{"talvor.db"});
                EXPECT_EQ(test::dumpDatabase(target), test::dumpDatabase(source));
                fs::remove(target);
            }
        }
    }
}

TEST_F(CopyServer, ACopyToAFileNeverOverwritesOne) {
    ASSERT_TRUE(copyToServer(source, schema.conninfo(), report).ok());
    auto write = [](const fs::path& p) { std::ofstream(p) << "de otro"; };
    auto content = [](const fs::path& p) {
        std::ifstream in(p);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // There before the copy starts.
    write(target);
    Status st = copyToFile(schema.conninfo(), target, report);
    EXPECT_NE(st.text.find("ya existe"), std::string::npos) << st.text;
    EXPECT_EQ(content(target), "de otro");
    fs::remove(target);
    // A link to nowhere is something there too.
    fs::create_symlink(dir.file("nada"), target);
    EXPECT_FALSE(copyToFile(schema.conninfo(), target, report).ok());
    EXPECT_FALSE(fs::exists(dir.file("nada")));
    fs::remove(target);
    // Put there while the copy ran: it stays, and the copy leaves nothing.
    st = copyToFile(schema.conninfo(), target, report, [&](std::string_view step) {
        if (step == "confirmar") write(target);
        return Status{};
    });
    EXPECT_NE(st.text.find("ya existe"), std::string::npos) << st.text;
    EXPECT_EQ(content(target), "de otro");
    EXPECT_EQ(filesIn(target.parent_path()), std::set<std::string>{"talvor.db"});
}

// A value the server cannot hold is named, with its table, record and
// column, before anything is written.
TEST_F(CopyServer, AValueTheServerCannotHoldIsNamed) {
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(source.c_str(), &h), SQLITE_OK);
    storage::detail::registerCollation(h);
    ASSERT_EQ(sqlite3_exec(h, "UPDATE \"Articulo\" SET \"Descripcion\"=CAST(x'41ff42' AS TEXT) WHERE tv_row=2",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(h);
    Status st = copyToServer(source, schema.conninfo(), report);
    EXPECT_EQ(st.text, "tabla Articulo, registro 2, columna Descripcion: el texto no es UTF-8 válido");
    EXPECT_TRUE(tablesThere(schema.conninfo()).empty());
}

}  // namespace
}  // namespace tv::copy
