#pragma once
// HTML output: one document with every page placed as printed and a page
// navigator (written after the pages, shown above them); pictures go to an "_Images" folder and the style sheet and
// script to a "_Files" folder beside it.
#include <string>
#include <vector>

#include "platform/report/page_writer.h"

namespace tv::report {

struct HtmlWriterOptions {
    std::string documentName = "Morlisk Report";
    std::string first = "First", last = "Last", next = "Next", prior = "Prior";
    std::string selectPage = "Select Page", pageText = "Page_", loadPage = "Load Page";
    std::string imagesFolder = "_Images", filesFolder = "_Files";
};

// Text made safe inside HTML text and attribute values.
std::string htmlEscape(std::string_view text);

class HtmlPageWriter : public ReportOutputWriter {
public:
    HtmlWriterOptions options;

    std::string name() const override { return "HTML"; }
    std::string saveTitle() const override { return "Save as HTML File"; }
    std::string saveFilter() const override { return "HTM|*.HTM|HTML|*.HTML|All|*.*"; }
    std::string extension() const override { return ".HTM"; }
    std::unique_ptr<PageOutput> open(const std::filesystem::path& file, std::string* error) override;
};

}  // namespace tv::report
