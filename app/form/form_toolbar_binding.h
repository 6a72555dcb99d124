#pragma once
// The frame's record buttons (3001..3013) while a form is active: insert
// and the navigation buttons complete the form as "Aceptar" does and leave
// the button in NavigationRequest for the list that opened it; the history
// button repeats the previous value in the focused field.
#include <vector>

#include "app/window/window_controller.h"

namespace tv::app {

class FormController;

namespace form_toolbar {
inline constexpr int kInsert = 3001;
inline constexpr int kChange = 3002;
inline constexpr int kDelete = 3003;
inline constexpr int kSelect = 3004;
inline constexpr int kBottom = 3005;
inline constexpr int kTop = 3006;
inline constexpr int kPageDown = 3007;
inline constexpr int kPageUp = 3008;
inline constexpr int kDown = 3009;
inline constexpr int kUp = 3010;
inline constexpr int kLocate = 3011;
inline constexpr int kHistory = 3012;
inline constexpr int kHelp = 3013;
inline constexpr int kFirst = 3001;
inline constexpr int kLast = 3013;
}  // namespace form_toolbar

// The record buttons enabled on a form started with `request`: an insert
// form: insert, next row and history; a change form: insert, the six
// navigation buttons and history; anything else (view): none.
std::vector<int> FormToolbarButtons(int request);

class FormToolbarBinding : public WindowComponent {
public:
    explicit FormToolbarBinding(FormController& form) : form_(form) {}

    // The window carrying the record buttons; by default the frame (the
    // open window placed as the frame), none when there is no frame.
    void SetToolbarWindow(ui::Window* w) { toolbar_ = w; explicit_ = true; }
    ui::Window* ToolbarWindow() const;
    // Enables the form's buttons on the toolbar window and disables the others.
    void Apply();
    bool Enabled(int button) const;

    bool TakeEvent(WindowController& c, const ui::WindowEvent& e) override;

private:
    FormController& form_;
    ui::Window* toolbar_ = nullptr;
    bool explicit_ = false;
};

}  // namespace tv::app
