#include "platform/threads/logical_thread.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <boost/context/fiber.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

namespace ctx = boost::context;

namespace tv::threads {
namespace {

using Clock = std::chrono::steady_clock;

// A thread that has run this long without waiting gives the others a turn.
constexpr auto kTimeSlice = std::chrono::milliseconds(8);

// ---------------------------------------------------------------------------
// Per-thread objects of one logical thread (or of the main stack).
struct PerThreadStore {
    struct Slot {
        std::type_index type;
        void* object;
        void (*destroy)(void*);
    };
    std::vector<Slot> entries;                       // construction order
    std::unordered_map<std::type_index, void*> byType;
    std::vector<std::function<void()>> endHooks;   // run LIFO

    void* get(std::type_index type, void* (*make)(), void (*destroy)(void*)) {
        auto it = byType.find(type);
        if (it != byType.end()) return it->second;
        // make() may itself ask for other per-thread objects: those finish
        // first, so they are destroyed after this one.
        void* object = make();
        entries.push_back({type, object, destroy});
        byType.emplace(type, object);
        return object;
    }

    // Destroys the objects newest first. A destructor that asks for a
    // per-thread object again gets a fresh one, destroyed in the same loop.
    void destroyAll(const std::function<void(const std::string&)>& onError) {
        while (!entries.empty()) {
            Slot s = entries.back();
            entries.pop_back();
            byType.erase(s.type);
            try {
                s.destroy(s.object);
            } catch (const std::exception& e) {
                onError(e.what());
            } catch (...) {
                onError("unknown exception in a per-thread object's destructor");
            }
        }
    }

    ~PerThreadStore() {
        destroyAll([](const std::string&) {});
    }
};

// ---------------------------------------------------------------------------
// Stack overflow detection: each fiber stack has a guard page at its low end;
// touching it raises SIGSEGV, which we turn into a clear message instead of
// a bare crash. The handler runs on its own signal stack.
struct GuardRange {
    uintptr_t low = 0;
    uintptr_t high = 0;
    ThreadNo thread = 0;
};
constexpr int kMaxGuards = 4096;
GuardRange g_guards[kMaxGuards];
struct sigaction g_previousSegv;
bool g_segvInstalled = false;

void writeAll(const char* s) {
    size_t n = std::strlen(s);
    while (n > 0) {
        ssize_t w = ::write(2, s, n);
        if (w <= 0) return;
        s += w;
        n -= static_cast<size_t>(w);
    }
}

void onSegv(int sig, siginfo_t* info, void* uctx) {
    auto addr = reinterpret_cast<uintptr_t>(info->si_addr);
    for (const GuardRange& g : g_guards) {
        if (g.high != 0 && addr >= g.low && addr < g.high) {
            char buf[128];
            // snprintf is not async-signal-safe in theory; format by hand.
            char num[24];
            int i = 0;
            unsigned v = static_cast<unsigned>(g.thread);
            do {
                num[i++] = static_cast<char>('0' + v % 10);
                v /= 10;
            } while (v != 0 && i < 20);
            int k = 0;
            const char* head = "talvor: stack overflow on logical thread ";
            while (*head) buf[k++] = *head++;
            while (i > 0) buf[k++] = num[--i];
            buf[k++] = '\n';
            buf[k] = 0;
            writeAll(buf);
            ::_exit(134);
        }
    }
    // Not ours: hand it to whoever was there before (or crash as usual).
    if (g_previousSegv.sa_flags & SA_SIGINFO) {
        if (g_previousSegv.sa_sigaction) {
            g_previousSegv.sa_sigaction(sig, info, uctx);
            return;
        }
    } else if (g_previousSegv.sa_handler != SIG_DFL && g_previousSegv.sa_handler != SIG_IGN) {
        g_previousSegv.sa_handler(sig);
        return;
    }
    ::signal(SIGSEGV, SIG_DFL);
    ::raise(SIGSEGV);
}

void installSegvHandler() {
    if (g_segvInstalled) return;
    g_segvInstalled = true;
    static std::vector<char> altStack(64 * 1024);
    stack_t ss{};
    ss.ss_sp = altStack.data();
    ss.ss_size = altStack.size();
    ss.ss_flags = 0;
    ::sigaltstack(&ss, nullptr);
    struct sigaction sa{};
    sa.sa_sigaction = &onSegv;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGSEGV, &sa, &g_previousSegv);
}

// Protected stack that registers its guard page for the overflow message.
class GuardedStack {
public:
    GuardedStack(std::size_t bytes, ThreadNo thread) : inner_(bytes), thread_(thread) {}

