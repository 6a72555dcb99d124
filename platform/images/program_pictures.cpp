#include "platform/images/program_pictures.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QThread>

#include "platform/images/jpeg_codec.h"
#include "platform/images/picture_loader.h"

namespace tv {
namespace {

// Every icon is drawn on a 32 x 32 grid and scaled to the size asked for.
using Draw = void (*)(QPainter&);

const QColor kInk(0x3A, 0x44, 0x50);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kFold(0xD5, 0xDD, 0xE6);
const QColor kGreen(0x2E, 0x9B, 0x3A);
const QColor kRed(0xD0, 0x2B, 0x2B);
const QColor kBlue(0x2F, 0x6D, 0xB5);
const QColor kCard(0xC8, 0x8A, 0x4C);   // cardboard
const QColor kNavy(0x1F, 0x3A, 0x68);

QPen pen(const QColor& c, qreal w) {
    QPen p(c, w);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

// A sheet of paper with a folded corner and a few lines of text.
void sheet(QPainter& p, QRectF r = QRectF(5, 3, 19, 25), bool lines = true) {
    const qreal f = 6;
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - f, r.top());
    page.lineTo(r.right(), r.top() + f);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(r.right() - f, r.top());
    fold.lineTo(r.right() - f, r.top() + f);
    fold.lineTo(r.right(), r.top() + f);
    fold.closeSubpath();
    p.setBrush(kFold);
    p.drawPath(fold);
    if (!lines) return;
    p.setPen(pen(QColor(0x9A, 0xA6, 0xB2), 1.2));
    for (qreal y = r.top() + 9; y < r.bottom() - 3; y += 4) p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void plusBadge(QPainter& p, QPointF c, qreal radius) {
    p.setPen(pen(kGreen.darker(130), 1));
    p.setBrush(kGreen);
    p.drawEllipse(c, radius, radius);
    p.setPen(pen(kPaper, radius * 0.42));
    const qreal a = radius * 0.55;
    p.drawLine(QPointF(c.x() - a, c.y()), QPointF(c.x() + a, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - a), QPointF(c.x(), c.y() + a));
}

void cross(QPainter& p, QRectF r, qreal width, const QColor& colour = kRed) {
    p.setPen(pen(colour.darker(140), width + 1.6));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
    p.setPen(pen(colour, width));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void tick(QPainter& p, QPointF a, QPointF b, QPointF c, qreal width) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kGreen.darker(150), width + 1.6));
    p.drawPath(path);
    p.setPen(pen(kGreen, width));
    p.drawPath(path);
}

void pencil(QPainter& p) {
    p.save();
    p.translate(19, 17);
    p.rotate(45);
    // Body along the y axis, tip pointing down-left after the rotation.
    p.setPen(pen(kInk, 1));
    p.setBrush(QColor(0xF2, 0xC1, 0x2E));
    p.drawRect(QRectF(-3, -11, 6, 15));
    p.setBrush(QColor(0xE8, 0x8A, 0x9A));
    p.drawRect(QRectF(-3, -14, 6, 3));
    QPainterPath tip;
    tip.moveTo(-3, 4);
    tip.lineTo(3, 4);
    tip.lineTo(0, 10);
    tip.closeSubpath();
    p.setBrush(QColor(0xF3, 0xDC, 0xB5));
    p.drawPath(tip);
    p.setBrush(kInk);
    QPainterPath lead;
    lead.moveTo(-1, 8);
    lead.lineTo(1, 8);
    lead.lineTo(0, 10);
    lead.closeSubpath();
    p.drawPath(lead);
    p.restore();
}

void magnifier(QPainter& p, QPointF c, qreal r) {
    const QPointF handleFrom(c.x() + r * 0.72, c.y() + r * 0.72);
    const QPointF handleTo(c.x() + r * 1.9, c.y() + r * 1.9);
    p.setPen(pen(QColor(0x5A, 0x3A, 0x22), r * 0.55));
    p.drawLine(handleFrom, handleTo);
    QRadialGradient glass(c - QPointF(r * 0.3, r * 0.3), r * 1.2);
    glass.setColorAt(0, QColor(0xF4, 0xFA, 0xFF));
    glass.setColorAt(1, QColor(0xA9, 0xD0, 0xF0));
    p.setBrush(glass);
    p.setPen(pen(QColor(0x4A, 0x55, 0x60), r * 0.28));
    p.drawEllipse(c, r, r);
}

// A solid triangle pointing up (or down), centred on `c`.
void triangle(QPainter& p, QPointF c, qreal half, bool up, const QColor& colour = kBlue) {
    QPainterPath t;
    const qreal h = half * 0.9;
    if (up) {
        t.moveTo(c.x(), c.y() - h);
        t.lineTo(c.x() + half, c.y() + h);
        t.lineTo(c.x() - half, c.y() + h);
    } else {
        t.moveTo(c.x(), c.y() + h);
        t.lineTo(c.x() + half, c.y() - h);
        t.lineTo(c.x() - half, c.y() - h);
    }
    t.closeSubpath();
    p.setPen(pen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawPath(t);
}

void bar(QPainter& p, qreal y) {
    p.setPen(pen(kBlue.darker(140), 1));
    p.setBrush(kBlue);
    p.drawRect(QRectF(7, y, 18, 3.2));
}

// A fat arrow from `from` to `to` (the head at `to`).
void fatArrow(QPainter& p, QPointF from, QPointF to, qreal width, const QColor& colour) {
    const QLineF axis(from, to);
    const qreal len = axis.length();
    p.save();
    p.translate(from);
    p.rotate(-axis.angle());
    QPainterPath a;
    const qreal head = std::min(len * 0.5, width * 1.4);
    a.moveTo(0, -width / 2);
    a.lineTo(len - head, -width / 2);
    a.lineTo(len - head, -width);
    a.lineTo(len, 0);
    a.lineTo(len - head, width);
    a.lineTo(len - head, width / 2);
    a.lineTo(0, width / 2);
    a.closeSubpath();
    p.setPen(pen(colour.darker(150), 1));
    p.setBrush(colour);
    p.drawPath(a);
    p.restore();
}

// A cardboard box seen slightly from above, its front face being `front`.
void box(QPainter& p, QRectF front, qreal depth) {
    const QPointF d(depth, -depth * 0.8);
    QPolygonF top({front.topLeft(), front.topLeft() + d, front.topRight() + d, front.topRight()});
    QPolygonF side({front.topRight(), front.topRight() + d, front.bottomRight() + d, front.bottomRight()});
    p.setPen(pen(QColor(0x6B, 0x43, 0x1E), 1));
    p.setBrush(kCard);
    p.drawRect(front);
    p.setBrush(kCard.lighter(125));
    p.drawPolygon(top);
    p.setBrush(kCard.darker(125));
    p.drawPolygon(side);
    // Packing tape across the lid.
    p.setPen(pen(QColor(0xE9, 0xD3, 0xA6), std::max<qreal>(1.2, depth * 0.3)));
    const QPointF m1 = (front.topLeft() + front.topRight()) / 2;
    p.drawLine(m1, m1 + d);
}

void door(QPainter& p, bool open) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(QColor(0xEE, 0xEE, 0xEE));
    p.drawRect(QRectF(5, 3, 16, 26));  // frame
    p.setBrush(QColor(0x9B, 0x62, 0x33));
    if (open) {
        QPolygonF leaf({QPointF(5, 3), QPointF(13, 6), QPointF(13, 31), QPointF(5, 29)});
        p.drawPolygon(leaf);
        p.setBrush(QColor(0xF2, 0xC1, 0x2E));
        p.drawEllipse(QPointF(11, 17), 1.2, 1.2);
    } else {
        p.drawRect(QRectF(7, 5, 12, 24));
        p.setBrush(QColor(0xF2, 0xC1, 0x2E));
        p.drawEllipse(QPointF(16.5, 17), 1.2, 1.2);
    }
}

// ---- the icons -------------------------------------------------------------

void drawProgram(QPainter& p) {
    box(p, QRectF(3, 11, 21, 18), 6);
    // The "T" of the program, drawn as two bars so no font is needed.
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawRect(QRectF(7, 14, 13, 3.6));
    p.drawRect(QRectF(11.7, 14, 3.6, 12.5));
}

void drawView(QPainter& p) {
    QPainterPath eye;
    eye.moveTo(2, 16);
    eye.quadTo(16, 2, 30, 16);
    eye.quadTo(16, 30, 2, 16);
    p.setPen(pen(kInk, 1.5));
    p.setBrush(kPaper);
    p.drawPath(eye);
    p.setPen(pen(kNavy, 1));
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(16, 16), 6, 6);
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(16, 16), 2.8, 2.8);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(14, 14), 1.2, 1.2);
}

