#include "platform/threads/logical_thread.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tv::threads {
namespace {

using namespace std::chrono_literals;

// A minimal per-thread event queue, as a window's event loop uses one: the
// owner waits (suspends) until an event arrives; the sender wakes it.
struct Mailbox {
    ThreadNo owner = 0;
    std::deque<std::string> events;
    void post(std::string e) {
        events.push_back(std::move(e));
        wake(owner);
    }
    std::string next() {
        while (events.empty()) suspend();
        std::string e = events.front();
        events.pop_front();
        return e;
    }
};

bool runFor(const std::function<bool()>& done) { return runUntil(done, 10s); }

TEST(LogicalThreads, StartDoesNotWaitAndNumbersAreNeverReused) {
    std::vector<ThreadNo> seen;
    ThreadNo a = start([&] { seen.push_back(current()); }, 25000);
    ThreadNo b = start([&] { seen.push_back(current()); }, 25000);
    EXPECT_TRUE(seen.empty()) << "start() must not run the procedure at once";
    EXPECT_EQ(b, a + 1);
    EXPECT_TRUE(isAlive(a));
    EXPECT_EQ(current(), 0);
    runUntilIdle();
    EXPECT_EQ(seen, (std::vector<ThreadNo>{a, b}));
    EXPECT_FALSE(isAlive(a));
    EXPECT_FALSE(isAlive(b));
    ThreadNo c = start([] {}, 0);
    EXPECT_EQ(c, b + 1) << "numbers of ended threads are not given again";
    runUntilIdle();
}

TEST(LogicalThreads, TwoWaitingThreadsInterleaveAndNeitherBlocksTheOther) {
    Mailbox boxA, boxB;
    std::vector<std::string> log;
    // A and B play ping-pong; each waits in its own loop between events.
    boxA.owner = start([&] {
        for (;;) {
            std::string e = boxA.next();
            log.push_back("A:" + e);
            if (e == "quit") return;
            boxB.post("from A " + e);
        }
    }, 50000);
    boxB.owner = start([&] {
        for (;;) {
            std::string e = boxB.next();
            log.push_back("B:" + e);
            if (e == "quit") return;
        }
    }, 50000);
    runUntilIdle();
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(isAlive(boxA.owner));
    EXPECT_TRUE(isAlive(boxB.owner));

    // Events reach B from the main loop (a timer) while A still waits, and A
    // keeps serving its own events.
    QTimer::singleShot(0, [&] { boxB.post("timer"); });
    ASSERT_TRUE(runFor([&] { return log.size() == 1; }));
    EXPECT_EQ(log.back(), "B:timer");
    boxA.post("1");
    boxA.post("2");
    ASSERT_TRUE(runFor([&] { return log.size() == 5; }));
    EXPECT_EQ(log, (std::vector<std::string>{"B:timer", "A:1", "A:2", "B:from A 1", "B:from A 2"}));
    EXPECT_TRUE(isAlive(boxA.owner));
    EXPECT_TRUE(isAlive(boxB.owner));

    boxA.post("quit");
    boxB.post("quit");
    ASSERT_TRUE(runFor([&] { return aliveCount() == 0; }));
    EXPECT_FALSE(isAlive(boxA.owner));
}

TEST(LogicalThreads, RunFromQtsOwnEventLoop) {
    // The program's path: nothing drives the scheduler but QCoreApplication::exec().
    Mailbox box;
    std::vector<std::string> got;
    box.owner = start([&] {
        got.push_back(box.next());
        QCoreApplication::exit(0);
    }, 0);
    start([&] { box.post("hola"); }, 0);
    QTimer guard;  // a hang fails instead
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(got, (std::vector<std::string>{"hola"}));
    ASSERT_TRUE(runFor([&] { return aliveCount() == 0; }));
}

TEST(LogicalThreads, WakeBeforeSuspendIsNotLostAndWakingDeadThreadsIsHarmless) {
    bool passed = false;
    ThreadNo t = start([&] {
        wake(current());
        suspend();  // returns at once: the wake was pending
        passed = true;
    }, 0);
    runUntilIdle();
    EXPECT_TRUE(passed);
    EXPECT_FALSE(isAlive(t));
    wake(t);
    wake(9999999);
    runUntilIdle();
    EXPECT_THROW(suspend(), std::logic_error);
}

// Per-thread objects that log their life.
std::vector<std::string> g_life;
struct Alpha {
    int value = 0;
    ~Alpha() { g_life.push_back("~Alpha@" + std::to_string(current())); }
};
struct Gamma {
    ~Gamma() { g_life.push_back("~Gamma"); }
};
struct Beta {
    Beta() { perThread<Gamma>(); }  // finishes after Gamma, so dies before it
    ~Beta() { g_life.push_back("~Beta"); }
};

TEST(LogicalThreads, PerThreadStateIsIsolatedAndDestroyedInReverseOrderAtThreadEnd) {
    g_life.clear();
    perThread<Alpha>().value = 7;  // the main stack's own copy
    std::map<ThreadNo, int> seen;
    auto body = [&](int mine) {
        return [&seen, mine] {
            EXPECT_EQ(perThread<Alpha>().value, 0) << "a new thread starts with fresh state";
            perThread<Alpha>().value = mine;
            yieldNow();
            perThread<Beta>();
            yieldNow();
            seen[current()] = perThread<Alpha>().value;
            atThreadEnd([] { g_life.push_back("hook1 sees " + std::to_string(perThread<Alpha>().value)); });
            atThreadEnd([] { g_life.push_back("hook2"); });
        };
    };
    ThreadNo t1 = start(body(1), 0);
    ThreadNo t2 = start(body(2), 0);
    runUntilIdle();
    EXPECT_EQ(seen[t1], 1);
    EXPECT_EQ(seen[t2], 2);
    EXPECT_EQ(perThread<Alpha>().value, 7);
    // Per thread: hooks newest first, while the state still exists; then the
    // objects newest first (Beta completed after Gamma), on their own thread.
    std::vector<std::string> expected;
    for (ThreadNo t : {t1, t2}) {
        std::vector<std::string> one{"hook2", "hook1 sees " + std::to_string(t == t1 ? 1 : 2), "~Beta", "~Gamma",
                                     "~Alpha@" + std::to_string(t)};
        expected.insert(expected.end(), one.begin(), one.end());
    }
    EXPECT_EQ(g_life, expected);
}

TEST(LogicalThreads, AnExceptionEndsOnlyItsOwnThread) {
    std::vector<std::pair<ThreadNo, std::string>> reported;
    setUnexpectedErrorHandler([&](ThreadNo t, const std::string& what) { reported.emplace_back(t, what); });
    g_life.clear();
    Mailbox other;
    int handled = 0;
    ThreadNo bad = start([] {
        perThread<Alpha>();
        yieldNow();
        throw std::runtime_error("boom");
    }, 0);
    other.owner = start([&] {
        while (other.next() != "quit") ++handled;
    }, 0);
    runUntilIdle();
    EXPECT_FALSE(isAlive(bad));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].first, bad);
    EXPECT_EQ(reported[0].second, "boom");
    EXPECT_EQ(g_life, (std::vector<std::string>{"~Alpha@" + std::to_string(bad)})) << "its state was cleaned up";
    ASSERT_TRUE(isAlive(other.owner));
    other.post("x");
    other.post("quit");
    runUntilIdle();
    EXPECT_EQ(handled, 1);
    EXPECT_FALSE(isAlive(other.owner));
    setUnexpectedErrorHandler(nullptr);
}

