// A record read in part: only the fields asked for (and its key's) come
// back, the others blank; it can be rewritten field by field without
// touching what was not read, never whole. On a server the record is read
// whole (fewer columns save nothing there) and may be rewritten whole.
#include <gtest/gtest.h>

#include <memory>

#include "platform/storage/storage.h"
#include "tests/platform/storage/storage_fixture.h"

namespace tv::storage {
namespace {

using PartialRead = Storage;

TEST_F(PartialRead, OnlyTheFieldsAskedForAreReadAndOnlyFieldByFieldWritten) {
    std::unique_ptr<Connection> c = Connection::open(db);
    Table t(*c, def);
    add(t, 1, "primero", "C-1");
    add(t, 2, "segundo", "C-2");
    {
        Record whole = rec(2);
        ASSERT_TRUE(t.readByKey(kKeyNoArt, whole).ok());
        whole.setRaw(kMonto, 1234);
        whole.setText(kNotas, "una nota");
        ASSERT_TRUE(t.update(whole).ok());
    }

    Record r = rec(2);
    r.setText(kNombre, "lo que había");
    ASSERT_TRUE(t.readByKey(kKeyNoArt, r, {kMonto}).ok());
    EXPECT_EQ(r.raw(kNoArt), 2);          // the key's own field
    EXPECT_EQ(r.raw(kMonto), 1234);
    if (c->onServer()) {
        EXPECT_FALSE(t.currentPartial());
        EXPECT_EQ(rtrim(r.text(kNombre)), "segundo");
        EXPECT_EQ(rtrim(r.text(kNotas)), "una nota");
    } else {
        EXPECT_TRUE(t.currentPartial());
        EXPECT_EQ(rtrim(r.text(kNombre)), "");  // not read: blank, not what the buffer held
        EXPECT_EQ(rtrim(r.text(kNotas)), "");
        EXPECT_EQ(r.raw(kId), 0);
        // Whole, the blank name and notes would be stored: refused, nothing written.
        r.setRaw(kMonto, 1);
        EXPECT_EQ(t.update(r).code, kUnsupported);
    }
    // Field by field, what was not read stays as stored.
    r.setRaw(kMonto, 2000);
    ASSERT_TRUE(t.update(r, {kMonto}).ok());
    Record check = rec(2);
    ASSERT_TRUE(t.readByKey(kKeyNoArt, check).ok());
    EXPECT_FALSE(t.currentPartial());
    EXPECT_EQ(check.raw(kMonto), 2000);
    EXPECT_EQ(rtrim(check.text(kNombre)), "segundo");
    EXPECT_EQ(rtrim(check.text(kCodigo)), "C-2");
    EXPECT_EQ(rtrim(check.text(kNotas)), "una nota");
    // Read whole again, it may be rewritten whole.
    check.setText(kNombre, "segundo bis");
    EXPECT_TRUE(t.update(check).ok());

    // A record not there, or a blank optional key, is not found.
    Record none = rec(9);
    EXPECT_EQ(t.readByKey(kKeyNoArt, none, {kMonto}).code, kRecordNotAvailable);
    Record blank = rec(0);
    EXPECT_EQ(t.readByKey(kKeyNoArt, blank, {kMonto}).code, kRecordNotAvailable);
    // A field the record does not have is refused.
    Record bad = rec(1);
    EXPECT_EQ(t.readByKey(kKeyNoArt, bad, {kNotas + 1}).code, kUnsupported);
}

// The order's key is read too, so a scan goes on from a record read in part.
TEST_F(PartialRead, AScanGoesOnFromARecordReadInPart) {
    std::unique_ptr<Connection> c = Connection::open(db);
    Table t(*c, def);
    add(t, 1, "alfa");
    add(t, 2, "beta");
    add(t, 3, "gamma");
    t.setOrder(kKeyNombre);
    Record r = rec(2);
    ASSERT_TRUE(t.readByKey(kKeyNoArt, r, {kMonto}).ok());
    EXPECT_EQ(rtrim(r.text(kNombre)), "beta");
    Record next = rec();
    ASSERT_TRUE(t.next(next).ok());
    EXPECT_EQ(rtrim(next.text(kNombre)), "gamma");
    EXPECT_FALSE(t.currentPartial());
}

// A handle put back as it was (a unit rolled back) keeps knowing that its
// record was read in part.
TEST_F(PartialRead, AHandlePutBackKeepsKnowingItsRecordWasReadInPart) {
    std::unique_ptr<Connection> c = Connection::open(db);
    Table t(*c, def);
    add(t, 1, "uno");
    add(t, 2, "dos");
    if (c->onServer()) GTEST_SKIP() << "a server reads records whole";
    Record r = rec(1);
    ASSERT_TRUE(t.readByKey(kKeyNoArt, r, {kMonto}).ok());
    const Table::HandleState saved = t.handleState();
    Record other = rec(2);
    ASSERT_TRUE(t.readByKey(kKeyNoArt, other).ok());
    EXPECT_FALSE(t.currentPartial());
    t.restoreHandleState(saved);
    EXPECT_TRUE(t.currentPartial());
    EXPECT_EQ(t.update(r).code, kUnsupported);
}

}  // namespace
}  // namespace tv::storage
