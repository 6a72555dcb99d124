#pragma once
// The life cycle every window procedure shares: set-up (procedure tracking,
// the request hand-over, one window per procedure, colours, icon, Enter,
// resizer), the event loop, the focus highlight and tear-down. Lists, forms,
// reports, processes and plain windows derive from it and override the
// operations they need, calling the base from their overrides.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors/error_reporter.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::app {

// Set-up results.
inline constexpr int kSetUpOk = 0;
inline constexpr int kSetUpRefused = 3;    // the procedure's window is open elsewhere
inline constexpr int kSetUpNotNeeded = 5;  // the work was done without opening the window

class WindowController;

// A part of a window with its own behaviour (a list, a drop combo, a toolbar
// binding): it sees every event before the controller does.
class WindowComponent {
public:
    virtual ~WindowComponent() = default;
    virtual void RegisterAlertKeys(ui::Window&) {}
    // True when the component consumed the event.
    virtual bool TakeEvent(WindowController&, const ui::WindowEvent&) { return false; }
    virtual void UpdateBuffers() {}   // copy what it shows into the record buffers
    virtual void UpdateWindow() {}    // show the record buffers again
};

// The focus highlight of the window (window units).
struct HighlightState {
    int32_t HighlightedControl = 0;
    int32_t SavedColor = 0;
    int32_t SavedFontStyle = 0;
    int32_t SavedFontColor = 0;
    int16_t HighlightX = 0, HighlightY = 0, HighlightWidth = 0, HighlightHeight = 0;
};

class WindowController {
public:
    WindowController(std::string procedureName, ui::Window& window);
    virtual ~WindowController();
    WindowController(const WindowController&) = delete;
    WindowController& operator=(const WindowController&) = delete;

    // ----- fields the template sets
    uint8_t REQUEST = 0;
    int32_t FIRSTFIELD = 0;
    int32_t* VCRREQUEST = nullptr;
    ErrorReporter* ERRORS = nullptr;
    uint8_t FILESOPENED = 0;
    uint8_t RESPONSE = 0;
    uint8_t OPENED = 0;
    int32_t OKCONTROL = 0;         // the button that completes the window (accept-all pass)

    // ----- the procedure's local state
    uint8_t OwnRunningEntry = 0;
    uint8_t EnterMovesFocus = 1;   // 0 in lists where Enter keeps the list's meaning
    int16_t LastEnterControl = 0;
    HighlightState Highlight;

    // ----- how this window is set up (set before RunWindow)
    int32_t OkButton = 0;          // with CancelButton: Enter on either presses it
    int32_t CancelButton = 0;
    bool UseColours = true;        // the frame sets no colours
    bool ColourEntries = true;     // list windows: locator entries keep the platform's colour
    bool UseResizer = true;        // the frame and the find window have none
    std::vector<int32_t> CloseButtons;  // accepting one closes with response 2

    const std::string& Name() const { return name_; }
    ui::Window& Win() const { return window_; }
    ui::WindowResizer* Resizer() const { return resizer_.get(); }
    void AddComponent(WindowComponent* c) { components_.push_back(c); }
    bool Closed() const { return closed_; }

    // ----- operations
    virtual int RunEventLoop();
    virtual int SetUp();
    virtual int TearDown();
    virtual void OnFirstOpen() {}
    virtual void OpenWindowStructure();
    virtual void OnNewRecord() {}
    virtual int PrepareRequest() { return 0; }
    virtual void RefreshWindow();
    virtual void RestoreFromHistory() {}
    virtual uint8_t RunWindow();
    virtual uint8_t CallSubProcedure(int number, uint8_t request);
    virtual void RegisterAlertKeys();
    virtual void CloseWithResponse(uint8_t response);
    virtual int OnAccepted(int control);
    virtual int OnCompleted();
    virtual int OnCloseRequest();
    virtual int DispatchEvent(const ui::WindowEvent& e);
    virtual int OnFieldEvent(const ui::WindowEvent& e);
    virtual int OnNewSelection(int control);
    virtual int OnNotify(const ui::WindowEvent&) { return 0; }
    virtual int OnRejected(int) { return 0; }
    virtual int OnControlSelected(int control);
    virtual int OnWindowEvent(const ui::WindowEvent& e);
    virtual void UpdateComponents();
    virtual void SetControlDisabled(int control, bool disabled);

    // The accept-all pass: every control is accepted in control order; a blank
    // required entry stops it (beep, focus there) and false is returned;
    // otherwise the Completed event is posted and true returned.
    bool AcceptAll();
    // Hidden by its own setting or a hidden container; a control on a tab
    // that is not showing is not (the accept-all pass takes it).
    static bool HiddenOnItsOwn(const ui::Control& c);
    // Brings the tab that holds the control to the front.
    void ShowControl(const ui::Control& c);

    // The resizer's hook: re-lays the controls and redraws the highlight.
    virtual void OnResized();
    // Moves the highlight to the control that has the focus (or takes it
    // away from one that no longer shows).
    void FollowFocus();

protected:
    // Hooks of the set-up between the template's steps.
    virtual int BaseSetUp() { return 0; }
    virtual void AttachToolbar() {}
    virtual void OpenTables() {}
    virtual void CloseTables() {}
    virtual int SetUpBeforeOpen() { return 0; }  // after the tables are open
    virtual void SetUpAfterOpen() {}             // after colours, icon and Enter
    // Each control is accepted by the accept-all pass through this; false stops it.
    virtual bool AcceptControl(ui::Control&) { return true; }
    // The frame leaves its toolbar out of the highlight.
    virtual bool MayHighlight(const ui::Control&) const { return true; }

    void ApplyColours();
    static bool Qualifies(const ui::Control& c);
    void RemoveHighlight();
    void DrawHighlight(ui::Control& c);

private:
    std::string name_;
    ui::Window& window_;
    std::unique_ptr<ui::WindowResizer> resizer_;
    std::vector<WindowComponent*> components_;
    std::optional<ProcedureScope> tracking_;
    bool closed_ = false;
    bool tornDown_ = false;
    bool firstOpenDone_ = false;
};

// The frame whose record buttons this window may set: the frame, when the
// window is its active child; nullptr otherwise (the buttons reflect the
// active window only).
ui::Window* FrameIfActiveChild(const ui::Window& w);

// The procedure's entry: runs the controller's window and leaves its response
// in the thread's CallResponse.
uint8_t RunProcedure(WindowController& controller);

}  // namespace tv::app
