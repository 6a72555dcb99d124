#pragma once
// JPEG through libjpeg, kept apart from the other formats because a damaged
// file must never take the program down: libjpeg's default error handling
// calls exit(), so every call here runs under an error manager that jumps
// back and turns the failure into a message.
#include <cstddef>
#include <string>
#include <vector>

#include <QImage>

namespace tv {

// Limits that keep a hostile or absurd header from exhausting memory.
inline constexpr int kMaxPictureSide = 30000;
inline constexpr long long kMaxPicturePixels = 64LL * 1024 * 1024;

struct JpegDecodeResult {
    QImage image;        // Format_RGB32 on success, null otherwise
    bool tooLarge = false;
    std::string detail;  // libjpeg's own (English) reason, for logs and tests
};

// Decodes a whole JPEG held in memory. Grayscale, YCbCr/RGB and CMYK/YCCK
// (plain or Adobe-inverted) pictures come back as RGB. A truncated stream is
// a failure, not a half-grey picture.
JpegDecodeResult decodeJpeg(const unsigned char* data, std::size_t size);

// Encodes an image as baseline JPEG; Grayscale8 images stay one-channel.
// Returns an empty vector when the image is null or libjpeg fails.
std::vector<unsigned char> encodeJpeg(const QImage& image, int quality = 90);

}  // namespace tv
