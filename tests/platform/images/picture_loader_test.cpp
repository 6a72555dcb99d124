#include "platform/images/picture_loader.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <QImageReader>
#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"

namespace tv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
namespace err = picture_errors;

// ---- pictures made by the tests --------------------------------------------

// A JPEG from libjpeg's compressor; `pixel(x, y, out)` fills `components`
// samples in the given colour space.
Bytes makeJpeg(int w, int h, J_COLOR_SPACE space, int components,
               const std::function<void(int, int, unsigned char*)>& pixel, bool progressive = false) {
    jpeg_compress_struct c{};
    jpeg_error_mgr e{};
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    Bytes row(static_cast<size_t>(w * components));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) pixel(x, y, &row[static_cast<size_t>(x * components)]);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buf, buf + size);
    std::free(buf);
    return out;
}

// Left half red, right half blue; 64 x 48 keeps the edge on a block boundary.
Bytes redBlueJpeg(bool progressive = false) {
    return makeJpeg(
        64, 48, JCS_RGB, 3,
        [](int x, int, unsigned char* p) {
            p[0] = x < 32 ? 220 : 20;
            p[1] = 20;
            p[2] = x < 32 ? 20 : 200;
        },
        progressive);
}

void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void put32(Bytes& b, unsigned v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A 24-bit BMP written byte by byte: rows bottom-up, each padded to 4 bytes.
Bytes makeBmp(int w, int h, const std::function<QRgb(int, int)>& pixel) {
    const unsigned rowBytes = static_cast<unsigned>((w * 3 + 3) / 4 * 4);
    const unsigned dataSize = rowBytes * static_cast<unsigned>(h);
    Bytes b{'B', 'M'};
    put32(b, 54 + dataSize);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, static_cast<unsigned>(w));
    put32(b, static_cast<unsigned>(h));
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);  // no compression
    put32(b, dataSize);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        unsigned n = 0;
        for (int x = 0; x < w; ++x, n += 3) {
            const QRgb c = pixel(x, y);
            b.push_back(static_cast<unsigned char>(qBlue(c)));
            b.push_back(static_cast<unsigned char>(qGreen(c)));
            b.push_back(static_cast<unsigned char>(qRed(c)));
        }
        for (; n < rowBytes; ++n) b.push_back(0);
    }
    return b;
}

