#pragma once
// A tabbed wizard: the tabs of a sheet shown one at a time in sheet order
// (the tab bar hidden), with back and next buttons. Back is unavailable on
// the first page and next on the last; a page-validation hook may keep the
// user on a page when next is pressed (no hook: every page is valid).
#include <functional>

#include <QPointer>

class QTabWidget;

namespace tv::ui {

class Window;
struct WindowEvent;

class WizardPages {
public:
    WizardPages(Window& window, int sheet, int back, int next);

    // Whether the user may go on from page `page` (0-based).
    void setValidator(std::function<bool(int page)> valid) { valid_ = std::move(valid); }

    int page() const;
    int pageCount() const;
    // Shows page `page` (clamped), the focus on its first control that takes input.
    void show(int page);
    bool back();   // false on the first page
    bool next();   // false on the last page, or when the page is not valid
    // The back and next buttons pressed: true when the event was theirs.
    bool take(const WindowEvent& e);

private:
    void refresh();

    Window& window_;
    int back_, next_;
    QPointer<QTabWidget> sheet_;
    std::function<bool(int)> valid_;
};

}  // namespace tv::ui
