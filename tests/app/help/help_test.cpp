#include "app/help/help.h"

#include <chrono>
#include <functional>
#include <vector>

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/support/fiber_helpers.h"

#include "platform/threads/logical_thread.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"

namespace tv::app {
namespace {

using test::runFor;

using namespace std::chrono_literals;

struct RecordingOpener : ui::DesktopOpener {
    std::vector<QString> opened;
    bool open(const QString& what) override {
        opened.push_back(what);
        return false;  // nothing to open it with: the window goes on all the same
    }
};

ui::Window* windowCaptioned(const QString& c) {
    for (ui::Window* w : ui::Window::openWindows())
        if (w->caption() == c) return w;
    return nullptr;
}

TEST(Help, TheManualOpensEveryTimeAndItsWindowStays) {
    RecordingOpener rec;
    ui::setDesktopOpener(&rec);
    bool done = false;
    threads::start([&] {
        ConsultaManual();
        done = true;
    }, 0);
    ui::Window* w = nullptr;
    ASSERT_TRUE(runFor([&] { return (w = windowCaptioned(QStringLiteral("Consulta del manual"))) != nullptr; }));
    QWidget* button = w->at(4).widget();
    EXPECT_EQ(w->at(4).text(), QStringLiteral("&Consultar manual del usuario"));
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return rec.opened.size() == 2; }));
    EXPECT_EQ(rec.opened[0], QStringLiteral("manual.pdf"));
    EXPECT_FALSE(done);
    w->widget()->close();
    ASSERT_TRUE(runFor([&] { return done; }));
    ui::setDesktopOpener(nullptr);
}

TEST(Help, SupportOpensTheAddressAndCloses) {
    RecordingOpener rec;
    ui::setDesktopOpener(&rec);
    bool done = false;
    threads::start([&] {
        Soporte();
        done = true;
    }, 0);
    ui::Window* w = nullptr;
    ASSERT_TRUE(runFor([&] { return (w = windowCaptioned(QStringLiteral("Soporte técnico"))) != nullptr; }));
    EXPECT_EQ(w->at(3).text(), QStringLiteral("Asegúrese de tener acceso a Internet"));
    QTest::mouseClick(w->at(4).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return done; }));
    ASSERT_EQ(rec.opened.size(), 1u);
    EXPECT_TRUE(rec.opened[0].startsWith(QStringLiteral("http://")));
    EXPECT_TRUE(rec.opened[0].endsWith(QStringLiteral("/CGI-BIN/soportephp.htm")));
    ui::setDesktopOpener(nullptr);
}

}  // namespace
}  // namespace tv::app
