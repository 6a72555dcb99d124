#pragma once
// A talvor.db with records in every table, made through the table layer,
// and the whole of a database as text, to compare two of them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tv::copy::test {

struct Filled {
    std::string reservedTable;   // a table with a reservation left open
    int64_t reservedNumber = 0;  // its number (the counter's last)
};

// Three records in every table a store keeps: texts with accents and
// blanks after them, decimals that binary fractions do not hold exactly,
// dates, auto-numbers kept as given; and one reservation left open.
Filled fillDatabase(const std::filesystem::path& db);

// Every stored record of every table (row number, version, each column as
// SQLite gives it as text) and every counter, one line each.
std::vector<std::string> dumpDatabase(const std::filesystem::path& db);

// The scaled value fillDatabase() gives a decimal with `places` places in
// record `i` (0, 1, 2).
int64_t filledDecimal(int i, int places);

}  // namespace tv::copy::test
