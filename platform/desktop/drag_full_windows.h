#pragma once
// The desktop's "show window contents while dragging" setting. Linux
// desktops have no such system-wide switch, so the system implementation
// reports it off and never changes anything; the start and stop sequence
// still reads it and restores it, and tests drive it with a stand-in.
#include <cstdint>

namespace tv {

class DragFullWindowsSetting {
public:
    virtual ~DragFullWindowsSetting() = default;
    // 1 when windows are dragged whole, 0 otherwise.
    virtual int32_t read() = 0;
    virtual void write(int32_t on) = 0;
};

// The setting of this desktop.
DragFullWindowsSetting& systemDragFullWindows();

}  // namespace tv
