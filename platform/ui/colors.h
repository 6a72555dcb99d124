#pragma once
// Colours are kept as blue-green-red values (the lowest byte is red), the way
// the window layouts and the templates give them: 0xCDF5F5 is R=F5 G=F5 B=CD.
#include <cstdint>

#include <QColor>

namespace tv::ui {

inline constexpr int32_t kNoColor = -1;  // "the control's own / the system's colour"

inline QColor fromBgr(int32_t bgr) {
    const uint32_t v = static_cast<uint32_t>(bgr);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

inline int32_t toBgr(const QColor& c) {
    return static_cast<int32_t>((static_cast<uint32_t>(c.blue()) << 16) |
                                (static_cast<uint32_t>(c.green()) << 8) |
                                static_cast<uint32_t>(c.red()));
}

// The fixed colours of the window template.
namespace colors {
inline constexpr int32_t kWindow = 0xCDF5F5;
inline constexpr int32_t kTabs[] = {0xA2ECA7, 0xBBDDF4, 0x97F0F4};
inline constexpr int32_t kEntry = 0xFFFFFF;
inline constexpr int32_t kList = 0xFDFDFD;
inline constexpr int32_t kListStripe = 0xE7F2D5;
inline constexpr int32_t kHighlight = 0x00FFFF;  // yellow
inline constexpr int32_t kBlack = 0x000000;
inline constexpr int32_t kMarker = 0x808080;
inline constexpr int32_t kRed = 0x0000FF;
inline constexpr int32_t kGreen = 0x008000;
}  // namespace colors

}  // namespace tv::ui
