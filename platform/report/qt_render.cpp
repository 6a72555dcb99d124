#include "platform/report/qt_render.h"

#include <cmath>
#include <map>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>

#include "platform/report/page_geometry.h"

namespace tv::report {

// Pictures are decoded once per drawing run.
class ImageCache {
public:
    const QImage& get(const ImageData& img) {
        auto it = cache_.find(&img);
        if (it != cache_.end()) return it->second;
        QImage q = QImage::fromData(reinterpret_cast<const uchar*>(img.bytes.data()),
                                    static_cast<int>(img.bytes.size()));
        return cache_.emplace(&img, std::move(q)).first->second;
    }

private:
    std::map<const ImageData*, QImage> cache_;
};

namespace {

QFont qtFont(const Font& f) {
    QFont q(QString::fromStdString(f.family));
    q.setPixelSize(std::max(1, static_cast<int>(std::lround(f.size * 1000.0 / 72.0))));
    q.setBold(f.bold);
    q.setItalic(f.italic);
    return q;
}

const QColor kFill[5] = {QColor(255, 255, 255), QColor(191, 191, 191), QColor(128, 128, 128),
                         QColor(64, 64, 64), QColor(0, 0, 0)};

// Draws a text where the page model measured it. The screen's or printer's
// font may be wider than the PDF font the page was measured with: then the
// text is narrowed to its measured width, so it never runs into its
// neighbours. A left-aligned text longer than its box is cut at the box.
void drawText(QPainter& p, const Primitive& prim, Mils x, Align align, Mils w) {
    const QFont font = qtFont(prim.font);
    p.setFont(font);
    p.setPen(QPen(Qt::black));
    const QString text = QString::fromStdString(prim.text);
    const Mils measured = textWidth(prim.text, prim.font);
    const bool cut = align == Align::Left && w > 0 && measured > w;
    Primitive placed = prim;
    placed.kind = PrimKind::Text;
    placed.x = x;
    placed.w = w;
    placed.align = align;
    const Rect ink = inkRect(placed);
    const double drawn = QFontMetricsF(font).horizontalAdvance(text);
    const int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip | Qt::AlignLeft;
    p.save();
    if (cut) {
        p.setClipRect(QRectF(x, prim.y - prim.h, w, prim.h * 3), Qt::IntersectClip);
        p.drawText(QRectF(x, prim.y, w, std::max<Mils>(prim.h, 1)), flags, text);
    } else if (drawn > ink.w && drawn > 0) {
        p.translate(ink.x, prim.y);
        p.scale(ink.w / drawn, 1.0);
        p.drawText(QRectF(0, 0, drawn + 1, std::max<Mils>(prim.h, 1)), flags, text);
    } else {
        // Placed by its alignment inside the measured width.
        const double left = align == Align::Right    ? ink.x + ink.w - drawn
                            : align == Align::Center ? ink.x + (ink.w - drawn) / 2
                                                     : ink.x;
        p.drawText(QRectF(left, prim.y, drawn + 1, std::max<Mils>(prim.h, 1)), flags, text);
    }
    p.restore();
}

void paint(QPainter& p, const Page& page, ImageCache& images) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    for (const Primitive& prim : page.items) {
        QPen pen(Qt::black, std::max<Mils>(prim.pen, 1));
        pen.setCapStyle(Qt::FlatCap);
        switch (prim.kind) {
        case PrimKind::Text:
            drawText(p, prim, prim.x, prim.align, prim.w);
            break;
        case PrimKind::Line: {
            p.setPen(pen);
            QLineF line(prim.x, prim.y, prim.x + prim.w, prim.y + prim.h);
            if (prim.doubleLine) {
                QPointF off = prim.h == 0 ? QPointF(0, prim.pen) : QPointF(prim.pen, 0);
                p.drawLine(line.translated(-off));
                p.drawLine(line.translated(off));
            } else {
                p.drawLine(line);
            }
            break;
        }
        case PrimKind::Rect: {
            QRectF r(prim.x, prim.y, prim.w, prim.h);
            if (prim.fill >= 0 && prim.fill <= 4) p.fillRect(r, kFill[prim.fill]);
            if (prim.border) {
                p.setPen(pen);
                p.setBrush(Qt::NoBrush);
                p.drawRect(r);
                if (prim.doubleLine)
                    p.drawRect(r.adjusted(2 * prim.pen, 2 * prim.pen, -2 * prim.pen, -2 * prim.pen));
            }
            break;
        }
        case PrimKind::Image:
            if (prim.image) {
                const QImage& img = images.get(*prim.image);
                if (!img.isNull()) p.drawImage(QRectF(prim.x, prim.y, prim.w, prim.h), img);
            }
            break;
        case PrimKind::CheckBox:
        case PrimKind::Radio: {
            QRectF m(prim.x, prim.y, kMarkSize, kMarkSize);
            p.setPen(QPen(Qt::black, 8));
            p.setBrush(Qt::NoBrush);
            if (prim.kind == PrimKind::CheckBox) {
                p.drawRect(m);
                if (prim.checked) {
                    p.drawLine(m.topLeft() + QPointF(25, 25), m.bottomRight() - QPointF(25, 25));
                    p.drawLine(m.topRight() + QPointF(-25, 25), m.bottomLeft() + QPointF(25, -25));
                }
            } else {
                p.drawEllipse(m);
                if (prim.checked) {
                    p.setBrush(Qt::black);
                    p.drawEllipse(m.center(), kMarkSize / 4.0, kMarkSize / 4.0);
                }
            }
            if (!prim.text.empty()) drawText(p, prim, prim.x + kMarkSize + 60, Align::Left, 0);
            break;
        }
        }
    }
    p.restore();
}

}  // namespace

