#include "platform/report/page_store.h"

#include <algorithm>
#include <stdexcept>

#include <zlib.h>

namespace tv::report {

namespace {

constexpr std::size_t kBlockSize = 4u << 20;  // compressed pages per block
constexpr std::size_t kMaxDictionary = 32768;  // zlib's window

// ---- packing ----------------------------------------------------------------

void putVar(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out += static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

void putInt(std::string& out, std::int64_t v) {
    putVar(out, (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63));
}

void putText(std::string& out, const std::string& s) {
    putVar(out, s.size());
    out += s;
}

class Reader {
public:
    explicit Reader(const std::string& s) : s_(s) {}
    std::uint64_t var() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const auto b = static_cast<unsigned char>(byte());
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        throw std::runtime_error("page store: bad number");
    }
    std::int64_t integer() {
        const std::uint64_t z = var();
        return static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
    }
    Mils mils() { return static_cast<Mils>(integer()); }
    std::string text() {
        const std::uint64_t n = var();
        if (n > s_.size() - pos_) throw std::runtime_error("page store: bad text");
        std::string t = s_.substr(pos_, n);
        pos_ += n;
        return t;
    }
    char byte() {
        if (pos_ >= s_.size()) throw std::runtime_error("page store: page cut short");
        return s_[pos_++];
    }

private:
    const std::string& s_;
    std::size_t pos_ = 0;
};

constexpr unsigned kDouble = 1, kBorder = 2, kChecked = 4;
constexpr unsigned kAlignShift = 3;  // two bits

}  // namespace

// ---- compression ---------------------------------------------------------------

struct PageStore::Codec {
    z_stream deflater{};
    bool ready = false;
    Codec() { ready = deflateInit(&deflater, Z_BEST_SPEED) == Z_OK; }
    ~Codec() {
        if (ready) deflateEnd(&deflater);
    }
};

PageStore::PageStore() : codec_(std::make_unique<Codec>()) {
    if (!codec_->ready) throw std::runtime_error("page store: zlib could not start");
}

PageStore::~PageStore() = default;

void PageStore::clear() {
    index_.clear();
    blocks_.clear();
    fonts_.clear();
    images_.clear();
    imageIds_.clear();
    dictionary_.clear();
    stored_ = 0;
    largestWidth_ = largestHeight_ = 0;
}

std::uint32_t PageStore::fontId(const Font& f) {
    for (std::size_t i = 0; i < fonts_.size(); ++i)
        if (fonts_[i] == f) return static_cast<std::uint32_t>(i);
    fonts_.push_back(f);
    return static_cast<std::uint32_t>(fonts_.size() - 1);
}

std::uint32_t PageStore::imageId(const std::shared_ptr<const ImageData>& img) {
    if (!img) return 0;
    auto [it, added] = imageIds_.emplace(img.get(), static_cast<std::uint32_t>(images_.size() + 1));
    if (added) images_.push_back(img);
    return it->second;
}

void PageStore::add(const Page& page) {
    std::string& raw = scratch_;
    raw.clear();
    putInt(raw, page.number);
    putInt(raw, page.width);
    putInt(raw, page.height);
    putVar(raw, page.items.size());
    for (const Primitive& p : page.items) {
        raw += static_cast<char>(p.kind);
        raw += static_cast<char>((p.doubleLine ? kDouble : 0) | (p.border ? kBorder : 0) |
                                 (p.checked ? kChecked : 0) | (static_cast<unsigned>(p.align) << kAlignShift));
        putInt(raw, p.x);
        putInt(raw, p.y);
        putInt(raw, p.w);
        putInt(raw, p.h);
        putInt(raw, p.pen);
        putInt(raw, p.fill);
        putVar(raw, fontId(p.font));
        putText(raw, p.text);
        putVar(raw, imageId(p.image));
    }
    if (index_.empty()) dictionary_ = raw.substr(0, std::min(raw.size(), kMaxDictionary));

    z_stream& z = codec_->deflater;
    deflateReset(&z);
    if (!dictionary_.empty())
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary_.data()),
                             static_cast<uInt>(dictionary_.size()));
    const std::size_t bound = deflateBound(&z, static_cast<uLong>(raw.size()));
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < bound) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(kBlockSize, bound));
    }
    std::string& block = blocks_.back();
    const std::size_t offset = block.size();
    block.resize(offset + bound);
    z.next_in = reinterpret_cast<Bytef*>(raw.data());
    z.avail_in = static_cast<uInt>(raw.size());
    z.next_out = reinterpret_cast<Bytef*>(block.data() + offset);
    z.avail_out = static_cast<uInt>(bound);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("page store: a page could not be packed");
    const std::size_t packed = bound - z.avail_out;
    block.resize(offset + packed);

    Entry e;
    e.block = static_cast<std::uint32_t>(blocks_.size() - 1);
    e.offset = static_cast<std::uint32_t>(offset);
    e.size = static_cast<std::uint32_t>(raw.size());
    e.packedSize = static_cast<std::uint32_t>(packed);
    index_.push_back(e);
    stored_ += packed + sizeof(Entry);
    largestWidth_ = std::max(largestWidth_, page.width);
    largestHeight_ = std::max(largestHeight_, page.height);
}

void PageStore::read(std::size_t index, Page& out) const {
    const Entry& e = index_.at(index);
    std::string raw(e.size, '\0');
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw std::runtime_error("page store: zlib could not start");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(blocks_[e.block].data() + e.offset));
    z.avail_in = e.packedSize;
    z.next_out = reinterpret_cast<Bytef*>(raw.data());
    z.avail_out = e.size;
    int rc = inflate(&z, Z_FINISH);
    if (rc == Z_NEED_DICT) {
        inflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary_.data()),
                             static_cast<uInt>(dictionary_.size()));
        rc = inflate(&z, Z_FINISH);
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END || z.avail_out != 0) throw std::runtime_error("page store: a page could not be unpacked");

    Reader r(raw);
    out.number = static_cast<int>(r.integer());
    out.width = r.mils();
    out.height = r.mils();
    const std::uint64_t n = r.var();
    out.items.clear();
    out.items.reserve(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        Primitive p;
        p.kind = static_cast<PrimKind>(r.byte());
        const auto flags = static_cast<unsigned char>(r.byte());
        p.doubleLine = flags & kDouble;
        p.border = flags & kBorder;
        p.checked = flags & kChecked;
        p.align = static_cast<Align>((flags >> kAlignShift) & 3);
        p.x = r.mils();
        p.y = r.mils();
        p.w = r.mils();
        p.h = r.mils();
        p.pen = r.mils();
        p.fill = static_cast<int>(r.integer());
        p.font = fonts_.at(r.var());
        p.text = r.text();
        if (const std::uint64_t img = r.var()) p.image = images_.at(img - 1);
        out.items.push_back(std::move(p));
    }
}

Mils VectorPageList::largestWidth() const {
    Mils w = 0;
    for (const Page& p : pages_) w = std::max(w, p.width);
    return w;
}

Mils VectorPageList::largestHeight() const {
    Mils h = 0;
    for (const Page& p : pages_) h = std::max(h, p.height);
    return h;
}

}  // namespace tv::report