void drawInsert(QPainter& p) {
    sheet(p);
    plusBadge(p, QPointF(23, 23), 7);
}

void drawChange(QPainter& p) {
    sheet(p);
    pencil(p);
}

void drawDelete(QPainter& p) {
    sheet(p);
    cross(p, QRectF(15, 15, 12, 12), 3.2);
}

void drawClose(QPainter& p) {
    door(p, false);
    fatArrow(p, QPointF(14, 17), QPointF(30, 17), 5, kGreen);
}

void drawExit(QPainter& p) {
    door(p, true);
    fatArrow(p, QPointF(13, 17), QPointF(30, 17), 5, kRed);
}

void drawOk(QPainter& p) { tick(p, QPointF(5, 17), QPointF(13, 25), QPointF(27, 7), 4.5); }

void drawCancel(QPainter& p) { cross(p, QRectF(7, 7, 18, 18), 4.5); }

void drawFind(QPainter& p) {
    sheet(p, QRectF(3, 2, 18, 24));
    magnifier(p, QPointF(18, 17), 6.5);
}

void drawMagnifier(QPainter& p) { magnifier(p, QPointF(13, 13), 8.5); }

void drawFindNext(QPainter& p) {
    triangle(p, QPointF(16, 13), 10, false);
    bar(p, 24);
}

