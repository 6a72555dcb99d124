// The whole server stopped in the middle of a receipt's posting, as a crash
// or a restart of the server machine does: on a throw-away server of the
// test's own (scripts/test_server.sh), never the one other tests share.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "movements/common/unit_of_work.h"
#include "movements/receipts/receipt_posting.h"
#include "platform/storage/storage.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/support/test_server.h"

namespace tv::movements::receipts {
namespace {

using data::TableId;
using test::D;
using test::Enter;

// Runs scripts/test_server.sh `command` on `dir`: its output, nullopt when
// it failed.
std::optional<std::string> serverScript(const std::string& command, const std::string& dir) {
    const std::string line = "bash '" TALVOR_SOURCE_DIR "/scripts/test_server.sh' " + command + " '" + dir + "' 2>&1";
    FILE* p = popen(line.c_str(), "r");
    if (p == nullptr) return std::nullopt;
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    if (pclose(p) != 0) {
        ADD_FAILURE() << line << ":\n" << out;
        return std::nullopt;
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

class ServerStop : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        // A server of its own is started only where the tests on a server run.
        if (!tv::test::testServer()) GTEST_SKIP() << "no PostgreSQL server: set TALVOR_TEST_SERVER";
        char name[] = "/tmp/talvor-stop.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        serverDir_ = name;
        const std::optional<std::string> conninfo = serverScript("start", serverDir_);
        ASSERT_TRUE(conninfo) << "the test's own server did not start";
        storage::setDatabaseServer(*conninfo);
        DocumentDb::SetUp();
        AddRecord(TableId::TipEntradas, {{"TEN:Descripcion", Value("COMPRA A PROVEEDOR NACIONAL")}});
        AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(100)}});
        AddArticle({.noArt = 10, .stock = Decimal(10), .average = D(500)});
        AddArticle({.noArt = 20, .stock = Decimal(0)});
    }
    void TearDown() override {
        SetPostingProbe({});
        if (serverDir_.empty()) return;
        DocumentDb::TearDown();
        storage::setDatabaseServer("");
        serverScript("stop", serverDir_);
    }
    std::string serverDir_;
};

TEST_F(ServerStop, MidPostingTheStationSaysSoNothingIsHalfStoredAndAfterTheRestartTheNextUnitPosts) {
    Enter(tables(), {.folio = 101, .type = 1, .date = 80000, .reference = "FACT-9",
                     .lines = {{10, Decimal(5), D(800)}, {20, Decimal(2), D(300)}, {10, Decimal(1), D(100)}}});
    const std::string before = Dump();

    // The server stops once the first line is written, the unit still open.
    bool stopped = false;
    SetPostingProbe([&](std::string_view step, long long n) {
        if (step == "line" && n == 2 && !stopped) stopped = serverScript("halt", serverDir_).has_value();
        return true;
    });
    EXPECT_FALSE(CompleteReceipt(tables()));
    SetPostingProbe({});
    ASSERT_TRUE(stopped);
    ASSERT_FALSE(presenter.empty()) << "the station says the server is gone";
    bool named = false;
    for (const auto& s : presenter.shown()) named = named || s.box.text.find("servidor de datos") != std::string::npos;
    EXPECT_TRUE(named) << presenter.last().text;

    ASSERT_TRUE(serverScript("start", serverDir_));
    EXPECT_EQ(Dump(), before) << "nothing of the posting is stored";

    // The same station, on the same connection: its next unit connects again.
    presenter.clear();
    EXPECT_TRUE(CompleteReceipt(tables()));
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(6));
    EXPECT_EQ(ArticleField(20, "ART:Entradas"), Decimal(2));
    EXPECT_EQ(Count(TableId::Kardex), 3);
    EXPECT_TRUE(LedgerMatchesTotals());
    EXPECT_EQ(CountUnfinished(), movements::test::Unfinished{});
}

}  // namespace
}  // namespace tv::movements::receipts
