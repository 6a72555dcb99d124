#pragma once
// What a form needs without its window: showing a record field in a control
// with its picture, reading typed text back through the picture into the
// field with a checked store, deciding when a required entry is blank, and
// the per-thread store of the last saved record of each form ("ditto").
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "data/tables.h"
#include "platform/types/picture.h"
#include "platform/types/record.h"

namespace tv::app {

// The text a control shows for a field: the picture's text without the
// padding it adds (an entry shows "12.50", not "    12.50").
std::string ShowField(const Record& record, int field, const Picture& picture);

// Reading typed text into a field.
struct ReadResult {
    bool ok = true;
    std::string error;   // for the user when !ok (Spanish, names no field)
};
// Reads `typed` through the picture and stores it in the field with a
// checked store; on failure the field keeps its value.
ReadResult ReadField(Record& record, int field, const Picture& picture, std::string_view typed);
// The same without storing: whether the text can be read, and the value it
// gives (for deciding whether a record was changed without touching it).
std::optional<Value> PeekField(const Record& record, int field, const Picture& picture, std::string_view typed);

// A required entry is blank when its text is blank or, for a numeric
// field, when its value is zero.
bool IsBlankValue(const Record& record, int field);

// Fields that a repeat of the previous value never brings back: the record's
// id (any field of an auto-numbered key, and fields named ID), the article's
// stock totals, a received quantity, a document folio and the link of a
// document line to its document.
bool IsDittoExcluded(const data::TableDecl& table, int field);

// Whether two records of a table are the same record: equal in the first
// unique key whose fields `b` holds (not all zero or blank); false when `b`
// holds none.
bool SameRecordKey(const data::TableDecl& table, const Record& a, const Record& b);
// Whether the record holds a value in some unique key.
bool HoldsUniqueKey(const data::TableDecl& table, const Record& r);

// The ditto store of the current logical thread: per form (by procedure
// name), the record as last saved through that form on this thread. It
// outlives the form's window and is empty until the form first saves.
class DittoStore {
public:
    static DittoStore& current();  // this logical thread's
    void save(const std::string& form, const Record& record);
    const Record* last(const std::string& form) const;
    void clear() { saved_.clear(); }

private:
    std::map<std::string, Record> saved_;
};

}  // namespace tv::app
