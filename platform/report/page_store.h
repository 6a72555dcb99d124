#pragma once
// Printed pages read one at a time. A long report's pages are kept compactly
// (PageStore: each page packed and compressed as it closes, a few KB a page)
// and unpacked only when the preview shows them or an output writes them,
// so neither ever holds more than a few whole pages.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/report/page.h"

namespace tv::report {

class PageList {
public:
    virtual ~PageList() = default;
    virtual std::size_t size() const = 0;
    bool empty() const { return size() == 0; }
    // The page at `index` (from 0) into `out`, replacing what it held.
    virtual void read(std::size_t index, Page& out) const = 0;
    // A copy of one page (out_of_range past the last).
    Page at(std::size_t index) const {
        Page p;
        read(index, p);
        return p;
    }
    Page operator[](std::size_t index) const { return at(index); }
    // The largest page width and height (the preview's cell).
    virtual Mils largestWidth() const = 0;
    virtual Mils largestHeight() const = 0;
};

// Pages a caller keeps in a vector (small reports, tests).
class VectorPageList : public PageList {
public:
    explicit VectorPageList(const std::vector<Page>& pages) : pages_(pages) {}
    std::size_t size() const override { return pages_.size(); }
    void read(std::size_t index, Page& out) const override { out = pages_.at(index); }
    Mils largestWidth() const override;
    Mils largestHeight() const override;

private:
    const std::vector<Page>& pages_;
};

// Pages packed into bytes and compressed, page by page, into large blocks.
// Pictures and fonts are kept once, however many pages show them.
class PageStore : public PageList {
public:
    PageStore();
    ~PageStore() override;
    PageStore(const PageStore&) = delete;
    PageStore& operator=(const PageStore&) = delete;

    void add(const Page& page);
    void clear();

    std::size_t size() const override { return index_.size(); }
    void read(std::size_t index, Page& out) const override;
    Mils largestWidth() const override { return largestWidth_; }
    Mils largestHeight() const override { return largestHeight_; }
    // The bytes the pages take here (packed and compressed).
    std::size_t storedBytes() const { return stored_; }

private:
    struct Entry {
        std::uint32_t block = 0, offset = 0, size = 0, packedSize = 0;
    };
    struct Codec;

    std::uint32_t fontId(const Font& f);
    std::uint32_t imageId(const std::shared_ptr<const ImageData>& img);

    std::vector<Entry> index_;
    std::vector<std::string> blocks_;
    std::vector<Font> fonts_;
    std::vector<std::shared_ptr<const ImageData>> images_;
    std::map<const ImageData*, std::uint32_t> imageIds_;
    // The first page, packed: what every page shares with it (the header,
    // the layout's fonts and positions) compresses to almost nothing.
    std::string dictionary_;
    std::unique_ptr<Codec> codec_;
    std::string scratch_;
    std::size_t stored_ = 0;
    Mils largestWidth_ = 0, largestHeight_ = 0;
};

}  // namespace tv::report
