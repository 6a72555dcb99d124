#include "platform/report/record_source.h"

#include "platform/types/text.h"

namespace tv::report {

std::string fieldKey(std::string_view name) { return toUpper(trim(name)); }

ValueMap::ValueMap(std::initializer_list<std::pair<const std::string, Value>> init) {
    for (const auto& [k, v] : init) set(k, v);
}

void ValueMap::set(std::string_view name, Value v) { values_[fieldKey(name)] = std::move(v); }

bool ValueMap::has(std::string_view name) const { return values_.count(fieldKey(name)) != 0; }

Value ValueMap::value(std::string_view name) const {
    auto it = values_.find(fieldKey(name));
    return it == values_.end() ? Value() : it->second;
}

Value OverlayValues::value(std::string_view name) const {
    if (own_.has(name)) return own_.value(name);
    return base_->value(name);
}

VectorRecordSource::VectorRecordSource(std::vector<ValueMap> records, ValueMap globals)
    : records_(std::move(records)), globals_(std::move(globals)) {}

bool VectorRecordSource::next() {
    if (pos_ >= records_.size()) return false;
    ++pos_;
    return true;
}

Value VectorRecordSource::value(std::string_view name) const {
    if (pos_ > 0 && pos_ <= records_.size() && records_[pos_ - 1].has(name))
        return records_[pos_ - 1].value(name);
    return globals_.value(name);
}

double VectorRecordSource::fractionRead() const {
    if (records_.empty()) return 1;
    return static_cast<double>(pos_) / static_cast<double>(records_.size());
}

}  // namespace tv::report
