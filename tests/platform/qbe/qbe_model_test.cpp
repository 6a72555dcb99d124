#include "platform/qbe/qbe_model.h"

#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "platform/expr/binding.h"
#include "platform/expr/program.h"
#include "platform/expr/sql_filter.h"
#include "platform/types/date.h"
#include "platform/types/record.h"

namespace tv::qbe {
namespace {

// The article list's columns, with a date column added to cover dates.
std::vector<Field> articleFields() {
    return {
        {"ART:NoArt", "No Art", "@n_10", FieldType::Number, false},
        {"ART:Descripcion", "Descripción", "@s70", FieldType::Text, true},
        {"ART:Modelo", "Modelo", "@s20", FieldType::Text, false},
        {"ART:CodigoBarras", "Codigo Barras", "@n_16", FieldType::Text, true},  // text shown as a number
        {"ART:Costo", "Costo", "@n-12.2", FieldType::Number, false},
        {"ART:Alta", "Alta", "@d6", FieldType::Date, false},
    };
}

std::shared_ptr<const RecordLayout> layout() {
    static auto l = std::make_shared<const RecordLayout>(
        "Articulo", "ART",
        std::vector<FieldSpec>{
            {"ART:NoArt", tv::FieldType::Decimal, 10, 0},
            {"ART:Descripcion", tv::FieldType::String, 70, 0},
            {"ART:Modelo", tv::FieldType::String, 20, 0},
            {"ART:CodigoBarras", tv::FieldType::String, 16, 0},
            {"ART:Costo", tv::FieldType::Decimal, 12, 2},
            {"ART:Alta", tv::FieldType::Date, 0, 0},
        });
    return l;
}

struct Row {
    long long no;
    const char* descripcion;
    const char* modelo;
    const char* codigo;
    const char* costo;
    long alta;
};

// A small catalogue whose rows each trip a different rule.
const std::vector<Row>& rows() {
    static const std::vector<Row> r = {
        {1, "LAPIZ ROJO", "A-1", "0012345", "10.50", dateFromYmd(2024, 1, 15)},
        {2, "lápiz azul", "a-1", "7501", "-3.25", dateFromYmd(2024, 2, 1)},
        {3, "Cuaderno O'Brien", "X*Y", "7502", "0", dateFromYmd(2023, 12, 31)},
        {4, "GOMA 50% BLANCA", "B?2", "", "12.70", 0},
        {5, "ÁRBOL DE NAVIDAD", "", "99", "13", dateFromYmd(2024, 1, 15)},
        {6, "  Espacio inicial", "Z", "1", "12", dateFromYmd(2025, 6, 30)},
    };
    return r;
}

// Builds the filter, checks it compiles, and returns the article numbers of
// the rows it lets through.
std::set<long long> matching(const Query& q) {
    FilterResult r = buildFilter(articleFields(), q);
    EXPECT_TRUE(r.ok()) << r.error;
    if (!r.ok()) return {};
    if (r.filter.empty()) {
        std::set<long long> all;
        for (const Row& row : rows()) all.insert(row.no);
        return all;
    }
    Record rec(layout());
    expr::NameTable names;
    names.bindRecord(rec);
    expr::ExprError error;
    auto program = expr::Program::compile(r.filter, names, &error);
    EXPECT_TRUE(program.has_value()) << r.filter << ": " << error.describe();
    if (!program) return {};
    std::set<long long> out;
    for (const Row& row : rows()) {
        rec.clear();
        rec.set(0, Value(row.no));
        rec.set(1, Value(row.descripcion));
        rec.set(2, Value(row.modelo));
        rec.set(3, Value(row.codigo));
        rec.set(4, Value(*Decimal::parse(row.costo)));
        rec.set(5, Value(row.alta));
        if (program->test()) out.insert(row.no);
    }
    return out;
}

using Ids = std::set<long long>;

TEST(QbeFilter, ConditionsGiveTheirTextAndTheRowsAUserExpects) {
    struct Case {
        const char* what;
        Query query;
        const char* text;  // nullptr: not checked, only the rows
        Ids rows;
    };
    const Case cases[] = {
        {"nothing stated: no filter", {}, "", {1, 2, 3, 4, 5, 6}},
        {"number equal", {{"ART:NoArt", Operator::Equal, "3"}}, "ART:NoArt = 3", {3}},
        {"number range on two conditions joined with AND",
         {{"ART:NoArt", Operator::GreaterEqual, "2"}, {"ART:NoArt", Operator::Less, "5"}},
         "ART:NoArt >= 2 AND ART:NoArt < 5",
         {2, 3, 4}},
        {"not equal", {{"ART:NoArt", Operator::NotEqual, "1"}}, "ART:NoArt <> 1", {2, 3, 4, 5, 6}},
        {"negative number", {{"ART:Costo", Operator::Less, "-1"}}, "ART:Costo < -1", {2}},
        {"grouped number with decimals", {{"ART:Costo", Operator::Less, " 1,234.5 "}}, "ART:Costo < 1234.5",
         {1, 2, 3, 4, 5, 6}},
        {"a bare point before or after", {{"ART:Costo", Operator::Less, ".5"}, {"ART:NoArt", Operator::Greater, "5."}},
         "ART:Costo < 0.5 AND ART:NoArt > 5", {}},
        {"decimals as typed", {{"ART:Costo", Operator::GreaterEqual, "12.70"}}, "ART:Costo >= 12.70", {4, 5}},
        {"decimals beyond the picture are kept, not rounded",
         {{"ART:NoArt", Operator::Greater, "4.5"}},
         "ART:NoArt > 4.5",
         {5, 6}},
        {"contains ignores case and accents fold", {{"ART:Descripcion", Operator::Contains, "LÁPIZ"}},
         "MATCH(ART:Descripcion, '*LÁPIZ*', 17)", {2}},
        {"contains plain letters", {{"ART:Descripcion", Operator::Contains, "lapiz"}}, nullptr, {1}},
        {"begins with, case ignored", {{"ART:Descripcion", Operator::BeginsWith, "árbol"}},
         "MATCH(ART:Descripcion, 'árbol*', 17)", {5}},
        {"equal on a no-case column goes through UPPER",
         {{"ART:Descripcion", Operator::Equal, "lapiz rojo"}},
         "UPPER(ART:Descripcion) = 'LAPIZ ROJO'",
         {1}},
        {"case kept on a column that keeps it", {{"ART:Modelo", Operator::Equal, "a-1"}}, "ART:Modelo = 'a-1'", {2}},
        {"case kept in contains", {{"ART:Modelo", Operator::Contains, "A"}}, "MATCH(ART:Modelo, '*A*', 1)", {1}},
        {"a typed quote stays inside the text", {{"ART:Descripcion", Operator::Contains, "o'brien"}},
         "MATCH(ART:Descripcion, '*o''brien*', 17)", {3}},
        {"a typed quote alone", {{"ART:Descripcion", Operator::Equal, "'"}}, "UPPER(ART:Descripcion) = ''''", {}},
        {"a typed star is a character, not a wildcard", {{"ART:Modelo", Operator::Contains, "*"}}, nullptr, {3}},
        {"a typed question mark too", {{"ART:Modelo", Operator::BeginsWith, "B?"}}, nullptr, {4}},
        {"a typed star in begins-with", {{"ART:Modelo", Operator::BeginsWith, "X*"}}, nullptr, {3}},
        {"per cent is plain text", {{"ART:Descripcion", Operator::Contains, "50%"}}, nullptr, {4}},
        {"leading blanks count, trailing ones do not",
         {{"ART:Descripcion", Operator::BeginsWith, "  esp   "}},
         nullptr,
         {6}},
        {"a bar code is text, leading zeros kept", {{"ART:CodigoBarras", Operator::Equal, "0012345"}}, nullptr, {1}},
        {"a bar code is not read as a number", {{"ART:CodigoBarras", Operator::Equal, "12345"}}, nullptr, {}},
        {"bar codes compared as text", {{"ART:CodigoBarras", Operator::BeginsWith, "750"}}, nullptr, {2, 3}},
        {"blank text with = asks for a blank column", {{"ART:Modelo", Operator::Equal, " "}}, "ART:Modelo = ' '", {5}},
        {"blank contains takes no part", {{"ART:Modelo", Operator::Contains, "   "}}, "", {1, 2, 3, 4, 5, 6}},
        {"blank number takes no part", {{"ART:NoArt", Operator::Equal, "  "}}, "", {1, 2, 3, 4, 5, 6}},
        {"date equal", {{"ART:Alta", Operator::Equal, "15/01/2024"}}, nullptr, {1, 5}},
        {"date range",
         {{"ART:Alta", Operator::GreaterEqual, "1/1/2024"}, {"ART:Alta", Operator::LessEqual, "01/02/2024"}},
         nullptr,
         {1, 2, 5}},
        {"field names in any letter case", {{"art:noart", Operator::Equal, "6"}}, nullptr, {6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FilterResult r = buildFilter(articleFields(), c.query);
        ASSERT_TRUE(r.ok()) << r.error;
        if (c.text != nullptr) {
            EXPECT_EQ(r.filter, c.text);
        }
        if (!r.filter.empty()) {
            EXPECT_TRUE(expr::parseExpression(r.filter).has_value()) << r.filter;
        }
        EXPECT_EQ(matching(c.query), c.rows) << r.filter;
    }
}

TEST(QbeFilter, BadValuesAreRefusedNamingTheColumn) {
    struct Case {
        Query query;
        int bad;
        const char* says;
    } cases[] = {
        {{{"ART:NoArt", Operator::Equal, "12a"}}, 0, "Valor no válido en \"No Art\": Número no válido"},
        {{{"ART:NoArt", Operator::Equal, "1"}, {"ART:Costo", Operator::Less, "- 5"}}, 1, "\"Costo\""},
        {{{"ART:Costo", Operator::Greater, "1,00"}}, 0, "Número no válido"},
        {{{"ART:NoArt", Operator::Equal, "1.2.3"}}, 0, "Número no válido"},
        {{{"ART:NoArt", Operator::Equal, "123456789012345678901234567890123456"}}, 0, "Número no válido"},
        {{{"ART:Alta", Operator::Equal, "31/02/2024"}}, 0, "Fecha no válida"},
        {{{"ART:Alta", Operator::Equal, "2024-01-15"}}, 0, "\"Alta\""},
        {{{"ART:NoArt", Operator::Contains, "1"}}, 0, "sólo se usa con textos"},
        {{{"ART:Tamano", Operator::Equal, "x"}}, 0, "ART:Tamano"},
    };
    for (const auto& c : cases) {
        FilterResult r = buildFilter(articleFields(), c.query);
        EXPECT_FALSE(r.ok()) << r.filter;
        EXPECT_EQ(r.filter, "");
        EXPECT_EQ(r.badCondition, c.bad);
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
    }
}

TEST(QbeFilter, AFieldNameTheExpressionsCannotHoldIsRefusedNotPassedOn) {
    std::vector<Field> fields{{"ART:No Art", "No Art", "@n_10", FieldType::Number, false}};
    FilterResult r = buildFilter(fields, {{"ART:No Art", Operator::Equal, "1"}});
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.filter, "");
}

TEST(QbeFilter, EveryOperatorWithoutTypedWildcardsRunsInTheDatabase) {
    // The list reads through SQLite: a filter it can hand down whole keeps a
    // large catalogue fast. Only a "*" or "?" typed on purpose stays in C++.
    expr::ColumnLookup columns = [](std::string_view name) -> std::optional<expr::SqlColumn> {
        const Field* f = findField(articleFields(), name);
        if (f == nullptr) return std::nullopt;
        expr::SqlColumn c;
        c.sql = "\"" + std::string(name.substr(4)) + "\"";
        c.kind = f->type == FieldType::Text ? expr::SqlColumn::Kind::Text : expr::SqlColumn::Kind::Number;
        c.places = f->name == "ART:Costo" ? 2 : 0;
        return c;
    };
    for (const Field& f : articleFields()) {
        for (Operator op : operatorsFor(f.type)) {
            const char* value = f.type == FieldType::Date ? "15/01/2024" : f.type == FieldType::Number ? "-12.5" : "o'b";
            FilterResult r = buildFilter(articleFields(), {{f.name, op, value}});
            ASSERT_TRUE(r.ok()) << r.error;
            auto e = expr::parseExpression(r.filter);
            ASSERT_TRUE(e);
            EXPECT_TRUE(expr::toSqlWhere(*e, columns).has_value()) << r.filter;
        }
    }
}

TEST(QbeOperators, CaptionsCodesAndWhatEachTypeOffers) {
    for (Operator op : operatorsFor(FieldType::Text)) {
        EXPECT_EQ(operatorFromCaption(operatorCaption(op)), op);
        EXPECT_EQ(operatorFromCode(operatorCode(op)), op);
    }
    EXPECT_EQ(operatorCaption(Operator::NotEqual), "No Igual");
    EXPECT_EQ(operatorCaption(Operator::Contains), "Contenga");
    EXPECT_EQ(operatorCaption(Operator::BeginsWith), "Comience");
    EXPECT_EQ(operatorsFor(FieldType::Number).size(), 6u);
    EXPECT_EQ(operatorsFor(FieldType::Text).size(), 8u);
    EXPECT_EQ(defaultOperator(FieldType::Text), Operator::Contains);
    EXPECT_EQ(defaultOperator(FieldType::Date), Operator::Equal);
    EXPECT_FALSE(operatorFromCaption("Parecido"));
}

TEST(QbeEncoding, AnyValueSurvivesAndBrokenPiecesAreDropped) {
    const Query q = {
        {"ART:Descripcion", Operator::Contains, "O'Brien; \"x\" = y | 100% "},
        {"ART:Modelo", Operator::Equal, "  ñandú  "},
        {"ART:NoArt", Operator::GreaterEqual, "-12.5"},
        {"ART:Modelo", Operator::NotEqual, ""},
        {"ART:Modelo", Operator::BeginsWith, "línea\nnueva\r\t%41"},
    };
    const std::string line = encodeQuery(q);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(decodeQuery(line), q);
    EXPECT_TRUE(decodeQuery("").empty());

    // Hand-edited or damaged entries: what can be read is kept.
    const Query kept = decodeQuery("ART:NoArt|EQ|5;ART:NoArt|XX|5;broken;|EQ|1;ART:Modelo|EQ|%4;ART:Modelo|NE|b%7Cc");
    EXPECT_EQ(kept, (Query{{"ART:NoArt", Operator::Equal, "5"}, {"ART:Modelo", Operator::NotEqual, "b|c"}}));
}

}  // namespace
}  // namespace tv::qbe
