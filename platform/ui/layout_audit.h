#pragma once
// Finds the layout faults a user would see on an open window: a prompt, a
// check box or an option cut short by its own width, or lying over another
// control of the same tab or group, or a list's column that does not show
// whole (past the list's edge, its heading or a row's text cut short).
// Tests run it on every window they open.
#include <QString>
#include <functional>
#include <vector>

namespace tv::ui {

class Window;

std::vector<QString> layoutFaults(const Window& w);

// Called with every window as it opens and as it closes, laid out as the
// user last saw it (tests install the audit here); gives back the observer
// it replaces.
std::function<void(Window&)> setLayoutObserver(std::function<void(Window&)> observer);
void notifyLaidOut(Window& w);

}  // namespace tv::ui
