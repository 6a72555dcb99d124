#pragma once
// What a copy moves, as both stores see it: the tables a store keeps (the
// declarations without aliases and without a thread's own tables), their
// columns with the kind of value each holds, and one record in transit.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/storage.h"

namespace tv::copy::detail {

enum class ColKind { Text, Int, Decimal };

struct PlanColumn {
    std::string name;   // unquoted ("NoArt")
    ColKind kind = ColKind::Int;
    int places = 0;     // Decimal: the value is held scaled by 10^places
    int digits = 0;     // Decimal: at most this many digits in all
};

struct TablePlan {
    std::shared_ptr<const storage::TableDef> def;
    std::string table;   // the SQL table
    std::vector<PlanColumn> cols;
};

// Every table a store keeps, in declaration order.
const std::vector<TablePlan>& tablePlans();
std::vector<std::shared_ptr<const storage::TableDef>> storedDefs();
// The names no target may hold already: the tables and the side tables.
std::vector<std::string> programTableNames();

// One stored record: its row number and version, and per column either
// nums[i] (Int, Decimal scaled) or texts[i] (Text, without trailing blanks).
struct Row {
    int64_t tvRow = 0;
    int64_t version = 0;
    std::vector<int64_t> nums;
    std::vector<std::string> texts;
};

struct Counter {
    std::string table, column;
    int64_t last = 0;
};

// "tabla Articulo, registro 12, columna Descripcion: <what>".
std::string where(const TablePlan& t, int64_t tvRow, const PlanColumn& c, std::string_view what);

// Whether the text may go to either store: UTF-8 without NUL bytes.
bool storableText(std::string_view t);
// Whether a scaled decimal fits the column's digits.
bool fitsDigits(int64_t scaled, int digits);

// A failure of the copy, in words that say what failed.
storage::Status failure(std::string text);
// The status with its text prefixed by what was being done.
storage::Status during(std::string_view what, storage::Status st);

}  // namespace tv::copy::detail
