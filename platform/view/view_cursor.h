#pragma once
// ViewCursor: an ordered, filtered, ranged sequence of records over a primary
// table and the tables joined to it by key. It reads each record into the
// record buffers it was given (the thread's buffers of its tables), so
// forms, lists and reports find the current row where they always look.
//
//   primary table     one declared table; its rows are the view's rows.
//   joins             each joined table is read by one of its keys from
//                     fields of a table before it in the view (the article
//                     of a receipt line, then the article's unit). A missing
//                     record clears that table's buffer (outer join) or
//                     leaves the row out (inner join); a table joined from a
//                     missing record is missing too.
//   order             [start order text] + a key of the primary table (or
//                     record order) + [added order text], then record order.
//                     Order texts are those of tv::expr::parseOrder; their
//                     names may be fields of any table of the view.
//   ranges            on a field of the primary table: one value, low/high,
//                     or the value of a field of another record, read at
//                     every seek (the lines of the receipt now in the header
//                     buffer: DEN:ENTRADA = ENT:Folio).
//   filters           the standard filter and named filters, all ANDed.
//                     Names: the fields of the view's tables ("ART:NoArt"),
//                     its computed values, then the fallback resolver (the
//                     thread's other tables).
//   computed values   named values worked out by a callback for each row
//                     after its joins are read and before the filters run.
//
// Reading goes in either direction from a position, one record at a time or
// a page at a time; every read is a keyset seek (the order's values of the
// record last read, never an OFFSET), so a page costs the same in a table of
// ten thousand or a million rows. Filters made only of comparisons on fields
// of the primary table go to SQL with bound parameters (of a filter that also
// uses other names, its ANDed parts that qualify); every row SQL returns is
// still tested by the evaluated filter, so SQL can only narrow the work.
//
// Positions: position() is a text of at most kPositionSize bytes (the order's
// values of the current record and its record number, written as text; when
// long values do not all fit, the record is found again by its number;
// trailing blanks are ignored on the way back, so it survives a padded text
// field). setPosition() puts the view at a saved position: next() then reads
// that record, or the one after it in order when it has since been deleted.
//
// Between reads the view holds no SQL statement open unless sequential mode
// is on (reports): call release() (or setSequential(false)) before writing
// on the same connection while a sequential read is under way.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expr/ast.h"
#include "platform/expr/binding.h"
#include "platform/expr/program.h"
#include "platform/storage/storage.h"
#include "platform/types/record.h"

namespace tv::storage {
class Driver;
class Statement;
}  // namespace tv::storage

namespace tv::view {

inline constexpr std::size_t kPositionSize = 1024;

enum class JoinKind { Outer, Inner };

// A value as SQL stores it (text without trailing blanks, whole numbers and
// scaled decimals as integers, decimals with places as reals).
struct SqlValue {
    enum class Kind : uint8_t { Int, Real, Text };
    Kind kind = Kind::Int;
    int64_t i = 0;
    double d = 0;
    std::string s;
    bool operator==(const SqlValue&) const = default;
};

class ViewCursor {
public:
    static constexpr int kRecordOrder = storage::Table::kRecordOrder;

    explicit ViewCursor(storage::Connection& connection);
    ~ViewCursor();
    ViewCursor(const ViewCursor&) = delete;
    ViewCursor& operator=(const ViewCursor&) = delete;

    storage::Connection& connection() const { return conn_; }

    // --- tables (set up once, before the order, ranges and filters) ---
    // `watch`, when given, is the table handle through which the caller
    // writes (the gateway's): each record the view reads becomes its current
    // record, so a later change is checked against the version read here.
    // Returns the table's index in the view: 0 for the primary table.
    int setPrimary(std::shared_ptr<const storage::TableDef> def, Record& buffer, storage::Table* watch = nullptr);
    // One source per leading component of `key` of the joined table: the
    // component gets the value of field `field` of view table `table`.
    struct Source {
        int table = 0;
        int field = -1;
    };
    int addJoin(std::shared_ptr<const storage::TableDef> def, Record& buffer, int key, std::vector<Source> sources,
                JoinKind kind, storage::Table* watch = nullptr);
    int tableCount() const { return static_cast<int>(tables_.size()); }
    Record& buffer(int table) const;
    // A field of the view's tables by its label ("DEN:ENTRADA", any case).
    bool findField(std::string_view name, int& table, int& field) const;

    // --- computed values and names ---
    // A value known to filters by `name`, recomputed for every row.
    void addComputed(std::string_view name, std::function<Value()> compute);
    // The current value of a computed value (the last row read).
    std::optional<Value> computed(std::string_view name) const;
    // Names the view's tables and computed values do not hold.
    void setFallbackNames(const expr::NameResolver* names);
    // The view's names (its tables' fields, computed values, then the
    // fallback), for callers that compile their own expressions over it.
    const expr::NameResolver& names() const;

    // --- order ---
    // Key of the primary table (index) or kRecordOrder, plus an order text
    // appended after the key's components. Keeps the start order.
    bool setOrder(int key, std::string_view addedOrder = {}, expr::ExprError* error = nullptr);
    // An order text put before the key (a column-header sort); blank clears it.
    bool setStartOrder(std::string_view text, expr::ExprError* error = nullptr);
    int orderKey() const { return key_; }

    // --- ranges on fields of the primary table ---
    void addRange(int field, const Value& value);
    void addRange(int field, const Value& low, const Value& high);
    // field = the value `otherField` of `other` has when the view seeks.
    void addRangeByRelation(int field, const Record& other, int otherField);
    void clearRanges();

