#pragma once
// Field types, record layouts and record buffers.
//
// Cells: STRING and MEMO hold text (a STRING(n) exactly n characters, blank
// padded); DECIMAL(d,p) holds round(value*10^p) as an int64 (d <= 18); LONG,
// SHORT, BYTE hold the integer; DATE holds a day number (0 = no date).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/types/decimal.h"

namespace tv {

enum class FieldType : uint8_t { String, Decimal, Long, Short, Byte, Date, Memo };

struct FieldSpec {
    std::string name;  // label text with prefix, e.g. "ART:NoArt"
    FieldType type = FieldType::String;
    int size = 0;      // STRING/MEMO characters; DECIMAL total digits
    int places = 0;    // DECIMAL fractional digits
};

// A value as expressions and pictures see it: a number or a text.
class Value {
public:
    Value() : v_(Decimal()) {}
    Value(Decimal d) : v_(std::move(d)) {}           // NOLINT
    Value(long long i) : v_(Decimal(i)) {}           // NOLINT
    Value(int i) : v_(Decimal(i)) {}                 // NOLINT
    Value(long i) : v_(Decimal(i)) {}                // NOLINT: day numbers
    Value(std::string s) : v_(std::move(s)) {}       // NOLINT
    Value(const char* s) : v_(std::string(s)) {}     // NOLINT
    bool isText() const { return std::holds_alternative<std::string>(v_); }
    bool isNumber() const { return !isText(); }
    // A text read as a number: its leading plain number, else 0.
    Decimal asNumber() const;
    // A number written by the number-to-text rule.
    std::string asText() const;
    // Non-zero number, or text that is not all blanks.
    bool truthy() const;
    const std::string* textPtr() const { return std::get_if<std::string>(&v_); }
    const Decimal* numberPtr() const { return std::get_if<Decimal>(&v_); }

private:
    std::variant<Decimal, std::string> v_;
};

// Result of a checked store (the value a user typed).
enum class StoreStatus : uint8_t { Ok, TooWide, NotANumber };

class RecordLayout {
public:
    RecordLayout(std::string label, std::string prefix, std::vector<FieldSpec> fields);
    const std::string& label() const { return label_; }
    const std::string& prefix() const { return prefix_; }
    const std::vector<FieldSpec>& fields() const { return fields_; }
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    const FieldSpec& field(int i) const { return fields_[static_cast<size_t>(i)]; }
    // Index by name, case-insensitive; "PRE:Name" or just "Name". -1 if none.
    int indexOf(std::string_view name) const;

private:
    std::string label_, prefix_;
    std::vector<FieldSpec> fields_;
};

class Record {
public:
    explicit Record(std::shared_ptr<const RecordLayout> layout);
    const RecordLayout& layout() const { return *layout_; }
    const std::shared_ptr<const RecordLayout>& layoutPtr() const { return layout_; }

    void clear();  // blank texts, zero numbers and dates

    Value get(int i) const;
    // Unchecked store, as assignment does: text cut and padded to the width;
    // decimals rounded half away from zero and their leading digits dropped
    // when too wide; integers wrapped to their width; text into a number
    // read as a number.
    void set(int i, const Value& v);
    // Checked store: refuses (and leaves the field unchanged) a value whose
    // integer part does not fit, or text that is not a number for a numeric
    // field. Fractions are still rounded to the field's places.
    StoreStatus setChecked(int i, const Value& v);

    // Fast typed access for the storage layer and postings.
    const std::string& text(int i) const { return cells_[static_cast<size_t>(i)].text; }
    void setText(int i, std::string_view s);           // unchecked, fitted
    long long raw(int i) const { return cells_[static_cast<size_t>(i)].num; }
    void setRaw(int i, long long v) { cells_[static_cast<size_t>(i)].num = v; }
    Decimal number(int i) const;                         // DECIMAL/LONG/SHORT/BYTE/DATE
    void setNumber(int i, const Decimal& d);             // unchecked store

    bool operator==(const Record& o) const;

private:
    struct Cell {
        long long num = 0;
        std::string text;
        bool operator==(const Cell&) const = default;
    };
    std::shared_ptr<const RecordLayout> layout_;
    std::vector<Cell> cells_;
};

}  // namespace tv
