#include "platform/report/record_processor.h"

#include <algorithm>
#include <cmath>

#include "platform/errors/error_reporter.h"
#include "platform/threads/logical_thread.h"

namespace tv::report {

namespace {
constexpr int kNoRecords = 25;  // "No hay Registros"
}

RecordProcessor::RecordProcessor(RecordSource& source)
    : source_(source), clock_([] { return std::chrono::steady_clock::now(); }) {}

void RecordProcessor::onRecord(const RecordValues& record) {
    if (onRecord_) onRecord_(record);
}

bool RecordProcessor::start() {
    if (state_ != State::Idle) return state_ == State::Running;
    if (cancelRequested_) {
        state_ = State::Cancelled;
        notify();
        return false;
    }
    if (!source_.next()) {
        state_ = State::NoRecords;
        ErrorReporter::instance().raise(kNoRecords);
        return false;
    }
    state_ = State::Running;
    batch_ = 1;
    notify();
    return true;
}

bool RecordProcessor::processBatch() {
    if (state_ != State::Running) return false;
    const auto began = clock_();
    for (int i = 0; i < batch_; ++i) {
        if (cancelRequested_) break;
        onRecord(source_);
        ++records_;
        if (!source_.next()) {
            state_ = State::Completed;
            break;
        }
    }
    if (cancelRequested_ && state_ == State::Running) state_ = State::Cancelled;
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(clock_() - began);
    if (took * 2 < target_) batch_ = std::min(batch_ * 2, kMaxBatch);
    else if (took > target_) batch_ = std::max(1, batch_ / 2);
    notify();
    return state_ == State::Running;
}

RecordProcessor::State RecordProcessor::run(const std::function<void()>& between) {
    if (!start()) return state_;
    while (processBatch()) {
        if (between) between();
        else threads::yieldNow();
    }
    return state_;
}

void RecordProcessor::cancel() {
    cancelRequested_ = true;
    if (state_ == State::Running) {
        state_ = State::Cancelled;
        notify();
    }
}

RecordProcessor::Progress RecordProcessor::progress() const {
    Progress p;
    p.records = records_;
    p.cancelled = state_ == State::Cancelled;
    if (state_ == State::Completed) {
        p.percent = 100;
    } else {
        double f = source_.fractionRead();
        p.percent = f < 0 ? 0 : std::clamp(static_cast<int>(std::floor(f * 100)), 0, 100);
    }
    return p;
}

void RecordProcessor::notify() {
    if (listener_) listener_(progress());
}

}  // namespace tv::report
