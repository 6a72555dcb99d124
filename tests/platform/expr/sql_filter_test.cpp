// The pushed-down filter selects exactly the rows the evaluator accepts:
// the same articles are put in an in-memory SQLite table and in a record
// buffer, and both answers are compared, with texts stored trimmed and padded.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "platform/expr/program.h"
#include "platform/expr/sql_filter.h"
#include "platform/expr/value_ops.h"
#include "platform/types/text.h"
#include "tests/platform/expr/article_fixture.h"
#include "tests/platform/expr/match_cases.h"

namespace tv::expr::test {
namespace {

std::vector<ArticleRow> articles() {
    std::vector<ArticleRow> rows;
    auto add = [&](long long no, std::string desc, long long marca, long long cat, std::string barras,
                   std::string modelo, const char* ent, const char* sal, const char* ped, const char* rec,
                   const char* minimo) {
        ArticleRow r;
        r.noArt = no;
        r.descripcion = std::move(desc);
        r.marca = marca;
        r.categoria = cat;
        r.codigoBarras = std::move(barras);
        r.modelo = std::move(modelo);
        r.entradas = ent;
        r.salidas = sal;
        r.pedido = ped;
        r.recibido = rec;
        r.stockMinimo = minimo;
        rows.push_back(r);
    };
    add(0, "", 0, 0, "", "", "0", "0", "0", "0", "0");
    add(15, "Tornillo de acero", 7, 4, "7501234567890", "T-100", "12.50", "2.25", "30", "12.5", "20");
    add(150, "TORNILLO GALVANIZADO", 7, 5, "", "t-100", "12.51", "0", "5", "5", "1");
    add(151, "Cañón", 3, 4, "12", "", "0", "1.5", "2", "3", "0");
    add(152, "cañón", 3, 4, "012", "X", "0.01", "0.01", "0", "0", "0");
    add(250, "Motor eléctrico", 12, 2, "abc", "M 1", "100", "100", "10.25", "0", "5");
    add(251, "Ñandú  ", 12, 3, "  ", "m 1", "-3", "0", "1", "0", "0");
    add(1500, "Llave 3/4'", 1, 1, "7501234567891", "L'3", "99999.99", "0", "0", "1", "99999.99");
    add(-4, "abc", 2, 2, "x", "", "0.005", "0", "0", "0", "0.01");
    add(7, "100% algodón_x [a]\\b", 5, 5, "", "", "1", "0", "0", "0", "0");
    add(8, "100 algodon x a b", 5, 5, "", "", "1", "0", "0", "0", "0");
    add(99999999999, "Zeta", 99999, 99999, "9", "z", "999999999.99", "-999999999.99", "999999999.99",
        "-999999999.99", "0");
    return rows;
}

struct Db {
    sqlite3* db = nullptr;
    Db() {
        EXPECT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        EXPECT_TRUE(registerSqlFunctions(db));
    }
    ~Db() { sqlite3_close(db); }
    void exec(const std::string& sql) {
        char* msg = nullptr;
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg), SQLITE_OK) << sql << ": " << msg;
    }
};

class PushDownTest : public ::testing::TestWithParam<bool> {
protected:
    ArticleFixture fx;
    Db db;
    std::vector<ArticleRow> rows = articles();
    bool trimmed = GetParam();

