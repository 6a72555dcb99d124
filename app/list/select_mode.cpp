#include "app/list/select_mode.h"

#include "app/list/ask_cycle.h"

namespace tv::list {

SelectModeBuffer::Finish SelectModeBuffer::finish(Record& primary, int response) {
    if (!saved_) return Finish::Nothing;
    Finish f = Finish::RereadChosen;
    if (response != kResponseCompleted) {
        primary = *saved_;
        f = Finish::Restored;
    }
    saved_.reset();
    return f;
}

}  // namespace tv::list
