#include "platform/report/pdf_writer.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <map>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <zlib.h>

#include "platform/report/page_geometry.h"
#include "platform/report/win_ansi.h"

namespace tv::report {

namespace {

constexpr double kPtPerMil = 72.0 / 1000.0;
// Grey levels of the five fills, from blank to solid.
constexpr const char* kFillGrey[5] = {"1", "0.75", "0.5", "0.25", "0"};

void num(std::string& out, double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    char* end = r.ptr;
    // Trailing zeros and point off: shorter streams.
    while (end > buf && end[-1] == '0') --end;
    if (end > buf && end[-1] == '.') --end;
    if (end == buf || (end - buf == 1 && buf[0] == '-')) {
        out += '0';
        return;
    }
    if (end - buf == 2 && buf[0] == '-' && buf[1] == '0') {
        out += '0';
        return;
    }
    out.append(buf, end);
}

void pdfString(std::string& out, std::string_view bytes) {
    out += '(';
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 32) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    out += ')';
}

// Document information text: plain ASCII as it is, anything else as UTF-16.
std::string infoString(const std::string& utf8) {
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    std::string out;
    if (ascii) {
        pdfString(out, utf8);
        return out;
    }
    QString q = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    out = "<FEFF";
    char buf[8];
    for (QChar ch : q) {
        std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(ch.unicode()));
        out += buf;
    }
    out += '>';
    return out;
}

