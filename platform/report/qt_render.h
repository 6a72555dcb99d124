#pragma once
// Drawing pages with QPainter: the preview on screen and the printer.
#include <string>
#include <vector>

#include <QImage>

#include "platform/report/page.h"

class QPainter;
class QPrinter;

namespace tv::report {

// Draws the page; the painter's coordinates are thousandths of an inch from
// the page's corner (the caller scales).
void paintPage(QPainter& painter, const Page& page);
// The page as a picture at `dotsPerInch`, on white paper.
QImage pageImage(const Page& page, double dotsPerInch);
// Prints the pages whose numbers (1-based) are listed, in that order, one
// printer page each. False with a sentence in *error when the printer could
// not be started.
bool printPages(QPrinter& printer, const std::vector<Page>& pages, const std::vector<int>& numbers,
                std::string* error = nullptr);

}  // namespace tv::report
