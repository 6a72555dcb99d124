#include "platform/report/view_record_source.h"

#include <algorithm>

#include "platform/view/view_cursor.h"

namespace tv::report {

ViewRecordSource::ViewRecordSource(view::ViewCursor& cursor, bool countFirst)
    : cursor_(cursor), countFirst_(countFirst) {}

bool ViewRecordSource::next() {
    if (!started_) {
        started_ = true;
        if (!progressField_.empty()) {
            // The first and the last record in the view's order give the
            // range; nothing more is read when there is no first record.
            cursor_.reset();
            status_ = cursor_.next();
            if (!status_.ok()) return false;
            const std::string first = cursor_.position();
            low_ = value(progressField_).asNumber().toDouble();
            cursor_.reset();
            if (cursor_.previous().ok()) {
                high_ = value(progressField_).asNumber().toDouble();
                rangeKnown_ = true;
            }
            cursor_.setPosition(first);
        } else {
            if (countFirst_) {
                int64_t n = 0;
                if (cursor_.count(n).ok()) total_ = n;
            }
            cursor_.reset();
        }
        // The view is read forward once: keep its statement open.
        cursor_.setSequential(true);
    }
    status_ = cursor_.next();
    if (!status_.ok()) {
        cursor_.setSequential(false);
        return false;
    }
    ++read_;
    return true;
}

Value ViewRecordSource::value(std::string_view name) const {
    int table = 0, field = 0;
    if (cursor_.findField(name, table, field)) return cursor_.buffer(table).get(field);
    if (std::optional<Value> v = cursor_.computed(name)) return *v;
    return globals_.value(name);
}

double ViewRecordSource::fractionRead() const {
    if (!progressField_.empty()) {
        if (!rangeKnown_ || read_ == 0) return rangeKnown_ ? 0 : -1;
        if (high_ <= low_) return 0;
        const double at = value(progressField_).asNumber().toDouble();
        return std::clamp((at - low_) / (high_ - low_), 0.0, 1.0);
    }
    if (total_ <= 0) return total_ == 0 ? 1 : -1;
    return std::min(1.0, static_cast<double>(read_) / static_cast<double>(total_));
}

}  // namespace tv::report
