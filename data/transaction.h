#pragma once
// One unit of work over any tables of the current logical thread: the
// postings make a whole document one unit with it.
//
//     DataTransaction tx;               // BEGIN IMMEDIATE, nestable
//     if (!tx.ok()) { ...message 24... }
//     ... gateway reads, inserts, updates ...
//     if (failed) tx.rollback(); else tx.commit();
//
// Only the outermost unit begins and commits; a failure anywhere (an inner
// unit not committed, an exception) rolls the whole unit back. While the unit
// is open the gateways show no message and ask nothing (a question is
// answered No): what they report is shown once the outermost unit has ended.
#include <chrono>
#include <optional>

#include "data/thread_table_set.h"
#include "platform/storage/storage.h"

namespace tv::data {

class DataTransaction {
public:
    explicit DataTransaction(ThreadTableSet& set = tables(),
                             std::chrono::milliseconds lockTimeout = std::chrono::seconds(2));
    ~DataTransaction();
    DataTransaction(const DataTransaction&) = delete;
    DataTransaction& operator=(const DataTransaction&) = delete;

    bool ok() const { return tx_.ok(); }
    // Why the unit failed: its begin (kLockTimeout, ...), or its commit
    // (kDiskFull when the disk filled up, ...).
    const storage::Status& status() const { return commit_.ok() ? tx_.status() : commit_; }
    // True when committed (an inner unit only counts); false when the unit
    // was rolled back instead.
    bool commit();
    void rollback();

private:
    void ended();
    ThreadTableSet& set_;
    storage::Transaction tx_;
    storage::Status commit_;
    bool done_ = false;
};

}  // namespace tv::data
