#pragma once
// One side of a benchmark pair, measured, then checked against the other.
//
// A side is a class with
//     explicit Side(const std::filesystem::path& database);
//     void Prepare(long long n);   // the set-up of unit n (not timed)
//     bool Work(long long n);      // unit n: a posting, a generation ... (timed)
//     sqlite3* Handle() const;     // its connection, for the statement counts
// Both sides of a pair make the same set-up, so after the same units they
// must have stored the same rows. RunPaired times `Timed`, then lets `Other`
// do the same units on a database of its own (not timed) and compares the
// two files (StoredRowsDiffer): a difference fails the benchmark, so that
// neither side can do less, or more, than the other unnoticed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "bench/support/folder.h"
#include "bench/support/statement_profile.h"
#include "bench/support/stored_rows.h"

namespace tv::bench {

template <class Timed, class Other>
void RunPaired(benchmark::State& state, const std::string& title, int unitsPerIteration) {
    Folder dir("tv_posting");
    const auto timedFile = dir.path / "timed.db", otherFile = dir.path / "other.db";
    long long units = 0;
    {
        Timed side(timedFile);
        StatementProfile profile(side.Handle(), title);
        profile.Pause();
        for (auto _ : state) {
            bool failed = false;
            for (int i = 0; i < unitsPerIteration && !failed; ++i) {
                state.PauseTiming();
                side.Prepare(++units);
                profile.Resume();
                state.ResumeTiming();
                failed = !side.Work(units);
                profile.Pause();
            }
            if (failed) {
                state.SkipWithError((title + ": a unit was not stored").c_str());
                return;
            }
        }
        profile.Units(units);
    }
    {
        Other other(otherFile);
        for (long long n = 1; n <= units; ++n) {
            other.Prepare(n);
            if (!other.Work(n)) {
                state.SkipWithError((title + ": the other side did not store a unit").c_str());
                return;
            }
        }
    }
    if (const std::string d = StoredRowsDiffer(timedFile, otherFile); !d.empty())
        state.SkipWithError((title + ": the two sides stored other rows: " + d).c_str());
}

}  // namespace tv::bench
