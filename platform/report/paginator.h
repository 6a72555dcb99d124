#pragma once
// Lays out a report: fed record by record, it prints group headers and
// footers, detail bands, page headers and footers, keeps running totals and
// breaks pages when the report area is full.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/report/layout.h"
#include "platform/report/page.h"
#include "platform/report/record_source.h"
#include "platform/types/decimal.h"

namespace tv::report {

class Paginator {
public:
    explicit Paginator(ReportLayout layout);
    // Totals point into the paginator's own copy of the layout.
    Paginator(const Paginator&) = delete;
    Paginator& operator=(const Paginator&) = delete;

    // Prints one record: the footers of the groups it closes, the headers of
    // the groups it opens, then its detail band.
    void addRecord(const RecordValues& record);
    // Prints a band of the caller's own in the flow (a closing band).
    void printBand(const Band& band, const RecordValues& record);
    // Prints the open groups' footers and the last page footer. Without any
    // record there is no page at all. Gives the pages kept (none when they
    // went to a sink).
    std::vector<Page> finish();
    // After finish(): hands the pages over without a copy.
    std::vector<Page> takePages() { return std::move(pages_); }

    // Where each page goes as soon as it is complete (the preview's store,
    // a writer, the printer), instead of being kept here: a long report is
    // never whole in memory. Set before the first record.
    void setPageSink(std::function<void(Page&&)> sink) { sink_ = std::move(sink); }

    const ReportLayout& layout() const { return layout_; }
    const std::vector<Page>& pages() const { return pages_; }
    int pageCount() const { return pageCount_; }  // pages started so far
    long long records() const { return records_; }
    bool finished() const { return finished_; }

private:
    struct Total {
        const Item* item = nullptr;
        int resetGroup = -1;  // -1: never (report) or page
        bool perPage = false;
        Decimal sum;
        long long count = 0;
    };

    ValueMap snapshot(const RecordValues& record, const Band* extra = nullptr) const;
    std::string breakKey(const ValueMap& values, std::size_t group) const;
    void printFooters(std::size_t downTo, const ValueMap& values);
    void resetTotals(int group);
    void accumulate(const ValueMap& values);
    void ensureRoom(Mils height, const ValueMap& values);
    void printFlowBand(const Band& band, const ValueMap& values);
    void startPage(const ValueMap& values);
    void closePage();
    void placeBand(const Band& band, Mils ox, Mils oy, const ValueMap& values);
    void placeItem(const Item& item, Mils ox, Mils oy, const ValueMap& values);
    Mils bottom() const { return layout_.detailArea.y + layout_.detailArea.h; }
    std::shared_ptr<const ImageData> image(const std::string& path);

    ReportLayout layout_;
    std::vector<std::string> fields_;
    std::vector<Total> totals_;
    std::map<const Item*, std::size_t> totalOfItem_;
    std::map<std::string, std::shared_ptr<const ImageData>> images_;

    std::function<void(Page&&)> sink_;
    std::vector<Page> pages_;
    Page current_;
    int pageCount_ = 0;
    bool pageOpen_ = false;
    bool bodyUsed_ = false;
    Mils cursor_ = 0;
    bool started_ = false;
    bool finished_ = false;
    long long records_ = 0;
    std::vector<std::string> keys_;
    ValueMap last_;         // the last record printed
};

}  // namespace tv::report