void drawPrint(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 3, 14, 10));  // paper waiting
    QLinearGradient body(0, 12, 0, 24);
    body.setColorAt(0, QColor(0xB8, 0xC2, 0xCC));
    body.setColorAt(1, QColor(0x78, 0x84, 0x90));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 12, 26, 12), 2, 2);
    p.setBrush(kGreen);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(25, 16), 1.3, 1.3);
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(8, 20, 16, 10));  // printed sheet
    p.setPen(pen(QColor(0x9A, 0xA6, 0xB2), 1));
    p.drawLine(QPointF(11, 24), QPointF(21, 24));
    p.drawLine(QPointF(11, 27), QPointF(19, 27));
}

void drawQueryByExample(QPainter& p) {
    QPainterPath funnel;
    funnel.moveTo(3, 5);
    funnel.lineTo(29, 5);
    funnel.lineTo(19, 17);
    funnel.lineTo(19, 27);
    funnel.lineTo(13, 30);
    funnel.lineTo(13, 17);
    funnel.closeSubpath();
    QLinearGradient g(3, 0, 29, 0);
    g.setColorAt(0, kBlue.lighter(140));
    g.setColorAt(1, kBlue);
    p.setPen(pen(kNavy, 1.3));
    p.setBrush(g);
    p.drawPath(funnel);
}

void drawQueryLoad(QPainter& p) {
    p.setPen(pen(QColor(0x8A, 0x6A, 0x10), 1.2));
    p.setBrush(QColor(0xE0, 0xB0, 0x3A));
    QPainterPath back;
    back.moveTo(2, 9);
    back.lineTo(10, 9);
    back.lineTo(12, 12);
    back.lineTo(26, 12);
    back.lineTo(26, 28);
    back.lineTo(2, 28);
    back.closeSubpath();
    p.drawPath(back);
    sheet(p, QRectF(7, 4, 15, 16), false);
    p.setPen(pen(QColor(0x8A, 0x6A, 0x10), 1.2));
    p.setBrush(QColor(0xF6, 0xCF, 0x5A));
    QPolygonF front({QPointF(2, 28), QPointF(7, 16), QPointF(31, 16), QPointF(26, 28)});
    p.drawPolygon(front);
    fatArrow(p, QPointF(16, 31), QPointF(16, 19), 4, kGreen);
}

void drawProducts(QPainter& p) {
    box(p, QRectF(2, 18, 12, 11), 4);
    box(p, QRectF(15, 18, 12, 11), 4);
    box(p, QRectF(8, 8, 12, 10), 4);
}

