#pragma once
// Keeps a window's controls in place when the window is resized: the
// designed size is the smallest one, there is no largest; lists, sheets and
// text boxes grow with it (and with the sheet they stand on), sharing the
// growth with the growing controls above, below or beside them; what stands
// below or beside a growing control moves along, and so does what stands at
// the right edge.
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
    // Lays out the controls on `parent` (0: the window; a tab) for a
    // container grown by dw x dh from its designed size.
    void layOut(int parent, int dw, int dh, QSize designed);
    // Whether a list or text box stands on one of the sheet's tabs.
    bool holdsGrowing(int sheet) const;

    Window& window_;
    QSize smallest_;
    std::map<int, QRect> designed_;
};

// A picture kept with the program, by its file name ("tq.ico", "back01.jpg",
// "?TOOLBAR:INSERT"); null when there is none.
QIcon programIcon(const char* name);
QPixmap programPicture(const char* name);

}  // namespace tv::ui
