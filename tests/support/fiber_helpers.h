#pragma once
// Driving logical threads from a UI test's main stack.
#include <chrono>
#include <functional>

#include <QApplication>
#include <gtest/gtest.h>

#include "platform/threads/logical_thread.h"

namespace tv::test {

// Runs the scheduler and Qt's events until `done` holds (false after 10 s).
inline bool runFor(const std::function<bool()>& done) {
    return threads::runUntil(done, std::chrono::seconds(10));
}

// Lets every logical thread handle what is queued for it, including the
// answers they await from a database server.
inline void settle() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < 6; ++i) {
        QApplication::processEvents();
        threads::runUntilIdle();
        if (threads::awaitingAnswers() > 0 && std::chrono::steady_clock::now() < giveUp) {
            threads::runUntil([] { return threads::awaitingAnswers() == 0; }, std::chrono::seconds(10));
            i = 0;  // what the answers led to runs its rounds too
        }
    }
}

// Runs `body` on a logical thread of its own and waits until it has ended,
// its end too (its tables and connection let go, which may still wait for
// the server after the body has returned).
inline void onThread(const std::function<void()>& body) {
    const threads::ThreadNo t = threads::start(body, 256 * 1024);
    // Seeding thousands of rows on a busy test server takes longer than a
    // window takes to answer.
    ASSERT_TRUE(threads::runUntil([t] { return !threads::isAlive(t); }, std::chrono::seconds(120)));
}

}  // namespace tv::test
