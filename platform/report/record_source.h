#pragma once
// What the report engine reads: the values of the current record by field
// name, and a source that moves from record to record. A view cursor adapts
// to RecordSource; tests feed it from a vector.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/record.h"

namespace tv::report {

class RecordValues {
public:
    virtual ~RecordValues() = default;
    // The value of a field ("ART:NoArt", any case); blank/zero when unknown.
    virtual Value value(std::string_view name) const = 0;
};

class RecordSource : public RecordValues {
public:
    // Moves to the first record (the first call) or the next one; false at the end.
    virtual bool next() = 0;
    // Estimated share of the source already read, 0..1, or negative when unknown.
    virtual double fractionRead() const { return -1; }
};

// Field names match without regard to case.
std::string fieldKey(std::string_view name);

// A record as a name -> value map.
class ValueMap : public RecordValues {
public:
    ValueMap() = default;
    ValueMap(std::initializer_list<std::pair<const std::string, Value>> init);
    void set(std::string_view name, Value v);
    bool has(std::string_view name) const;
    Value value(std::string_view name) const override;
    void clear() { values_.clear(); }

private:
    std::map<std::string, Value> values_;
};

// Computed values (LOC:...) over the current record of another source.
class OverlayValues : public RecordValues {
public:
    explicit OverlayValues(const RecordValues& base) : base_(&base) {}
    void set(std::string_view name, Value v) { own_.set(name, std::move(v)); }
    Value value(std::string_view name) const override;

private:
    const RecordValues* base_;
    ValueMap own_;
};

// Records from memory; a fixed set of global values (a company name) is seen
// by every record.
class VectorRecordSource : public RecordSource {
public:
    explicit VectorRecordSource(std::vector<ValueMap> records, ValueMap globals = {});
    bool next() override;
    Value value(std::string_view name) const override;
    double fractionRead() const override;
    std::size_t position() const { return pos_; }  // records read so far

private:
    std::vector<ValueMap> records_;
    ValueMap globals_;
    std::size_t pos_ = 0;
};

}  // namespace tv::report
