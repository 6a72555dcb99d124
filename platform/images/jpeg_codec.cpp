#include "platform/images/jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace tv {
namespace {

// A progressive file can carry thousands of tiny scans and keep the decoder
// busy for minutes; real pictures use a dozen or so.
constexpr int kMaxScans = 1000;
// Ceiling for libjpeg's own work buffers (coefficients of progressive files).
constexpr long kMaxDecoderMemory = 768L * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer is also ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failWith(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void onError(j_common_ptr cinfo) { failWith(cinfo); }

// Warnings are silent, except those after which the rest of the picture is
// made up: data ending early (libjpeg pads with grey) and undecodable data
// (garbage from there on). Showing such a picture would pass a damaged file
// off as whole. Stray bytes between markers, common in camera files, pass.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace output
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE) failWith(cinfo);
    cinfo->err->num_warnings++;
}

void noOutput(j_common_ptr) {}

void onProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "too many scans (%d)", d->input_scan_number);
        std::longjmp(err->jump, 1);
    }
}

void installErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    err.pub.output_message = noOutput;
    err.message[0] = '\0';
}

// Everything that must survive a longjmp lives here, in the caller's frame:
// the function holding setjmp changes only members reached through a
// reference it never reassigns.
struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    bool created = false;
    std::vector<unsigned char> row;
    JpegDecodeResult result;
};

inline QRgb cmykToRgb(int c, int m, int y, int k, bool inverted) {
    if (!inverted) {  // plain CMYK: 0 is no ink
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    return qRgb(c * k / 255, m * k / 255, y * k / 255);
}

bool runDecode(DecodeState& s, const unsigned char* data, std::size_t size) {
    if (setjmp(s.err.jump) != 0) {
        s.result.detail = s.err.message;
        if (s.created) jpeg_destroy_decompress(&s.cinfo);
        s.created = false;
        return false;
    }
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    s.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    s.progress.progress_monitor = onProgress;
    s.cinfo.progress = &s.progress;
    jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&s.cinfo, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(s.err.message, sizeof s.err.message, "no image in stream");
        std::longjmp(s.err.jump, 1);
    }

    const long long w = s.cinfo.image_width;
    const long long h = s.cinfo.image_height;
    if (w <= 0 || h <= 0) {
        std::snprintf(s.err.message, sizeof s.err.message, "empty picture");
        std::longjmp(s.err.jump, 1);
    }
    if (w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels) {
        s.result.tooLarge = true;
        std::snprintf(s.err.message, sizeof s.err.message, "picture of %lldx%lld is too large", w, h);
        std::longjmp(s.err.jump, 1);
    }

    bool cmyk = false;
    switch (s.cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE: s.cinfo.out_color_space = JCS_GRAYSCALE; break;
        case JCS_CMYK:
        case JCS_YCCK:
            s.cinfo.out_color_space = JCS_CMYK;
            cmyk = true;
            break;
        default: s.cinfo.out_color_space = JCS_RGB; break;
    }
    jpeg_start_decompress(&s.cinfo);

    const int comps = s.cinfo.output_components;
    const int ow = static_cast<int>(s.cinfo.output_width);
    const int oh = static_cast<int>(s.cinfo.output_height);
    if ((comps != 1 && comps != 3 && comps != 4) || (comps == 4) != cmyk) {
        std::snprintf(s.err.message, sizeof s.err.message, "unexpected component count %d", comps);
        std::longjmp(s.err.jump, 1);
    }
    s.result.image = QImage(ow, oh, QImage::Format_RGB32);
    if (s.result.image.isNull()) {
        s.result.tooLarge = true;
        std::snprintf(s.err.message, sizeof s.err.message, "out of memory for %dx%d", ow, oh);
        std::longjmp(s.err.jump, 1);
    }
    s.row.resize(static_cast<std::size_t>(ow) * static_cast<std::size_t>(comps));
    // Adobe writes CMYK inverted (0 = full ink); its marker is how we know.
    const bool inverted = cmyk && s.cinfo.saw_Adobe_marker;

    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const int y = static_cast<int>(s.cinfo.output_scanline);
        JSAMPROW rows[1] = {s.row.data()};
        if (jpeg_read_scanlines(&s.cinfo, rows, 1) != 1) {
            std::snprintf(s.err.message, sizeof s.err.message, "no data for line %d", y);
            std::longjmp(s.err.jump, 1);
        }
        auto* out = reinterpret_cast<QRgb*>(s.result.image.scanLine(y));
        const unsigned char* in = s.row.data();
        if (comps == 1) {
            for (int x = 0; x < ow; ++x) out[x] = qRgb(in[x], in[x], in[x]);
        } else if (comps == 3) {
            for (int x = 0; x < ow; ++x, in += 3) out[x] = qRgb(in[0], in[1], in[2]);
        } else {
            for (int x = 0; x < ow; ++x, in += 4) out[x] = cmykToRgb(in[0], in[1], in[2], in[3], inverted);
        }
    }
    jpeg_finish_decompress(&s.cinfo);
    jpeg_destroy_decompress(&s.cinfo);
    s.created = false;
    return true;
}

