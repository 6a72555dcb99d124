// What needs no server: values in text form, placeholders, the meaning of
// the server's SQLSTATEs, the store setting's checks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <fstream>

#include "platform/storage/server/pg_connection.h"
#include "platform/storage/server/pg_errors.h"
#include "platform/storage/server/pg_sql.h"
#include "platform/storage/server/store_setting.h"
#include "tests/support/scratch_dir.h"

namespace tv::storage::server {
namespace {

TEST(PgValues, ScaledNumbersRoundTripExactly) {
    struct Case {
        int64_t scaled;
        int places;
        const char* text;
    } cases[] = {
        {0, 0, "0"},          {0, 2, "0.00"},        {12345, 2, "123.45"},   {-5, 2, "-0.05"},
        {7, 0, "7"},          {-7, 0, "-7"},         {1, 4, "0.0001"},       {99999999999999999, 2, "999999999999999.99"},
        {INT64_MAX, 0, "9223372036854775807"},       {INT64_MIN + 1, 3, "-9223372036854775.807"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scaledText(c.scaled, c.places), c.text);
        int64_t back = 0;
        ASSERT_TRUE(parseScaled(c.text, c.places, back)) << c.text;
        EXPECT_EQ(back, c.scaled) << c.text;
    }
}

TEST(PgValues, ServerNumbersAreScaledToTheFieldsPlaces) {
    struct Case {
        const char* text;
        int places;
        bool ok;
        int64_t scaled;
    } cases[] = {
        {"12.5", 2, true, 1250},    {"12", 2, true, 1200},        {".5", 1, true, 5},
        {"-0.005", 2, true, -1},    {"0.004", 2, true, 0},        {"12.345", 2, true, 1235},
        {"-12.345", 2, true, -1235}, {"+3", 0, true, 3},          {"abc", 0, false, 0},
        {"", 0, false, 0},          {"1.2.3", 2, false, 0},       {"99999999999999999999", 0, false, 0},
        {"1e5", 0, false, 0},
    };
    for (const Case& c : cases) {
        int64_t v = -999;
        EXPECT_EQ(parseScaled(c.text, c.places, v), c.ok) << c.text;
        if (c.ok) EXPECT_EQ(v, c.scaled) << c.text;
    }
}

TEST(PgValues, PlaceholdersAreNumberedAsSqliteNumbersThem) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"SELECT a FROM t WHERE b=? AND c=?", "SELECT a FROM t WHERE b=$1 AND c=$2"},
        {"WHERE x=?1 AND y=?2 OR x=?1", "WHERE x=$1 AND y=$2 OR x=$1"},
        {"WHERE x=?3 AND y=?", "WHERE x=$3 AND y=$4"},
        {"WHERE x='?' AND \"a?b\"=? AND y=''''", "WHERE x='?' AND \"a?b\"=$1 AND y=''''"},
        {"(a,b)>=(?,?) ORDER BY a", "(a,b)>=($1,$2) ORDER BY a"},
        {"tv_match(\"x\", ?, 17, 2)", "tv_match(\"x\", $1, 17, 2)"},
    };
    for (const Case& c : cases) EXPECT_EQ(serverPlaceholders(c.in), c.out) << c.in;
}

TEST(PgErrors, SqlStatesMeanWhatTheLayerSays) {
    struct Case {
        const char* state;
        int code;
    } cases[] = {
        {"23505", kCreatesDuplicateKey}, {"55P03", kLockTimeout},         {"40001", kLockTimeout},
        {"40P01", kLockTimeout},         {"57014", kLockTimeout},         {"53100", kDiskFull},
        {"25006", kAccessDenied},        {"42501", kAccessDenied},        {"XX001", kKeyFileMustBeRebuilt},
        {"XX002", kKeyFileMustBeRebuilt}, {"08006", kFileSystemError},    {"57P01", kFileSystemError},
        {"42P01", kFileSystemError},     {"22021", kFileSystemError},     {"P0001", kFileSystemError},
    };
    for (const Case& c : cases)
        EXPECT_EQ(statusForSqlState(c.state, "words", "", "«srv:5432/talvor»").code, c.code) << c.state;
    // The lost connection and the full disk name the server; a rule's
    // refusal keeps the rule's own words.
    EXPECT_NE(statusForSqlState("57P01", "terminating", "", "«srv:5432/talvor»").text.find("«srv:5432/talvor»"),
              std::string::npos);
    EXPECT_NE(statusForSqlState("53100", "no space", "", "«srv:5432/talvor»").text.find("Disco lleno"),
              std::string::npos);
    EXPECT_EQ(statusForSqlState("P0001", "No puede quedar sin administrador\n", "", "x").text,
              "No puede quedar sin administrador");
    EXPECT_TRUE(isConnectionLoss("08003"));
    EXPECT_FALSE(isConnectionLoss("23505"));
}

