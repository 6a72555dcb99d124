#include "tests/app/copy/copy_fixture.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "app/copy/copy_plan.h"
#include "platform/storage/sql_util.h"

namespace tv::copy::test {

using namespace tv::copy::detail;

int64_t filledDecimal(int i, int places) {
    int64_t one = 1;
    for (int p = 0; p < places; ++p) one *= 10;
    // 1.07, -2.07, 3.07 (two places): none is a binary fraction.
    const int64_t v = (i + 1) * one + (places >= 2 ? 7 : 0);
    return i == 1 ? -v : v;
}

Filled fillDatabase(const std::filesystem::path& db) {
    Filled filled;
    storage::Connection c(db);
    EXPECT_TRUE(c.openStatus().ok()) << c.openStatus().text;
    EXPECT_TRUE(storage::createTables(c, storedDefs()).ok());
    for (const TablePlan& t : tablePlans()) {
        storage::Table table(c, t.def);
        const RecordLayout& lay = *t.def->layout;
        for (int i = 0; i < 3; ++i) {
            Record rec(t.def->layout);
            for (int f = 0; f < lay.fieldCount(); ++f) {
                const FieldSpec& field = lay.field(f);
                switch (field.type) {
                case FieldType::String:
                case FieldType::Memo: rec.setText(f, std::string(1, static_cast<char>('A' + i)) + "ñé x "); break;
                case FieldType::Decimal: rec.setRaw(f, field.places > 0 ? filledDecimal(i, field.places) : i + 1); break;
                case FieldType::Date: rec.setRaw(f, 80000 + i); break;
                default: rec.setRaw(f, i + 1); break;
                }
            }
            storage::Status st = table.insert(rec, storage::Table::Numbering::Keep);
            EXPECT_TRUE(st.ok()) << t.table << ": " << st.text;
        }
        if (filled.reservedTable.empty() && t.def->autoNumberKey() >= 0) {
            Record rec(t.def->layout);
            EXPECT_TRUE(table.reserve(rec).ok());
            filled.reservedTable = t.table;
            filled.reservedNumber = rec.raw(t.def->keys[static_cast<size_t>(t.def->autoNumberKey())].fields[0]);
        }
    }
    return filled;
}

std::vector<std::string> dumpDatabase(const std::filesystem::path& db) {
    std::vector<std::string> lines;
    sqlite3* h = nullptr;
    EXPECT_EQ(sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    storage::detail::registerCollation(h);
    auto dump = [&](const std::string& prefix, const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(h, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
        while (sqlite3_step(s) == SQLITE_ROW) {
            std::string line = prefix;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                const unsigned char* v = sqlite3_column_text(s, i);
                line += "|" + (v ? std::string(reinterpret_cast<const char*>(v)) : std::string("NULL"));
            }
            lines.push_back(line);
        }
        sqlite3_finalize(s);
    };
    for (const TablePlan& t : tablePlans()) {
        std::string sql = "SELECT tv_row,tv_version";
        for (const PlanColumn& col : t.cols) sql += "," + storage::detail::quoteId(col.name);
        dump(t.table, sql + " FROM " + storage::detail::quoteId(t.table) + " WHERE tv_pending=0 ORDER BY tv_row");
    }
    dump("tv_autonumber", "SELECT tbl, col, last FROM tv_autonumber ORDER BY tbl, col");
    sqlite3_close_v2(h);
    return lines;
}

}  // namespace tv::copy::test
