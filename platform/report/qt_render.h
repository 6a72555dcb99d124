#pragma once
// Drawing pages with QPainter: the preview on screen and the printer.
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "platform/report/page.h"
#include "platform/report/page_writer.h"

class QPainter;
class QPrinter;

namespace tv::report {

class ImageCache;

// Draws the page; the painter's coordinates are thousandths of an inch from
// the page's corner (the caller scales).
void paintPage(QPainter& painter, const Page& page);
// The page as a picture at `dotsPerInch`, on white paper.
QImage pageImage(const Page& page, double dotsPerInch);
// The printer as an output: one printer page per page, as they come.
class PrinterOutput : public PageOutput {
public:
    explicit PrinterOutput(QPrinter& printer);
    ~PrinterOutput() override;
    bool add(const Page& page) override;
    bool finish() override;

private:
    QPrinter& printer_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<ImageCache> images_;
    bool started_ = false;
};

// Prints the pages whose numbers (1-based) are listed, in that order, one
// printer page each, unpacking one page at a time. False with a sentence in
// *error when the printer could not be started.
bool printPages(QPrinter& printer, const PageList& pages, const std::vector<int>& numbers,
                std::string* error = nullptr);

}  // namespace tv::report
