#pragma once
// The report's record loop: reads its source in batches whose size follows
// the time they take, so that the windows stay responsive and "Cancelar"
// is seen between batches.
#include <chrono>
#include <functional>

#include "platform/report/record_source.h"

namespace tv::report {

class RecordProcessor {
public:
    struct Progress {
        long long records = 0;  // records processed
        int percent = 0;        // 0..100, the estimated share of the source read
        bool cancelled = false;
    };
    enum class State { Idle, Running, Completed, Cancelled, NoRecords };
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit RecordProcessor(RecordSource& source);
    virtual ~RecordProcessor() = default;

    // The report's own step for each record: computed fields, then the
    // detail band. The default calls the hook set with setOnRecord.
    virtual void onRecord(const RecordValues& record);
    void setOnRecord(std::function<void(const RecordValues&)> f) { onRecord_ = std::move(f); }
    void setProgressListener(std::function<void(const Progress&)> f) { listener_ = std::move(f); }

    // Reads the first record. Without one: message 25, state NoRecords, false.
    bool start();
    // Processes one batch. True while records remain.
    bool processBatch();
    // start(), then batches until the end or a cancel; `between` runs after
    // every batch (by default the logical thread yields, so the windows and
    // the other threads run). Returns the final state.
    State run(const std::function<void()>& between = {});
    // Stops the loop after the record being processed.
    void cancel();

    State state() const { return state_; }
    Progress progress() const;
    int batchSize() const { return batch_; }

    // Batch time aimed at: the batch grows while it takes less than half of
    // it and shrinks when it takes more.
    void setTargetBatchTime(std::chrono::microseconds t) { target_ = t; }
    void setClock(Clock c) { clock_ = std::move(c); }
    static constexpr int kMaxBatch = 1 << 16;

private:
    void notify();

    RecordSource& source_;
    std::function<void(const RecordValues&)> onRecord_;
    std::function<void(const Progress&)> listener_;
    Clock clock_;
    std::chrono::microseconds target_{50000};
    State state_ = State::Idle;
    int batch_ = 1;
    long long records_ = 0;
    bool cancelRequested_ = false;
};

}  // namespace tv::report
