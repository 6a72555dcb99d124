#include "app/browse/browse_controller.h"

#include <algorithm>

#include "app/list/find.h"
#include "data/thread_table_set.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/resizer.h"

namespace tv::app {

BrowseController::BrowseController(std::string procedureName, ui::Window& w)
    : WindowController(std::move(procedureName), w) {
    // Enter keeps the list's own meaning in the lists.
    EnterMovesFocus = 0;
    // The locator entries of a list window keep the platform's colour.
    ColourEntries = false;
}

BrowseController::~BrowseController() = default;

BrowseList& BrowseController::AddList(BrowseListSetup setup) {
    if (FIRSTFIELD == 0) FIRSTFIELD = setup.listControl;
    lists_.push_back(std::make_unique<BrowseList>(*this, std::move(setup)));
    BrowseList& l = *lists_.back();
    AddComponent(&l);
    if (!toolbar_) {
        toolbar_ = std::make_unique<ListToolbarBinding>(l);
        AddComponent(toolbar_.get());
    }
    return l;
}

void BrowseController::SetProcedure(int number, std::function<void()> procedure) {
    procedures_[number] = std::move(procedure);
}

void BrowseController::SetCloseButton(int control) {
    if (std::find(CloseButtons.begin(), CloseButtons.end(), control) == CloseButtons.end())
        CloseButtons.push_back(control);
}

uint8_t BrowseController::CallSubProcedure(int number, uint8_t request) {
    uint8_t response = WindowController::CallSubProcedure(number, request);
    if (REQUEST == kView) return response;
    auto it = procedures_.find(number);
    // A list with one form calls it for any number.
    if (it == procedures_.end() && procedures_.size() == 1) it = procedures_.begin();
    if (it == procedures_.end() || !it->second) return response;
    threadState().callRequest = request;
    threadState().callResponse = 0;
    it->second();
    // A procedure that did not consume the request leaves none behind.
    threadState().callRequest = 0;
    response = threadState().callResponse;
    return response == 0 ? static_cast<uint8_t>(kCancelled) : response;
}

void BrowseController::OpenTables() {
    for (const auto& l : lists_) {
        const data::TableId t = l->setup().primary;
        if (std::find(opened_.begin(), opened_.end(), t) != opened_.end()) continue;
        data::tables().relations(t).OpenWithRelated();
        opened_.push_back(t);
    }
}

void BrowseController::CloseTables() {
    for (auto it = opened_.rbegin(); it != opened_.rend(); ++it) data::tables().relations(*it).CloseWithRelated();
    opened_.clear();
}

int BrowseController::SetUpBeforeOpen() {
    for (const auto& l : lists_)
        if (!l->SetUpView(data::tables())) return 4;
    return 0;
}

void BrowseController::SetUpAfterOpen() {
    for (const auto& l : lists_) l->SetUpControl();
}

int BrowseController::TearDown() {
    // Select mode hands the chosen record over (or the caller's buffer back)
    // before the tables are closed.
    const uint8_t response = RESPONSE != 0 ? RESPONSE : static_cast<uint8_t>(kCancelled);
    for (const auto& l : lists_) l->FinishPick(response);
    return WindowController::TearDown();
}

// ---------------------------------------------------------------- the standard window

void RunStandardBrowse(const StandardBrowseSetup& setup) {
    using ui::ControlKind;
    ui::Window w(setup.caption, setup.size, setup.placement);
    const int W = setup.size.width();
    const int H = setup.size.height();
    const int buttonsY = H - 36;

    BrowseListSetup ls = setup.list;
    ls.listControl = kBrowseList;
    const bool tabs = !setup.tabs.empty();
    if (tabs) {
        w.add({ControlKind::Sheet, kBrowseSheet, "?CURRENTTAB", {}, QRect(4, 4, W - 8, buttonsY - 10)});
        for (std::size_t i = 0; i < setup.tabs.size(); ++i)
            w.add({ControlKind::Tab, kBrowseFirstTab + static_cast<int>(i),
                   "?TAB" + std::to_string(i + 1), setup.tabs[i], {}, kBrowseSheet});
        ls.sheetControl = setup.tabs.size() > 1 ? kBrowseSheet : 0;
    }
    // Under the tabs, and under "&Elegir" when it stands on the first tab.
    const bool selectOnTab = setup.selectButton && setup.selectOnTab && tabs;
    const int listY = !tabs ? 8 : selectOnTab ? 62 : 32;
    const int listBottom = buttonsY - (tabs ? 14 : 8);
    ui::Control& list =
        w.add({ControlKind::List, kBrowseList, "?BROWSE:1", {}, QRect(12, listY, W - 24, listBottom - listY)});
    // Each status text equals its tip.
    list.setTip(setup.listTip);
    list.setStatusText(setup.listTip);

    struct B {
        int control;
        const char* name;
        const char* text;
        const char* tip;
        const char* icon;
    };
    std::vector<B> buttons;
    if (selectOnTab) {
        ui::Control& c = w.add({ControlKind::Button, kBrowseSelect, "?SELECT", QStringLiteral("&Elegir"),
                                QRect(W - 8 - 8 - 96, 2, 90, 26), kBrowseFirstTab});
        c.setTip(QStringLiteral("Elegir registro"));
        c.setStatusText(QStringLiteral("Elegir registro"));
        c.setIcon(ui::programIcon("WASelect.ico"));
    } else if (setup.selectButton) {
        buttons.push_back({kBrowseSelect, "?SELECT", "&Elegir", "Elegir registro", "WASelect.ico"});
    }
    buttons.push_back({kBrowseView, "?VIEW:2", "&Ver", "Consultar registro", "WAView.ico"});
    buttons.push_back({kBrowseInsert, "?INSERT:3", "&Agregar", "Agregar registro", "WAINSERT.ICO"});
    buttons.push_back({kBrowseChange, "?CHANGE:3", "&Cambiar", "Modificar registro", "WAChange.ICO"});
    buttons.push_back({kBrowseDelete, "?DELETE:3", "&Borrar", "Borrar registro", "WADELETE.ICO"});
    int x = 90;
    for (const B& b : buttons) {
        ui::Control& c = w.add({ControlKind::Button, b.control, b.name, QString::fromUtf8(b.text),
                                QRect(x, buttonsY, 84, 28)});
        c.setTip(QString::fromUtf8(b.tip));
        c.setStatusText(QString::fromUtf8(b.tip));
        c.setIcon(ui::programIcon(b.icon));
        x += 88;
    }
    ui::Control& close = w.add({ControlKind::Button, kBrowseClose, "?CLOSE", QStringLiteral("Cerrar"),
                                QRect(W - 92, buttonsY, 84, 28)});
    close.setTip(QStringLiteral("Cierra la ventana"));
    close.setStatusText(QStringLiteral("Cierra la ventana"));
    close.setIcon(ui::programIcon("WAClose.ico"));
    w.add({ControlKind::FixedText, kBrowseHint, "?STRING1", QString::fromUtf8(list::findtext::kHint),
           QRect(8, buttonsY + 6, 80, 18)});

    ls.buttons.view = kBrowseView;
    ls.buttons.insert = kBrowseInsert;
    ls.buttons.change = kBrowseChange;
    ls.buttons.del = kBrowseDelete;
    ls.buttons.select = setup.selectButton ? kBrowseSelect : 0;
    ls.buttons.hideSelect = setup.hideSelect;

    BrowseController c(setup.procedure, w);
    c.EnterMovesFocus = setup.enterMovesFocus ? 1 : 0;
    c.SetCloseButton(kBrowseClose);
    BrowseList& bl = c.AddList(std::move(ls));
    bl.USEPOPUP = 1;
    bl.EDITVIAPOPUP = 1;
    if (setup.form) c.SetProcedure(1, setup.form);
    if (setup.print) c.SetProcedure(2, setup.print);
    if (setup.prepare) setup.prepare(c, w);
    RunProcedure(c);
}

}  // namespace tv::app
