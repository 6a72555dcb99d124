#pragma once
// `Main`, the program's frame: menus, toolbar and shortcut buttons; every
// item starts its procedure on a new logical thread (the help items run on
// the frame's own); the record buttons go to the thread of the active child
// window; the user's rights disable what they do not grant.
#include <cstddef>
#include <vector>

#include "app/window/window_controller.h"
#include "platform/ui/window.h"

namespace tv::app {

// One menu or menu item of the frame.
struct FrameMenuItem {
    int control;
    int parent;              // 0: on the menu bar
    const char* text;
    const char* status;      // status-bar message ("" none)
    const char* procedure;   // nullptr for menus
    std::size_t stack;       // bytes for a procedure started on a new thread
    bool direct;             // run on the frame's own thread, waiting for it
    int right;               // byte of UserPermissions that guards it (0: none)
};
const std::vector<FrameMenuItem>& FrameMenu();

struct FrameButton {
    int control;
    const char* name;
    const char* status;      // tooltip and status message
    const char* picture;     // nullptr: the picture named as the control
    const char* procedure;   // shortcut buttons only
    int right;
};
// The thirteen record buttons in their order on the toolbar, then the five
// shortcut buttons.
const std::vector<FrameButton>& FrameRecordButtons();
const std::vector<FrameButton>& FrameShortcutButtons();

inline constexpr int kFrameToolbar = -41;
inline constexpr int kFirstRecordButton = 3001;
inline constexpr int kLastRecordButton = 3013;

// The Spanish texts of dates, message-box buttons and letter case.
// The user interface's locale texts: month names and their short forms,
// the morning and afternoon markers (platform/types/locale_texts.h).
inline constexpr const char* kMonthNames =
    "Enero,Febrero,Marzo,Abril,Mayo,Junio,Julio,Agosto,Septiembre,Octubre,Noviembre,Diciembre";
inline constexpr const char* kShortMonthNames = "Ene,Feb,Mar,Abr,May,Jun,Jul,Ago,Sep,Oct,Nov,Dic";
inline constexpr const char* kTimeOfDayMarkers = "a.m.,p.m.";
void SetLocaleTexts();

// The frame's window while `Main` runs (nullptr otherwise): lists and forms
// enable the record buttons they serve through it.
ui::Window* FrameWindow();

// The record buttons the active list or form serves: these are enabled, the
// other record buttons disabled. The frame disables them all whenever another
// child window becomes the active one, which then enables its own.
void EnableRecordButtons(const std::vector<int>& enabled);

// The procedure: runs the frame until the user closes it.
void Main();

// The frame's controller, for tests that drive it.
class MainController : public WindowController {
public:
    explicit MainController(ui::Window& w);
    void OnFirstOpen() override;
    int OnAccepted(int control) override;
    int OnCloseRequest() override;
    int OnWindowEvent(const ui::WindowEvent& e) override;

    void ApplyRights();

protected:
    bool MayHighlight(const ui::Control&) const override { return false; }

private:
    void StartItem(const char* procedure, std::size_t stack, bool direct);
    void GoOnClosing();
    bool closingDown_ = false;
    std::vector<ui::Window*> asked_;
};

// Builds the frame's window: menus, toolbar, background (used by Main).
void BuildFrameWindow(ui::Window& w);

}  // namespace tv::app