    ctx::stack_context allocate() {
        ctx::stack_context sc = inner_.allocate();
        auto low = reinterpret_cast<uintptr_t>(sc.sp) - sc.size;
        for (GuardRange& g : g_guards) {
            if (g.high == 0) {
                g.low = low;
                g.thread = thread_;
                g.high = low + ctx::stack_traits::page_size();
                break;
            }
        }
        return sc;
    }
    void deallocate(ctx::stack_context& sc) noexcept {
        auto low = reinterpret_cast<uintptr_t>(sc.sp) - sc.size;
        for (GuardRange& g : g_guards) {
            if (g.high != 0 && g.low == low) {
                g.high = 0;
                break;
            }
        }
        inner_.deallocate(sc);
    }

private:
    ctx::protected_fixedsize_stack inner_;
    ThreadNo thread_;
};

// ---------------------------------------------------------------------------
enum class State { Runnable, Running, Suspended, Finished };

struct LThread {
    ThreadNo no = 0;
    std::function<void()> procedure;
    std::size_t stackBytes = 0;
    State state = State::Runnable;
    bool wakePending = false;
    ctx::fiber self;     // resumed by the scheduler while suspended
    ctx::fiber back;     // the main stack, while this thread runs
    Clock::time_point lastResumed{};
    int keepTurn = 0;    // KeepTurn objects held
    PerThreadStore store;
    // runOnMainStack(): what to run on the main stack, and what it threw.
    const std::function<void()>* mainCall = nullptr;
    std::exception_ptr mainCallError;
};

void defaultUnexpected(ThreadNo t, const std::string& what) {
    std::fprintf(stderr, "talvor: unexpected error on logical thread %d: %s\n", t, what.c_str());
}

class Scheduler {
public:
    static Scheduler& get() {
        // Never destroyed: fibers still suspended at process end must not be
        // unwound during static destruction.
        static Scheduler* s = new Scheduler();
        return *s;
    }

    std::thread::id guiThread = std::this_thread::get_id();
    std::map<ThreadNo, std::unique_ptr<LThread>> threads;
    std::deque<ThreadNo> runQueue;
    ThreadNo current = 0;
    ThreadNo lastNumber = 0;
    PerThreadStore mainStore;
    bool passPosted = false;
    // The thread whose runOnMainStack() call is running: it keeps the turn,
    // so passes wait (passDeferred) until it has been resumed again.
    ThreadNo exclusive = 0;
    bool passDeferred = false;
    QObject* anchor = nullptr;
    UnexpectedErrorHandler unexpected;
    void (*beforeSwitch)() = nullptr;
    bool (*mayYield)() = nullptr;

    bool onGuiThread() const { return std::this_thread::get_id() == guiThread; }

    LThread* find(ThreadNo t) {
        auto it = threads.find(t);
        return it == threads.end() ? nullptr : it->second.get();
    }
    LThread* running() { return current == 0 ? nullptr : find(current); }

    void reportUnexpected(ThreadNo t, const std::string& what) {
        UnexpectedErrorHandler h = unexpected;
        if (!h) {
            defaultUnexpected(t, what);
            return;
        }
        try {
            h(t, what);
        } catch (...) {
            defaultUnexpected(t, what);
        }
    }

    void requestPass() {
        if (passPosted) return;
        if (QCoreApplication::instance() == nullptr && anchor == nullptr) return;  // runUntilIdle drives it
        if (anchor == nullptr) anchor = new QObject();
        passPosted = true;
        QMetaObject::invokeMethod(anchor, [this] { runPass(); }, Qt::QueuedConnection);
    }

    void makeRunnable(LThread* t) {
        t->state = State::Runnable;
        runQueue.push_back(t->no);
        requestPass();
    }

    // Resumes every thread that was runnable when the pass began, each until
    // it waits, yields or ends. Threads made runnable meanwhile wait for the
    // next pass, so Qt's own events get their turn in between.
    void runPass() {
        passPosted = false;
        if (exclusive != 0) {
            passDeferred = true;
            return;
        }
        if (current != 0) {  // someone ran the event loop inside a fiber
            requestPass();
            return;
        }
        std::deque<ThreadNo> batch;
        batch.swap(runQueue);
        for (ThreadNo n : batch) resume(n);
    }

