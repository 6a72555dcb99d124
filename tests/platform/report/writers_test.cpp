#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include <zlib.h>

#include <QColor>
#include <QImage>

#include "platform/report/html_writer.h"
#include "platform/report/paginator.h"
#include "platform/report/pdf_writer.h"
#include "platform/report/text_writer.h"
#include "platform/report/win_ansi.h"
#include "tests/platform/report/sample_report.h"
#include "tests/support/scratch_dir.h"

namespace tv::report {
namespace {

using test::readFile;
using test::samplePages;

// ---- text ------------------------------------------------------------------

// One small page drawn on a grid of 100 mils per column and 250 per line.
TEST(TextPageWriter, DrawsThePageCharacterByCharacter) {
    Page page;
    auto text = [&](std::string t, Mils x, Mils y, Mils w, Align a) {
        Primitive p;
        p.kind = PrimKind::Text;
        p.text = std::move(t);
        p.x = x, p.y = y, p.w = w, p.align = a;
        page.items.push_back(p);
    };
    auto prim = [&](PrimKind k, Mils x, Mils y, Mils w, Mils h) -> Primitive& {
        Primitive p;
        p.kind = k;
        p.x = x, p.y = y, p.w = w, p.h = h;
        page.items.push_back(p);
        return page.items.back();
    };
    text("Señal", 0, 0, 2000, Align::Center);
    text("7", 2000, 0, 500, Align::Right);
    prim(PrimKind::Line, 0, 250, 2500, 0);
    text("Descripción larga", 0, 500, 800, Align::Left);  // cut to its box
    text("1,234.50", 1000, 500, 1500, Align::Right);
    prim(PrimKind::CheckBox, 0, 750, 0, 0).checked = true;
    prim(PrimKind::CheckBox, 500, 750, 0, 0).checked = false;
    Primitive& r1 = prim(PrimKind::Radio, 1000, 750, 0, 0);
    r1.checked = true;
    r1.text = "Sí";
    prim(PrimKind::Radio, 1800, 750, 0, 0).checked = false;
    prim(PrimKind::Rect, 0, 1000, 600, 750).fill = 2;
    prim(PrimKind::Rect, 800, 1000, 400, 750).fill = -1;
    Primitive& solid = prim(PrimKind::Rect, 1400, 1000, 300, 500);
    solid.border = false;
    solid.fill = 4;
    Primitive& light = prim(PrimKind::Rect, 1800, 1000, 200, 250);
    light.border = false;
    light.fill = 1;
    prim(PrimKind::Line, 2400, 1000, 0, 750);

    TextPageWriter w;
    w.options.columnWidth = 100;
    w.options.lineHeight = 250;
    const std::string expected =
        "        Señal           7\n"
        "-------------------------\n"
        "Descripc         1,234.50\n"
        "[X]  [_]  (*) Sí  (_)\n"
        "/----\\  /--\\  ███ ░░    |\n"
        "|▒▒▒▒|  |  |  ███       |\n"
        "|▒▒▒▒|  |  |            |\n"
        "\\----/  \\--/            |\n";
    EXPECT_EQ(w.render({page}), expected);

    // Every page goes to the one file, pages apart by a form feed.
    Page second = page;
    EXPECT_EQ(w.render({page, second}), expected + "\f" + expected);
}

// Texts never overwrite one another, so a number wider than its column
// stays whole; a rule close under a text gets a line of its own.
TEST(TextPageWriter, TextsStayWholeAndRulesKeepTheirOwnLine) {
    Page page;
    auto text = [&](std::string t, Mils x, Mils y, Mils w, Align a) {
        Primitive p;
        p.kind = PrimKind::Text;
        p.text = std::move(t);
        p.x = x, p.y = y, p.w = w, p.align = a;
        page.items.push_back(p);
    };
    text("Categoría:", 0, 0, 0, Align::Left);
    text("PINTURAS", 500, 0, 1000, Align::Left);
    text("1,234,567,890.00", 1500, 250, 500, Align::Right);
    text("12.00", 1800, 250, 500, Align::Right);
    Primitive rule;
    rule.kind = PrimKind::Line;
    rule.y = 310;
    rule.w = 2600;
    page.items.push_back(rule);
    text("siguiente", 0, 370, 0, Align::Left);
    TextPageWriter w;
    w.options.columnWidth = 100;
    w.options.lineHeight = 250;
    EXPECT_EQ(w.render({page}), "Categoría: PINTURAS\n"
                                "    1,234,567,890.00 12.00\n"
                                "--------------------------\n"
                                "siguiente\n");
}

TEST(TextPageWriter, WritesTheSampleReportToOneUtf8File) {
    tv::test::ScratchDir dir;
    std::vector<Page> pages = samplePages();
    TextPageWriter w;
    std::string error;
    ASSERT_TRUE(w.write(dir.file("existencias.TXT"), pages, &error)) << error;
    std::string all = readFile(dir.file("existencias.TXT"));
    EXPECT_EQ(std::count(all.begin(), all.end(), '\f'), static_cast<long>(pages.size()) - 1);
    EXPECT_NE(all.find("Ferretería López"), std::string::npos);
    EXPECT_NE(all.find("Total general:"), std::string::npos);
    EXPECT_NE(all.find("[X]"), std::string::npos);
    EXPECT_NE(all.find("[_]"), std::string::npos);
    // The header line: company centred, the page number near the right edge.
    std::istringstream in(all);
    std::string first;
    std::getline(in, first);
    // Centred on its box (x 250 + 1708, 4583 wide) at 12 characters an inch.
    const long centre = std::lround((250 + 1708 + 4583 / 2.0) * 12 / 1000);
    EXPECT_EQ(static_cast<long>(first.find("Ferretería López")), centre - 8);
    EXPECT_EQ(first.substr(first.size() - 1), "1");

    // A file that cannot be written is reported, never taken for success.
    EXPECT_FALSE(w.write(dir.path() / "no-such-folder" / "x.TXT", pages, &error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos);
}

// ---- writers in general ------------------------------------------------------

TEST(ReportOutputWriter, DialogTextsAndTheExtensionRule) {
    TextPageWriter t;
    HtmlPageWriter h;
    PdfPageWriter p;
    EXPECT_EQ(t.saveTitle(), "Save as TXT File");
    EXPECT_EQ(h.saveTitle(), "Save as HTML File");
    EXPECT_EQ(p.saveTitle(), "Save PDF File");
    EXPECT_EQ(t.qtFilter(), "Text (*.TXT);;All (*.*)");
    EXPECT_EQ(h.qtFilter(), "HTM (*.HTM);;HTML (*.HTML);;All (*.*)");
    EXPECT_EQ(p.qtFilter(), "PDF (*.PDF);;All (*.*)");
    struct Case {
        std::string chosen, expected;
    };
    for (const Case& c : std::vector<Case>{{"/tmp/informe", "/tmp/informe.PDF"},
                                           {"/tmp/informe.pdf", "/tmp/informe.pdf"},
                                           {"/tmp/v1.2/informe", "/tmp/v1.2/informe.PDF"},
                                           {"informe.", "informe."},
                                           {"/tmp/a.b.c", "/tmp/a.b.c"}})
        EXPECT_EQ(p.withExtension(c.chosen).string(), c.expected) << c.chosen;
    EXPECT_EQ(t.withExtension("x").string(), "x.TXT");
    EXPECT_EQ(h.withExtension("x").string(), "x.HTM");
}

// ---- HTML ------------------------------------------------------------------

TEST(HtmlPageWriter, OneDocumentWithNavigatorFoldersAndEscapedText) {
    tv::test::ScratchDir dir;
    std::vector<Page> pages = samplePages(test::writeSampleJpeg(dir.path()));
    std::filesystem::path out = dir.path() / "salida" / "reporte.HTM";
    std::filesystem::create_directories(out.parent_path());
    HtmlPageWriter w;
    std::string error;
    ASSERT_TRUE(w.write(out, pages, &error)) << error;
    std::string html = readFile(out);

    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("<title>Morlisk Report</title>"), std::string::npos);
    for (const char* caption : {">First<", ">Last<", ">Next<", ">Prior<", ">Select Page ", ">Page_1<",
                                ">Page_3<", ">Load Page<"})
        EXPECT_NE(html.find(caption), std::string::npos) << caption;
    std::size_t pageDivs = 0;
    for (std::size_t at = 0; (at = html.find("class=\"page\"", at)) != std::string::npos; ++at) ++pageDivs;
    EXPECT_EQ(pageDivs, pages.size());
    // Text is escaped, accents are kept as UTF-8.
    EXPECT_NE(html.find("Tuerca &lt;M8&gt; &amp; &quot;arandela&quot;"), std::string::npos);
    EXPECT_EQ(html.find("<M8>"), std::string::npos);
    EXPECT_NE(html.find("Ferretería López"), std::string::npos);

    // The picture was written once into "_Images", style and script into "_Files".
    const auto images = out.parent_path() / "_Images";
    const auto files = out.parent_path() / "_Files";
    ASSERT_TRUE(std::filesystem::is_directory(images));
    ASSERT_TRUE(std::filesystem::is_directory(files));
    EXPECT_TRUE(std::filesystem::exists(images / "reporte_1.jpg"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(images), {}), 1);
    EXPECT_EQ(readFile(images / "reporte_1.jpg"), readFile(dir.file("logo.jpg")));
    EXPECT_NE(html.find("src=\"_Images/reporte_1.jpg\""), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(files / "reporte.css"));
    EXPECT_TRUE(std::filesystem::exists(files / "reporte.js"));

    // A folder that cannot be made is reported.
    std::ofstream(dir.file("plain")) << "x";
    EXPECT_FALSE(w.write(dir.path() / "plain" / "r.HTM", pages, &error));
    EXPECT_FALSE(error.empty());
}

TEST(HtmlPageWriter, EscapesEveryMarkupCharacter) {
    EXPECT_EQ(htmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
    EXPECT_EQ(htmlEscape("año"), "año");
}

// ---- PDF -------------------------------------------------------------------

std::string inflate(const std::string& data) {
    z_stream z{};
    inflateInit(&z);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    std::string out;
    char buf[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    }
    inflateEnd(&z);
    EXPECT_EQ(rc, Z_STREAM_END);
    return out;
}

struct PdfObject {
    std::string dict;
    std::string stream;  // raw, as stored
};

// Reads the file through its own cross-reference table, checking it on the way.
std::map<int, PdfObject> parsePdf(const std::string& pdf) {
    std::map<int, PdfObject> out;
    EXPECT_EQ(pdf.rfind("%PDF-1.4\n", 0), 0u);
    EXPECT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");
    std::size_t sx = pdf.rfind("startxref\n");
    EXPECT_NE(sx, std::string::npos);
    std::size_t xref = std::stoul(pdf.substr(sx + 10));
    EXPECT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
    std::istringstream in(pdf.substr(xref + 5));
    int first = -1, count = 0;
    in >> first >> count;
    EXPECT_EQ(first, 0);
    in.get();
    std::string line(20, '\0');
    in.read(line.data(), 20);
    EXPECT_EQ(line, "0000000000 65535 f \n");
    for (int i = 1; i < count; ++i) {
        in.read(line.data(), 20);
        EXPECT_EQ(line.substr(10, 9), " 00000 n ") << i;
        std::size_t off = std::stoul(line.substr(0, 10));
        std::string head = std::to_string(i) + " 0 obj\n";
        EXPECT_EQ(pdf.compare(off, head.size(), head), 0) << "object " << i << " not at its offset";
        std::size_t end = pdf.find("\nendobj\n", off);
        std::string body = pdf.substr(off + head.size(), end - off - head.size());
        PdfObject o;
        std::size_t st = body.find(">>\nstream\n");
        if (st == std::string::npos) {
            o.dict = body;
        } else {
            o.dict = body.substr(0, st + 2);
            std::smatch m;
            std::regex len("/Length (\\d+)");
            EXPECT_TRUE(std::regex_search(o.dict, m, len));
            std::size_t n = std::stoul(m[1]);
            o.stream = body.substr(st + 10, n);
            EXPECT_EQ(body.substr(st + 10 + n), "\nendstream");
        }
        out[i] = o;
    }
    std::string trailer = pdf.substr(sx - 200 < xref ? xref : sx - 200);
    EXPECT_NE(trailer.find("/Size " + std::to_string(count)), std::string::npos);
    return out;
}

TEST(PdfPageWriter, ValidStructureCompressedTextsAccentsAndInfo) {
    tv::test::ScratchDir dir;
    std::vector<Page> pages = samplePages(test::writeSampleJpeg(dir.path()));
    PdfPageWriter w;
    w.options.producer = "ImpresionExistencias";
    w.options.subject = "ImpresionExistencias";
    std::string error;
    ASSERT_TRUE(w.write(dir.file("r.PDF"), pages, &error)) << error;
    std::string pdf = readFile(dir.file("r.PDF"));
    auto objects = parsePdf(pdf);

    int pageObjects = 0, images = 0;
    std::string allText;
    std::string info;
    for (auto& [n, o] : objects) {
        if (o.dict.find("/Type /Page ") != std::string::npos) ++pageObjects;
        if (o.dict.find("/Type /Pages") != std::string::npos) {
            EXPECT_NE(o.dict.find("/Count " + std::to_string(pages.size())), std::string::npos);
        }
        if (o.dict.find("/Title") != std::string::npos) info = o.dict;
        if (o.dict.find("/Subtype /Image") != std::string::npos) {
            ++images;
            // The JPEG goes in as it is.
            EXPECT_NE(o.dict.find("/DCTDecode"), std::string::npos);
            EXPECT_EQ(o.stream, readFile(dir.file("logo.jpg")));
        } else if (!o.stream.empty()) {
            EXPECT_NE(o.dict.find("/FlateDecode"), std::string::npos);
            std::string content = inflate(o.stream);
            EXPECT_NE(content.find("BT /F"), std::string::npos);
            allText += content;
        }
        if (o.dict.find("/Type /Font") != std::string::npos) {
            EXPECT_NE(o.dict.find("/Subtype /Type1"), std::string::npos);
            EXPECT_NE(o.dict.find("/Encoding /WinAnsiEncoding"), std::string::npos);
        }
    }
    EXPECT_EQ(pageObjects, static_cast<int>(pages.size()));
    EXPECT_EQ(images, 1);
    // Spanish letters in Windows-1252: "í" 0xED, "ó" 0xF3, "á" 0xE1.
    EXPECT_NE(allText.find("(Ferreter\xED" "a L\xF3pez) Tj"), std::string::npos);
    EXPECT_NE(allText.find("(Existencia en almac\xE9n) Tj"), std::string::npos);
    EXPECT_NE(allText.find("(Tuerca <M8> & \"arandela\") Tj"), std::string::npos);
    EXPECT_NE(allText.find("(1,593.75) Tj"), std::string::npos);
    EXPECT_NE(allText.find("/Im1 Do"), std::string::npos);
    EXPECT_NE(info.find("/Title (QJ Report)"), std::string::npos);
    EXPECT_NE(info.find("/Creator (talvor)"), std::string::npos);
    EXPECT_NE(info.find("/Producer (ImpresionExistencias)"), std::string::npos);
    EXPECT_NE(info.find("/Subject (ImpresionExistencias)"), std::string::npos);
    EXPECT_NE(info.find("/Author ()"), std::string::npos);
    EXPECT_NE(info.find("/Keywords ()"), std::string::npos);

    // When a PDF reader is installed, it must read the text back.
    if (std::filesystem::exists("/usr/bin/pdftotext")) {
        std::string cmd = "/usr/bin/pdftotext -layout " + dir.file("r.PDF").string() + " " +
                          dir.file("r.txt").string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::string txt = readFile(dir.file("r.txt"));
        EXPECT_NE(txt.find("Ferretería López"), std::string::npos);
        EXPECT_NE(txt.find("Existencia en almacén"), std::string::npos);
        EXPECT_NE(txt.find("Tuerca <M8>"), std::string::npos);
    }

    EXPECT_FALSE(w.write(dir.path() / "missing" / "r.PDF", pages, &error));
    EXPECT_FALSE(error.empty());
}

// A picture that is not a JPEG goes in decoded, as compressed RGB on white.
TEST(PdfPageWriter, EmbedsOtherPicturesAsCompressedRgb) {
    tv::test::ScratchDir dir;
    QImage png(3, 2, QImage::Format_ARGB32);
    png.fill(QColor(0, 0, 255, 255));
    png.setPixelColor(0, 0, QColor(0, 0, 0, 0));  // transparent: white paper
    ASSERT_TRUE(png.save(QString::fromStdString(dir.file("p.png").string()), "PNG"));
    Page page;
    Primitive img;
    img.kind = PrimKind::Image;
    img.x = 100, img.y = 100, img.w = 300, img.h = 200;
    img.image = ImageData::load(dir.file("p.png").string());
    ASSERT_TRUE(img.image->valid());
    EXPECT_EQ(img.image->format, ImageData::Format::Png);
    page.items.push_back(img);
    PdfPageWriter w;
    auto objects = parsePdf(w.render({page}));
    int images = 0;
    for (auto& [n, o] : objects) {
        if (o.dict.find("/Subtype /Image") == std::string::npos) continue;
        ++images;
        EXPECT_NE(o.dict.find("/Width 3 /Height 2 /ColorSpace /DeviceRGB"), std::string::npos) << o.dict;
        std::string rgb = inflate(o.stream);
        ASSERT_EQ(rgb.size(), 3u * 2u * 3u);
        EXPECT_EQ(rgb.substr(0, 6), std::string("\xFF\xFF\xFF\x00\x00\xFF", 6));
    }
    EXPECT_EQ(images, 1);
    // A file that is no picture is left out of the page.
    std::ofstream(dir.file("bad.jpg")) << "not a picture";
    EXPECT_FALSE(ImageData::load(dir.file("bad.jpg").string())->valid());
    EXPECT_FALSE(ImageData::load(dir.file("missing.jpg").string())->valid());
    EXPECT_FALSE(ImageData::fromBytes(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF broken", 18))->valid());
}

TEST(PdfPageWriter, EscapesStringsAndPlacesTextByAlignment) {
    Page page;
    Primitive p;
    p.kind = PrimKind::Text;
    p.text = "a(b)c\\ €";
    p.x = 1000, p.y = 1000, p.w = 2000, p.align = Align::Right;
    page.items.push_back(p);
    PdfPageWriter w;
    w.options.compress = false;
    std::string pdf = w.render({page});
    auto objects = parsePdf(pdf);
    std::string content;
    for (auto& [n, o] : objects)
        if (!o.stream.empty()) content = o.stream;
    EXPECT_NE(content.find("(a\\(b\\)c\\\\ \x80) Tj"), std::string::npos) << content;
    // Right-aligned: the text ends at the box's right edge (3000 mils = 216 pt).
    double width = textWidth1000(toWinAnsi(p.text), StdFont::Helvetica) * 10 / 1000.0;
    char expect[64];
    std::snprintf(expect, sizeof expect, "1 0 0 1 %.2f ", 216 - width);
    std::string e = expect;
    while (e.size() > 9 && (e[e.size() - 2] == '0')) e.erase(e.size() - 2, 1);
    EXPECT_NE(content.find(e), std::string::npos) << content << " / " << e;
}

TEST(WinAnsi, EncodesSpanishAndWindowsLettersAndMeasures) {
    EXPECT_EQ(toWinAnsi("áéíóúñÑü¿¡"), "\xE1\xE9\xED\xF3\xFA\xF1\xD1\xFC\xBF\xA1");
    EXPECT_EQ(toWinAnsi("€“”…"), "\x80\x93\x94\x85");
    EXPECT_EQ(toWinAnsi("日"), "?");
    EXPECT_EQ(textWidth1000("A", StdFont::Helvetica), 667);
    EXPECT_EQ(textWidth1000("\xFF", StdFont::Helvetica), 500);       // ydieresis, the last entry
    EXPECT_EQ(textWidth1000("\xF1", StdFont::HelveticaBold), 611);   // ntilde
    EXPECT_EQ(textWidth1000("ab", StdFont::Courier), 1200);
}

}  // namespace
}  // namespace tv::report
