#include "platform/ui/wizard_pages.h"

#include <algorithm>

#include <QTabBar>
#include <QTabWidget>

#include "platform/ui/window.h"

namespace tv::ui {

WizardPages::WizardPages(Window& window, int sheet, int back, int next)
    : window_(window), back_(back), next_(next), sheet_(window.at(sheet).as<QTabWidget>()) {
    if (!sheet_) return;
    sheet_->tabBar()->hide();
    sheet_->setDocumentMode(true);
    // However the page changes (Ctrl+Tab on the sheet too), the buttons follow.
    QObject::connect(sheet_, &QTabWidget::currentChanged, sheet_, [this](int) { refresh(); });
    refresh();
}

int WizardPages::page() const { return sheet_ ? sheet_->currentIndex() : 0; }

int WizardPages::pageCount() const { return sheet_ ? sheet_->count() : 0; }

void WizardPages::show(int page) {
    if (!sheet_ || pageCount() == 0) return;
    sheet_->setCurrentIndex(std::clamp(page, 0, pageCount() - 1));
    refresh();
    // The focus goes to the page's first control that takes input.
    QWidget* shown = sheet_->currentWidget();
    for (Control* c : window_.controls()) {
        QWidget* w = c->widget();
        if (w == nullptr || c->kind() == ControlKind::Tab || !shown->isAncestorOf(w)) continue;
        if (w->focusPolicy() == Qt::NoFocus || !w->isEnabled() || c->hidden()) continue;
        c->focus();
        return;
    }
}

bool WizardPages::back() {
    if (page() <= 0) return false;
    show(page() - 1);
    return true;
}

bool WizardPages::next() {
    if (page() + 1 >= pageCount()) return false;
    if (valid_ && !valid_(page())) return false;
    show(page() + 1);
    return true;
}

bool WizardPages::take(const WindowEvent& e) {
    if (e.kind != EventKind::Accepted) return false;
    if (e.control == back_) {
        back();
        return true;
    }
    if (e.control == next_) {
        next();
        return true;
    }
    return false;
}

void WizardPages::refresh() {
    if (Control* b = window_.control(back_)) b->setDisabled(page() <= 0);
    if (Control* n = window_.control(next_)) n->setDisabled(page() + 1 >= pageCount());
}

}  // namespace tv::ui