void drawSuppliers(QPainter& p) {
    p.setPen(pen(kInk, 1.1));
    p.setBrush(kBlue);
    p.drawRect(QRectF(1, 8, 18, 15));  // cargo
    p.setBrush(kRed);
    QPainterPath cab;
    cab.moveTo(19, 12);
    cab.lineTo(26, 12);
    cab.lineTo(30, 17);
    cab.lineTo(30, 23);
    cab.lineTo(19, 23);
    cab.closeSubpath();
    p.drawPath(cab);
    p.setBrush(QColor(0xCF, 0xE8, 0xFA));
    p.drawRect(QRectF(21, 14, 4.5, 4));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawEllipse(QPointF(7, 25), 3.2, 3.2);
    p.drawEllipse(QPointF(24, 25), 3.2, 3.2);
    p.setBrush(QColor(0xC0, 0xC0, 0xC0));
    p.drawEllipse(QPointF(7, 25), 1.2, 1.2);
    p.drawEllipse(QPointF(24, 25), 1.2, 1.2);
}

void drawPurchaseOrder(QPainter& p) {
    p.setPen(pen(QColor(0x6B, 0x43, 0x1E), 1.2));
    p.setBrush(QColor(0xB5, 0x7E, 0x48));
    p.drawRoundedRect(QRectF(5, 4, 22, 27), 2, 2);  // board
    p.setPen(pen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(8, 7, 16, 21));
    p.setBrush(QColor(0x9A, 0xA6, 0xB2));
    p.drawRoundedRect(QRectF(11, 2, 10, 5), 1.5, 1.5);  // clip
    for (int i = 0; i < 3; ++i) {
        const qreal y = 12 + i * 5.5;
        tick(p, QPointF(10, y), QPointF(11.5, y + 1.8), QPointF(14, y - 1.5), 1.2);
        p.setPen(pen(QColor(0x9A, 0xA6, 0xB2), 1.2));
        p.drawLine(QPointF(15.5, y), QPointF(22, y));
    }
}

void drawGoodsIn(QPainter& p) {
    box(p, QRectF(4, 17, 19, 13), 5);
    fatArrow(p, QPointF(15, 1), QPointF(15, 16), 6, kGreen);
}

void drawGoodsOut(QPainter& p) {
    box(p, QRectF(4, 17, 19, 13), 5);
    fatArrow(p, QPointF(15, 18), QPointF(15, 1), 6, kRed);
}

void drawSpreadsheet(QPainter& p) {
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 4, 26, 24));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1E, 0x7A, 0x45));
    p.drawRect(QRectF(3, 4, 26, 5));
    p.drawRect(QRectF(3, 4, 6, 24));
    p.setPen(pen(QColor(0x7F, 0xB8, 0x95), 0.9));
    for (qreal y = 14; y < 28; y += 5) p.drawLine(QPointF(9, y), QPointF(29, y));
    for (qreal x = 16; x < 29; x += 7) p.drawLine(QPointF(x, 9), QPointF(x, 28));
}

void drawSelect(QPainter& p) {
    p.setPen(pen(kInk, 1.4));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(4, 6, 22, 22), 3, 3);
    tick(p, QPointF(8, 16), QPointF(14, 23), QPointF(29, 4), 3.6);
}

void drawTop(QPainter& p) {
    bar(p, 5);
    triangle(p, QPointF(16, 19), 10, true);
}

void drawBottom(QPainter& p) {
    triangle(p, QPointF(16, 13), 10, false);
    bar(p, 24);
}

void drawPageUp(QPainter& p) {
    triangle(p, QPointF(16, 10), 9, true);
    triangle(p, QPointF(16, 22), 9, true);
}

void drawPageDown(QPainter& p) {
    triangle(p, QPointF(16, 10), 9, false);
    triangle(p, QPointF(16, 22), 9, false);
}

void drawUp(QPainter& p) { triangle(p, QPointF(16, 16), 10, true); }
void drawDown(QPainter& p) { triangle(p, QPointF(16, 16), 10, false); }

void drawHistory(QPainter& p) {
    // An arc turning back on itself: "bring the previous value again".
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kBlue, 3.6));
    const QRectF ring(6, 6, 20, 20);
    p.drawArc(ring, 100 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(3, 10);
    head.lineTo(13, 8);
    head.lineTo(8, 17);
    head.closeSubpath();
    p.setPen(pen(kBlue.darker(140), 1));
    p.setBrush(kBlue);
    p.drawPath(head);
}

