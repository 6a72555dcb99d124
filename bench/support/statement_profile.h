#pragma once
// Per-statement counts of one connection while a benchmark's timed work
// runs: how often each statement ran, the virtual machine steps it took
// (SQLite's own measure of the work, the same under any load), its steps
// in full table scans, its sorts, its time, and how many statement objects
// were prepared for it.
//
// Off unless TALVOR_BENCH_STATEMENTS names a file: then each watched run
// appends its table there, under its title. The counts cost time: read no
// timings from a run that writes them.
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace tv::bench {

class StatementProfile {
public:
    StatementProfile(sqlite3* db, std::string title);
    ~StatementProfile();   // writes the table
    StatementProfile(const StatementProfile&) = delete;
    StatementProfile& operator=(const StatementProfile&) = delete;

    // Statements that end while paused (the untimed set-up) are not counted.
    void Pause() { paused_ = true; }
    void Resume() { paused_ = false; }
    // Counted units of work (documents), to show the counts per unit.
    void Units(long long n) { units_ = n; }

private:
    static int traced(unsigned type, void* self, void* statement, void* nanoseconds);

    struct Counts {
        long long runs = 0, steps = 0, scanSteps = 0, sorts = 0, nanoseconds = 0;
        std::set<const void*> objects;
    };
    sqlite3* db_;
    std::string title_, file_;
    bool paused_ = false;
    long long units_ = 0;
    std::map<std::string, Counts> counts_;
};

}  // namespace tv::bench
