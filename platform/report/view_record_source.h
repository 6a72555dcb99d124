#pragma once
// A report fed by a view: each record the view reads lands in its tables'
// buffers, where the layout's fields are looked up by name.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/report/record_source.h"
#include "platform/storage/storage.h"

namespace tv::view {
class ViewCursor;
}

namespace tv::report {

class ViewRecordSource : public RecordSource {
public:
    // `countFirst`: count the view's records before reading, for the
    // percentage (one more pass over the view; off: no percentage).
    explicit ViewRecordSource(view::ViewCursor& cursor, bool countFirst = true);

    // Estimates the share read from the value of the view's ordering field
    // (the article number, a brand code) between those of the first and the
    // last record, instead of counting the records first: two reads by key
    // instead of one more pass over the view.
    void setProgressField(std::string_view name) { progressField_ = std::string(name); }

    // Values not in the view, seen by every record (GLO:EMPRESA).
    void setGlobal(std::string_view name, Value v) { globals_.set(name, std::move(v)); }

    bool next() override;
    // The view's fields ("ART:NoArt"), its computed values, then the globals.
    Value value(std::string_view name) const override;
    double fractionRead() const override;

    // Why the last next() gave no record: kRecordNotAvailable at the end,
    // anything else is a failure the table layer has reported.
    const storage::Status& lastStatus() const { return status_; }
    int64_t recordsRead() const { return read_; }

private:
    view::ViewCursor& cursor_;
    bool countFirst_;
    bool started_ = false;
    int64_t total_ = -1;
    int64_t read_ = 0;
    storage::Status status_;
    ValueMap globals_;
    std::string progressField_;
    bool rangeKnown_ = false;
    double low_ = 0, high_ = 0;
};

}  // namespace tv::report
