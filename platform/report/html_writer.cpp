#include "platform/report/html_writer.h"

#include <cstdio>
#include <fstream>
#include <map>

#include <QImage>

namespace tv::report {

namespace {

std::string inches(Mils m) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3fin", m / 1000.0);
    return buf;
}

std::string cssFont(const Font& f) {
    std::string s;
    if (f.italic) s += "italic ";
    if (f.bold) s += "bold ";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%gpt ", f.size);
    s += buf;
    s += "'" + htmlEscape(f.family) + "',sans-serif";
    return s;
}

constexpr const char* kFillColour[5] = {"#ffffff", "#bfbfbf", "#808080", "#404040", "#000000"};

bool writeFile(const std::filesystem::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    if (out) out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (out) out.close();
    return static_cast<bool>(out);
}

const char* kStyle =
    "body{background:#808080;margin:0;font-family:sans-serif;display:flex;flex-direction:column}\n"
    ".nav{background:#e0e0e0;padding:4px;position:sticky;top:0;z-index:1;order:-1}\n"
    ".page{position:relative;background:#fff;margin:12px auto;overflow:hidden}\n"
    ".page>*{position:absolute;box-sizing:border-box;margin:0}\n"
    ".t{white-space:pre;overflow:hidden;line-height:1.15}\n"
    ".m{display:flex;align-items:center;gap:0.06in;white-space:pre}\n"
    ".m input{margin:0;width:0.125in;height:0.125in}\n";

std::string script(const HtmlWriterOptions&) {
    return "(function(){\n"
           "var pages=document.querySelectorAll('.page'),sel=document.getElementById('tv-page'),cur=0;\n"
           "function show(i){if(i<0||i>=pages.length)return;cur=i;\n"
           " for(var k=0;k<pages.length;k++)pages[k].style.display=k==i?'':'none';sel.selectedIndex=i;}\n"
           "document.getElementById('tv-first').onclick=function(){show(0)};\n"
           "document.getElementById('tv-prior').onclick=function(){show(cur-1)};\n"
           "document.getElementById('tv-next').onclick=function(){show(cur+1)};\n"
           "document.getElementById('tv-last').onclick=function(){show(pages.length-1)};\n"
           "document.getElementById('tv-load').onclick=function(){show(sel.selectedIndex)};\n"
           "show(0);\n"
           "})();\n";
}

}  // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

namespace {

// The document written page by page. The page navigator, which lists every
// page, comes after the pages in the file; the style sheet shows it on top.
class HtmlOutput : public PageOutput {
public:
    HtmlOutput(const HtmlWriterOptions& o, std::filesystem::path dir, std::string base, const std::string& cssName,
               std::string jsName, std::ostream& out)
        : options_(o), dir_(std::move(dir)), base_(std::move(base)), jsName_(std::move(jsName)), out_(out) {
        out_ << "<!DOCTYPE html>\n<html lang=\"es\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                    htmlEscape(options_.documentName) + "</title>\n<link rel=\"stylesheet\" href=\"" +
                    htmlEscape(cssName) + "\">\n</head>\n<body>\n";
    }

    bool add(const Page& page) override {
        if (!error_.empty()) return false;
        std::string h;
        ++pages_;
        h += "<div class=\"page\" id=\"page" + std::to_string(pages_) + "\" style=\"width:" + inches(page.width) +
             ";height:" + inches(page.height) + "\">\n";
        for (const Primitive& p : page.items)
            if (!primitive(h, p)) return false;
        h += "</div>\n";
        out_ << h;
        return static_cast<bool>(out_) || fail("No se pudo escribir el HTML.");
    }

    bool finish() override {
        if (!error_.empty()) return false;
        std::string h = "<form class=\"nav\" onsubmit=\"return false\">\n";
        h += "<button type=\"button\" id=\"tv-first\">" + htmlEscape(options_.first) + "</button>\n";
        h += "<button type=\"button\" id=\"tv-prior\">" + htmlEscape(options_.prior) + "</button>\n";
        h += "<button type=\"button\" id=\"tv-next\">" + htmlEscape(options_.next) + "</button>\n";
        h += "<button type=\"button\" id=\"tv-last\">" + htmlEscape(options_.last) + "</button>\n";
        h += "<label>" + htmlEscape(options_.selectPage) + " <select id=\"tv-page\">\n";
        out_ << h;
        for (std::size_t i = 1; i <= pages_; ++i)
            out_ << "<option value=\"" << i << "\">" << htmlEscape(options_.pageText) << i << "</option>\n";
        out_ << "</select></label>\n<button type=\"button\" id=\"tv-load\">" + htmlEscape(options_.loadPage) +
                    "</button>\n</form>\n<script src=\"" + htmlEscape(jsName_) + "\"></script>\n</body>\n</html>\n";
        out_.flush();
        return static_cast<bool>(out_) || fail("No se pudo escribir el HTML.");
    }

private:
    // Each picture is written once, whatever the number of pages showing it.
    std::string imageFile(const ImageData& img) {
        auto it = imageFiles_.find(&img);
        if (it != imageFiles_.end()) return it->second;
        std::string name = options_.imagesFolder + "/" + base_ + "_" + std::to_string(imageFiles_.size() + 1);
        bool ok = false;
        if (img.format == ImageData::Format::Jpeg) {
            name += ".jpg";
            ok = writeFile(dir_ / name, img.bytes);
        } else if (img.format == ImageData::Format::Png) {
            name += ".png";
            ok = writeFile(dir_ / name, img.bytes);
        } else {
            name += ".png";
            QImage q = QImage::fromData(reinterpret_cast<const uchar*>(img.bytes.data()),
                                        static_cast<int>(img.bytes.size()));
            ok = !q.isNull() && q.save(QString::fromStdString((dir_ / name).string()), "PNG");
        }
        if (!ok) name.clear();
        imageFiles_[&img] = name;
        return name;
    }

