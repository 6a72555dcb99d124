#include "platform/report/win_ansi.h"

#include <cctype>

namespace tv::report {

namespace {

char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    auto cont = [&](std::size_t k) -> int {
        if (i + k >= s.size()) return -1;
        unsigned char b = static_cast<unsigned char>(s[i + k]);
        return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
    };
    if (c < 0x80) {
        ++i;
        return c;
    }
    if ((c & 0xE0) == 0xC0) {
        int b1 = cont(1);
        if (b1 >= 0) {
            i += 2;
            return static_cast<char32_t>(((c & 0x1F) << 6) | b1);
        }
    } else if ((c & 0xF0) == 0xE0) {
        int b1 = cont(1), b2 = cont(2);
        if (b1 >= 0 && b2 >= 0) {
            i += 3;
            return static_cast<char32_t>(((c & 0x0F) << 12) | (b1 << 6) | b2);
        }
    } else if ((c & 0xF8) == 0xF0) {
        int b1 = cont(1), b2 = cont(2), b3 = cont(3);
        if (b1 >= 0 && b2 >= 0 && b3 >= 0) {
            i += 4;
            return static_cast<char32_t>(((c & 0x07) << 18) | (b1 << 12) | (b2 << 6) | b3);
        }
    }
    ++i;
    return 0xFFFD;
}

// Windows-1252 bytes 0x80..0x9F.
constexpr char32_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Helvetica, codes 32..255 (Adobe's metrics; unmapped codes get 0 and are
// shown as the width of a bullet, 350, below).
constexpr short kHelvetica[224] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,   // 32
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,   // 48
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // 64
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,   // 80
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,   // 96
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584, 350,   // 112
    556, 350, 222, 556, 333, 1000, 556, 556, 333, 1000, 667, 333, 1000, 350, 611, 350, // 128
    350, 222, 222, 333, 333, 350, 556, 1000, 333, 1000, 500, 333, 944, 350, 500, 667, // 144
    278, 333, 556, 556, 556, 556, 260, 556, 333, 737, 370, 556, 584, 333, 737, 333,   // 160
    400, 584, 333, 333, 333, 556, 537, 278, 333, 333, 365, 556, 834, 834, 834, 611,   // 176
    667, 667, 667, 667, 667, 667, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278,  // 192
    722, 722, 778, 778, 778, 778, 778, 584, 778, 722, 722, 722, 722, 667, 667, 611,   // 208
    556, 556, 556, 556, 556, 556, 889, 500, 556, 556, 556, 556, 278, 278, 278, 278,   // 224
    556, 556, 556, 556, 556, 556, 556, 584, 611, 556, 556, 556, 556, 500, 556, 500};  // 240

constexpr short kHelveticaBold[224] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278,   // 32
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611,   // 48
    975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778,   // 64
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556,   // 80
    333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889, 611, 611,   // 96
    611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584, 350,   // 112
    556, 350, 278, 556, 500, 1000, 556, 556, 333, 1000, 667, 333, 1000, 350, 611, 350, // 128
    350, 278, 278, 500, 500, 350, 556, 1000, 333, 1000, 556, 333, 944, 350, 500, 667, // 144
    278, 333, 556, 556, 556, 556, 280, 556, 333, 737, 370, 556, 584, 333, 737, 333,   // 160
    400, 584, 333, 333, 333, 611, 556, 278, 333, 333, 365, 556, 834, 834, 834, 611,   // 176
    722, 722, 722, 722, 722, 722, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278,  // 192
    722, 722, 778, 778, 778, 778, 778, 584, 778, 722, 722, 722, 722, 667, 667, 611,   // 208
    556, 556, 556, 556, 556, 556, 889, 556, 556, 556, 556, 556, 278, 278, 278, 278,   // 224
    611, 611, 611, 611, 611, 611, 611, 584, 611, 611, 611, 611, 611, 556, 611, 556};  // 240

bool isCourier(const Font& f) {
    std::string fam;
    for (char c : f.family) fam += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return fam.find("courier") != std::string::npos || fam.find("mono") != std::string::npos;
}

}  // namespace

std::string toWinAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = nextCodePoint(utf8, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char b = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] != 0 && kHigh[k] == cp) b = static_cast<char>(0x80 + k);
        out += b;
    }
    return out;
}

StdFont standardFontFor(const Font& font) {
    int style = (font.bold ? 1 : 0) + (font.italic ? 2 : 0);
    if (isCourier(font)) return static_cast<StdFont>(static_cast<int>(StdFont::Courier) + style);
    static constexpr StdFont helv[4] = {StdFont::Helvetica, StdFont::HelveticaBold,
                                        StdFont::HelveticaOblique, StdFont::HelveticaBoldOblique};
    return helv[style];
}

const char* standardFontName(StdFont f) {
    switch (f) {
    case StdFont::Helvetica: return "Helvetica";
    case StdFont::HelveticaBold: return "Helvetica-Bold";
    case StdFont::HelveticaOblique: return "Helvetica-Oblique";
    case StdFont::HelveticaBoldOblique: return "Helvetica-BoldOblique";
    case StdFont::Courier: return "Courier";
    case StdFont::CourierBold: return "Courier-Bold";
    case StdFont::CourierOblique: return "Courier-Oblique";
    case StdFont::CourierBoldOblique: return "Courier-BoldOblique";
    }
    return "Helvetica";
}

int textWidth1000(std::string_view winAnsi, StdFont f) {
    if (f >= StdFont::Courier) return static_cast<int>(winAnsi.size()) * 600;
    const short* table =
        (f == StdFont::HelveticaBold || f == StdFont::HelveticaBoldOblique) ? kHelveticaBold : kHelvetica;
    int w = 0;
    for (char ch : winAnsi) {
        unsigned char c = static_cast<unsigned char>(ch);
        w += c < 32 ? 0 : table[c - 32];
    }
    return w;
}

}  // namespace tv::report
