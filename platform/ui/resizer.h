#pragma once
// Keeps a window's controls in place when the window is resized: the
// designed size is the smallest one, there is no largest; lists, sheets and
// text boxes on the window grow with it, controls standing at its right edge
// move along.
#include <map>

#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

namespace tv::ui {

class Window;

class WindowResizer {
public:
    explicit WindowResizer(Window& w);
    void setUp();        // records every control's designed place; smallest size
    void apply();        // re-lays the controls for the window's current size
    QSize smallest() const { return smallest_; }

private:
    Window& window_;
    QSize smallest_;
    std::map<int, QRect> designed_;
};

// A picture kept with the program, by its file name ("tq.ico", "back01.jpg",
// "?TOOLBAR:INSERT"); null when there is none.
QIcon programIcon(const char* name);
QPixmap programPicture(const char* name);

}  // namespace tv::ui