TEST(PgErrors, AUniqueViolationNamesTheKeyByItsIndex) {
    EXPECT_EQ(keyIndexFromIndexName("tv_Articulo_3", "Articulo"), 3);
    EXPECT_EQ(keyIndexFromIndexName("tv_Articulo_12", "Articulo"), 12);
    EXPECT_EQ(keyIndexFromIndexName("tv_Articulo_x", "Articulo"), -1);
    EXPECT_EQ(keyIndexFromIndexName("tv_Marcas_1", "Articulo"), -1);
    EXPECT_EQ(keyIndexFromIndexName("Articulo_pkey", "Articulo"), -1);
}

TEST(PgConnection, AServerThatCannotBeReachedIsNamedAndNeverReadOnly) {
    PgConnection c("host=/nonexistent-talvor-folder port=5999 dbname=almacen user=talvor password=secreto");
    Status st = c.open();
    EXPECT_EQ(st.code, kFileSystemError);
    EXPECT_NE(st.text.find("No se pudo conectar con el servidor de datos"), std::string::npos) << st.text;
    EXPECT_NE(st.text.find("/nonexistent-talvor-folder:5999/almacen"), std::string::npos) << st.text;
    EXPECT_EQ(st.text.find("secreto"), std::string::npos) << "the password must never be shown";
    EXPECT_FALSE(c.isOpen());
    // Every later use says the same, nothing is run on its own.
    PgResult r;
    EXPECT_EQ(c.exec("SELECT 1", {}, &r).code, kFileSystemError);
    EXPECT_EQ(c.beginUnit(std::chrono::milliseconds(100)).code, kFileSystemError);
}

TEST(StoreSetting, NetworkFileSystemsAreKnownByTheirType) {
    EXPECT_EQ(networkFileSystemName(0x6969), "NFS");
    EXPECT_EQ(networkFileSystemName(static_cast<long>(0xFF534D42UL)), "SMB/CIFS");
    EXPECT_EQ(networkFileSystemName(static_cast<long>(0xFE534D42UL)), "SMB/CIFS");
    EXPECT_EQ(networkFileSystemName(0x517B), "SMB/CIFS");
    EXPECT_FALSE(networkFileSystemName(0xEF53));  // ext4
    EXPECT_FALSE(networkFileSystemName(0x01021994));  // tmpfs
    test::ScratchDir dir;
    EXPECT_FALSE(networkFileSystemOf(dir.file("talvor.db")));  // not made yet: its folder counts
    std::string text = networkShareText("/mnt/almacen/talvor.db", "NFS", "[Datos] Servidor");
    EXPECT_NE(text.find("/mnt/almacen/talvor.db"), std::string::npos);
    EXPECT_NE(text.find("[Datos] Servidor"), std::string::npos);
}

TEST(StoreSetting, APasswordIsRefusedInAFileOthersCanRead) {
    EXPECT_TRUE(conninfoHasPassword("host=srv dbname=talvor password=x"));
    EXPECT_TRUE(conninfoHasPassword("postgresql://talvor:x@srv/talvor"));
    EXPECT_FALSE(conninfoHasPassword("host=srv dbname=talvor user=talvor"));
    test::ScratchDir dir;
    const auto file = dir.file("talvor.INI");
    std::ofstream(file) << "[Datos]\n";
    ::chmod(file.c_str(), 0644);
    EXPECT_TRUE(passwordExposure("host=srv password=x", file, "Servidor"));
    EXPECT_FALSE(passwordExposure("host=srv user=talvor", file, "Servidor"));
    ::chmod(file.c_str(), 0600);
    EXPECT_FALSE(passwordExposure("host=srv password=x", file, "Servidor"));
}

}  // namespace
}  // namespace tv::storage::server
