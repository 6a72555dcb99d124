#pragma once
// What the document tests share: a scratch database with articles, read
// back and compared as a whole; the thread's table set on its own
// connection (so postings run without a window or a logical thread).
//
//     class ReceiptPosting : public movements::test::DocumentDb {};
//     TEST_F(ReceiptPosting, ...) {
//         AddArticle({.noArt = 10, .stock = 5, .average = Decimal::fromScaled(200, 2)});
//         const std::string before = Dump();
//         ... post through tables() ...
//         EXPECT_EQ(Dump(), before);                 // nothing changed
//         EXPECT_TRUE(LedgerMatchesTotals());
//     }
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/types/decimal.h"
#include "platform/types/record.h"
#include "tests/movements/support/harness.h"
#include "tests/support/scratch_dir.h"

namespace tv {
// Failures show numbers as numbers.
inline void PrintTo(const Decimal& d, std::ostream* os) { *os << d.toText(); }
}  // namespace tv

namespace tv::movements::test {

using FieldValues = std::vector<std::pair<std::string, Value>>;

struct ArticleSeed {
    long long noArt = 0;
    std::string description{};
    Decimal stock{};        // held as ART:ExistenciaAnterior
    Decimal average{};      // ART:COSTOPROMEDIO
    std::string barcode{};
    long long unit = 0;     // ART:UM
};

// A number with two places from its hundredths: D(1250) is 12.50.
inline Decimal D(long long hundredths) { return Decimal::fromScaled(hundredths, 2); }

// What is not finished: reserved records (of every table), folios held by
// forms, and lines of receipts, issues, orders and counts that no stored
// document has.
struct Unfinished {
    long long reservations = 0, claims = 0, lines = 0;
    bool operator==(const Unfinished&) const = default;
};
inline void PrintTo(const Unfinished& u, std::ostream* os) {
    *os << "{reservations " << u.reservations << ", claims " << u.claims << ", lines " << u.lines << "}";
}

class DocumentDb : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& DbPath() const { return db_; }
    // The table set on this fixture's connection (opened again after CloseDb()).
    data::ThreadTableSet& tables();
    // Closes the connection (before a fork: a child opens its own).
    void CloseDb();
    // Closes the tables and removes everything stored: the database file
    // with its journals, or every table of the test's schema on the server.
    void StartAfresh();

    // --- seeding (each stores one record; auto-numbered keys numbered)
    void AddArticle(const ArticleSeed& a);
    // Stores a record of `t` from field values; returns its first field
    // (the id of the tables whose id comes first).
    long long AddRecord(data::TableId t, const FieldValues& values);

    // --- reading back
    // The article as stored (nullopt when there is none).
    std::optional<Record> Article(long long noArt);
    Decimal ArticleField(long long noArt, const std::string& field);
    // Every record of `t` in record order.
    std::vector<Record> Rows(data::TableId t);
    long long Count(data::TableId t);
    static Value Get(const Record& r, const std::string& field);
    // Every table of the database, row by row, as text: equal dumps are equal
    // databases (the auto-number counters included).
    std::string Dump();
    bool IntegrityOk();
    // What is not finished (see Unfinished).
    Unfinished CountUnfinished();
    // Runs `body` in a child process killed with SIGKILL at each point: every
    // time the database is whole and dumps as `before`.
    void ExpectKilledAtEachLeavesItAsBefore(const std::vector<StepPoint>& points, const std::function<int()>& body,
                                            const std::string& before);
    // Every article's receipts minus issues equals the sum of its ledger
    // rows' quantities in minus out (articles seeded with their stock as
    // opening stock and no ledger rows).
    bool LedgerMatchesTotals();

    tv::test::ScratchDir dir;
    ScriptedPresenter presenter;

private:
    std::filesystem::path db_;
    std::unique_ptr<storage::Connection> conn_;
    std::unique_ptr<data::ThreadTableSet> tables_;
    std::optional<ScopedPresenter> scope_;
};

}  // namespace tv::movements::test
