#include "app/browse/vs_find.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>

#include "app/browse/message_box.h"
#include "app/list/find.h"
#include "app/window/window_controller.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/desktop.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::app {

namespace {


using ui::ControlKind;
using ui::EventKind;

QString q(const char* s) { return QString::fromUtf8(s); }
QString q(const std::string& s) { return QString::fromStdString(s); }

class VsFindController : public WindowController {
public:
    VsFindController(ui::Window& w, list::VsFindLogic& logic) : WindowController("vsFind", w), logic_(logic) {
        UseColours = false;
        UseResizer = false;
        FIRSTFIELD = kVsfValue;
    }

    std::string result;

protected:
    void SetUpAfterOpen() override {
        ui::Window& w = Win();
        auto* list = w.at(kVsfColumns).as<QTableWidget>();
        const auto& cols = logic_.columns();
        {
            QSignalBlocker quiet(list);
            list->setColumnCount(1);
            list->setRowCount(static_cast<int>(cols.size()));
            for (std::size_t i = 0; i < cols.size(); ++i)
                list->setItem(static_cast<int>(i), 0, new QTableWidgetItem(q(cols[i].header)));
            if (logic_.chosen() >= 0) list->setCurrentCell(logic_.chosen(), 0);
        }
        if (!logic_.value().empty()) w.at(kVsfValue).setText(q(logic_.value()));
        ShowCriteria();
        w.at(kVsfValue).focus();
    }

    int OnNewSelection(int control) override {
        if (control == kVsfColumns) {
            auto* list = Win().at(kVsfColumns).as<QTableWidget>();
            logic_.chooseColumn(list->currentRow());
            ShowCriteria();
        }
        return 0;
    }

    int OnAccepted(int control) override {
        switch (control) {
            case kVsfValue:
                TakeValue();
                return 0;
            case kVsfFind:
            case kVsfFindNext: {
                TakeValue();
                list::VsFindLogic::Outcome o = control == kVsfFind ? logic_.find() : logic_.findNext();
                Finish(o);
                return 0;
            }
            case kVsfCancel:
                Finish(logic_.cancel());
                return 0;
            default:
                return WindowController::OnAccepted(control);
        }
    }

    int OnCloseRequest() override {
        Finish(logic_.closeOther());
        return 0;
    }

private:
    void TakeValue() {
        const std::string typed = Win().at(kVsfValue).text().toStdString();
        if (typed != logic_.value() || logic_.pattern().empty()) logic_.acceptValue(typed);
        ShowCriteria();
    }
    void ShowCriteria() { Win().at(kVsfCriteria).setText(q(logic_.expression())); }
    void Finish(const list::VsFindLogic::Outcome& o) {
        if (!o.closes) {
            ShowMessage(o.caption, o.message, MessageIcon::None);
            return;
        }
        result = o.expression;
        CloseWithResponse(result.empty() ? kCancelled : kCompleted);
    }

    list::VsFindLogic& logic_;
};

void buildWindow(ui::Window& w) {
    using namespace list::findtext;
    w.add({ControlKind::Prompt, kVsfColumnPrompt, "?SEARCHFIELDS:PROMPT", q(kColumnPrompt), QRect(10, 8, 200, 18)});
    ui::Control& cols = w.add({ControlKind::List, kVsfColumns, "?SEARCHFIELDS", {}, QRect(10, 28, 210, 110)});
    cols.setTip(q(kColumnTip));
    cols.setReportsKeys(false);
    if (auto* t = cols.as<QTableWidget>()) {
        t->horizontalHeader()->hide();
        t->horizontalHeader()->setStretchLastSection(true);
    }
    w.add({ControlKind::Prompt, kVsfValuePrompt, "?SEARCHVALUE:PROMPT", q(kValuePrompt), QRect(10, 146, 60, 18)});
    ui::Control& value = w.add({ControlKind::Entry, kVsfValue, "?SEARCHVALUE", {}, QRect(70, 144, 250, 22)});
    value.setTip(q(kValueTip));
    value.setStatusText(q(kValueStatus) + QStringLiteral("\n") + q(kValueExamples));
    if (auto* e = value.as<QLineEdit>()) e->setMaxLength(static_cast<int>(list::kFindValueChars));
    w.add({ControlKind::DisplayString, kVsfCriteria, "?MATCHCRITERIA", {}, QRect(10, 172, 330, 18)});
    ui::Control& find = w.add({ControlKind::Button, kVsfFind, "?FIND", q(list::findtext::kFindButton), QRect(235, 28, 105, 26)});
    find.setTip(q(kFindTip));
    find.setIcon(ui::programIcon("RFind.ico"));
    ui::Control& next =
        w.add({ControlKind::Button, kVsfFindNext, "?FINDNEXT", q(list::findtext::kFindNextButton), QRect(235, 60, 105, 26)});
    next.setTip(q(kFindNextTip));
    next.setIcon(ui::programIcon("WAVCRDOWN.ICO"));
    ui::Control& cancel =
        w.add({ControlKind::Button, kVsfCancel, "?CANCEL", q(kCancelButton), QRect(235, 92, 105, 26)});
    cancel.setTip(q(kCancelTip));
    cancel.setIcon(ui::programIcon("EXIT.ICO"));
}

}  // namespace

std::string vsFind(std::string_view columnList, std::string& lastColumn, std::string& lastValue, bool& findNext,
                   bool* refused) {
    if (refused != nullptr) *refused = false;
    std::string error;
    auto columns = list::parseFindColumns(columnList, &error);
    if (!columns) {
        ShowMessage("Error", error, MessageIcon::None);
        return {};
    }
    list::FindCriteria criteria{lastColumn, lastValue, findNext};
    list::VsFindLogic logic(std::move(*columns), criteria);

    // The caller's request belongs to the caller: the find window neither
    // takes it nor leaves one of its own.
    const uint8_t request = threadState().callRequest;
    threadState().callRequest = 0;
    ui::Window w(q(list::findtext::kWindowCaption), QSize(350, 198), ui::Window::Placement::Own);
    buildWindow(w);
    VsFindController c(w, logic);
    const int setUp = c.SetUp();
    if (setUp == kSetUpOk) c.RunEventLoop();
    c.TearDown();
    threadState().callResponse = c.RESPONSE != 0 ? c.RESPONSE : static_cast<uint8_t>(kCancelled);
    threadState().callRequest = request;
    if (setUp == kSetUpRefused) {
        if (refused != nullptr) *refused = true;
        return {};
    }
    lastColumn = criteria.lastColumn;
    lastValue = criteria.lastValue;
    findNext = criteria.findNext;
    return c.result;
}

}  // namespace tv::app