    void SetUp() override {
        // Columns named as the fields; texts NOCASE by declaration, to prove
        // the filter does not inherit a column's collation.
        db.exec(
            "CREATE TABLE articulo (NoArt INTEGER, Descripcion TEXT COLLATE NOCASE, Marca INTEGER, "
            "categoria INTEGER, CodigoBarras TEXT, Modelo TEXT COLLATE NOCASE, StockMinimo INTEGER, "
            "StockIdeal INTEGER, ExistenciaAnterior INTEGER, Entradas INTEGER, Salidas INTEGER, "
            "Pedido INTEGER, Recibido INTEGER)");
        const RecordLayout& layout = fx.art.layout();
        for (const auto& r : rows) {
            fx.load(r);
            std::string sql = "INSERT INTO articulo VALUES (";
            for (int i = 0; i < layout.fieldCount(); ++i) sql += i ? ",?" : "?";
            sql += ")";
            sqlite3_stmt* st = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(db.db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
            for (int i = 0; i < layout.fieldCount(); ++i) {
                if (layout.field(i).type == FieldType::String) {
                    std::string t = trimmed ? std::string(rtrim(fx.art.text(i))) : fx.art.text(i);
                    sqlite3_bind_text(st, i + 1, t.c_str(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
                } else {
                    sqlite3_bind_int64(st, i + 1, fx.art.raw(i));
                }
            }
            ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
            sqlite3_finalize(st);
        }
    }

    std::optional<SqlColumn> column(std::string_view name) const {
        int i = fx.art.layout().indexOf(name);
        if (i < 0 || normalizeName(name).rfind("ART:", 0) != 0) return std::nullopt;
        const FieldSpec& f = fx.art.layout().field(i);
        SqlColumn c;
        c.sql = "\"" + f.name.substr(4) + "\"";
        if (f.type == FieldType::String) {
            c.kind = SqlColumn::Kind::Text;
            c.trimmed = trimmed;
        } else {
            c.kind = SqlColumn::Kind::Number;
            c.places = f.places;
            c.digits = f.size;
        }
        return c;
    }

    std::set<long long> evaluated(const std::string& text) {
        ExprError err;
        auto p = Program::compile(text, fx.names, &err);
        EXPECT_TRUE(p) << text << ": " << err.describe();
        std::set<long long> out;
        if (!p) return out;
        for (const auto& r : rows) {
            fx.load(r);
            if (p->test()) out.insert(r.noArt);
        }
        return out;
    }

    std::set<long long> selected(const SqlFilter& f) {
        std::set<long long> out;
        std::string sql = "SELECT NoArt FROM articulo WHERE " + f.where;
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db.db, sql.c_str(), -1, &st, nullptr), SQLITE_OK)
            << sql << ": " << sqlite3_errmsg(db.db);
        if (!st) return out;
        for (std::size_t i = 0; i < f.params.size(); ++i) {
            int n = static_cast<int>(i) + 1;
            if (const auto* v = std::get_if<long long>(&f.params[i])) sqlite3_bind_int64(st, n, *v);
            else {
                const auto& s = std::get<std::string>(f.params[i]);
                sqlite3_bind_text(st, n, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            }
        }
        while (sqlite3_step(st) == SQLITE_ROW) out.insert(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        return out;
    }

    std::optional<SqlFilter> pushDown(const std::string& text) {
        auto e = parseExpression(text);
        EXPECT_TRUE(e) << text;
        if (!e) return std::nullopt;
        return toSqlWhere(*e, [this](std::string_view n) { return column(n); });
    }
};

TEST_P(PushDownTest, SameRowsAsTheEvaluator) {
    const char* filters[] = {
        "ART:NoArt >= 100 and ART:NoArt <= 250",
        "ART:NoArt = 150",
        "art:categoria = 4",
        "ART:categoria >= 3 and ART:categoria <= 5",
        "ART:NoArt >= 100 and ART:NoArt <= 250 and art:categoria = 4 and "
        "ART:ExistenciaAnterior + ART:Entradas - ART:Salidas <> 0",
        "ART:ExistenciaAnterior + ART:Entradas - ART:Salidas <> 0",
        "ART:Pedido - ART:Recibido > 0",
        "(ART:Pedido > ART:Recibido)",
        "( ART:ExistenciaAnterior + ART:Entradas - ART:Salidas ) < ART:StockMinimo ",
        "MATCH(ART:Descripcion,'*tornillo*',17)",
        "MATCH(ART:Descripcion,'*ÑÓN',17)",
        "MATCH(ART:Descripcion,'ñandú',17)",
        "MATCH(ART:Descripcion,'*3/4''*',17)",
        "MATCH(ART:Descripcion,'?a?ó?',17)",
        "MATCH(ART:Descripcion,'Tornillo*',1)",
        "MATCH(ART:Descripcion,'100%*',17)",
        "MATCH(ART:Descripcion,'*n_x*',17)",
        "MATCH(ART:Descripcion,'*[a]*',1)",
        "MATCH(ART:Descripcion,'*[a]*',17)",
        "MATCH(ART:Descripcion,'*\\b',17)",
        "MATCH(ART:Descripcion,'*algod?n*',17)",
        "MATCH(ART:Descripcion,'cañón',4)",
        "MATCH(ART:Descripcion,'CAÑÓN',20)",
        "MATCH(ART:Descripcion,'cañón  ',20)",
        "MATCH(ART:Descripcion,'abc',20)",
        "MATCH(ART:Descripcion,'ABC',4)",
        "MATCH(ART:Descripcion,'TORNILLO*',16)",
        "MATCH(ART:Descripcion,'Tornillo*',0)",
        "MATCH(ART:Descripcion,'?a?ón',1)",
        "MATCH(UPPER(ART:Descripcion),'TORNILLO*',1)",
        "MATCH(UPPER(ART:Descripcion),'*tornillo*',17)",
        "MATCH(UPPER(ART:Descripcion),'CAÑ*',1)",
        "MATCH(ART:Descripcion,'?añón',17)",
        "MATCH(ART:Descripcion,'?????\?',17)",
        "MATCH(ART:Descripcion,'*',17)",
        "MATCH(ART:Descripcion,'',17)",
        "MATCH(ART:NoArt,'15*',17)",
        "MATCH(ART:NoArt,'-4',17)",
        "MATCH(ART:Entradas,'12.5',17)",
        "MATCH(ART:Entradas,'0.005',17)",
        "MATCH(UPPER(ART:Modelo),'T-1*',1)",
        "MATCH(ART:CodigoBarras,'',17)",
        "UPPER(ART:Descripcion) = 'CAÑÓN'",
        "UPPER(ART:Modelo) = UPPER('t-100')",
        "ART:Descripcion = 'Cañón'",
        "ART:Descripcion = 'Cañón   '",
        "ART:Descripcion < 'M'",
        "ART:Descripcion >= 'cañón'",
        "ART:Modelo = ''",
        "ART:Modelo <> ''",
        "ART:Modelo",
        "NOT ART:CodigoBarras",
        "ART:Modelo = ART:CodigoBarras",
        "ART:Modelo < ART:Descripcion",
        "ART:Entradas > 12.505",
        "ART:Entradas >= 12.505",
        "ART:Entradas = 12.505",
        "ART:Entradas <> 12.505",
        "ART:Entradas < -0.005",
        "ART:Entradas < 12.505",
        "ART:Entradas <= -2.999",
        "ART:Entradas >= 12.501",
        "ART:Entradas <= 12.5",
        "ART:Entradas > 0.001",
        "ART:Entradas < 99999999999999999999",
        "ART:Entradas > -99999999999999999999",
        "ART:Entradas = '12.50'",
        "ART:Entradas = ''",
        "ART:Entradas = '  '",
        "'5' < ART:Marca",
        "12 >= ART:Marca",
        "-ART:Salidas < -2",
        "ART:Entradas - ART:Salidas = 10.25",
        "ART:Entradas + 0.001 > 12.5",
        "ART:NoArt + ART:Entradas > 250",
        "ART:Pedido = ART:Entradas",
        "ART:NoArt > ART:Entradas",
        "NOT (ART:Marca = 7 OR ART:categoria = 4)",
        "ART:Marca = 7 AND NOT MATCH(ART:Descripcion,'*acero*',17)",
        "ART:Marca",
        "ART:Entradas - ART:Salidas",
        "1",
        "0",
        "'abc' = 'abc  '",
        "'abc' = 'abd'",
        "5 > 4",
        "'x'",
    };
    for (const char* text : filters) {
        auto f = pushDown(text);
        ASSERT_TRUE(f) << "not pushed down: " << text;
        EXPECT_EQ(selected(*f), evaluated(text)) << text << "\n  SQL: " << f->where;
    }
}

TEST_P(PushDownTest, LeavesTheRestToTheEvaluator) {
    const char* filters[] = {
        "Existencia < 0",                           // a computed value
        "PorRecibir > 0 AND ART:NoArt > 1",         // one part computed: all of it stays
        "ART:Modelo = 0",                           // a text column against a number
        "ART:CodigoBarras = 7501234567890",
        "ART:Marca = 'abc'",                        // a number column against a non-numeric text
        "ART:Entradas * 2 > 3",                     // multiplication
        "ART:Entradas / 2 > 3",
        "MATCH(ART:Descripcion, ART:Modelo, 17)",   // pattern not a constant
        "MATCH(ART:Descripcion, '*a*', ART:Marca)", // mode not a constant
        "MATCH(ART:Descripcion, '*a*', 2)",         // mode not supported
        "UPPER(ART:Marca) = '7'",                   // UPPER of a number
        "CLIP(ART:Modelo) = 'x'",
        "MATCH(CLIP(ART:Modelo), 'x', 17)",
        "ART:Modelo & 'x' = 'x'",
        "ART:Notas = ''",                           // memo: not a column here
    };
    for (const char* text : filters) EXPECT_FALSE(pushDown(text)) << text;
}

// A filter that mixes computed values with columns: SQL narrows the rows by
// the parts it can take, the evaluator decides on what is left, and the
// answer is still exactly the evaluator's.
TEST_P(PushDownTest, PrefilterNarrowsWithoutLosingRows) {
    struct Case {
        const char* text;
        bool pushed;
        bool complete;
    };
    const Case cases[] = {
        {"ART:NoArt >= 100 and PorRecibir > 0 and MATCH(ART:Descripcion,'*a*',17)", true, false},
        {"Existencia <> 0 AND ART:Marca = 3", true, false},
        {"ART:NoArt >= 100 and ART:NoArt <= 250", true, true},
        {"Existencia <> 0 OR ART:Marca = 3", false, false},
        {"PorRecibir > 0", false, false},
    };
    for (const auto& c : cases) {
        auto e = parseExpression(c.text);
        ASSERT_TRUE(e);
        bool complete = true;
        auto f = toSqlPrefilter(*e, [this](std::string_view n) { return column(n); }, &complete);
        EXPECT_EQ(f.has_value(), c.pushed) << c.text;
        EXPECT_EQ(complete, c.complete) << c.text;
        if (!f) continue;
        std::set<long long> narrowed = selected(*f), exact = evaluated(c.text);
        EXPECT_LT(narrowed.size(), rows.size()) << c.text;  // it did narrow
        for (long long no : exact) EXPECT_TRUE(narrowed.count(no)) << c.text << ": lost article " << no;
        // Evaluating the whole expression on the narrowed rows gives the exact answer.
        std::set<long long> twoStep;
        auto p = Program::compile(c.text, fx.names);
        ASSERT_TRUE(p);
        for (const auto& r : rows) {
            if (!narrowed.count(r.noArt)) continue;
            fx.load(r);
            if (p->test()) twoStep.insert(r.noArt);
        }
        EXPECT_EQ(twoStep, exact) << c.text;
    }
}

TEST_P(PushDownTest, ParametersAreBoundNeverWritten) {
    auto f = pushDown("ART:Descripcion = 'x'' OR 1=1 --' OR ART:NoArt = 150");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->where.find("1=1"), std::string::npos);
    ASSERT_EQ(f->params.size(), 2u);
    EXPECT_EQ(std::get<std::string>(f->params[0]), "x' OR 1=1 --");
    EXPECT_EQ(std::get<long long>(f->params[1]), 150);
    EXPECT_FALSE(f->usesFunctions);
    EXPECT_EQ(selected(*f), (std::set<long long>{150}));
    auto m = pushDown("MATCH(ART:Descripcion,'*a*',17)");  // plain LIKE
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->usesFunctions);
    m = pushDown("MATCH(ART:Descripcion,'*ñ*',17)");  // the accented pairs need our own
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->usesFunctions);
}

