#include "platform/report/pdf_writer.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <zlib.h>

#include "platform/report/win_ansi.h"

namespace tv::report {

namespace {

constexpr double kPtPerMil = 72.0 / 1000.0;
// The text's top is where the box starts; the baseline sits one ascent lower,
// as the preview draws it.
constexpr double kAscent = 0.905;
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

std::string deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

struct ImageObject {
    std::string dict;    // without the stream's length
    std::string stream;  // encoded data
};

// A picture as a PDF image: JPEG as it is, anything else decoded to RGB and
// compressed (transparent parts on white paper).
ImageObject encodeImage(const ImageData& img, bool compress) {
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

class Document {
public:
    explicit Document(bool compress) : compress_(compress) {
        out_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    }
    int reserve() { offsets_.push_back(0); return static_cast<int>(offsets_.size()); }
    void begin(int obj) {
        offsets_[static_cast<std::size_t>(obj - 1)] = out_.size();
        out_ += std::to_string(obj) + " 0 obj\n";
    }
    void object(int obj, const std::string& body) {
        begin(obj);
        out_ += body;
        out_ += "\nendobj\n";
    }
    void stream(int obj, std::string dict, const std::string& data, bool alreadyEncoded) {
        const std::string* body = &data;
        std::string packed;
        if (!alreadyEncoded && compress_) {
            packed = deflate(data);
            body = &packed;
            dict += " /Filter /FlateDecode";
        }
        begin(obj);
        out_ += "<< " + dict + " /Length " + std::to_string(body->size()) + " >>\nstream\n";
        out_ += *body;
        out_ += "\nendstream\nendobj\n";
    }
    std::string finish(int root, int info) {
        std::size_t xref = out_.size();
        out_ += "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
        char buf[32];
        for (std::size_t off : offsets_) {
            std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", off);
            out_ += buf;
        }
        out_ += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " +
                std::to_string(root) + " 0 R /Info " + std::to_string(info) + " 0 R >>\nstartxref\n" +
                std::to_string(xref) + "\n%%EOF\n";
        return std::move(out_);
    }

private:
    bool compress_;
    std::string out_;
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
        num(s_, h_ - y - kAscent * size);
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

std::string PdfPageWriter::render(const std::vector<Page>& pages) const {
    Document doc(options.compress);
    const int catalog = doc.reserve();
    const int pagesObj = doc.reserve();
    const int info = doc.reserve();
    const int resources = doc.reserve();

    // Fonts and pictures the pages use, each written once.
    std::map<StdFont, int> fontNo;      // font -> /F number
    std::map<StdFont, int> fontObj;
    std::map<const ImageData*, int> imageNo;
    std::map<const ImageData*, int> imageObj;
    std::vector<const ImageData*> imageOrder;
    for (const Page& page : pages) {
        for (const Primitive& p : page.items) {
            if (p.kind == PrimKind::Text || ((p.kind == PrimKind::CheckBox || p.kind == PrimKind::Radio) &&
                                             !p.text.empty())) {
                StdFont f = standardFontFor(p.font);
                if (!fontNo.count(f)) {
                    fontNo[f] = static_cast<int>(fontNo.size()) + 1;
                    fontObj[f] = doc.reserve();
                }
            } else if (p.kind == PrimKind::Image && p.image && p.image->valid() &&
                       !imageNo.count(p.image.get())) {
                imageNo[p.image.get()] = static_cast<int>(imageNo.size()) + 1;
                imageObj[p.image.get()] = doc.reserve();
                imageOrder.push_back(p.image.get());
            }
        }
    }

    doc.object(catalog, "<< /Type /Catalog /Pages " + std::to_string(pagesObj) + " 0 R >>");
    std::string infoDict = "<< /Title " + infoString(options.title) + " /Author " +
                           infoString(options.author) + " /Subject " + infoString(options.subject) +
                           " /Keywords " + infoString(options.keywords) + " /Creator " +
                           infoString(options.creator) + " /Producer " + infoString(options.producer) +
                           " /CreationDate (" + pdfDate() + ") >>";
    doc.object(info, infoDict);
    std::string res = "<< /ProcSet [/PDF /Text /ImageB /ImageC] /Font <<";
    for (const auto& [f, n] : fontNo) res += " /F" + std::to_string(n) + " " + std::to_string(fontObj[f]) + " 0 R";
    res += " >> /XObject <<";
    for (const ImageData* img : imageOrder)
        res += " /Im" + std::to_string(imageNo[img]) + " " + std::to_string(imageObj[img]) + " 0 R";
    res += " >> >>";
    doc.object(resources, res);
    for (const auto& [f, obj] : fontObj)
        doc.object(obj, std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") + standardFontName(f) +
                            " /Encoding /WinAnsiEncoding >>");
    for (const ImageData* img : imageOrder) {
        ImageObject o = encodeImage(*img, options.compress);
        doc.stream(imageObj[img], o.dict, o.stream, true);
    }

    std::string kids;
    for (const Page& page : pages) {
        const double wPt = page.width * kPtPerMil, hPt = page.height * kPtPerMil;
        PageContent content(hPt, fontNo, imageNo);
        for (const Primitive& p : page.items) content.add(p);
        const int pageObj = doc.reserve();
        const int contentObj = doc.reserve();
        std::string box;
        num(box, wPt);
        box += ' ';
        num(box, hPt);
        doc.object(pageObj, "<< /Type /Page /Parent " + std::to_string(pagesObj) + " 0 R /MediaBox [0 0 " +
                                box + "] /Resources " + std::to_string(resources) + " 0 R /Contents " +
                                std::to_string(contentObj) + " 0 R >>");
        doc.stream(contentObj, "", content.take(), false);
        kids += std::to_string(pageObj) + " 0 R ";
    }
    doc.object(pagesObj, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    return doc.finish(catalog, info);
}

bool PdfPageWriter::write(const std::filesystem::path& file, const std::vector<Page>& pages,
                          std::string* error) {
    onOptions();
    std::string bytes = render(pages);
    return writeWholeFile(file, bytes, error);
}

}  // namespace tv::report
