#include "data/transaction.h"

#include <exception>

namespace tv::data {

DataTransaction::DataTransaction(ThreadTableSet& set, std::chrono::milliseconds lockTimeout)
    : set_(set), tx_(set.connection(), lockTimeout) {}

DataTransaction::~DataTransaction() {
    if (!done_) {
        tx_.rollback();
        // Never show anything while an exception unwinds through here.
        if (std::uncaught_exceptions() == 0) ended();
    }
}

bool DataTransaction::commit() {
    if (done_) return false;
    done_ = true;
    bool ok = tx_.ok();
    if (ok) {
        commit_ = tx_.commit();
        ok = commit_.ok();
    }
    if (!ok) tx_.rollback();
    ended();
    return ok;
}

void DataTransaction::rollback() {
    if (done_) return;
    done_ = true;
    tx_.rollback();
    ended();
}

void DataTransaction::ended() { set_.showDeferred(); }

}  // namespace tv::data
