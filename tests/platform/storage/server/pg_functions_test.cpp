// The server's functions give the program's answers: MATCH on the cases
// every implementation shares, upper case with the accented pairs, the
// no-case keys' order and equality, numbers written as the expressions
// write them.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/expr/value_ops.h"
#include "platform/storage/server/pg_sql.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/decimal.h"
#include "platform/types/text.h"
#include "tests/platform/expr/match_cases.h"
#include "tests/platform/storage/server/server_fixture.h"

namespace tv::storage::server {
namespace {

using namespace std::chrono_literals;

bool validUtf8(std::string_view s) {
    std::vector<char32_t> cps;
    expr::decodeUtf8(s, false, cps);
    for (char32_t c : cps)
        if (c >= 0xDC80 && c < 0xDD00) return false;
    return true;
}

class PgFunctions : public test::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (!stopped()) installFunctions();
    }

    std::string value(const std::string& sql, const PgParams& p) {
        PgResult r;
        Status st = c->exec(sql, p, &r);
        EXPECT_TRUE(st.ok()) << sql << ": " << st.text;
        return st.ok() && r.rows() == 1 ? std::string(r.text(0, 0)) : std::string("<failed>");
    }
};

TEST_F(PgFunctions, MatchAnswersTheSharedCases) {
    int run = 0;
    for (const expr::test::MatchCase& m : expr::test::matchCases()) {
        std::string got;
        if (const std::string* t = m.value.textPtr()) {
            // The server keeps UTF-8 only (such texts are refused on writing).
            if (!validUtf8(*t)) continue;
            got = value("SELECT tv_match($1, $2, $3)", PgParams().add(*t).add(m.pattern).add(m.mode));
        } else {
            long long scaled = 0;
            int places = 0;
            expr::test::scaledOf(*m.value.numberPtr(), scaled, places);
            got = value("SELECT tv_match($1::bigint, $2, $3, $4)",
                        PgParams().add(static_cast<int64_t>(scaled)).add(m.pattern).add(m.mode).add(places));
        }
        EXPECT_EQ(got, m.expected ? "t" : "f")
            << "'" << expr::textOf(m.value) << "' ~ '" << m.pattern << "' mode " << m.mode;
        ++run;
    }
    EXPECT_GT(run, 40);
}

TEST_F(PgFunctions, UpperCaseFoldsAsTheProgramDoes) {
    std::string all;
    for (char32_t cp = 1; cp < 0x3000; ++cp)
        if (cp < 0xD800 || cp >= 0xE000) all += expr::test::utf8Of(cp);
    EXPECT_EQ(value("SELECT tv_upper($1)", PgParams().add(all)), toUpper(all));
    EXPECT_EQ(value("SELECT tv_nocase($1)", PgParams().add("ñandú  ")), "ÑANDÚ");
}

TEST_F(PgFunctions, NoCaseOrderAndEqualityAreTheKeys) {
    const std::vector<std::string> texts = {
        "abc", "ABC", "abc  ", "Abd", "ab", "ab c", "Cañón", "CAÑÓN", "canon", "Canon", "cañon", "Ñandú", "ñandu",
        "O", "o", "z", "Z", "é", "É", "e", "ü", "Ü", "u", "ß", "", " ", "  x", "x", "a-b", "a_b", "A~", "ǅ", "0", "10",
        "9", "ÿ", "Ÿ", "ç", "Ç", "æ", "Æ", "å", "Å", "ö", "Ö"};
    ASSERT_TRUE(c->execScript("CREATE TABLE words(id integer PRIMARY KEY, w text COLLATE \"C\" NOT NULL)").ok());
    for (size_t i = 0; i < texts.size(); ++i)
        ASSERT_TRUE(c->exec("INSERT INTO words VALUES($1, $2)", PgParams().add(static_cast<int>(i)).add(texts[i])).ok());
    PgResult r;
    ASSERT_TRUE(c->exec("SELECT id FROM words ORDER BY tv_nocase(w), id", {}, &r).ok());
    std::vector<int> expected(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) expected[i] = static_cast<int>(i);
    std::stable_sort(expected.begin(), expected.end(),
                     [&](int a, int b) { return compareNoCase(texts[size_t(a)], texts[size_t(b)]) < 0; });
    ASSERT_EQ(r.rows(), static_cast<int>(texts.size()));
    for (int i = 0; i < r.rows(); ++i) EXPECT_EQ(r.int64(i, 0), expected[size_t(i)]) << "place " << i;
    ASSERT_TRUE(c->exec("SELECT a.id, b.id FROM words a JOIN words b ON tv_nocase(a.w) = tv_nocase(b.w) "
                        "WHERE a.id < b.id ORDER BY 1, 2",
                        {}, &r).ok());
    std::vector<std::pair<int, int>> equal, same;
    for (int i = 0; i < r.rows(); ++i) equal.emplace_back(int(r.int64(i, 0)), int(r.int64(i, 1)));
    for (size_t a = 0; a < texts.size(); ++a)
        for (size_t b = a + 1; b < texts.size(); ++b)
            if (compareNoCase(texts[a], texts[b]) == 0) same.emplace_back(int(a), int(b));
    EXPECT_EQ(equal, same);
}

TEST_F(PgFunctions, NumbersAreWrittenAsTheExpressionsWriteThem) {
    struct Case {
        long long scaled;
        int places;
    } cases[] = {{0, 0},     {0, 2},          {1750, 2},   {-3, 0},  {5, 3},  {-5, 3},  {123456789012345678, 0},
                 {999999999999999999, 2},     {-123456789012345678, 4}, {1, 17}, {100, 2}, {12345678901234567, 3},
                 {9999999999999995, 1},       {99999999999999950, 2},   {1, 0},  {10, 1}, {-999999999999999949, 5}};
    for (const Case& k : cases) {
        std::string want = Value(Decimal::fromScaled(k.scaled, k.places)).asText();
        EXPECT_EQ(value("SELECT tv_number_text($1::numeric * ('1e-' || $2)::numeric)",
                        PgParams().add(static_cast<int64_t>(k.scaled)).add(k.places)),
                  want)
            << k.scaled << " / 10^" << k.places;
    }
}

TEST_F(PgFunctions, StationsStartingAtOnceInstallTheFunctionsOnce) {
    tv::test::ServerSchema fresh;
    std::vector<std::unique_ptr<PgConnection>> stations;
    std::vector<Status> got(4);
    int done = 0;
    for (int i = 0; i < 4; ++i) {
        stations.push_back(std::make_unique<PgConnection>(fresh.conninfo()));
        PgConnection* s = stations.back().get();
        Status* out = &got[size_t(i)];
        threads::start(
            [s, out, &done] {
                *out = installServerFunctions(*s, 10s);
                ++done;
            },
            256 * 1024);
    }
    ASSERT_TRUE(threads::runUntil([&] { return done == 4; }, 30s));
    for (const Status& st : got) EXPECT_TRUE(st.ok()) << st.text;
    PgResult r;
    ASSERT_TRUE(stations[0]->exec("SELECT tv_match('Cañón', '*ÑÓN', 17)", {}, &r).ok());
    EXPECT_EQ(r.text(0, 0), "t");
}

}  // namespace
}  // namespace tv::storage::server