    void resume(ThreadNo n) {
        LThread* t = find(n);
        if (t == nullptr || t->state != State::Runnable) return;
        if (!t->self) createFiber(t);
        t->state = State::Running;
        t->lastResumed = Clock::now();
        current = n;
        t->self = std::move(t->self).resume();
        // The thread asks for something to be run on the main stack and goes
        // on at once afterwards, before anyone else.
        while (t->mainCall != nullptr && t->state == State::Running) {
            const std::function<void()>* call = t->mainCall;
            t->mainCall = nullptr;
            current = 0;
            exclusive = n;
            try {
                (*call)();
            } catch (...) {
                t->mainCallError = std::current_exception();
            }
            exclusive = 0;
            current = n;
            t->self = std::move(t->self).resume();
        }
        current = 0;
        if (t->state == State::Finished) threads.erase(n);  // the stack is already freed
        if (passDeferred) {
            passDeferred = false;
            requestPass();
        }
    }

    void createFiber(LThread* t) {
        installSegvHandler();
        // One spare page for the fiber's own bookkeeping at the top of the stack.
        std::size_t bytes = std::max(t->stackBytes, kMinStack) + ctx::stack_traits::page_size();
        t->self = ctx::fiber(std::allocator_arg, GuardedStack(bytes, t->no),
                             [t](ctx::fiber&& main) { return body(t, std::move(main)); });
    }

    static ctx::fiber body(LThread* t, ctx::fiber&& main) {
        Scheduler& s = get();
        t->back = std::move(main);
        // Runs a step of the thread; what escapes it is returned, not
        // reported: a report may show a message box and so suspend this
        // fiber, which must never happen inside a handler, because every
        // fiber shares the one chain of exceptions being handled.
        auto guarded = [](const std::function<void()>& step,
                          const char* unknown) -> std::optional<std::string> {
            try {
                step();
            } catch (const ctx::detail::forced_unwind&) {
                throw;
            } catch (const std::exception& e) {
                return std::string(e.what());
            } catch (...) {
                return std::string(unknown);
            }
            return std::nullopt;
        };
        auto report = [&](const std::string& what) { s.reportUnexpected(t->no, what); };
        if (auto failure = guarded(t->procedure, "unknown exception")) report(*failure);
        t->procedure = nullptr;
        // End hooks first (newest first), then the per-thread objects.
        while (!t->store.endHooks.empty()) {
            auto hook = std::move(t->store.endHooks.back());
            t->store.endHooks.pop_back();
            if (auto failure = guarded(hook, "unknown exception in an end-of-thread hook")) report(*failure);
        }
        std::vector<std::string> destroyErrors;
        t->store.destroyAll([&](const std::string& what) { destroyErrors.push_back(what); });
        for (const std::string& what : destroyErrors) report(what);
        t->state = State::Finished;
        // Returning switches to the main stack, which then frees this stack.
        return std::move(t->back);
    }

    void suspendCurrent(State as) {
        LThread* t = running();
        if (t == nullptr) throw std::logic_error("suspend() called on the main stack");
        if (beforeSwitch != nullptr) beforeSwitch();
        t->state = as;
        t->back = std::move(t->back).resume();
        // Back from the scheduler.
    }
};

}  // namespace

ThreadNo start(std::function<void()> procedure, std::size_t stackBytes) {
    Scheduler& s = Scheduler::get();
    auto t = std::make_unique<LThread>();
    t->no = ++s.lastNumber;
    t->procedure = std::move(procedure);
    t->stackBytes = std::max(stackBytes, kMinStack);
    LThread* raw = t.get();
    s.threads.emplace(raw->no, std::move(t));
    s.makeRunnable(raw);
    return raw->no;
}

ThreadNo current() {
    Scheduler& s = Scheduler::get();
    return s.onGuiThread() ? s.current : 0;
}

bool isAlive(ThreadNo t) {
    LThread* r = Scheduler::get().find(t);
    return r != nullptr && r->state != State::Finished;
}

int aliveCount() {
    int n = 0;
    for (auto& [no, t] : Scheduler::get().threads)
        if (t->state != State::Finished) ++n;
    return n;
}

namespace {
int answersAwaited = 0;
}  // namespace

AwaitingAnswer::AwaitingAnswer() { ++answersAwaited; }
AwaitingAnswer::~AwaitingAnswer() { --answersAwaited; }
int awaitingAnswers() { return answersAwaited; }

std::size_t stackSize(ThreadNo t) {
    LThread* r = Scheduler::get().find(t);
    if (r == nullptr) return 0;
    return r->stackBytes;
}

void suspend() {
    Scheduler& s = Scheduler::get();
    LThread* t = s.running();
    if (t == nullptr || !s.onGuiThread()) throw std::logic_error("suspend() called on the main stack");
    if (t->wakePending) {
        t->wakePending = false;
        return;
    }
    s.suspendCurrent(State::Suspended);
}

