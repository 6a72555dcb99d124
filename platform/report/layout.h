#pragma once
// Report layouts: a page of bands whose items sit at positions in thousandths
// of an inch ("mils"). The paginator turns a layout and a run of records into
// pages of drawing primitives.
#include <optional>
#include <string>
#include <vector>

namespace tv::report {

// Thousandths of an inch.
using Mils = int;

// What follows a number too large for its field (Item::wholeDigits).
inline constexpr const char* kOverflowMark = " (!)";

inline constexpr Mils kLetterWidth = 8500;
inline constexpr Mils kLetterHeight = 11000;

enum class Align { Left, Center, Right };

struct Font {
    std::string family = "Arial";
    double size = 10;  // points
    bool bold = false;
    bool italic = false;
    bool operator==(const Font&) const = default;
};

struct Rect {
    Mils x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};

enum class ItemKind {
    Text,      // fixed text
    Field,     // a value shown with a picture
    Line,      // from (x,y) to (x+w, y+h): w = 0 vertical, h = 0 horizontal
    Box,       // a rectangle, optionally filled
    Image,     // a picture file (fixed path, or a path held in a field)
    CheckBox,  // ticked when its field is non-zero / non-blank
    Radio,     // selected when its field equals its value
};

enum class TotalKind { None, Sum, Count };
// When a running total starts again from zero.
enum class TotalReset { Report, Group, Page };

struct Item {
    ItemKind kind = ItemKind::Text;
    Mils x = 0, y = 0, w = 0, h = 0;  // relative to the band's origin
    std::string text;     // fixed text; caption of a check box or radio button
    std::string field;    // field shown, tested or holding the picture's path
    std::string picture;  // display picture of a field ("n-14.2", "s40", "p<<#p")
    Align align = Align::Left;
    Font font;
    Mils pen = 10;             // line width
    bool doubleLine = false;   // lines and box borders
    int fill = -1;             // boxes: -1 none, 0..4 from blank to solid
    bool border = true;        // boxes
    std::string radioValue;    // radio buttons: the value that selects them
    std::string imagePath;     // images with a fixed file
    // Running totals: the item shows the sum (or count) of `totalOf` over the
    // records printed since its last reset.
    TotalKind total = TotalKind::None;
    std::string totalOf;       // detail field summed; empty: `field`
    TotalReset reset = TotalReset::Report;
    int resetGroup = -1;       // TotalReset::Group: the group index; -1 = the band's own group
    // Numbers: the whole digits the value's field holds (9 for a decimal of
    // 11 digits with 2 places); 0: not checked. A value with more is still
    // printed whole, followed by kOverflowMark, so a total that does not fit
    // its field is seen as such.
    int wholeDigits = 0;

    // Builders for the usual items.
    static Item fixed(std::string text, Mils x, Mils y, Mils w = 0, Align a = Align::Left);
    static Item value(std::string field, std::string picture, Mils x, Mils y, Mils w = 0,
                      Align a = Align::Left);
    static Item pageNumber(Mils x, Mils y, Mils w = 0, Align a = Align::Right);
    static Item sum(std::string field, std::string picture, Mils x, Mils y, Mils w,
                    TotalReset reset = TotalReset::Group, Align a = Align::Right);
    static Item count(std::string picture, Mils x, Mils y, Mils w,
                      TotalReset reset = TotalReset::Group, Align a = Align::Right);
    static Item line(Mils x, Mils y, Mils w, Mils h, bool doubleLine = false, Mils pen = 10);
    static Item box(Mils x, Mils y, Mils w, Mils h, int fill = -1);
    static Item image(std::string path, Mils x, Mils y, Mils w, Mils h);
    static Item checkBox(std::string field, std::string caption, Mils x, Mils y);
    static Item radio(std::string field, std::string value, std::string caption, Mils x, Mils y);

    Item& withFont(Font f) { font = std::move(f); return *this; }
    Item& withWholeDigits(int digits) { wholeDigits = digits; return *this; }
    Item& withHeight(Mils height) { h = height; return *this; }
};

struct Band {
    Mils height = 0;
    std::vector<Item> items;
};

// A break on `field`: its header prints before the first record of each new
// value, its footer after the last. A break on a field that never changes
// (or on no field at all) makes its footer a report footer.
struct GroupBreak {
    std::string field;
    std::optional<Band> header;
    std::optional<Band> footer;
    // The header moves to the next page rather than stand alone at the bottom.
    bool keepHeaderWithDetail = true;
};

struct ReportLayout {
    std::string title;
    Mils pageWidth = kLetterWidth;
    Mils pageHeight = kLetterHeight;
    Band pageForm;                          // behind everything, from the page's corner
    Rect pageHeaderArea{250, 250, 8000, 1000};
    Band pageHeader;
    Rect detailArea{250, 1250, 8000, 9250};  // where group and detail bands flow
    Rect pageFooterArea{250, 10500, 8000, 250};
    Band pageFooter;
    std::vector<GroupBreak> groups;         // outermost first
    Band detail;

    // Every field name the layout reads (for snapshots of a record).
    std::vector<std::string> referencedFields() const;
    // A sentence for the developer when the layout cannot be printed, or nullopt.
    std::optional<std::string> check() const;
};

}  // namespace tv::report
