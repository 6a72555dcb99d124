#pragma once
// Actions that several lists share: filtering by query by example and
// starting a procedure on a thread of its own for the highlighted record.
#include <cstddef>
#include <string>

#include "app/browse/browse_controller.h"
#include "platform/qbe/qbe_window.h"

namespace tv::app {

// Asks the query-by-example window and applies the answer to the first list
// of the window as the named filter `filterName` ("" drops it); a filter
// that does not compile is reported and dropped. Nothing changes on cancel.
void ApplyQueryByExample(BrowseController& controller, qbe::QueryByExample& qbe, const std::string& filterName);

// Reads the highlighted record of the first list into its buffer and starts
// `procedure` on a new logical thread (a stand-in window when nobody has
// registered it yet), without waiting for it. Does nothing while the button
// `control` is disabled.
void StartForSelected(BrowseController& controller, int control, const char* procedure, std::size_t stack);

}  // namespace tv::app
