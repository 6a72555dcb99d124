#include "platform/report/page.h"

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <QByteArray>
#include <QImageReader>
#include <QBuffer>

#include <jpeglib.h>

namespace tv::report {

std::vector<std::string> Page::texts() const {
    std::vector<std::string> out;
    for (const Primitive& p : items)
        if (!p.text.empty()) out.push_back(p.text);
    return out;
}

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(err->jump, 1);
}

void quietJpeg(j_common_ptr, int) {}

// Reads the size and colour components from the JPEG header; false when the
// data is not a JPEG libjpeg can read.
bool readJpegHeader(const std::string& bytes, ImageData& out) {
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onJpegError;
    err.mgr.emit_message = quietJpeg;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    out.width = static_cast<int>(info.image_width);
    out.height = static_cast<int>(info.image_height);
    out.components = info.num_components;
    jpeg_destroy_decompress(&info);
    return out.width > 0 && out.height > 0 &&
           (out.components == 1 || out.components == 3 || out.components == 4);
}

}  // namespace

std::shared_ptr<const ImageData> ImageData::fromBytes(std::string bytes, std::string path) {
    auto img = std::make_shared<ImageData>();
    img->path = std::move(path);
    img->bytes = std::move(bytes);
    const std::string& b = img->bytes;
    if (b.size() > 3 && static_cast<unsigned char>(b[0]) == 0xFF &&
        static_cast<unsigned char>(b[1]) == 0xD8) {
        img->format = Format::Jpeg;
        if (!readJpegHeader(b, *img)) img->width = img->height = 0;
        return img;
    }
    img->format = b.rfind("\x89PNG", 0) == 0 ? Format::Png : Format::Other;
    QByteArray data = QByteArray::fromRawData(b.data(), static_cast<qsizetype>(b.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QSize size = reader.size();
    if (!size.isValid()) {
        // Some formats only know their size once decoded.
        QImage decoded = reader.read();
        size = decoded.size();
    }
    img->width = size.isValid() ? size.width() : 0;
    img->height = size.isValid() ? size.height() : 0;
    return img;
}

std::shared_ptr<const ImageData> ImageData::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        auto img = std::make_shared<ImageData>();
        img->path = path;
        return img;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return fromBytes(std::move(bytes), path);
}

}  // namespace tv::report
