#include "platform/images/program_pictures.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/images/picture_loader.h"

namespace tv {
namespace {

// Share of pixels that are clearly of the given hue family.
double share(const QImage& img, bool (*is)(QRgb)) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            if (qAlpha(c) > 200 && is(c)) ++n;
        }
    return double(n) / (img.width() * img.height());
}
bool greenish(QRgb c) { return qGreen(c) > qRed(c) + 60 && qGreen(c) > qBlue(c) + 60; }
bool reddish(QRgb c) { return qRed(c) > qGreen(c) + 80 && qRed(c) > qBlue(c) + 80; }
bool opaque(QRgb c) { return qAlpha(c) > 200; }

// Every picture name the windows use, in the spelling they use it.
const char* const kWindowNames[] = {
    "tq.ico",          "WAView.ico",      "WAINSERT.ICO",    "WAChange.ICO",     "WADELETE.ICO",
    "WAClose.ico",     "WAOk.ICO",        "WACancel.ico",    "RFind.ico",        "WAVCRDOWN.ICO",
    "EXIT.ICO",        "PRINT.ICO",       "QkQBE.ico",       "QkLoad.ico",       "productos.ico",
    "proveedores.ico", "ordencompra.ico", "entradas.ico",    "iconosalida.ico",  "LUPA.ICO",
    "EXCEL.ICO",       "?TOOLBAR:INSERT", "?TOOLBAR:CHANGE", "?TOOLBAR:DELETE",  "?TOOLBAR:SELECT",
    "?TOOLBAR:BOTTOM", "?TOOLBAR:TOP",    "?TOOLBAR:PAGEDOWN", "?TOOLBAR:PAGEUP", "?TOOLBAR:DOWN",
    "?TOOLBAR:UP",     "?TOOLBAR:LOCATE", "?TOOLBAR:HISTORY", "?TOOLBAR:HELP",
};

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TEST(ProgramIcons, EveryNameTheWindowsUseIsDrawnWhateverItsCase) {
    for (const char* name : kWindowNames) {
        SCOPED_TRACE(name);
        const QIcon icon = programIcon(name);
        ASSERT_FALSE(icon.isNull());
        EXPECT_FALSE(programIcon(lower(name)).isNull());
        EXPECT_TRUE(isProgramPicture(lower(name)));
        EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
        EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
        // Something is actually drawn, and not a filled square.
        const QImage img = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        const double covered = share(img, opaque);
        EXPECT_GT(covered, 0.08);
        EXPECT_LT(covered, 0.95);
        EXPECT_EQ(programPicture(name).size(), QSize(32, 32));
    }
    // The list the layer publishes covers the same names.
    for (const char* name : kWindowNames) {
        std::string n = name;
        if (n.front() == '?') n.erase(0, 1);
        EXPECT_NE(std::find(programPictureNames().begin(), programPictureNames().end(), n), programPictureNames().end())
            << n;
    }
}

TEST(ProgramIcons, OkIsGreenAndCancelRed) {
    const QImage ok = programImage("waok.ico", 32).convertToFormat(QImage::Format_ARGB32);
    const QImage cancel = programImage("WACANCEL.ICO", 32).convertToFormat(QImage::Format_ARGB32);
    EXPECT_GT(share(ok, greenish), 0.05);
    EXPECT_EQ(share(ok, reddish), 0.0);
    EXPECT_GT(share(cancel, reddish), 0.05);
    EXPECT_EQ(share(cancel, greenish), 0.0);
    EXPECT_NE(programImage("?TOOLBAR:UP", 24), programImage("?TOOLBAR:DOWN", 24));
}

TEST(ProgramIcons, UnknownNamesGiveNothing) {
    for (const char* name : {"", "nada.ico", "tq", "back02.jpg", "?TOOLBAR:NOPE"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(isProgramPicture(name));
        EXPECT_TRUE(programIcon(name).isNull());
        EXPECT_TRUE(programPicture(name).isNull());
        EXPECT_TRUE(programImage(name).isNull());
    }
}

TEST(ProgramBackground, IsAJpegDecodedThroughTheLoader) {
    const std::vector<unsigned char>& jpeg = backgroundJpeg();
    ASSERT_GT(jpeg.size(), 1000u);
    EXPECT_EQ(detectPictureFormat(jpeg.data(), jpeg.size()), PictureFormat::Jpeg);
    const PictureResult again = decodePicture(jpeg.data(), jpeg.size());
    ASSERT_TRUE(again.ok()) << again.error;
    EXPECT_EQ(again.image.size(), QSize(kBackgroundWidth, kBackgroundHeight));

    const QImage img = programImage("BACK01.JPG");
    EXPECT_EQ(img.size(), QSize(1024, 768));
    EXPECT_EQ(img, again.image);
    EXPECT_EQ(programPicture("back01.jpg").size(), QSize(1024, 768));
    // Calm: pale overall, so windows stand out against it.
    EXPECT_GT(qGray(img.pixel(512, 40)), 170);
}

}  // namespace
}  // namespace tv