void wake(ThreadNo no) {
    Scheduler& s = Scheduler::get();
    LThread* t = s.find(no);
    if (t == nullptr) return;
    switch (t->state) {
        case State::Suspended:
            s.makeRunnable(t);
            break;
        case State::Running:
            t->wakePending = true;
            break;
        case State::Runnable:
        case State::Finished:
            break;
    }
}

void yieldNow() {
    Scheduler& s = Scheduler::get();
    LThread* t = s.running();
    if (t == nullptr) {
        if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
        return;
    }
    s.runQueue.push_back(t->no);
    s.requestPass();
    s.suspendCurrent(State::Runnable);
}

void maybeYield() {
    Scheduler& s = Scheduler::get();
    if (s.current == 0) return;
    LThread* t = s.running();
    if (t != nullptr && t->keepTurn == 0 && Clock::now() - t->lastResumed > kTimeSlice &&
        (s.mayYield == nullptr || s.mayYield()))
        yieldNow();
}

KeepTurn::KeepTurn() {
    Scheduler& s = Scheduler::get();
    if (LThread* t = s.onGuiThread() ? s.running() : nullptr) ++t->keepTurn;
}

KeepTurn::~KeepTurn() {
    Scheduler& s = Scheduler::get();
    if (LThread* t = s.onGuiThread() ? s.running() : nullptr) --t->keepTurn;
}

bool keepsTurn() {
    Scheduler& s = Scheduler::get();
    LThread* t = s.onGuiThread() ? s.running() : nullptr;
    return t != nullptr && t->keepTurn > 0;
}

void serveEventsKeepingTurn() {
    if (QCoreApplication::instance() == nullptr) return;
    runOnMainStack([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

void runOnMainStack(const std::function<void()>& fn) {
    Scheduler& s = Scheduler::get();
    LThread* t = s.onGuiThread() ? s.running() : nullptr;
    if (t == nullptr) {
        fn();
        return;
    }
    // No before-switch hook: the thread keeps the turn, and its reads too.
    t->mainCall = &fn;
    t->back = std::move(t->back).resume();
    if (t->mainCallError) {
        std::exception_ptr e = t->mainCallError;
        t->mainCallError = nullptr;
        std::rethrow_exception(e);
    }
}

void setBeforeSwitchHook(void (*hook)()) { Scheduler::get().beforeSwitch = hook; }

void setMayYieldCheck(bool (*check)()) { Scheduler::get().mayYield = check; }

void atThreadEnd(std::function<void()> fn) {
    Scheduler& s = Scheduler::get();
    LThread* t = s.onGuiThread() ? s.running() : nullptr;
    if (t != nullptr) {
        t->store.endHooks.push_back(std::move(fn));
    } else if (s.onGuiThread()) {
        s.mainStore.endHooks.push_back(std::move(fn));  // the main stack never ends its "thread"
    }
}

void setUnexpectedErrorHandler(UnexpectedErrorHandler h) { Scheduler::get().unexpected = std::move(h); }

namespace detail {
void* perThreadSlot(std::type_index type, void* (*make)(), void (*destroy)(void*)) {
    Scheduler& s = Scheduler::get();
    if (!s.onGuiThread()) {
        // A real worker thread (not a logical one) keeps its own set.
        thread_local PerThreadStore osThreadStore;
        return osThreadStore.get(type, make, destroy);
    }
    LThread* t = s.running();
    return (t != nullptr ? t->store : s.mainStore).get(type, make, destroy);
}
}  // namespace detail

void runUntilIdle() {
    Scheduler& s = Scheduler::get();
    if (s.current != 0 || s.exclusive != 0) throw std::logic_error("runUntilIdle() called on a logical thread");
    while (!s.runQueue.empty()) s.runPass();
}

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    Scheduler& s = Scheduler::get();
    if (s.current != 0 || s.exclusive != 0) throw std::logic_error("runUntil() called on a logical thread");
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline) return false;
        if (!s.runQueue.empty()) s.runPass();
        if (done()) break;
        if (QCoreApplication::instance() != nullptr) {
            if (s.runQueue.empty()) {
                // Nothing to run: wait for Qt (timers, window events, posted
                // wakes), but no longer than a moment so `done` is re-checked.
                QTimer::singleShot(5, QCoreApplication::instance(), [] {});
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            } else {
                QCoreApplication::processEvents();
            }
        } else if (s.runQueue.empty()) {
            throw std::logic_error("runUntil(): nothing left to run and no Qt application");
        }
    }
    return true;
}

void runUntil(const std::function<bool()>& done) {
    runUntil(done, std::chrono::hours(24 * 365));
}

}  // namespace tv::threads
