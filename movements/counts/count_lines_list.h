#pragma once
// The lines of the count in the Fisico buffer, as the count list and the
// count form show them (with the article's description and unit).
#include "app/browse/browse_list.h"

namespace tv::movements::counts {

app::BrowseListSetup CountLinesSetup(int listControl, const char* format);

}  // namespace tv::movements::counts