// A GIF with a four-colour palette. The LZW stream sends a clear code every
// two pixels, so codes stay three bits wide and every code is a literal.
Bytes makeGif(int w, int h, const std::vector<QRgb>& palette, const std::function<int(int, int)>& index) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a'};
    put16(b, static_cast<unsigned>(w));
    put16(b, static_cast<unsigned>(h));
    b.insert(b.end(), {0x91, 0, 0});
    for (QRgb c : palette) b.insert(b.end(), {static_cast<unsigned char>(qRed(c)), static_cast<unsigned char>(qGreen(c)),
                                              static_cast<unsigned char>(qBlue(c))});
    b.push_back(0x2C);
    put16(b, 0);
    put16(b, 0);
    put16(b, static_cast<unsigned>(w));
    put16(b, static_cast<unsigned>(h));
    b.push_back(0);
    b.push_back(2);  // minimum code size
    Bytes lzw;
    unsigned acc = 0;
    int bits = 0;
    auto code = [&](unsigned v) {
        acc |= v << bits;
        bits += 3;
        while (bits >= 8) {
            lzw.push_back(static_cast<unsigned char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, ++n) {
            if (n % 2 == 0) code(4);
            code(static_cast<unsigned>(index(x, y)));
        }
    code(5);
    if (bits > 0) lzw.push_back(static_cast<unsigned char>(acc & 0xFF));
    for (size_t i = 0; i < lzw.size(); i += 255) {
        const size_t len = std::min<size_t>(255, lzw.size() - i);
        b.push_back(static_cast<unsigned char>(len));
        b.insert(b.end(), lzw.begin() + static_cast<long>(i), lzw.begin() + static_cast<long>(i + len));
    }
    b.push_back(0);
    b.push_back(0x3B);
    return b;
}

void writeFile(const fs::path& p, const Bytes& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

// Lossy formats: close enough per channel.
::testing::AssertionResult near(QRgb got, QRgb want, int tolerance) {
    const int d = std::max({std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                            std::abs(qBlue(got) - qBlue(want))});
    if (d <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got #" << std::hex << (got & 0xFFFFFF) << ", want #" << (want & 0xFFFFFF);
}

// ---- decoding the three formats -------------------------------------------

struct Probe {
    int x, y;
    QRgb colour;
};

struct GoodCase {
    const char* file;
    std::function<Bytes()> make;
    int w, h;
    std::vector<Probe> probes;
    int tolerance;
};

TEST(LoadPicture, DecodesJpegBmpAndGifWithSizeAndColours) {
    const std::vector<QRgb> palette{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    const std::vector<GoodCase> cases{
        {"rojo_azul.jpg", [] { return redBlueJpeg(); }, 64, 48, {{8, 8, qRgb(220, 20, 20)}, {56, 40, qRgb(20, 20, 200)}}, 10},
        {"progresiva.jpg", [] { return redBlueJpeg(true); }, 64, 48, {{8, 8, qRgb(220, 20, 20)}, {56, 40, qRgb(20, 20, 200)}}, 10},
        // Odd size, not a multiple of the block size.
        {"gris.jpg",
         [] {
             return makeJpeg(41, 30, JCS_GRAYSCALE, 1, [](int, int y, unsigned char* p) { p[0] = y < 16 ? 0xC0 : 0x20; });
         },
         41, 30, {{3, 3, qRgb(0xC0, 0xC0, 0xC0)}, {40, 29, qRgb(0x20, 0x20, 0x20)}}, 6},
        // CMYK as Adobe writes it (inverted: 255 is no ink); libjpeg adds the
        // Adobe marker that says so. Full magenta and yellow make red.
        {"cmyk.jpg",
         [] {
             return makeJpeg(32, 32, JCS_CMYK, 4, [](int x, int, unsigned char* p) {
                 p[0] = 255;
                 p[1] = x < 16 ? 0 : 255;
                 p[2] = 0;
                 p[3] = 255;
             });
         },
         32, 32, {{4, 4, qRgb(255, 0, 0)}, {28, 28, qRgb(255, 255, 0)}}, 12},
        // Odd width exercises the row padding; the probes tell bottom-up
        // storage from a flipped picture.
        {"cuadros.bmp",
         [] {
             return makeBmp(5, 3, [](int x, int y) {
                 return y == 0 ? qRgb(255, 0, 0) : x == 4 ? qRgb(0, 0, 255) : qRgb(10, 200, 30);
             });
         },
         5, 3, {{0, 0, qRgb(255, 0, 0)}, {4, 2, qRgb(0, 0, 255)}, {1, 2, qRgb(10, 200, 30)}}, 0},
        {"paleta.gif", [&] { return makeGif(5, 3, palette, [](int x, int y) { return (x + y) % 4; }); }, 5, 3,
         {{0, 0, qRgb(255, 0, 0)}, {1, 0, qRgb(0, 255, 0)}, {4, 2, qRgb(0, 0, 255)}, {2, 1, qRgb(255, 255, 255)}}, 0},
    };
    ASSERT_TRUE(QImageReader::supportedImageFormats().contains("bmp"));
    ASSERT_TRUE(QImageReader::supportedImageFormats().contains("gif")) << "Qt's GIF plugin is missing";

    test::ScratchDir dir;
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path file = dir.file(c.file);
        writeFile(file, c.make());
        const PictureResult r = loadPicture(utf8(file));
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_TRUE(r.error.empty());
        EXPECT_EQ(r.image.size(), QSize(c.w, c.h));
        for (const Probe& p : c.probes) EXPECT_TRUE(near(r.image.pixel(p.x, p.y), p.colour, c.tolerance)) << p.x << "," << p.y;
    }
}

TEST(LoadPicture, TellsTheFormatByContentNotByName) {
    test::ScratchDir dir;
    writeFile(dir.file("en_realidad_jpeg.bmp"), redBlueJpeg());
    writeFile(dir.file("en_realidad_bmp.gif"), makeBmp(2, 2, [](int, int) { return qRgb(0, 0, 255); }));
    writeFile(dir.file("sin_extension"), redBlueJpeg());

    const PictureResult jpeg = loadPicture(utf8(dir.file("en_realidad_jpeg.bmp")));
    ASSERT_TRUE(jpeg.ok()) << jpeg.error;
    EXPECT_EQ(jpeg.image.size(), QSize(64, 48));
    const PictureResult bmp = loadPicture(utf8(dir.file("en_realidad_bmp.gif")));
    ASSERT_TRUE(bmp.ok()) << bmp.error;
    EXPECT_EQ(bmp.image.pixel(1, 1), qRgb(0, 0, 255));
    EXPECT_TRUE(loadPicture(utf8(dir.file("sin_extension"))).ok());
}

TEST(LoadPicture, AccentedLongPathsAndBlankPadding) {
    test::ScratchDir dir;
    // Accented folder and file names, the whole path made exactly 255
    // characters long (the stored field's width).
    fs::path folder = dir.path() / u8"Fotografías de artículos";
    const std::u8string file = u8"camión ñandú.jpg";
    auto length = [](const fs::path& p) { return QString::fromUtf8(utf8(p).c_str()).size(); };
    while (length(folder / u8"año" / file) < 255 - 10) folder /= u8"año";
    fs::create_directories(folder);
    std::u8string pad(static_cast<size_t>(255 - length(folder / file)), u8'x');
    const fs::path full = folder / (pad + file);
    ASSERT_EQ(length(full), 255);
    writeFile(full, redBlueJpeg());

    const PictureResult r = loadPicture(utf8(full));
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.image.size(), QSize(64, 48));
    // The form keeps paths blank-padded; the padding is not part of the name.
    EXPECT_TRUE(loadPicture(utf8(full) + std::string(20, ' ')).ok());

    const PictureResult blank = loadPicture("    ");
    EXPECT_TRUE(blank.image.isNull());
    EXPECT_TRUE(blank.error.empty()) << "an article without a picture is not an error";
}

// ---- everything that must fail cleanly ------------------------------------

Bytes withSize(Bytes jpeg, unsigned w, unsigned h) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // baseline frame header
            jpeg[i + 5] = static_cast<unsigned char>(h >> 8);
            jpeg[i + 6] = static_cast<unsigned char>(h & 0xFF);
            jpeg[i + 7] = static_cast<unsigned char>(w >> 8);
            jpeg[i + 8] = static_cast<unsigned char>(w & 0xFF);
            return jpeg;
        }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

TEST(LoadPicture, BadFilesGiveATextAndNoPicture) {
    test::ScratchDir dir;
    const Bytes good = redBlueJpeg();
    // Cut inside the picture data, past all the tables.
    size_t sos = 2;
    while (sos + 1 < good.size() && !(good[sos] == 0xFF && good[sos + 1] == 0xDA)) ++sos;
    ASSERT_LT(sos + 40, good.size());
    Bytes truncated(good.begin(), good.begin() + static_cast<long>((sos + good.size()) / 2));
    const Bytes progressive = redBlueJpeg(true);
    Bytes progressiveCut(progressive.begin(), progressive.begin() + static_cast<long>(progressive.size() * 2 / 3));
    Bytes garbage{0xFF, 0xD8, 0xFF, 0xE0};
    for (int i = 0; i < 600; ++i) garbage.push_back(static_cast<unsigned char>((i * 73 + 11) & 0xFF));
    const Bytes headerOnly{0xFF, 0xD8, 0xFF, 0xD9};
    const std::string text = "Esto es una nota, no una fotografía.\n";
    Bytes badBmp = makeBmp(4, 4, [](int, int) { return qRgb(1, 2, 3); });
    badBmp.resize(30);

    fs::create_directories(dir.file("carpeta.jpg"));
    writeFile(dir.file("cortada.jpg"), truncated);
    writeFile(dir.file("progresiva_cortada.jpg"), progressiveCut);
    writeFile(dir.file("basura.jpg"), garbage);
    writeFile(dir.file("solo_marcas.jpg"), headerOnly);
    writeFile(dir.file("vacia.jpg"), {});
    writeFile(dir.file("nota.jpg"), Bytes(text.begin(), text.end()));
    writeFile(dir.file("gigante.jpg"), withSize(good, 60000, 60000));
    writeFile(dir.file("cero.jpg"), withSize(good, 0, 48));
    writeFile(dir.file("bmp_cortado.bmp"), badBmp);

    const struct {
        const char* file;
        const char* error;
    } cases[] = {
        {"no_existe.jpg", err::kMissing},
        {"carpeta.jpg", err::kFolder},
        {"cortada.jpg", err::kDamaged},
        {"progresiva_cortada.jpg", err::kDamaged},
        {"basura.jpg", err::kDamaged},
        {"solo_marcas.jpg", err::kDamaged},
        {"vacia.jpg", err::kEmpty},
        {"nota.jpg", err::kUnknownFormat},
        {"gigante.jpg", err::kTooLarge},
        {"cero.jpg", err::kDamaged},
        {"bmp_cortado.bmp", err::kDamaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const PictureResult r = loadPicture(utf8(dir.file(c.file)));
        EXPECT_TRUE(r.image.isNull());
        EXPECT_EQ(r.error, c.error);
    }
    EXPECT_EQ(loadPicture(utf8(dir.file("no_existe") / "foto.jpg")).error, err::kMissing);
}

// Every prefix cut and a sweep of flipped bytes: the decoder either gives a
// whole picture of the right size or says the file is damaged.
TEST(DecodePicture, SurvivesCutsAndCorruption) {
    const Bytes good = redBlueJpeg();
    auto check = [](const Bytes& b) {
        const PictureResult r = decodePicture(b.data(), b.size());
        if (r.ok()) {
            EXPECT_EQ(r.image.size(), QSize(64, 48));
            EXPECT_TRUE(r.error.empty());
        } else {
            EXPECT_FALSE(r.error.empty());
        }
    };
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        const Bytes part(good.begin(), good.begin() + static_cast<long>(cut));
        check(part);
        // Lines with no data behind them are never made up.
        if (cut + 16 < good.size()) {
            EXPECT_FALSE(decodePicture(part.data(), part.size()).ok()) << cut;
        }
    }
    // Only the end marker missing: every line is there, so it shows.
    EXPECT_TRUE(decodePicture(good.data(), good.size() - 2).ok());
    for (size_t at = 2; at < good.size(); at += 5) {
        Bytes bad = good;
        bad[at] ^= 0xA5;
        check(bad);
    }
    const Bytes gif = makeGif(8, 8, {qRgb(0, 0, 0), qRgb(9, 9, 9), qRgb(1, 1, 1), qRgb(2, 2, 2)},
                              [](int x, int y) { return (x * y) % 4; });
    for (size_t cut = 6; cut < gif.size(); cut += 3) {
        Bytes part(gif.begin(), gif.begin() + static_cast<long>(cut));
        const PictureResult r = decodePicture(part.data(), part.size());
        EXPECT_NE(r.ok(), !r.error.empty());
    }
    EXPECT_EQ(decodePicture(nullptr, 0).error, err::kEmpty);
}

}  // namespace
}  // namespace tv