TEST(LogicalThreads, MaybeYieldLetsOthersRunDuringALongLoop) {
    bool flag = false;
    bool sawFlag = false;
    long calls = 0;
    start([&] {
        // Would never end without giving the other thread a turn.
        auto giveUp = std::chrono::steady_clock::now() + 20s;
        while (!flag && std::chrono::steady_clock::now() < giveUp) {
            ++calls;
            maybeYield();
        }
        sawFlag = flag;
    }, 0);
    start([&] { flag = true; }, 0);
    ASSERT_TRUE(runFor([&] { return aliveCount() == 0; }));
    EXPECT_TRUE(sawFlag);
    EXPECT_GT(calls, 1);
}

TEST(LogicalThreads, RunOnMainStackServesQtButKeepsTheTurn) {
    bool otherRan = false;
    bool otherRanDuringCall = true;
    bool otherRanBeforeReturn = true;
    bool timerFired = false;
    ThreadNo onMain = -1;
    std::string thrown;
    start([&] {
        // Another thread becomes runnable, and Qt has work of its own.
        start([&] { otherRan = true; }, 0);
        QTimer::singleShot(0, [&] { timerFired = true; });
        runOnMainStack([&] {
            onMain = current();
            for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
            otherRanDuringCall = otherRan;
        });
        otherRanBeforeReturn = otherRan;
        try {
            runOnMainStack([] { throw std::runtime_error("desde la pila principal"); });
        } catch (const std::runtime_error& e) {
            thrown = e.what();
        }
    }, 0);
    ASSERT_TRUE(runFor([&] { return aliveCount() == 0; }));
    EXPECT_EQ(onMain, 0);
    EXPECT_TRUE(timerFired) << "Qt's own events are served meanwhile";
    EXPECT_FALSE(otherRanDuringCall);
    EXPECT_FALSE(otherRanBeforeReturn) << "the caller keeps the turn";
    EXPECT_TRUE(otherRan) << "the deferred turn is given once the caller yields";
    EXPECT_EQ(thrown, "desde la pila principal");
    bool direct = false;
    runOnMainStack([&] { direct = true; });  // on the main stack: a plain call
    EXPECT_TRUE(direct);
}

// Uses about `depth` times 64 KB of stack.
__attribute__((noinline)) int deep(int depth) {
    volatile char block[64 * 1024];
    block[0] = static_cast<char>(depth);
    block[sizeof block - 1] = 1;
    if (depth == 0) return block[0] + block[sizeof block - 1];
    return deep(depth - 1) + block[0];
}

TEST(LogicalThreads, StackIsLargerThanAskedFor) {
    int result = -1;
    std::size_t size = 0;
    ThreadNo t = start([&] {
        size = stackSize(current());
        result = deep(4);  // ~320 KB on a thread that asked for 25,000 bytes
    }, 25000);
    runUntilIdle();
    EXPECT_FALSE(isAlive(t));
    EXPECT_GE(size, kMinStack);
    EXPECT_EQ(result, 11);
}

__attribute__((noinline)) int endless(int n) {
    volatile char block[4096];
    block[0] = static_cast<char>(n);
    if (n == -1) return 0;  // never: keeps the compiler from calling this endless
    return endless(n + 1) + block[0];
}

TEST(LogicalThreadsDeathTest, StackOverflowStopsWithAClearMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            start([] { endless(0); }, 0);
            runUntilIdle();
        },
        "stack overflow on logical thread");
}

}  // namespace
}  // namespace tv::threads
