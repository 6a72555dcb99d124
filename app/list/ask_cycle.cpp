#include "app/list/ask_cycle.h"

namespace tv::list {

ListMove moveFor(int button) {
    switch (button) {
    case toolbar::kBottom: return ListMove::Last;
    case toolbar::kTop: return ListMove::First;
    case toolbar::kPageDown: return ListMove::NextPage;
    case toolbar::kPageUp: return ListMove::PreviousPage;
    case toolbar::kDown: return ListMove::NextRow;
    case toolbar::kUp: return ListMove::PreviousRow;
    default: return ListMove::None;
    }
}

AskCycle::After AskCycle::formReturned(int response, int navigationRequest, bool formRan, bool stillInFilter) {
    After a;
    if (done_) return a;
    if (request_ == kRequestInsert && !formRan) a.releaseReservation = true;
    if (response == kResponseCompleted) {
        if (request_ == kRequestDelete) a.refresh = ListRefresh::EmptyAndReload;
        else if (request_ == kRequestChange && !stillInFilter) a.refresh = ListRefresh::ReloadInPlace;
        else a.refresh = ListRefresh::RepositionOnRecord;
    } else {
        a.refresh = ListRefresh::ReloadInPlace;
    }

    // A form that did not run cannot have left a request of its own.
    int nav = formRan ? navigationRequest : 0;
    if (nav == toolbar::kInsert || (nav == toolbar::kDown && request_ == kRequestInsert)) {
        if (insertConnected_) {
            request_ = kRequestInsert;
        } else {
            done_ = true;
        }
        return a;
    }
    ListMove move = moveFor(nav);
    if (move == ListMove::None) {
        done_ = true;
        return a;
    }
    a.move = move;
    pending_ = move;
    return a;
}

void AskCycle::moved(bool selectionChanged) {
    if (pending_ == ListMove::None) return;
    bool absolute = pending_ == ListMove::First || pending_ == ListMove::Last;
    if (!selectionChanged && !absolute) done_ = true;
    pending_ = ListMove::None;
}

ListButtonStates buttonStates(const ListControls& controls, int windowRequest, bool hasRows,
                              ButtonState selectBefore) {
    ListButtonStates s;
    const bool viewOnly = windowRequest == kRequestView;
    const bool picking = windowRequest == kRequestSelect;

    auto rowButton = [&](bool set) {
        ButtonState b;
        b.connected = set;
        b.enabled = set && hasRows;
        return b;
    };
    s.insert.connected = controls.insert && !viewOnly;
    s.insert.enabled = s.insert.connected;
    s.change = rowButton(controls.change && !viewOnly);
    s.del = rowButton(controls.del && !viewOnly);
    s.view = rowButton(controls.view);
    s.print = rowButton(controls.print);
    s.query.connected = s.query.enabled = controls.query;

    if (controls.select) {
        if (picking) {
            s.select.connected = true;
            s.select.enabled = hasRows;
            s.select.visible = true;
            s.selectIsDefault = hasRows;
        } else if (controls.hideSelect) {
            s.select = {true, false, false};
        } else {
            s.select = selectBefore;
            s.select.connected = true;
        }
    } else {
        s.select = {false, false, selectBefore.visible && !controls.hideSelect};
    }

    s.toolbarInsert = s.insert.enabled;
    s.toolbarChange = s.change.enabled;
    s.toolbarDelete = s.del.enabled;
    s.toolbarSelect = s.select.connected && s.select.enabled;
    return s;
}

std::vector<std::string> popupItems(const ListControls& controls, int windowRequest) {
    const bool viewOnly = windowRequest == kRequestView;
    std::vector<std::string> items;
    if (controls.insert && !viewOnly) items.emplace_back("&Agregar");
    if (controls.change && !viewOnly) items.emplace_back("&Cambiar");
    if (controls.del && !viewOnly) items.emplace_back("&Borrar");
    if (controls.view) items.emplace_back("&Ver");
    if (controls.print) items.emplace_back("&Imprime");
    if (controls.query) {
        items.emplace_back("-");
        items.emplace_back("&Consulta");
    }
    if (windowRequest == kRequestSelect) items.emplace_back("&Elegir");
    if (controls.tools) {
        items.emplace_back("-");
        items.emplace_back("&Herramientas");
    }
    return items;
}

}  // namespace tv::list
