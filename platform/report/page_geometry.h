#pragma once
// Where printed things lie on a page. Texts are measured with the widths of
// the PDF's standard fonts (Arial as Helvetica): the one measure the layout,
// the preview, the printer and the writers all keep to, so that what fits
// on the laid-out page fits in every output.
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/report/page.h"

namespace tv::report {

// The width of a text in the font (thousandths of an inch, rounded up).
Mils textWidth(std::string_view utf8, const Font& font);
// The height a line of the font takes.
Mils textHeight(const Font& font);

// Where a primitive puts ink: a text where its alignment places it (a text
// cut at its box's edge only as far as the box), a check box or radio
// button with its caption, a line with its pen's width, a box, a picture.
Rect inkRect(const Primitive& p);

// A text's baseline lies this many times its size below its top.
inline constexpr double kTextAscent = 0.905;

// The smallest a text may shrink to, as a share of its size.
inline constexpr double kSmallestShrink = 0.5;

// Makes a text fit its box. A number, or a right-aligned or centred text,
// shrinks until it fits with a blank's width to spare (never cut: a cut
// number reads as another value);
// it keeps its baseline; below half its size a number that still does not fit becomes "#" marks
// filling its box, and a text is cut there. A left-aligned text keeps its
// size and is cut at the box's edge, as its picture's width already cuts
// it. A text without a box (width 0) is left as it is.
void fitInBox(Primitive& p, bool number);

// The pairs of primitives (indexes into page.items) whose ink lies one over
// the other: texts, marks and pictures among themselves and against lines.
// Boxes are frames around things, and lines meet lines at corners, so
// neither counts against those.
std::vector<std::pair<std::size_t, std::size_t>> overlaps(const Page& page);

}  // namespace tv::report