void paintPage(QPainter& painter, const Page& page) {
    ImageCache images;
    paint(painter, page, images);
}

QImage pageImage(const Page& page, double dotsPerInch) {
    const double scale = dotsPerInch / 1000.0;
    QImage img(std::max(1, static_cast<int>(std::lround(page.width * scale))),
               std::max(1, static_cast<int>(std::lround(page.height * scale))), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.scale(scale, scale);
    paintPage(p, page);
    p.end();
    return img;
}

PrinterOutput::PrinterOutput(QPrinter& printer)
    : printer_(printer), painter_(std::make_unique<QPainter>()), images_(std::make_unique<ImageCache>()) {}

PrinterOutput::~PrinterOutput() {
    if (painter_->isActive()) painter_->end();
}

bool PrinterOutput::add(const Page& page) {
    if (!error_.empty()) return false;
    if (!started_) {
        if (!painter_->begin(&printer_)) return fail("No se pudo iniciar la impresión.");
        started_ = true;
    } else {
        printer_.newPage();
    }
    const double scale = printer_.resolution() / 1000.0;
    // The printer's own margins: page positions count from the paper's corner.
    const QRectF paper = printer_.paperRect(QPrinter::DevicePixel);
    const QRectF area = printer_.pageRect(QPrinter::DevicePixel);
    painter_->save();
    painter_->translate(paper.left() - area.left(), paper.top() - area.top());
    painter_->scale(scale, scale);
    paint(*painter_, page, *images_);
    painter_->restore();
    return true;
}

bool PrinterOutput::finish() {
    if (painter_->isActive()) painter_->end();
    return error_.empty();
}

bool printPages(QPrinter& printer, const PageList& pages, const std::vector<int>& numbers, std::string* error) {
    PrinterOutput out(printer);
    Page page;
    for (int n : numbers) {
        if (n < 1 || n > static_cast<int>(pages.size())) continue;
        pages.read(static_cast<std::size_t>(n - 1), page);
        if (!out.add(page)) break;
    }
    if (out.finish()) return true;
    if (error) *error = out.error();
    return false;
}

}  // namespace tv::report
