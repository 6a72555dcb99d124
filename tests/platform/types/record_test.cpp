#include "platform/types/record.h"

#include <gtest/gtest.h>

#include <memory>

namespace tv {
namespace {

Decimal D(std::string_view s) { return Decimal::parse(s).value_or(Decimal()); }

class RecordTest : public ::testing::Test {
protected:
    std::shared_ptr<const RecordLayout> layout = std::make_shared<RecordLayout>(
        "Articulo", "ART",
        std::vector<FieldSpec>{
            {"ART:Descripcion", FieldType::String, 6, 0},
            {"ART:Costo", FieldType::Decimal, 7, 2},
            {"ART:Id", FieldType::Decimal, 1, 0},
            {"ART:Cuenta", FieldType::Long, 0, 0},
            {"ART:Corto", FieldType::Short, 0, 0},
            {"ART:Permiso", FieldType::Byte, 0, 0},
            {"ART:Fecha", FieldType::Date, 0, 0},
            {"ART:Notas", FieldType::Memo, 8, 0},
        });
    Record rec{layout};
    enum { kDesc, kCosto, kId, kCuenta, kCorto, kPermiso, kFecha, kNotas };
};

TEST_F(RecordTest, ClearedRecordIsBlankAndZero) {
    EXPECT_EQ(rec.text(kDesc), "      ");
    EXPECT_EQ(rec.text(kNotas), "");
    for (int i : {kCosto, kId, kCuenta, kCorto, kPermiso, kFecha}) EXPECT_EQ(rec.raw(i), 0) << i;
    rec.set(kDesc, "abc");
    rec.set(kCosto, 5);
    rec.set(kNotas, "x");
    rec.clear();
    EXPECT_EQ(rec.text(kDesc), "      ");
    EXPECT_EQ(rec.raw(kCosto), 0);
    EXPECT_EQ(rec.text(kNotas), "");
}

TEST_F(RecordTest, TextFieldsFitTheirWidth) {
    rec.set(kDesc, "camión grande");
    EXPECT_EQ(rec.text(kDesc), "camión");
    rec.set(kDesc, "año");
    EXPECT_EQ(rec.text(kDesc), "año   ");
    EXPECT_EQ(rec.get(kDesc).asText(), "año   ");
    rec.set(kDesc, D("-12.5"));  // a number joined to text
    EXPECT_EQ(rec.text(kDesc), "-12.5 ");
    rec.set(kNotas, "notas de más");
    EXPECT_EQ(rec.text(kNotas), "notas de");
    rec.set(kNotas, "ñ");
    EXPECT_EQ(rec.text(kNotas), "ñ");  // a memo is not padded
}

TEST_F(RecordTest, UncheckedStoresRoundAndDropLeadingDigits) {
    struct Case { int field; const char* value; long long raw; };
    const Case cases[] = {
        {kCosto, "12.345", 1235},  {kCosto, "-12.345", -1235},  {kCosto, "12.344", 1234},
        {kCosto, "123456.78", 2345678}, {kCosto, "99999.995", 0},
        {kId, "10", 0}, {kId, "9", 9}, {kId, "9.5", 0}, {kId, "-7", -7},
        {kCuenta, "2147483648", -2147483648LL}, {kCuenta, "-2.5", -3}, {kCuenta, "2.5", 3},
        {kCorto, "32768", -32768}, {kCorto, "-1", -1},
        {kPermiso, "256", 0}, {kPermiso, "-1", 255}, {kPermiso, "1", 1},
        {kFecha, "80000", 80000},
    };
    for (const auto& c : cases) {
        rec.set(c.field, D(c.value));
        EXPECT_EQ(rec.raw(c.field), c.raw) << layout->field(c.field).name << " <- " << c.value;
    }
    rec.set(kCosto, "12.5 kg");  // text into a number: its leading number
    EXPECT_EQ(rec.raw(kCosto), 1250);
    rec.set(kCuenta, "abc");
    EXPECT_EQ(rec.raw(kCuenta), 0);
}

TEST_F(RecordTest, GetGivesTheFieldValue) {
    rec.set(kCosto, D("-3.5"));
    EXPECT_EQ(rec.get(kCosto).asText(), "-3.5");
    EXPECT_EQ(rec.number(kCosto), D("-3.5"));
    rec.setRaw(kCuenta, 42);
    EXPECT_EQ(rec.get(kCuenta).asText(), "42");
    EXPECT_TRUE(rec.get(kCuenta).isNumber());
    EXPECT_TRUE(rec.get(kDesc).isText());
    rec.setNumber(kCosto, D("1.005"));
    EXPECT_EQ(rec.raw(kCosto), 101);
}

TEST_F(RecordTest, CheckedStoreRefusesWithoutChangingTheField) {
    rec.set(kCosto, D("1.5"));
    rec.set(kId, 3);
    rec.set(kPermiso, 7);
    struct Case { int field; Value value; StoreStatus status; long long raw; };
    const Case cases[] = {
        {kCosto, Value(D("123456.78")), StoreStatus::TooWide, 150},
        {kCosto, Value(D("99999.995")), StoreStatus::TooWide, 150},  // rounds to 6 digits
        {kCosto, Value(D("99999.994")), StoreStatus::Ok, 9999999},
        {kCosto, Value("12,5"), StoreStatus::NotANumber, 9999999},
        {kCosto, Value("abc"), StoreStatus::NotANumber, 9999999},
        {kCosto, Value(" -7.125 "), StoreStatus::Ok, -713},
        {kCosto, Value("   "), StoreStatus::Ok, 0},
        {kId, Value(10), StoreStatus::TooWide, 3},
        {kId, Value(D("-9")), StoreStatus::Ok, -9},
        {kCuenta, Value(D("2147483648")), StoreStatus::TooWide, 0},
        {kCuenta, Value(D("-2147483648")), StoreStatus::Ok, -2147483648LL},
        {kCorto, Value(40000), StoreStatus::TooWide, 0},
        {kPermiso, Value(-1), StoreStatus::TooWide, 7},
        {kPermiso, Value(256), StoreStatus::TooWide, 7},
        {kPermiso, Value(255), StoreStatus::Ok, 255},
        {kFecha, Value(-1), StoreStatus::TooWide, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rec.setChecked(c.field, c.value), c.status) << layout->field(c.field).name << " <- " << c.value.asText();
        EXPECT_EQ(rec.raw(c.field), c.raw) << layout->field(c.field).name << " <- " << c.value.asText();
    }
    EXPECT_EQ(rec.setChecked(kDesc, Value("más largo")), StoreStatus::Ok);
    EXPECT_EQ(rec.text(kDesc), "más la");
}

TEST_F(RecordTest, FieldsFoundByNameWithoutCase) {
    EXPECT_EQ(layout->indexOf("ART:Costo"), kCosto);
    EXPECT_EQ(layout->indexOf("art:COSTO"), kCosto);
    EXPECT_EQ(layout->indexOf("fecha"), kFecha);
    EXPECT_EQ(layout->indexOf("PVD:Costo"), -1);
    EXPECT_EQ(layout->indexOf("Nada"), -1);
}

TEST_F(RecordTest, EqualityComparesCells) {
    Record other(layout);
    EXPECT_TRUE(rec == other);
    other.set(kCosto, D("0.01"));
    EXPECT_FALSE(rec == other);
}

TEST(Value, NumbersAndTexts) {
    EXPECT_EQ(Value("  12.5abc").asNumber(), D("12.5"));
    EXPECT_EQ(Value("x1").asNumber(), Decimal());
    EXPECT_EQ(Value(D("-0.50")).asText(), "-0.5");
    EXPECT_FALSE(Value("   ").truthy());
    EXPECT_TRUE(Value(" a").truthy());
    EXPECT_FALSE(Value(0).truthy());
    EXPECT_TRUE(Value(D("-0.001")).truthy());
}

}  // namespace
}  // namespace tv
