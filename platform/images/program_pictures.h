#pragma once
// The pictures kept with the program: window and button icons, the toolbar's
// pictures and the frame's background. They are drawn in code, so nothing
// has to be found on disk. Names match without regard to case ("WAOk.ICO"
// and "waok.ico" are one picture); a leading "?" is ignored so toolbar
// control names ("?TOOLBAR:INSERT") can be used as they are.
//
// Names: tq.ico, WAView.ico, WAINSERT.ICO, WAChange.ICO, WADELETE.ICO,
// WAClose.ico, WAOk.ICO, WACancel.ico, RFind.ico, WAVCRDOWN.ICO, EXIT.ICO,
// PRINT.ICO, QkQBE.ico, QkLoad.ico, productos.ico, proveedores.ico,
// ordencompra.ico, entradas.ico, iconosalida.ico, LUPA.ICO (the plain
// magnifier of picture buttons), EXCEL.ICO (spreadsheet), TOOLBAR:INSERT,
// TOOLBAR:CHANGE, TOOLBAR:DELETE, TOOLBAR:SELECT, TOOLBAR:BOTTOM,
// TOOLBAR:TOP, TOOLBAR:PAGEDOWN, TOOLBAR:PAGEUP, TOOLBAR:DOWN, TOOLBAR:UP,
// TOOLBAR:LOCATE, TOOLBAR:HISTORY, TOOLBAR:HELP, and back01.jpg (the
// frame's background, 1024x768).
#include <string>
#include <string_view>
#include <vector>

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace tv {

inline constexpr int kBackgroundWidth = 1024;
inline constexpr int kBackgroundHeight = 768;

// Every name answered, in the spelling the windows use.
const std::vector<std::string>& programPictureNames();
bool isProgramPicture(std::string_view name);

// The picture as an image, usable on any thread: an icon drawn at `size`
// pixels square, or the background at its own size (`size` ignored). A null
// image for an unknown name.
QImage programImage(std::string_view name, int size = 32);

// For windows (needs the GUI application). An icon carries 16, 24, 32 and
// 48 pixel renderings. Unknown names, or no GUI application, give a null
// icon or pixmap.
QIcon programIcon(std::string_view name);
QPixmap programPicture(std::string_view name);

// The background as the JPEG bytes it is kept as (made once with libjpeg);
// programImage("back01.jpg") is these bytes decoded by the picture loader.
const std::vector<unsigned char>& backgroundJpeg();

}  // namespace tv
