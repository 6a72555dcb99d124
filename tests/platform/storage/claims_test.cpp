// Claims seen alike by every connection, whatever each one learnt of the
// claim table before: made by another connection later, made inside a unit
// that was rolled back, or on the file a connection opened after another.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/storage/owners.h"
#include "platform/storage/storage.h"
#include "tests/support/scratch_dir.h"

namespace tv::storage {
namespace {

struct Claims : ::testing::Test {
    test::ScratchDir dir;
    std::filesystem::path db = dir.file("talvor.db");

    static std::optional<Claim> find(Connection& c, int64_t folio) {
        std::optional<Claim> out;
        const Status st = findClaim(c, "Entradas", folio, out);
        EXPECT_TRUE(st.ok()) << st.text;
        return out;
    }
};

TEST_F(Claims, AClaimTableAnotherConnectionMakesLaterIsSeen) {
    std::unique_ptr<Connection> a = Connection::open(db), b = Connection::open(db);
    // `a` looks first, while there is no claim table at all.
    EXPECT_FALSE(find(*a, 7));
    std::vector<Claim> all;
    ASSERT_TRUE(listClaims(*a, all).ok());
    EXPECT_TRUE(all.empty());

    ASSERT_TRUE(putClaim(*b, {"Entradas", 7, "b.1"}).ok());
    const std::optional<Claim> seen = find(*a, 7);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->owner, "b.1");
    EXPECT_EQ(putClaim(*a, {"Entradas", 7, "a.1"}).code, kCreatesDuplicateKey);

    // And the other way: what `a` drops, `b` no longer finds.
    ASSERT_TRUE(dropClaims(*a, "Entradas", "b.1").ok());
    EXPECT_FALSE(find(*b, 7));
}

TEST_F(Claims, AClaimTableMadeInsideARolledBackUnitIsGoneAgain) {
    std::unique_ptr<Connection> a = Connection::open(db), b = Connection::open(db);
    EXPECT_FALSE(find(*a, 3));
    {
        Transaction tx(*a);
        ASSERT_TRUE(tx.ok());
        ASSERT_TRUE(putClaim(*a, {"Entradas", 3, "a.1"}).ok());
        EXPECT_TRUE(find(*a, 3));
        tx.rollback();
    }
    // Asked again, not an error about a missing table, and nothing held.
    EXPECT_FALSE(find(*a, 3));
    std::vector<Claim> all;
    ASSERT_TRUE(listClaims(*a, all).ok());
    EXPECT_TRUE(all.empty());
    // Made again, and this time kept.
    {
        Transaction tx(*a);
        ASSERT_TRUE(putClaim(*a, {"Entradas", 3, "a.1"}).ok());
        ASSERT_TRUE(tx.commit().ok());
    }
    EXPECT_TRUE(find(*a, 3));
    EXPECT_TRUE(find(*b, 3));
}

TEST_F(Claims, AConnectionOnAnotherFileKnowsNothingOfTheFirstOnesTable) {
    std::unique_ptr<Connection> first = Connection::open(db);
    if (first->onServer()) GTEST_SKIP() << "one schema per test on the server";
    ASSERT_TRUE(putClaim(*first, {"Entradas", 5, "a.1"}).ok());
    EXPECT_TRUE(find(*first, 5));
    first.reset();
    // Very likely at the same address as the first one.
    std::unique_ptr<Connection> second = Connection::open(dir.file("otro.db"));
    EXPECT_FALSE(find(*second, 5));
    ASSERT_TRUE(putClaim(*second, {"Entradas", 5, "b.1"}).ok());
    EXPECT_EQ(find(*second, 5)->owner, "b.1");
}

}  // namespace
}  // namespace tv::storage
