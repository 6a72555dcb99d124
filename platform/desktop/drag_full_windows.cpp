#include "platform/desktop/drag_full_windows.h"

namespace tv {

namespace {

class NoDesktopSetting final : public DragFullWindowsSetting {
public:
    int32_t read() override { return 0; }
    void write(int32_t) override {}
};

}  // namespace

DragFullWindowsSetting& systemDragFullWindows() {
    static NoDesktopSetting setting;
    return setting;
}

}  // namespace tv