// tv_match, as filters pushed down to talvor.db call it, answers the MATCH
// cases every implementation shares (numbers as columns hold them: scaled).
TEST(SqlFunctions, MatchAnswersTheSharedCases) {
    Db db;
    sqlite3_stmt* onText = nullptr;
    sqlite3_stmt* onNumber = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.db, "SELECT tv_match(?1, ?2, ?3)", -1, &onText, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(db.db, "SELECT tv_match(?1, ?2, ?3, ?4)", -1, &onNumber, nullptr), SQLITE_OK);
    for (const MatchCase& c : matchCases()) {
        sqlite3_stmt* st = onText;
        if (const std::string* t = c.value.textPtr()) {
            sqlite3_bind_text(st, 1, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
        } else {
            st = onNumber;
            long long scaled = 0;
            int places = 0;
            scaledOf(*c.value.numberPtr(), scaled, places);
            sqlite3_bind_int64(st, 1, scaled);
            sqlite3_bind_int(st, 4, places);
        }
        sqlite3_bind_text(st, 2, c.pattern, -1, SQLITE_STATIC);
        sqlite3_bind_int(st, 3, c.mode);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(st, 0) != 0, c.expected)
            << "'" << textOf(c.value) << "' ~ '" << c.pattern << "' mode " << c.mode;
        sqlite3_reset(st);
    }
    sqlite3_finalize(onText);
    sqlite3_finalize(onNumber);
}

INSTANTIATE_TEST_SUITE_P(TextStorage, PushDownTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Trimmed" : "Padded"; });

}  // namespace
}  // namespace tv::expr::test