struct EncodeState {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    bool created = false;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    QImage source;
};

bool runEncode(EncodeState& s, int quality) {
    if (setjmp(s.err.jump) != 0) {
        if (s.created) jpeg_destroy_compress(&s.cinfo);
        s.created = false;
        return false;
    }
    jpeg_create_compress(&s.cinfo);
    s.created = true;
    jpeg_mem_dest(&s.cinfo, &s.buffer, &s.size);
    const bool gray = s.source.format() == QImage::Format_Grayscale8;
    s.cinfo.image_width = static_cast<JDIMENSION>(s.source.width());
    s.cinfo.image_height = static_cast<JDIMENSION>(s.source.height());
    s.cinfo.input_components = gray ? 1 : 3;
    s.cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&s.cinfo);
    jpeg_set_quality(&s.cinfo, quality, TRUE);
    jpeg_start_compress(&s.cinfo, TRUE);
    while (s.cinfo.next_scanline < s.cinfo.image_height) {
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(s.source.constScanLine(static_cast<int>(s.cinfo.next_scanline)))};
        jpeg_write_scanlines(&s.cinfo, rows, 1);
    }
    jpeg_finish_compress(&s.cinfo);
    jpeg_destroy_compress(&s.cinfo);
    s.created = false;
    return true;
}

}  // namespace

JpegDecodeResult decodeJpeg(const unsigned char* data, std::size_t size) {
    auto state = std::make_unique<DecodeState>();
    std::memset(&state->cinfo, 0, sizeof state->cinfo);
    std::memset(&state->progress, 0, sizeof state->progress);
    installErrorManager(state->err);
    state->cinfo.err = &state->err.pub;
    // A file that lacks only its end marker has every line; give it the
    // marker, so that reading ahead at the end is not taken for lost data.
    // Data really missing still shows as a scan ending early.
    std::vector<unsigned char> completed;
    if (data != nullptr && size >= 2 && !(data[size - 2] == 0xFF && data[size - 1] == 0xD9)) {
        completed.reserve(size + 2);
        completed.assign(data, data + size);
        completed.push_back(0xFF);
        completed.push_back(0xD9);
        data = completed.data();
        size = completed.size();
    }
    if (data == nullptr || size == 0 || !runDecode(*state, data, size)) {
        JpegDecodeResult failed;
        failed.tooLarge = state->result.tooLarge;
        failed.detail = state->result.detail.empty() ? std::string("empty stream") : state->result.detail;
        return failed;
    }
    return std::move(state->result);
}

std::vector<unsigned char> encodeJpeg(const QImage& image, int quality) {
    if (image.isNull()) return {};
    auto state = std::make_unique<EncodeState>();
    std::memset(&state->cinfo, 0, sizeof state->cinfo);
    installErrorManager(state->err);
    state->cinfo.err = &state->err.pub;
    state->source = image.format() == QImage::Format_Grayscale8 ? image
                                                                 : image.convertToFormat(QImage::Format_RGB888);
    const bool ok = runEncode(*state, quality);
    std::vector<unsigned char> out;
    if (ok && state->buffer != nullptr) out.assign(state->buffer, state->buffer + state->size);
    std::free(state->buffer);
    return out;
}

}  // namespace tv
