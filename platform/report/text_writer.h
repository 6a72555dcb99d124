#pragma once
// Plain-text output: the pages on a character grid, in one UTF-8 file.
#include <array>
#include <string>
#include <vector>

#include "platform/report/page_writer.h"

namespace tv::report {

struct TextWriterOptions {
    // Margins in characters (left) and lines (initial, top, bottom).
    int initialMargin = 0, topMargin = 0, bottomMargin = 0, leftMargin = 0;
    int pageLength = 0;          // lines per page; 0: as long as the page's content
    bool omitGraphics = false;   // lines, boxes and fills left out
    std::string vertical = "|", horizontal = "-";
    std::string topLeft = "/", topRight = "\\", bottomLeft = "\\", bottomRight = "/";
    std::string checked = "[X]", unchecked = "[_]";
    std::string radioOn = "(*)", radioOff = "(_)";
    // From lightest to darkest: blank, light, medium and dark shade, full block.
    std::array<std::string, 5> fills{" ", "\u2591", "\u2592", "\u2593", "\u2588"};
    double columnWidth = 1000.0 / 12;  // mils per character
    double lineHeight = 200;           // mils per line
    std::string pageSeparator = "\f";  // before every page but the first
};

// The page as lines of text, trailing blanks and blank end lines removed.
std::vector<std::string> renderTextPage(const Page& page, const TextWriterOptions& options);

class TextPageWriter : public ReportOutputWriter {
public:
    TextWriterOptions options;

    std::string name() const override { return "Text"; }
    std::string saveTitle() const override { return "Save as TXT File"; }
    std::string saveFilter() const override { return "Text|*.TXT|All|*.*"; }
    std::string extension() const override { return ".TXT"; }
    std::unique_ptr<PageOutput> open(const std::filesystem::path& file, std::string* error) override;
    // The whole document as it goes to the file.
    std::string render(const std::vector<Page>& pages) const;
};

}  // namespace tv::report
