#pragma once
// What a window hands its procedure's event loop. Qt delivers input on the
// main stack; the window layer turns it into these events, queues them on the
// window and wakes the logical thread that owns it.
#include <QKeyCombination>
#include <Qt>

namespace tv::ui {

enum class EventKind {
    Accepted,      // a control was accepted (button pressed, entry left after a change, ...)
    Selected,      // a control got the focus
    NewSelection,  // a list, combo, sheet, spin box changed its current item
    AlertKey,      // a registered alert key was pressed (control = the focused one)
    GainFocus,     // the window should come to the front (posted, or on activation)
    OpenWindow,    // the window has just been opened
    CloseWindow,   // the user (or the program) asks the window to close
    CloseDown,     // the program is shutting down
    Timer,         // the window's timer ticked
    Completed,     // the accept-all pass went through every control
    Resized,       // the window's size changed
    ListMouse,     // mouse button pressed on a list (row, column, button, clicks)
    ListKey,       // a key pressed on a list that the list does not keep for itself
    CellLeft,      // a list's cell editor was left (key: the key, 0 for a click elsewhere)
    User,          // free for procedures (value carries what they need)
};

struct WindowEvent {
    EventKind kind = EventKind::User;
    int control = 0;   // control number, 0 = the window
    int key = 0;       // key code (see keyCode), for AlertKey and ListKey
    int row = -1;      // ListMouse: row under the mouse (-1 none)
    int column = -1;
    Qt::MouseButton button = Qt::NoButton;
    int clicks = 0;    // ListMouse: 1 single, 2 double
    int value = 0;     // User events
};

// Key codes: a Qt key with its Shift/Ctrl/Alt modifiers, keypad Enter read as Enter.
inline int keyCode(int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    if (qtKey == Qt::Key_Enter) qtKey = Qt::Key_Return;
    mods &= (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return QKeyCombination(mods, static_cast<Qt::Key>(qtKey)).toCombined();
}
inline const int kEnterKey = keyCode(Qt::Key_Return);
inline const int kShiftEnterKey = keyCode(Qt::Key_Return, Qt::ShiftModifier);
inline const int kTabKey = keyCode(Qt::Key_Tab);
inline const int kShiftKey = keyCode(Qt::Key_Shift, Qt::ShiftModifier);

}  // namespace tv::ui