    bool primitive(std::string& h, const Primitive& p) {
        switch (p.kind) {
        case PrimKind::Text: {
            Mils left = p.x, width = p.w;
            if (width <= 0) {
                // Without a box the text hangs from its point by its alignment.
                width = 4000;
                if (p.align == Align::Right) left = p.x - width;
                else if (p.align == Align::Center) left = p.x - width / 2;
            }
            const char* align = p.align == Align::Right ? "right" : p.align == Align::Center ? "center" : "left";
            h += "<div class=\"t\" style=\"left:" + inches(left) + ";top:" + inches(p.y) + ";width:" +
                 inches(width) + ";text-align:" + align + ";font:" + cssFont(p.font) + "\">" +
                 htmlEscape(p.text) + "</div>\n";
            break;
        }
        case PrimKind::Line: {
            std::string style = p.doubleLine ? "double" : "solid";
            Mils pen = p.doubleLine ? std::max<Mils>(p.pen * 3, 30) : std::max<Mils>(p.pen, 7);
            if (p.h == 0) {
                Mils x = std::min(p.x, p.x + p.w);
                h += "<div style=\"left:" + inches(x) + ";top:" + inches(p.y) + ";width:" +
                     inches(std::abs(p.w)) + ";height:0;border-top:" + inches(pen) + " " + style +
                     " #000\"></div>\n";
            } else if (p.w == 0) {
                Mils y = std::min(p.y, p.y + p.h);
                h += "<div style=\"left:" + inches(p.x) + ";top:" + inches(y) + ";width:0;height:" +
                     inches(std::abs(p.h)) + ";border-left:" + inches(pen) + " " + style +
                     " #000\"></div>\n";
            }
            break;
        }
        case PrimKind::Rect: {
            std::string style = "left:" + inches(p.x) + ";top:" + inches(p.y) + ";width:" + inches(p.w) +
                                ";height:" + inches(p.h);
            if (p.border)
                style += std::string(";border:") + inches(p.doubleLine ? std::max<Mils>(p.pen * 3, 30)
                                                                       : std::max<Mils>(p.pen, 7)) +
                         (p.doubleLine ? " double" : " solid") + " #000";
            if (p.fill >= 0 && p.fill <= 4) style += std::string(";background:") + kFillColour[p.fill];
            h += "<div style=\"" + style + "\"></div>\n";
            break;
        }
        case PrimKind::Image: {
            if (!p.image) break;
            std::string name = imageFile(*p.image);
            if (name.empty()) return fail("No se pudo escribir la imagen " + p.image->path + ".");
            h += "<img src=\"" + htmlEscape(name) + "\" alt=\"\" style=\"left:" + inches(p.x) +
                 ";top:" + inches(p.y) + ";width:" + inches(p.w) + ";height:" + inches(p.h) + "\">\n";
            break;
        }
        case PrimKind::CheckBox:
        case PrimKind::Radio:
            h += "<label class=\"m\" style=\"left:" + inches(p.x) + ";top:" + inches(p.y) + ";font:" +
                 cssFont(p.font) + "\"><input type=\"" +
                 (p.kind == PrimKind::CheckBox ? "checkbox" : "radio") + "\" disabled" +
                 (p.checked ? " checked" : "") + ">" + htmlEscape(p.text) + "</label>\n";
            break;
        }
        return true;
    }

    HtmlWriterOptions options_;
    std::filesystem::path dir_;
    std::string base_, jsName_;
    std::ostream& out_;
    std::size_t pages_ = 0;
    std::map<const ImageData*, std::string> imageFiles_;
};

}  // namespace

std::unique_ptr<PageOutput> HtmlPageWriter::open(const std::filesystem::path& file, std::string* error) {
    namespace fs = std::filesystem;
    auto fail = [&](const std::string& what) -> std::unique_ptr<PageOutput> {
        if (error) *error = "No se pudo escribir " + what + ".";
        return nullptr;
    };
    const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const std::string base = file.stem().string();
    std::error_code ec;
    // The folders beside the output are made; the output's own folder must exist.
    if (!fs::is_directory(dir, ec)) return fail("en la carpeta " + dir.string() + ", que no existe");
    fs::create_directories(dir / options.imagesFolder, ec);
    if (ec) return fail("la carpeta " + (dir / options.imagesFolder).string());
    fs::create_directories(dir / options.filesFolder, ec);
    if (ec) return fail("la carpeta " + (dir / options.filesFolder).string());

    const std::string cssName = options.filesFolder + "/" + base + ".css";
    const std::string jsName = options.filesFolder + "/" + base + ".js";
    if (!writeFile(dir / cssName, kStyle)) return fail("el archivo " + (dir / cssName).string());
    if (!writeFile(dir / jsName, script(options))) return fail("el archivo " + (dir / jsName).string());
    return fileOutput(file, error, [&](std::ostream& out) {
        return std::make_unique<HtmlOutput>(options, dir, base, cssName, jsName, out);
    });
}

}  // namespace tv::report
