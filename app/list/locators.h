#pragma once
// Locators: typing in a list moves it to the records that start with what
// was typed, on the free key field of the current order (its first key field
// not fixed by a range). They decide; the list does the moving.
//
// ListLocator (step locator), one character at a time:
//   if (loc.accepts(ch)) {
//       list.stepDown();                       // always first
//       auto d = loc.onChar(ch, selectedRowFreeFieldValue);   // nullptr: no row
//       if (d.kind == LocatorDecision::Kind::Reposition) {
//           freeField = d.value; view.setPositionFromBuffer(); reload;
//       }
//   }
// ShadowTextLocator (entry locator, "&Localizar:"): characters typed in the
// list go to its entry (the first one moves the focus there); accepting the
// entry gives the value to reposition on.
#include <string>
#include <string_view>

#include "platform/types/record.h"

namespace tv::list {

struct LocatorDecision {
    enum class Kind {
        None,        // nothing more to do (the step down was enough)
        Reposition,  // set the free key field to value, reposition at or after it
        FocusEntry,  // entry locator: move the focus to the entry, showing text
        Refused      // the entry's text is not a value of the field: message
    };
    Kind kind = Kind::None;
    Value value;          // Reposition
    std::string text;     // FocusEntry: the entry's text now
    std::string message;  // Refused
};

struct LocatorField {
    bool numeric = false;     // the free key field holds a number
    bool descending = false;  // its key component runs high to low
    bool noCase = true;       // every list here locates without regard to case
};

class ListLocator {
public:
    ListLocator() = default;
    // The free key field of the order (no locator control, no-case on).
    void setUp(const LocatorField& field) { field_ = field; }
    const LocatorField& field() const { return field_; }

    // Whether a typed character (one UTF-8 character) is the locator's: a
    // printable character, only a digit for a number field.
    bool accepts(std::string_view typed) const;
    // After the list has stepped down one row: `rowValue` is that row's free
    // key field (nullptr when the list has no row).
    LocatorDecision onChar(std::string_view typed, const Value* rowValue) const;

private:
    LocatorField field_;
};

class ShadowTextLocator {
public:
    static constexpr std::size_t kMaxChars = 40;

    ShadowTextLocator() = default;
    void setUp(const LocatorField& field) { field_ = field; }
    const LocatorField& field() const { return field_; }

    bool accepts(std::string_view typed) const;
    // A character typed while the list has the focus: the focus moves to the
    // entry, which gets the character.
    LocatorDecision onListChar(std::string_view typed);
    // Editing inside the entry itself.
    void typeInEntry(std::string_view typed);
    void backspace();
    // The entry's text as its control now holds it (the user may edit there).
    void setText(std::string_view text);
    const std::string& text() const { return text_; }
    // The entry accepted: where the list repositions.
    LocatorDecision accept() const;
    // Blanks the entry.
    void reset() { text_.clear(); }

private:
    LocatorField field_;
    std::string text_;
};

}  // namespace tv::list
