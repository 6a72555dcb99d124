#pragma once
// A stand-in for the frame in UI tests: a main window whose window area
// holds the child windows that open meanwhile (header only).
#include <QMainWindow>
#include <QMdiArea>
#include <QSize>

#include "platform/ui/window.h"

namespace tv::test {

struct FrameArea {
    explicit FrameArea(QSize size) {
        area = new QMdiArea(&main);
        main.setCentralWidget(area);
        main.resize(size);
        main.show();
        ui::Window::setFrameArea(area);
    }
    ~FrameArea() { ui::Window::setFrameArea(nullptr); }
    FrameArea(const FrameArea&) = delete;
    FrameArea& operator=(const FrameArea&) = delete;

    QMainWindow main;
    QMdiArea* area = nullptr;
};

}  // namespace tv::test
