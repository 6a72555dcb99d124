#include "bench/support/statement_profile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tv::bench {

StatementProfile::StatementProfile(sqlite3* db, std::string title) : db_(db), title_(std::move(title)) {
    if (const char* f = std::getenv("TALVOR_BENCH_STATEMENTS"); f != nullptr && *f != '\0') file_ = f;
    if (!file_.empty() && db_ != nullptr) sqlite3_trace_v2(db_, SQLITE_TRACE_PROFILE, &StatementProfile::traced, this);
}

int StatementProfile::traced(unsigned type, void* self, void* statement, void* nanoseconds) {
    auto& p = *static_cast<StatementProfile*>(self);
    auto* s = static_cast<sqlite3_stmt*>(statement);
    if (type != SQLITE_TRACE_PROFILE) return 0;
    // Each run's own steps: the counters are cleared as they are read.
    const int steps = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_VM_STEP, 1);
    const int scans = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_FULLSCAN_STEP, 1);
    const int sorts = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_SORT, 1);
    if (p.paused_) return 0;
    const char* sql = sqlite3_sql(s);
    Counts& c = p.counts_[sql != nullptr ? sql : "?"];
    ++c.runs;
    c.steps += steps;
    c.scanSteps += scans;
    c.sorts += sorts;
    c.nanoseconds += *static_cast<const long long*>(nanoseconds);
    c.objects.insert(s);
    return 0;
}

StatementProfile::~StatementProfile() {
    if (file_.empty() || db_ == nullptr) return;
    sqlite3_trace_v2(db_, 0, nullptr, nullptr);
    FILE* out = std::fopen(file_.c_str(), "a");
    if (out == nullptr) return;
    std::vector<std::pair<std::string, Counts>> rows(counts_.begin(), counts_.end());
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second.steps > b.second.steps; });
    Counts total;
    for (const auto& [sql, c] : rows) {
        total.runs += c.runs;
        total.steps += c.steps;
        total.scanSteps += c.scanSteps;
        total.sorts += c.sorts;
        total.nanoseconds += c.nanoseconds;
        total.objects.insert(c.objects.begin(), c.objects.end());
    }
    const double per = units_ > 0 ? static_cast<double>(units_) : 1.0;
    std::fprintf(out, "== %s: %lld units; per unit: %.1f statements run, %.0f VM steps, %.0f full-scan steps, "
                 "%.2f sorts, %.3f ms in SQLite; %zu statement objects\n",
                 title_.c_str(), units_, static_cast<double>(total.runs) / per, static_cast<double>(total.steps) / per,
                 static_cast<double>(total.scanSteps) / per, static_cast<double>(total.sorts) / per,
                 static_cast<double>(total.nanoseconds) / per / 1e6, total.objects.size());
    std::fprintf(out, "%10s %12s %10s %7s %9s %4s  %s\n", "runs/unit", "steps/unit", "scan/unit", "sorts", "ms/unit",
                 "objs", "statement");
    for (const auto& [sql, c] : rows) {
        std::string shown = sql.size() > 200 ? sql.substr(0, 197) + "..." : sql;
        std::replace(shown.begin(), shown.end(), '\n', ' ');
        std::fprintf(out, "%10.1f %12.0f %10.0f %7lld %9.3f %4zu  %s\n", static_cast<double>(c.runs) / per,
                     static_cast<double>(c.steps) / per, static_cast<double>(c.scanSteps) / per, c.sorts,
                     static_cast<double>(c.nanoseconds) / per / 1e6, c.objects.size(), shown.c_str());
    }
    std::fputc('\n', out);
    std::fclose(out);
}

}  // namespace tv::bench
