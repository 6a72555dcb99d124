#pragma once
// Pictures of the program's main windows for the manual, drawn by the
// program itself: the frame runs as it does for a user (its login, its
// menus) over a scratch database holding the sample rows, each window is
// opened the way a user opens it and grabbed as it shows.
#include <map>

#include <QImage>
#include <QString>

namespace tv::app::manual {

// Must be called on the main stack with a QApplication and the program's
// procedures registered, in a scratch working folder. Returns the pictures
// by file name ("entradas.png"); an empty map when the frame did not come up.
std::map<QString, QImage> TakeWindowPictures();

}  // namespace tv::app::manual
