#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/ui/window.h"
#include "tests/support/fiber_helpers.h"

namespace tv::ui {
namespace {

using test::runFor;

// The frame takes the focus back (its GainFocus) while a window of the
// program's own has come in front of it meanwhile, as a print preview does
// when the printer dialog closes: the frame leaves that window in front.
// From an icon it still comes back.
TEST(FrameWindow, GettingTheFocusBackNeverCoversAWindowShownMeanwhile) {
    Window frame(QStringLiteral("Tal-Vor"), QSize(640, 480), Window::Placement::Frame);
    frame.open();
    QWidget preview;
    preview.setWindowTitle(QStringLiteral("Vista previa"));
    preview.resize(300, 200);
    preview.show();
    preview.activateWindow();
    QApplication::setActiveWindow(&preview);
    ASSERT_TRUE(runFor([&] { return QApplication::activeWindow() == &preview; }));
    frame.restoreAndActivate();
    test::settle();
    EXPECT_EQ(QApplication::activeWindow(), &preview) << "the preview stays in front";

    frame.widget()->showMinimized();
    ASSERT_TRUE(runFor([&] { return frame.isMinimized(); }));
    frame.restoreAndActivate();
    EXPECT_TRUE(runFor([&] { return !frame.isMinimized(); })) << "from an icon the frame comes back";
    frame.close();
}

}  // namespace
}  // namespace tv::ui
