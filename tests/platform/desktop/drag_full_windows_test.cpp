#include "platform/desktop/drag_full_windows.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

// This desktop has no such switch: the program must find it off and never turn it on.
TEST(DragFullWindows, SystemSettingIsOffAndStaysOff) {
    auto& s = systemDragFullWindows();
    EXPECT_EQ(s.read(), 0);
    s.write(1);
    EXPECT_EQ(s.read(), 0);
}

}  // namespace
}  // namespace tv
