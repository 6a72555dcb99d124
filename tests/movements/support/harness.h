#pragma once
// Harnesses for the document tests: a failure injected at a step of a
// posting, a child process killed with SIGKILL at a step, several processes
// and several logical threads working at once.
//
// Processes are forked: close every connection of the parent first
// (DocumentDb::CloseDb()); a child opens its own (ChildTables).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/common/unit_of_work.h"
#include "platform/storage/storage.h"

namespace tv::movements::test {

// A step of a posting, as the posting names it to the probe.
struct StepPoint {
    std::string step;   // "begin", "line", "commit", "committed", ...
    long long n = 0;    // "line": the line's number (1 = the first)
    int hit = 1;        // the how-manyth time the step is reached
};

// While it lives, the step makes its unit fail (and everything rolls back).
class InjectedFailure {
public:
    explicit InjectedFailure(StepPoint at);
    ~InjectedFailure();
    InjectedFailure(const InjectedFailure&) = delete;
    InjectedFailure& operator=(const InjectedFailure&) = delete;
    int hits() const { return *hits_; }   // how often the point was reached

private:
    std::shared_ptr<int> hits_;
};

// A connection and table set of a child process's own.
struct ChildTables {
    ChildTables() : store(storage::Connection::open(storage::databasePath())), connection(*store), tables(connection) {}
    std::unique_ptr<storage::Connection> store;
    storage::Connection& connection;
    data::ThreadTableSet tables;
};

enum class Crash { KilledAtStep, FinishedFirst, ChildFailed };
// Runs `body` in a child process that is killed with SIGKILL once it reaches
// `at` (it stops there and tells the parent first). FinishedFirst when the
// body returned 0 without reaching it, ChildFailed when it returned anything
// else or died otherwise.
Crash RunAndKillAt(const StepPoint& at, const std::function<int()>& body);

// Another station that keeps working while the test goes on: `body` runs in
// a child process; where it calls `pause` (its form open, say) the
// constructor returns, and the child waits there until Finish().
class PausedStation {
public:
    explicit PausedStation(const std::function<int(const std::function<void()>& pause)>& body);
    ~PausedStation();   // a station never finished is killed
    PausedStation(const PausedStation&) = delete;
    PausedStation& operator=(const PausedStation&) = delete;
    // Whether the body reached its pause (false: it ended before).
    bool Paused() const { return paused_; }
    // Lets it go on; its exit code (100 + s for a signal s).
    int Finish();

private:
    int pid_ = -1;
    int go_ = -1;
    bool paused_ = false;
    int code_ = -1;
};

// Runs body(0) .. body(count-1) in child processes released together; their
// exit codes (a signal s gives 100 + s).
std::vector<int> RunInProcesses(int count, const std::function<int(int)>& body);

// Runs the bodies on logical threads of their own, started together, until
// every one has ended (false after a time-out). Each works on its thread's
// own tables (data::tables()).
bool RunOnThreads(const std::vector<std::function<void()>>& bodies);

}  // namespace tv::movements::test