void drawHelp(QPainter& p) {
    p.setPen(pen(kNavy, 1.2));
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(16, 16), 14, 14);
    // A question mark drawn as strokes.
    QPainterPath q;
    const QRectF hook(11, 7, 10, 10);
    q.arcMoveTo(hook, 160);
    q.arcTo(hook, 160, -250);
    q.lineTo(16, 20);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kPaper, 3.2));
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(16, 24.8), 2, 2);
}

struct Entry {
    const char* name;  // spelling the windows use
    Draw draw;
};

const Entry kIcons[] = {
    {"tq.ico", drawProgram},
    {"WAView.ico", drawView},
    {"WAINSERT.ICO", drawInsert},
    {"WAChange.ICO", drawChange},
    {"WADELETE.ICO", drawDelete},
    {"WAClose.ico", drawClose},
    {"WAOk.ICO", drawOk},
    {"WACancel.ico", drawCancel},
    {"RFind.ico", drawFind},
    {"WAVCRDOWN.ICO", drawFindNext},
    {"EXIT.ICO", drawExit},
    {"PRINT.ICO", drawPrint},
    {"QkQBE.ico", drawQueryByExample},
    {"QkLoad.ico", drawQueryLoad},
    {"productos.ico", drawProducts},
    {"proveedores.ico", drawSuppliers},
    {"ordencompra.ico", drawPurchaseOrder},
    {"entradas.ico", drawGoodsIn},
    {"iconosalida.ico", drawGoodsOut},
    {"LUPA.ICO", drawMagnifier},
    {"EXCEL.ICO", drawSpreadsheet},
    {"TOOLBAR:INSERT", drawInsert},
    {"TOOLBAR:CHANGE", drawChange},
    {"TOOLBAR:DELETE", drawDelete},
    {"TOOLBAR:SELECT", drawSelect},
    {"TOOLBAR:BOTTOM", drawBottom},
    {"TOOLBAR:TOP", drawTop},
    {"TOOLBAR:PAGEDOWN", drawPageDown},
    {"TOOLBAR:PAGEUP", drawPageUp},
    {"TOOLBAR:DOWN", drawDown},
    {"TOOLBAR:UP", drawUp},
    {"TOOLBAR:LOCATE", drawFind},
    {"TOOLBAR:HISTORY", drawHistory},
    {"TOOLBAR:HELP", drawHelp},
};

constexpr const char* kBackgroundName = "back01.jpg";

std::string normalName(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!name.empty() && name.front() == '?') name.remove_prefix(1);
    std::string out(name);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

Draw findIcon(const std::string& normal) {
    for (const Entry& e : kIcons)
        if (normalName(e.name) == normal) return e.draw;
    return nullptr;
}

QImage renderIcon(Draw draw, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p);
    p.end();
    return img;
}

