#include "platform/ui/layout_audit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTableView>
#include <utility>

#include "platform/ui/list_columns.h"
#include "platform/ui/window.h"

namespace tv::ui {
namespace {

std::function<void(Window&)>& observer() {
    static std::function<void(Window&)> o;
    return o;
}

// Controls whose text the user reads beside an entry.
bool carriesText(ControlKind k) {
    return k == ControlKind::Prompt || k == ControlKind::CheckBox || k == ControlKind::RadioButton;
}

// Controls that hold others: lying inside one is not lying over it.
bool holdsOthers(ControlKind k) {
    switch (k) {
        case ControlKind::Sheet: case ControlKind::Tab: case ControlKind::GroupBox: case ControlKind::OptionGroup:
        case ControlKind::Region: case ControlKind::MenuBar: case ControlKind::Menu: case ControlKind::MenuItem:
        case ControlKind::Toolbar: case ControlKind::ToolbarButton:
            return true;
        default:
            return false;
    }
}

// Hidden on purpose (not merely on a tab that is not showing).
bool hiddenItself(const Control& c) { return c.widget() == nullptr || c.widget()->isHidden(); }

int neededWidth(const Control& c) {
    if (auto* l = c.as<QLabel>()) return l->sizeHint().width();
    if (auto* b = c.as<QAbstractButton>()) return b->sizeHint().width();
    return 0;
}

QString shown(const Control& c) {
    return QString::fromStdString(c.name()) + QStringLiteral(" \"") + c.text() + QStringLiteral("\"");
}

}  // namespace

std::vector<QString> layoutFaults(const Window& w) {
    std::vector<QString> faults;
    const auto& all = w.controls();
    for (const Control* c : all) {
        if (!carriesText(c->kind()) || hiddenItself(*c) || c->text().isEmpty()) continue;
        const QRect r = c->widget()->geometry();
        if (const int need = neededWidth(*c); need > r.width())
            faults.push_back(shown(*c) + QStringLiteral(" needs %1 pixels and has %2").arg(need).arg(r.width()));
        for (const Control* o : all) {
            if (o == c || o->parent() != c->parent() || holdsOthers(o->kind()) || hiddenItself(*o)) continue;
            if (r.intersects(o->widget()->geometry()))
                faults.push_back(shown(*c) + QStringLiteral(" lies over ") + QString::fromStdString(o->name()));
        }
    }
    // A list's columns, each whole inside the list with its heading and
    // the texts of its rows.
    for (const Control* c : all) {
        const auto* t = c->as<QTableView>();
        if (t == nullptr || !t->isVisible()) continue;
        for (const QString& f : columnFaults(*t))
            faults.push_back(QString::fromStdString(c->name()) + QStringLiteral(": ") + f);
    }
    return faults;
}

std::function<void(Window&)> setLayoutObserver(std::function<void(Window&)> o) {
    return std::exchange(observer(), std::move(o));
}

void notifyLaidOut(Window& w) {
    if (observer()) observer()(w);
}

}  // namespace tv::ui
