#pragma once
// Windows-1252 ("WinAnsiEncoding") for the PDF writer's standard fonts, and
// the widths of those fonts' characters.
#include <string>
#include <string_view>

#include "platform/report/layout.h"

namespace tv::report {

// UTF-8 to Windows-1252; characters it lacks become '?'.
std::string toWinAnsi(std::string_view utf8);

// The standard Type1 font a report font is drawn with.
enum class StdFont { Helvetica, HelveticaBold, HelveticaOblique, HelveticaBoldOblique,
                     Courier, CourierBold, CourierOblique, CourierBoldOblique };
StdFont standardFontFor(const Font& font);
const char* standardFontName(StdFont f);

// Width of Windows-1252 text in thousandths of the font size.
int textWidth1000(std::string_view winAnsi, StdFont f);

}  // namespace tv::report
