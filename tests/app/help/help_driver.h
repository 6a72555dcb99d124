#pragma once
// What the help window tests share (header only): an opener that notes what
// it was asked to open, and ConsultaManual run on a thread of its own and
// driven as a user does.
#include <vector>

#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include "app/help/help.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"
#include "tests/support/fiber_helpers.h"

namespace tv::app::test_support {

struct RecordingOpener : ui::DesktopOpener {
    std::vector<QString> opened;
    bool result = true;  // false: no program on this machine opens it
    bool open(const QString& what) override {
        opened.push_back(what);
        return result;
    }
};

inline ui::Window* windowCaptioned(const QString& c) {
    for (ui::Window* w : ui::Window::openWindows())
        if (w->caption() == c) return w;
    return nullptr;
}

struct ManualWindow {
    bool done = false;
    ui::Window* w = nullptr;
    ManualWindow() {
        threads::start([this] {
            ConsultaManual();
            done = true;
        }, 0);
        EXPECT_TRUE(test::runFor([&] { return (w = windowCaptioned(QStringLiteral("Consulta del manual"))) != nullptr; }));
    }
    void press() {
        QTest::mouseClick(w->at(4).widget(), Qt::LeftButton);
        test::settle();
    }
    void close() {
        w->widget()->close();
        EXPECT_TRUE(test::runFor([&] { return done; }));
    }
};

}  // namespace tv::app::test_support