// One compressor for every stream of a document: starting zlib afresh for
// each page costs more than compressing the page.
class Deflater {
public:
    Deflater() { ready_ = deflateInit(&z_, Z_DEFAULT_COMPRESSION) == Z_OK; }
    ~Deflater() {
        if (ready_) deflateEnd(&z_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    std::string operator()(const std::string& data) {
        if (!ready_) return {};
        deflateReset(&z_);
        std::string out(deflateBound(&z_, static_cast<uLong>(data.size())), '\0');
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z_.avail_in = static_cast<uInt>(data.size());
        z_.next_out = reinterpret_cast<Bytef*>(out.data());
        z_.avail_out = static_cast<uInt>(out.size());
        if (::deflate(&z_, Z_FINISH) != Z_STREAM_END) return {};
        out.resize(out.size() - z_.avail_out);
        return out;
    }

private:
    z_stream z_{};
    bool ready_ = false;
};

struct ImageObject {
    std::string dict;    // without the stream's length
    std::string stream;  // encoded data
};

// A picture as a PDF image: JPEG as it is, anything else decoded to RGB and
// compressed (transparent parts on white paper).
ImageObject encodeImage(const ImageData& img, bool compress, Deflater& deflate) {
    ImageObject o;
    if (img.format == ImageData::Format::Jpeg) {
        const char* space = img.components == 1 ? "/DeviceGray"
                            : img.components == 4 ? "/DeviceCMYK" : "/DeviceRGB";
        o.dict = "/Type /XObject /Subtype /Image /Width " + std::to_string(img.width) +
                 " /Height " + std::to_string(img.height) + " /ColorSpace " + space +
                 " /BitsPerComponent 8 /Filter /DCTDecode";
        // CMYK JPEGs from the usual tools store inverted values.
        if (img.components == 4) o.dict += " /Decode [1 0 1 0 1 0 1 0]";
        o.stream = img.bytes;
        return o;
    }
    QImage q = QImage::fromData(reinterpret_cast<const uchar*>(img.bytes.data()),
                                static_cast<int>(img.bytes.size()));
    if (q.isNull()) {
        // Its size was readable but not its pixels: a blank instead of a
        // broken object.
        q = QImage(1, 1, QImage::Format_RGB888);
        q.fill(Qt::white);
    } else if (q.hasAlphaChannel()) {
        QImage flat(q.size(), QImage::Format_RGB888);
        flat.fill(Qt::white);
        QPainter p(&flat);
        p.drawImage(0, 0, q);
        p.end();
        q = flat;
    } else {
        q = q.convertToFormat(QImage::Format_RGB888);
    }
    std::string raw;
    raw.reserve(static_cast<std::size_t>(q.width()) * static_cast<std::size_t>(q.height()) * 3);
    for (int y = 0; y < q.height(); ++y)
        raw.append(reinterpret_cast<const char*>(q.constScanLine(y)),
                   static_cast<std::size_t>(q.width()) * 3);
    o.dict = "/Type /XObject /Subtype /Image /Width " + std::to_string(q.width()) + " /Height " +
             std::to_string(q.height()) + " /ColorSpace /DeviceRGB /BitsPerComponent 8";
    if (compress) {
        o.dict += " /Filter /FlateDecode";
        o.stream = deflate(raw);
    } else {
        o.stream = std::move(raw);
    }
    return o;
}

// The file's objects as they are written, each recorded where it starts
// for the cross-reference table at the end.
class Document {
public:
    Document(bool compress, std::ostream& out) : compress_(compress), out_(out) {
        put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    }
    int reserve() { offsets_.push_back(0); return static_cast<int>(offsets_.size()); }
    void begin(int obj) {
        offsets_[static_cast<std::size_t>(obj - 1)] = pos_;
        put(std::to_string(obj) + " 0 obj\n");
    }
    void object(int obj, const std::string& body) {
        begin(obj);
        put(body);
        put("\nendobj\n");
    }
    void stream(int obj, std::string dict, const std::string& data, bool alreadyEncoded) {
        const std::string* body = &data;
        std::string packed;
        if (!alreadyEncoded && compress_) {
            packed = deflate_(data);
            body = &packed;
            dict += " /Filter /FlateDecode";
        }
        begin(obj);
        put("<< " + dict + " /Length " + std::to_string(body->size()) + " >>\nstream\n");
        put(*body);
        put("\nendstream\nendobj\n");
    }
    void finish(int root, int info) {
        const std::size_t xref = pos_;
        put("xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n");
        char buf[32];
        for (std::size_t off : offsets_) {
            std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", off);
            put(buf);
        }
        put("trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " + std::to_string(root) +
            " 0 R /Info " + std::to_string(info) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
        out_.flush();
    }
    bool ok() const { return static_cast<bool>(out_); }
    Deflater& deflater() { return deflate_; }

private:
    void put(std::string_view bytes) {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        pos_ += bytes.size();
    }

    bool compress_;
    Deflater deflate_;
    std::ostream& out_;
    std::size_t pos_ = 0;
    std::vector<std::size_t> offsets_;
};

class PageContent {
public:
    PageContent(double pageHeightPt, const std::map<StdFont, int>& fonts,
                const std::map<const ImageData*, int>& images)
        : h_(pageHeightPt), fonts_(fonts), images_(images) {}

    void line(double x1, double y1, double x2, double y2, double pen) {
        s_ += "q ";
        num(s_, pen);
        s_ += " w ";
        num(s_, x1); s_ += ' '; num(s_, h_ - y1); s_ += " m ";
        num(s_, x2); s_ += ' '; num(s_, h_ - y2); s_ += " l S Q\n";
    }
    void rect(double x, double y, double w, double hh, const char* op) {
        num(s_, x); s_ += ' '; num(s_, h_ - y - hh); s_ += ' ';
        num(s_, w); s_ += ' '; num(s_, hh); s_ += " re "; s_ += op; s_ += '\n';
    }
    void add(const Primitive& p) {
        const double x = p.x * kPtPerMil, y = p.y * kPtPerMil;
        const double w = p.w * kPtPerMil, hh = p.h * kPtPerMil;
        const double pen = std::max(0.1, p.pen * kPtPerMil);
        switch (p.kind) {
        case PrimKind::Text:
            text(p, x, y, w);
            break;
        case PrimKind::Line:
            if (p.doubleLine) {
                // Two strokes either side of the line's path.
                double dx = p.h == 0 ? 0 : pen, dy = p.h == 0 ? pen : 0;
                line(x - dx, y - dy, x + w - dx, y + hh - dy, pen);
                line(x + dx, y + dy, x + w + dx, y + hh + dy, pen);
            } else {
                line(x, y, x + w, y + hh, pen);
            }
            break;
        case PrimKind::Rect:
            if (p.fill >= 0 && p.fill <= 4) {
                s_ += "q ";
                s_ += kFillGrey[p.fill];
                s_ += " g ";
                rect(x, y, w, hh, "f Q");
            }
            if (p.border) {
                s_ += "q ";
                num(s_, pen);
                s_ += " w ";
                rect(x, y, w, hh, "S");
                if (p.doubleLine) rect(x + 2 * pen, y + 2 * pen, w - 4 * pen, hh - 4 * pen, "S");
                s_ += "Q\n";
            }
            break;
        case PrimKind::Image: {
            auto it = images_.find(p.image.get());
            if (it == images_.end()) break;
            s_ += "q ";
            num(s_, w); s_ += " 0 0 "; num(s_, hh); s_ += ' ';
            num(s_, x); s_ += ' '; num(s_, h_ - y - hh);
            s_ += " cm /Im" + std::to_string(it->second) + " Do Q\n";
            break;
        }
        case PrimKind::CheckBox:
        case PrimKind::Radio:
            mark(p, x, y);
            break;
        }
    }
    std::string take() { return std::move(s_); }

private:
    void text(const Primitive& p, double x, double y, double w) {
        StdFont f = standardFontFor(p.font);
        std::string bytes = toWinAnsi(p.text);
        double size = p.font.size;
        double width = textWidth1000(bytes, f) * size / 1000.0;
        if (p.align == Align::Left && w > 0) {
            // A left-aligned text stays inside its box, as on screen.
            while (bytes.size() > 1 && width > w + 0.01) {
                bytes.pop_back();
                width = textWidth1000(bytes, f) * size / 1000.0;
            }
        }
        double tx = x;
        if (p.align == Align::Right) tx = x + w - width;
        else if (p.align == Align::Center) tx = x + (w - width) / 2;
        s_ += "BT /F";
        s_ += std::to_string(fonts_.at(f));
        s_ += ' ';
        num(s_, size);
        s_ += " Tf 1 0 0 1 ";
        num(s_, tx);
        s_ += ' ';
        // The baseline one ascent below the text's top, as the preview draws it.
        num(s_, h_ - y - kTextAscent * size);
        s_ += " Tm ";
        pdfString(s_, bytes);
        s_ += " Tj ET\n";
    }
    void mark(const Primitive& p, double x, double y) {
        const double m = kMarkSize * kPtPerMil;
        if (p.kind == PrimKind::CheckBox) {
            s_ += "q 0.6 w ";
            rect(x, y, m, m, "S");
            if (p.checked) {
                line(x + m * 0.2, y + m * 0.2, x + m * 0.8, y + m * 0.8, 0.9);
                line(x + m * 0.2, y + m * 0.8, x + m * 0.8, y + m * 0.2, 0.9);
            }
            s_ += "Q\n";
        } else {
            circle(x + m / 2, y + m / 2, m / 2, "S");
            if (p.checked) circle(x + m / 2, y + m / 2, m / 4, "f");
        }
        if (!p.text.empty()) {
            Primitive caption = p;
            caption.kind = PrimKind::Text;
            caption.align = Align::Left;
            caption.w = 0;
            text(caption, x + m + 60 * kPtPerMil, y, 0);
        }
    }
    void circle(double cx, double cy, double r, const char* op) {
        const double k = 0.5523 * r;
        cy = h_ - cy;
        s_ += "q 0.6 w ";
        num(s_, cx + r); s_ += ' '; num(s_, cy); s_ += " m ";
        auto curve = [&](double a, double b, double c, double d, double e, double f) {
            num(s_, a); s_ += ' '; num(s_, b); s_ += ' '; num(s_, c); s_ += ' ';
            num(s_, d); s_ += ' '; num(s_, e); s_ += ' '; num(s_, f); s_ += " c ";
        };
        curve(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
        curve(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
        curve(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
        curve(cx + k, cy - r, cx + r, cy - k, cx + r, cy);
        s_ += op;
        s_ += " Q\n";
    }

    double h_;
    const std::map<StdFont, int>& fonts_;
    const std::map<const ImageData*, int>& images_;
    std::string s_;
};

std::string pdfDate() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "D:%Y%m%d%H%M%SZ", &tm);
    return buf;
}

}  // namespace

namespace {

// The document written page by page: each font and picture goes in when a
// page first uses it; the shared resources, the page tree and the
// cross-reference table, which name them all, go in at the end.
class PdfOutput : public PageOutput {
public:
    PdfOutput(const PdfWriterOptions& o, std::ostream& out) : options_(o), doc_(o.compress, out) {
        catalog_ = doc_.reserve();
        pagesObj_ = doc_.reserve();
        info_ = doc_.reserve();
        resources_ = doc_.reserve();
        doc_.object(catalog_, "<< /Type /Catalog /Pages " + std::to_string(pagesObj_) + " 0 R >>");
        doc_.object(info_, "<< /Title " + infoString(o.title) + " /Author " + infoString(o.author) + " /Subject " +
                               infoString(o.subject) + " /Keywords " + infoString(o.keywords) + " /Creator " +
                               infoString(o.creator) + " /Producer " + infoString(o.producer) +
                               " /CreationDate (" + pdfDate() + ") >>");
    }

    bool add(const Page& page) override {
        if (!error_.empty()) return false;
        for (const Primitive& p : page.items) {
            if (p.kind == PrimKind::Text ||
                ((p.kind == PrimKind::CheckBox || p.kind == PrimKind::Radio) && !p.text.empty())) {
                const StdFont f = standardFontFor(p.font);
                if (fontNo_.count(f)) continue;
                fontNo_[f] = static_cast<int>(fontNo_.size()) + 1;
                const int obj = fontObj_[f] = doc_.reserve();
                doc_.object(obj, std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") + standardFontName(f) +
                                     " /Encoding /WinAnsiEncoding >>");
            } else if (p.kind == PrimKind::Image && p.image && p.image->valid() && !imageNo_.count(p.image.get())) {
                imageNo_[p.image.get()] = static_cast<int>(imageNo_.size()) + 1;
                const int obj = doc_.reserve();
                imageObj_.emplace_back(p.image.get(), obj);
                ImageObject o = encodeImage(*p.image, options_.compress, doc_.deflater());
                doc_.stream(obj, o.dict, o.stream, true);
            }
        }
        const double wPt = page.width * kPtPerMil, hPt = page.height * kPtPerMil;
        PageContent content(hPt, fontNo_, imageNo_);
        for (const Primitive& p : page.items) content.add(p);
        const int pageObj = doc_.reserve();
        const int contentObj = doc_.reserve();
        std::string box;
        num(box, wPt);
        box += ' ';
        num(box, hPt);
        doc_.object(pageObj, "<< /Type /Page /Parent " + std::to_string(pagesObj_) + " 0 R /MediaBox [0 0 " + box +
                                 "] /Resources " + std::to_string(resources_) + " 0 R /Contents " +
                                 std::to_string(contentObj) + " 0 R >>");
        doc_.stream(contentObj, "", content.take(), false);
        kids_.push_back(pageObj);
        return doc_.ok() || fail("No se pudo escribir el PDF.");
    }

    bool finish() override {
        if (!error_.empty()) return false;
        std::string res = "<< /ProcSet [/PDF /Text /ImageB /ImageC] /Font <<";
        for (const auto& [f, n] : fontNo_)
            res += " /F" + std::to_string(n) + " " + std::to_string(fontObj_[f]) + " 0 R";
        res += " >> /XObject <<";
        for (const auto& [img, obj] : imageObj_)
            res += " /Im" + std::to_string(imageNo_[img]) + " " + std::to_string(obj) + " 0 R";
        res += " >> >>";
        doc_.object(resources_, res);
        std::string kids;
        kids.reserve(kids_.size() * 10);
        for (int k : kids_) kids += std::to_string(k) + " 0 R ";
        doc_.object(pagesObj_, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kids_.size()) + " >>");
        doc_.finish(catalog_, info_);
        return doc_.ok() || fail("No se pudo escribir el PDF.");
    }

private:
    PdfWriterOptions options_;
    Document doc_;
    int catalog_ = 0, pagesObj_ = 0, info_ = 0, resources_ = 0;
    std::map<StdFont, int> fontNo_;  // font -> /F number
    std::map<StdFont, int> fontObj_;
    std::map<const ImageData*, int> imageNo_;
    std::vector<std::pair<const ImageData*, int>> imageObj_;
    std::vector<int> kids_;
};

}  // namespace

std::string PdfPageWriter::render(const std::vector<Page>& pages) const {
    return renderPages(pages, [this](std::ostream& out) { return std::make_unique<PdfOutput>(options, out); });
}

std::unique_ptr<PageOutput> PdfPageWriter::open(const std::filesystem::path& file, std::string* error) {
    return fileOutput(file, error, [this](std::ostream& out) { return std::make_unique<PdfOutput>(options, out); });
}

}  // namespace tv::report
