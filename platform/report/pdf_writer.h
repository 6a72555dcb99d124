#pragma once
// PDF output of our own: PDF 1.4, the standard Type1 fonts in
// WinAnsiEncoding, lines, boxes and pictures; page contents and pictures
// compressed with zlib (FlateDecode; JPEG pictures are embedded as they are).
#include <string>
#include <vector>

#include "platform/report/page_writer.h"

namespace tv::report {

struct PdfWriterOptions {
    // Document information.
    std::string title = "QJ Report";
    std::string author;
    std::string subject;
    std::string keywords;
    std::string creator = "talvor";
    std::string producer;
    bool compress = true;  // pages are never bookmarked
};

class PdfPageWriter : public ReportOutputWriter {
public:
    PdfWriterOptions options;

    std::string name() const override { return "PDF"; }
    std::string saveTitle() const override { return "Save PDF File"; }
    std::string saveFilter() const override { return "PDF|*.PDF|All|*.*"; }
    std::string extension() const override { return ".PDF"; }
    std::unique_ptr<PageOutput> open(const std::filesystem::path& file, std::string* error) override;
    // The whole document as bytes.
    std::string render(const std::vector<Page>& pages) const;
};

}  // namespace tv::report