// A calm warehouse: a soft sky-to-floor gradient and rows of shelving with
// boxes, pale enough that the child windows stand out against it.
QImage paintBackground() {
    QImage img(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = kBackgroundWidth, h = kBackgroundHeight;
    const qreal floorY = h * 0.78;

    QLinearGradient wall(0, 0, 0, floorY);
    wall.setColorAt(0, QColor(0xE4, 0xEB, 0xF1));
    wall.setColorAt(1, QColor(0xC3, 0xCF, 0xDA));
    p.fillRect(QRectF(0, 0, w, floorY), wall);
    QLinearGradient floor(0, floorY, 0, h);
    floor.setColorAt(0, QColor(0xA9, 0xB5, 0xC0));
    floor.setColorAt(1, QColor(0xC9, 0xD2, 0xDA));
    p.fillRect(QRectF(0, floorY, w, h - floorY), floor);

    // Fixed pseudo-random sequence, so the picture is the same every run.
    std::uint32_t seed = 20240611u;
    auto next = [&seed](int range) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(range));
    };
    const QColor boxTones[] = {QColor(0xB9, 0xA4, 0x8A), QColor(0xA8, 0x95, 0x7E), QColor(0xC4, 0xB2, 0x98),
                               QColor(0x9F, 0xAE, 0xBB), QColor(0xAF, 0xA0, 0x8C)};
    const QColor steel(0x8C, 0x9A, 0xA8);

    const int racks = 3;
    const qreal rackW = w / racks - 60, rackTop = h * 0.18;
    for (int r = 0; r < racks; ++r) {
        const qreal x0 = 30 + r * (w / racks);
        const int levels = 4;
        const qreal levelH = (floorY - rackTop) / levels;
        for (int l = 0; l < levels; ++l) {
            const qreal shelfY = rackTop + (l + 1) * levelH;
            qreal x = x0 + 14;
            while (x < x0 + rackW - 40) {
                const qreal bw = 36 + next(60);
                const qreal bh = levelH * (0.45 + next(40) / 100.0);
                if (x + bw > x0 + rackW - 10) break;
                const QColor tone = boxTones[next(5)];
                p.setPen(QPen(tone.darker(125), 1.5));
                p.setBrush(tone);
                p.drawRect(QRectF(x, shelfY - bh - 6, bw, bh));
                p.setPen(QPen(tone.lighter(115), 3));
                p.drawLine(QPointF(x + bw / 2, shelfY - bh - 6), QPointF(x + bw / 2, shelfY - bh + 10));
                x += bw + 6 + next(18);
            }
            p.setPen(Qt::NoPen);
            p.setBrush(steel);
            p.drawRect(QRectF(x0, shelfY - 6, rackW, 7));
        }
        p.setBrush(steel.darker(110));
        p.drawRect(QRectF(x0 - 4, rackTop - 10, 9, floorY - rackTop + 14));
        p.drawRect(QRectF(x0 + rackW - 5, rackTop - 10, 9, floorY - rackTop + 14));
    }

    // A soft light from above, and shade near the corners.
    QRadialGradient light(w / 2, h * 0.1, w * 0.75);
    light.setColorAt(0, QColor(255, 255, 255, 70));
    light.setColorAt(0.6, QColor(255, 255, 255, 0));
    light.setColorAt(1, QColor(40, 50, 60, 45));
    p.fillRect(img.rect(), light);
    p.end();
    return img;
}

struct Background {
    std::vector<unsigned char> jpeg;
    QImage image;
};

const Background& background() {
    static const Background bg = [] {
        Background b;
        b.jpeg = encodeJpeg(paintBackground(), 88);
        // Through the same loader as any picture file.
        b.image = decodePicture(b.jpeg.data(), b.jpeg.size()).image;
        return b;
    }();
    return bg;
}

// Pixmaps belong to the GUI thread (logical threads are fibers on it).
bool haveGuiApplication() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

const std::vector<std::string>& programPictureNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const Entry& e : kIcons) n.emplace_back(e.name);
        n.emplace_back(kBackgroundName);
        return n;
    }();
    return names;
}

bool isProgramPicture(std::string_view name) {
    const std::string n = normalName(name);
    return n == kBackgroundName || findIcon(n) != nullptr;
}

QImage programImage(std::string_view name, int size) {
    const std::string n = normalName(name);
    if (n == kBackgroundName) return background().image;
    Draw draw = findIcon(n);
    if (draw == nullptr || size <= 0 || size > 1024) return {};
    return renderIcon(draw, size);
}

QIcon programIcon(std::string_view name) {
    if (!haveGuiApplication()) return {};
    const std::string n = normalName(name);
    // Icons are made on the GUI thread only, so the cache needs no lock. It
    // is emptied when the application goes, so no pixmap outlives it.
    static std::map<std::string, QIcon>* cachePtr = nullptr;
    if (cachePtr == nullptr) {
        cachePtr = new std::map<std::string, QIcon>;
        qAddPostRoutine([] {
            delete cachePtr;
            cachePtr = nullptr;
        });
    }
    auto& cache = *cachePtr;
    if (auto it = cache.find(n); it != cache.end()) return it->second;
    QIcon icon;
    if (n == kBackgroundName) {
        icon = QIcon(QPixmap::fromImage(background().image));
    } else if (Draw draw = findIcon(n)) {
        for (int s : {16, 24, 32, 48}) icon.addPixmap(QPixmap::fromImage(renderIcon(draw, s)));
    } else {
        return {};
    }
    cache.emplace(n, icon);
    return icon;
}

QPixmap programPicture(std::string_view name) {
    if (!haveGuiApplication()) return {};
    const QImage img = programImage(name, 32);
    if (img.isNull()) return {};
    return QPixmap::fromImage(img);
}

const std::vector<unsigned char>& backgroundJpeg() { return background().jpeg; }

}  // namespace tv
