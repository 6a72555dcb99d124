#pragma once
// Select mode: a form opens a list with request 4 to pick a record. The list
// keeps a copy of the primary table's record buffer from its set-up, so that
// a cancelled pick leaves the caller's buffer exactly as it was.
//
//   set-up:  pick.save(primaryBuffer);
//   close:   switch (pick.finish(primaryBuffer, response)) {
//            case SelectModeBuffer::Finish::RereadChosen:
//                read the chosen row's record again by its key, whole;
//            ...
#include <optional>

#include "platform/types/record.h"

namespace tv::list {

class SelectModeBuffer {
public:
    void save(const Record& primary) { saved_ = primary; }
    bool saved() const { return saved_.has_value(); }

    enum class Finish {
        Nothing,       // not a picking list (nothing was saved)
        RereadChosen,  // picked: the copy is dropped; the caller gets the whole chosen record
        Restored       // cancelled or closed: the buffer has the caller's copy back
    };
    // The window closed with `response` (1 picked, anything else cancelled).
    Finish finish(Record& primary, int response);

private:
    std::optional<Record> saved_;
};

}  // namespace tv::list
