#pragma once
// Look-ups in the process-wide RunningProcedures list (app/globals.h), kept
// sorted by name. All logical threads run on the one GUI thread and nothing
// here suspends, so a look-up and the addition that follows it cannot be
// interleaved with another thread's.
#include <cstdint>
#include <string>
#include <string_view>

namespace tv::app {

// The name as stored in PROCESO: padded with blanks (or cut) to 64 characters.
std::string ProcesoText(std::string_view name);

// Puts the name in the record buffer and looks it up; true when found, and
// then the buffer holds the entry (THREADNUMERO is its thread).
bool FindRunningProcedure(std::string_view name);
// Adds {name, thread} in name order through the record buffer.
void AddRunningProcedure(std::string_view name, int32_t thread);
// Deletes the entry of that name; false when there was none.
bool RemoveRunningProcedure(std::string_view name);

}  // namespace tv::app
