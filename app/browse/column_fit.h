#pragma once
// How wide a list's columns are: never narrower than their heading or what
// their picture shows, and a short text column (a code, a bar code, a size)
// grows to show whole what its rows hold.
#include <QTableWidget>

#include "app/list/list_format.h"

namespace tv::app {

// The width a column opens with, in pixels, for its designed width in pixels.
int openingWidth(const QTableWidget& table, const list::ListColumn& col, int designed);

// Widens (never narrows) the short text columns whose shown cells are cut.
void fitShortTextColumns(QTableWidget& table, const list::ListFormat& format, int pixelsPerIndent);

}  // namespace tv::app