    // --- filters ---
    // Blank text: no standard filter. A text that does not compile is
    // refused (the previous filter stays) with *error filled.
    bool setFilter(std::string_view text, expr::ExprError* error = nullptr);
    const std::string& filter() const { return filterText_; }
    // Named filters: a blank text removes the named one.
    bool setNamedFilter(std::string_view name, std::string_view text, expr::ExprError* error = nullptr);
    void clearFilters();
    // Filters made of comparisons on primary fields go to SQL (default on).
    void setPushDown(bool on);
    // Rows SQL returns for a pushed filter are evaluated again (default on;
    // tests switch it off to see what SQL alone selects).
    void setVerifyPushed(bool on) { verifyPushed_ = on; }
    // How many of the current filters run in SQL, wholly or in part (for
    // tests and benchmarks).
    int pushedFilterCount();

    // --- positions and reading ---
    // No position: next() reads the first record, previous() the last.
    void reset();
    // The saved position of the current record ("" when there is none).
    std::string position() const;
    // next() reads the record at `pos` (or the first after it, when it is
    // gone), previous() the record at it (or the last before it). A position
    // of another order is taken by its record number; unreadable text
    // resets. Returns false for text that is not a position.
    bool setPosition(std::string_view pos);
    // next() reads the record numbered `row` (the table handle's
    // currentRow(), e.g. a record just inserted or changed) at its place in
    // the order, previous() the same. False when there is no such record
    // (the view is then reset).
    bool setPositionRow(int64_t row);
    // next() reads the first record at or after the order's values in the
    // primary buffer (a locator fills the free key field first); previous()
    // the last one at or before them. Values of ranged fields come from the
    // range.
    void setPositionFromBuffer();
    // Reads the record of a saved position again (by its record number),
    // with its joins and computed values, whatever the filter says; it
    // becomes current. kRecordNotAvailable when it was deleted.
    storage::Status reget(std::string_view pos);

    // The following / preceding record of the view; kRecordNotAvailable past
    // the end (the position stays on the last record read).
    storage::Status next();
    storage::Status previous();
    // Up to n records from the position, forward or backward; onRecord runs
    // after each is read into the buffers. Returns how many were read
    // (status in *st when given).
    int readPage(int n, bool forward, const std::function<void()>& onRecord, storage::Status* st = nullptr);
    // Number of records of the view (ranges, filters, inner joins). Leaves
    // the position and the buffers as they were.
    storage::Status count(int64_t& n);

    bool hasCurrent() const { return hasLast_; }
    int64_t currentRow() const { return hasLast_ ? lastRow_ : 0; }

    // Sequential reading for reports: the statement stays open between
    // reads and the connection reads ahead. Off releases it.
    void setSequential(bool on);
    // Closes any open statement (the position is kept).
    void release();

private:
    struct Table;
    struct OrderItem;
    struct Range;
    struct Filter;
    struct Computed;
    struct Stmt;
    class Names;

    static std::unique_ptr<Table> makeTable(std::shared_ptr<const storage::TableDef> def, Record& buffer,
                                            storage::Table* watch);
    storage::Status ensureReady();
    storage::Status seek(int dir);
    storage::Status openPhase();
    storage::Status step(int dir);
    storage::Status acceptRow(storage::Statement& s, bool applyFilters, bool& accepted);
    storage::Status readJoins(bool& innerMissing);
    bool compileFilter(Filter& f, expr::ExprError* error);
    void rebuildOrder();
    bool appendOrderText(std::string_view text, expr::ExprError* error);
    void structureChanged();
    std::string whereBase(std::vector<SqlValue>& params);
    std::string selectList() const;
    storage::Statement* prepareCached(const std::string& sql, storage::Status& st);
    SqlValue fieldValue(int table, int field) const;
    SqlValue toSqlValue(const Table& t, int field, const Value& v) const;
    storage::Status rowToBuffers(int64_t row, bool& found);
    std::string orderSignature() const;

    storage::Connection& conn_;
    std::vector<std::unique_ptr<Table>> tables_;
    int key_ = kRecordOrder;
    std::string addedOrder_, startOrder_;
    std::vector<OrderItem> order_;       // start items, key components, added items (no record order)
    std::vector<Range> ranges_;
    std::string filterText_;
    std::vector<std::unique_ptr<Filter>> filters_;  // [0] standard (may be empty), then named
    std::vector<std::unique_ptr<Computed>> computed_;
    std::unique_ptr<Names> names_;
    const expr::NameResolver* fallback_ = nullptr;
    bool pushDown_ = true;
    bool verifyPushed_ = true;
    bool compiled_ = true;               // filters compiled against the current names

    // Position: the order's values and record number of the anchor.
    enum class Anchor { None, At, Last } anchor_ = Anchor::None;
    std::vector<SqlValue> anchorVals_;
    int64_t anchorRow_ = 0;
    bool anchorRowGiven_ = false;
    bool hasLast_ = false;
    std::vector<SqlValue> lastVals_;
    int64_t lastRow_ = 0;

    // The open statement (sequential reading, or within a page).
    storage::Statement* live_ = nullptr;
    int liveDir_ = 0;
    uint64_t liveGen_ = 0;
    std::chrono::steady_clock::time_point lastStep_{};
    const storage::Driver* driver_ = nullptr;   // the driver the statements belong to
    uint64_t file_ = 0;                   // and the connection's file generation then
    bool sequential_ = false;
    bool inPage_ = false;
    std::vector<std::string> phaseSql_;   // the seek's phases, in turn
    std::vector<SqlValue> phaseParams_;
    size_t phase_ = 0;
    // The server's batches: rows the open statement gave, and the last one's
    // order values and record number.
    int batchRows_ = 0;
    std::vector<SqlValue> seenVals_;
    int64_t seenRow_ = 0;

    std::map<std::string, std::unique_ptr<Stmt>> cache_;
};

}  // namespace tv::view
