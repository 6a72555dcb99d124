#pragma once
// Reading a picture file for a window (an article's photograph, typed or
// picked by the user): the format is told by the file's first bytes, never
// by its extension, and any failure (missing file, folder, empty, damaged,
// unknown format, absurd size) comes back as a Spanish text for the user,
// never as a crash.
#include <cstddef>
#include <string>
#include <string_view>

#include <QImage>

namespace tv {

enum class PictureFormat { Unknown, Jpeg, Bmp, Gif, Png };

struct PictureResult {
    QImage image;       // null when nothing is to be shown
    std::string error;  // empty on success, and for a blank path
    bool ok() const { return !image.isNull(); }
};

// The user-facing texts, so callers and tests can compare against them.
namespace picture_errors {
inline constexpr const char* kMissing = "No se encontró el archivo de la imagen";
inline constexpr const char* kFolder = "La ruta de la imagen es una carpeta, no un archivo";
inline constexpr const char* kNotAFile = "La ruta de la imagen no es un archivo normal";
inline constexpr const char* kUnreadable = "No se puede leer el archivo de la imagen";
inline constexpr const char* kEmpty = "El archivo de la imagen está vacío";
inline constexpr const char* kUnknownFormat = "El archivo no es una imagen JPEG, BMP o GIF";
inline constexpr const char* kDamaged = "La imagen está dañada o no se puede leer";
inline constexpr const char* kTooLarge = "La imagen es demasiado grande para mostrarla";
inline constexpr const char* kNoDecoder = "Este formato de imagen no se puede mostrar en este equipo";
}  // namespace picture_errors

// Files above this size are refused before reading.
inline constexpr std::size_t kMaxPictureFileBytes = 256u * 1024 * 1024;

PictureFormat detectPictureFormat(const unsigned char* data, std::size_t size);

// Decodes a picture held in memory.
PictureResult decodePicture(const unsigned char* data, std::size_t size);

// Reads and decodes the file at `path` (UTF-8). Trailing blanks are dropped,
// as stored paths are blank-padded; a blank path gives no picture and no
// error, since an article without a photograph is normal.
PictureResult loadPicture(std::string_view path);

}  // namespace tv
