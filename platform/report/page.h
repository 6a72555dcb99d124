#pragma once
// Printed pages: positioned drawing primitives in thousandths of an inch from
// the page's top-left corner. The preview, the printer and the three writers
// all draw from these.
#include <memory>
#include <string>
#include <vector>

#include "platform/report/layout.h"

namespace tv::report {

// A picture as read from its file. JPEG data is kept as it is (the PDF writer
// embeds it unchanged); other formats are kept as their file bytes too.
struct ImageData {
    enum class Format { Jpeg, Png, Other };
    std::string path;   // where it came from (for messages)
    std::string bytes;  // the file's contents
    Format format = Format::Other;
    int width = 0, height = 0;  // pixels; 0 when the file could not be read
    int components = 3;         // JPEG: 1 grey, 3 colour, 4 CMYK

    bool valid() const { return width > 0 && height > 0; }
    // Reads and identifies a picture file; never throws (invalid on failure).
    static std::shared_ptr<const ImageData> load(const std::string& path);
    static std::shared_ptr<const ImageData> fromBytes(std::string bytes, std::string path = {});
};

enum class PrimKind { Text, Line, Rect, Image, CheckBox, Radio };

struct Primitive {
    PrimKind kind = PrimKind::Text;
    // Text, Rect, Image, CheckBox, Radio: the box. Line: from (x,y) to (x+w,y+h).
    Mils x = 0, y = 0, w = 0, h = 0;
    std::string text;  // UTF-8; caption of a check box or radio button
    Font font;
    Align align = Align::Left;
    Mils pen = 10;
    bool doubleLine = false;
    bool border = true;
    int fill = -1;          // -1 none, 0..4 from blank to solid
    bool checked = false;   // check boxes and radio buttons
    std::shared_ptr<const ImageData> image;
};

struct Page {
    int number = 1;
    Mils width = kLetterWidth;
    Mils height = kLetterHeight;
    std::vector<Primitive> items;

    // The page's texts (and captions) in drawing order, for tests and searches.
    std::vector<std::string> texts() const;
};

// Size of a check box or radio button mark.
inline constexpr Mils kMarkSize = 125;

}  // namespace tv::report
