#pragma once
// What two database files hold, compared table by table and row by row:
// every table of the file (the auto-number counters too), every column, in
// row order. Row versions come from each connection's own random seed, so
// they are compared by their order within their table: a row rewritten on
// one side and not on the other, or rewritten in another order, differs.
#include <filesystem>
#include <string>

namespace tv::bench {

// "" when `a` and `b` hold the same rows; else the first difference, in words.
std::string StoredRowsDiffer(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace tv::bench
