#include "platform/images/picture_loader.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "platform/images/jpeg_codec.h"

namespace tv {
namespace {

namespace fs = std::filesystem;

PictureResult failure(const char* text) {
    PictureResult r;
    r.error = text;
    return r;
}

bool startsWith(const unsigned char* data, std::size_t size, const char* magic, std::size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

// BMP, GIF and PNG go through Qt's readers (BMP and PNG are built into
// QtGui, GIF is a plugin shipped with it).
PictureResult decodeWithQt(const unsigned char* data, std::size_t size, const char* format) {
    if (!QImageReader::supportedImageFormats().contains(QByteArray(format))) return failure(picture_errors::kNoDecoder);
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    if (!reader.canRead()) return failure(picture_errors::kDamaged);
    const QSize declared = reader.size();
    if (declared.isValid() &&
        (declared.width() > kMaxPictureSide || declared.height() > kMaxPictureSide ||
         static_cast<long long>(declared.width()) * declared.height() > kMaxPicturePixels))
        return failure(picture_errors::kTooLarge);
    QImage image;
    if (!reader.read(&image) || image.isNull()) return failure(picture_errors::kDamaged);
    PictureResult r;
    // Detach from the caller's bytes; also a uniform format for the windows.
    r.image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32)
                                      : image.convertToFormat(QImage::Format_RGB32);
    return r;
}

}  // namespace

PictureFormat detectPictureFormat(const unsigned char* data, std::size_t size) {
    if (data == nullptr) return PictureFormat::Unknown;
    if (startsWith(data, size, "\xFF\xD8\xFF", 3)) return PictureFormat::Jpeg;
    if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6)) return PictureFormat::Gif;
    if (startsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) return PictureFormat::Png;
    // "BM" alone is too weak: also ask for a file header's worth of bytes.
    if (startsWith(data, size, "BM", 2) && size >= 26) return PictureFormat::Bmp;
    return PictureFormat::Unknown;
}

PictureResult decodePicture(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size == 0) return failure(picture_errors::kEmpty);
    switch (detectPictureFormat(data, size)) {
        case PictureFormat::Jpeg: {
            JpegDecodeResult jpeg = decodeJpeg(data, size);
            if (jpeg.image.isNull())
                return failure(jpeg.tooLarge ? picture_errors::kTooLarge : picture_errors::kDamaged);
            PictureResult r;
            r.image = std::move(jpeg.image);
            return r;
        }
        case PictureFormat::Bmp: return decodeWithQt(data, size, "bmp");
        case PictureFormat::Gif: return decodeWithQt(data, size, "gif");
        case PictureFormat::Png: return decodeWithQt(data, size, "png");
        case PictureFormat::Unknown: break;
    }
    return failure(picture_errors::kUnknownFormat);
}

PictureResult loadPicture(std::string_view path) {
    while (!path.empty() && (path.back() == ' ' || path.back() == '\0')) path.remove_suffix(1);
    if (path.empty()) return {};

    // Names are UTF-8 (accented folders and files).
    const fs::path file(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
    std::error_code ec;
    const fs::file_status st = fs::status(file, ec);
    if (st.type() == fs::file_type::not_found) return failure(picture_errors::kMissing);
    if (ec) return failure(picture_errors::kUnreadable);
    if (st.type() == fs::file_type::directory) return failure(picture_errors::kFolder);
    if (st.type() != fs::file_type::regular) return failure(picture_errors::kNotAFile);

    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) return failure(picture_errors::kUnreadable);
    if (size == 0) return failure(picture_errors::kEmpty);
    if (size > kMaxPictureFileBytes) return failure(picture_errors::kTooLarge);

    std::ifstream in(file, std::ios::binary);
    if (!in) return failure(picture_errors::kUnreadable);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // A file that shrank while we read it is as good as damaged.
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.empty()) return failure(picture_errors::kUnreadable);
    return decodePicture(bytes.data(), bytes.size());
}

}  // namespace tv
