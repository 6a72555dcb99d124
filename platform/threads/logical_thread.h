#pragma once
// Logical threads: each procedure started "on a new thread" runs on a fiber
// (Boost.Context) with its own stack and its own per-thread state, all on the
// GUI's OS thread. Only the main stack runs Qt's event loop; a logical thread
// that waits suspends itself and is resumed from the main loop.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>

namespace tv::threads {

using ThreadNo = int;  // 1, 2, ... ; 0 means the main stack (no logical thread)

// Smallest stack any logical thread gets, whatever it asks for: the
// 25,000/50,000 bytes the menus ask for are far too small for this code.
inline constexpr std::size_t kMinStack = 512 * 1024;

// Starts `procedure` on a new logical thread and returns its number without
// waiting: the thread first runs from the main loop (a QCoreApplication must
// exist). Called on the main stack before the loop runs, it starts at once
// when the loop starts.
ThreadNo start(std::function<void()> procedure, std::size_t stackBytes);

ThreadNo current();               // 0 on the main stack
bool isAlive(ThreadNo t);
int aliveCount();
// The stack the thread runs on, in bytes (at least what it asked for and at
// least kMinStack); 0 for a thread that is not alive.
std::size_t stackSize(ThreadNo t);

// An exception that escapes a thread's procedure ends that thread only; it is
// handed here (the ErrorReporter installs its own; the default writes to
// stderr).
using UnexpectedErrorHandler = std::function<void(ThreadNo, const std::string& what)>;
void setUnexpectedErrorHandler(UnexpectedErrorHandler h);

// Suspends the current logical thread until someone calls wake() for it
// (returns at once when a wake is already pending). On the main stack it is
// a programming error and throws std::logic_error.
void suspend();
// Marks the thread runnable; it resumes from the main loop. Safe to call from
// any logical thread or the main stack; waking a dead thread does nothing.
void wake(ThreadNo t);
// Lets the main loop and the other logical threads run once, then continues.
// On the main stack it only processes pending Qt events.
void yieldNow();
// For long loops that take no events: yields when the thread has run longer
// than a few milliseconds since it last yielded (and the may-yield check
// agrees). Cheap to call often.
void maybeYield();

// Held by a logical thread that must keep the turn through a long piece of
// work (the period closing, from its first table to its commit): while it
// is held, maybeYield() keeps the turn, and a wait that would give it away
// (a database server's answer) blocks instead, serving the main loop's
// events other than user input meanwhile (serveEventsKeepingTurn()), so the
// thread's windows repaint. Waiting for the user still gives the turn away.
class KeepTurn {
public:
    KeepTurn();
    ~KeepTurn();
    KeepTurn(const KeepTurn&) = delete;
    KeepTurn& operator=(const KeepTurn&) = delete;
};
// The current logical thread holds a KeepTurn (false on the main stack).
bool keepsTurn();
// Serves the main loop's events other than user input (timers, painting)
// without giving the turn to any other logical thread.
void serveEventsKeepingTurn();

// Held by a logical thread while it is suspended for an answer that comes
// by itself (a database server's reply), not for input or another thread:
// whoever waits for the program to settle (a UI test) waits for these too.
class AwaitingAnswer {
public:
    AwaitingAnswer();
    ~AwaitingAnswer();
    AwaitingAnswer(const AwaitingAnswer&) = delete;
    AwaitingAnswer& operator=(const AwaitingAnswer&) = delete;
};
// How many logical threads wait so now.
int awaitingAnswers();

// Runs `fn` on the main stack and comes back, keeping the turn: no other
// logical thread runs until this one waits or yields. For a thread that must
// not give the turn away (it holds the database's write lock) but wants the
// window system served meanwhile, so its windows repaint. `fn` must not wait
// for a logical thread. On the main stack it simply calls `fn`. What `fn`
// throws is thrown here.
void runOnMainStack(const std::function<void()>& fn);

// Runs on the current logical thread each time it gives the turn away
// (suspend(), yieldNow(), maybeYield()), just before it does: the storage
// lets go of its read statements there, so a thread that waits holds no
// database snapshot. One hook for the program; null removes it.
void setBeforeSwitchHook(void (*hook)());
// Asked by maybeYield() before it gives the turn away; false keeps the turn
// (the storage says so while the thread holds the database's write lock).
// One check for the program; null removes it.
void setMayYieldCheck(bool (*check)());

// Runs at the end of the current logical thread (LIFO), before its per-thread
// state is destroyed.
void atThreadEnd(std::function<void()> fn);

// Per-thread state: one T per logical thread (and one for the main stack),
// constructed on first use, destroyed when the thread ends, in reverse order
// of construction.
namespace detail {
void* perThreadSlot(std::type_index type, void* (*make)(), void (*destroy)(void*));
}
template <class T>
T& perThread() {
    return *static_cast<T*>(detail::perThreadSlot(
        typeid(T), [] { return static_cast<void*>(new T()); },
        [](void* p) { delete static_cast<T*>(p); }));
}

// Hook the main loop uses to run pending logical threads; installed by the
// first start(). Tests without windows can drive the scheduler with runUntilIdle.
void runUntilIdle();              // main stack only: runs threads until none is runnable
void runUntil(const std::function<bool()>& done);  // main stack: processes Qt events too
// As runUntil, giving up after `limit`; false when `done` never came true.
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

}  // namespace tv::threads
