#include "tests/movements/support/harness.h"

#include <algorithm>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "platform/threads/logical_thread.h"
#include "tests/support/child_process.h"

namespace tv::movements::test {

using tv::test::exitCode;
using tv::test::spawn;

InjectedFailure::InjectedFailure(StepPoint at) : hits_(std::make_shared<int>(0)) {
    SetPostingProbe([at, hits = hits_](std::string_view step, long long n) {
        if (step != at.step || n != at.n) return true;
        ++*hits;
        return false;
    });
}

InjectedFailure::~InjectedFailure() { SetPostingProbe({}); }

Crash RunAndKillAt(const StepPoint& at, const std::function<int()>& body) {
    int reached[2];
    if (pipe(reached) != 0) return Crash::ChildFailed;
    const pid_t pid = spawn([&] {
        close(reached[0]);
        int hits = 0;
        SetPostingProbe([&](std::string_view step, long long n) {
            if (step == at.step && n == at.n && ++hits == at.hit) {
                const char c = 'k';
                if (write(reached[1], &c, 1) != 1) _exit(5);
                for (;;) pause();
            }
            return true;
        });
        return body();
    });
    close(reached[1]);
    char c = 0;
    const bool stopped = read(reached[0], &c, 1) == 1;
    close(reached[0]);
    if (stopped) kill(pid, SIGKILL);
    const int code = exitCode(pid);
    if (stopped) return code == 100 + SIGKILL ? Crash::KilledAtStep : Crash::ChildFailed;
    return code == 0 ? Crash::FinishedFirst : Crash::ChildFailed;
}

PausedStation::PausedStation(const std::function<int(const std::function<void()>& pause)>& body) {
    int reached[2], go[2];
    if (pipe(reached) != 0) return;
    if (pipe(go) != 0) {
        close(reached[0]);
        close(reached[1]);
        return;
    }
    pid_ = spawn([&] {
        close(reached[0]);
        close(go[1]);
        return body([&] {
            const char c = 'p';
            if (write(reached[1], &c, 1) != 1) _exit(5);
            char g = 0;
            if (read(go[0], &g, 1) != 1) _exit(6);
        });
    });
    close(reached[1]);
    close(go[0]);
    go_ = go[1];
    char c = 0;
    paused_ = read(reached[0], &c, 1) == 1;
    close(reached[0]);
}

PausedStation::~PausedStation() {
    if (pid_ > 0 && code_ < 0) {
        kill(pid_, SIGKILL);
        exitCode(pid_);
    }
    if (go_ >= 0) close(go_);
}

int PausedStation::Finish() {
    if (pid_ <= 0) return -1;
    if (code_ >= 0) return code_;
    const char g = 'g';
    if (write(go_, &g, 1) != 1) kill(pid_, SIGKILL);
    code_ = exitCode(pid_);
    return code_;
}

std::vector<int> RunInProcesses(int count, const std::function<int(int)>& body) {
    int go[2];
    std::vector<int> codes;
    if (pipe(go) != 0) return codes;
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        pids.push_back(spawn([&, i] {
            close(go[1]);
            char c = 0;
            if (read(go[0], &c, 1) != 1) return 6;  // released together
            return body(i);
        }));
    }
    close(go[0]);
    const std::string release(static_cast<std::size_t>(count), 'g');
    const bool released = write(go[1], release.data(), release.size()) == static_cast<ssize_t>(release.size());
    close(go[1]);
    for (pid_t p : pids) codes.push_back(exitCode(p));
    if (!released) codes.assign(codes.size(), 7);
    return codes;
}

bool RunOnThreads(const std::vector<std::function<void()>>& bodies) {
    std::vector<threads::ThreadNo> started;
    for (const auto& b : bodies) started.push_back(threads::start(b, 512 * 1024));
    // Until each thread has ended whole: what its end does (its tables and
    // connection let go, a reservation given back) may still wait for the
    // server after its body has returned.
    auto ended = [&] {
        return std::none_of(started.begin(), started.end(), [](threads::ThreadNo t) { return threads::isAlive(t); });
    };
    return threads::runUntil(ended, std::chrono::seconds(120));
}

}  // namespace tv::movements::test
