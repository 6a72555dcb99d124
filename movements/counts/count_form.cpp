// UpdateFisico: one physical count, its date, description and counted
// lines. It only records the count: applying it to stock is done from the
// list.
#include <memory>
#include <optional>

#include <QDate>

#include "app/browse/browse_list.h"
#include "app/form/form_controller.h"
#include "movements/counts/count_controls.h"
#include "movements/counts/count_lines_list.h"
#include "movements/counts/counts.h"
#include "movements/counts/window_parts.h"
#include "platform/types/date.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/window.h"

namespace tv::movements::counts {

using data::TableId;
using ui::ControlKind;
using namespace form_ui;

namespace {

constexpr int kLineForm = 1;

class CountForm : public app::FormController {
public:
    explicit CountForm(ui::Window& w) : FormController("UpdateFisico", w, TableId::Fisico) {}

    void AddLines(app::BrowseListSetup setup) {
        lines_ = std::make_unique<app::BrowseList>(*this, std::move(setup));
        lines_->ASKPROCEDURE = kLineForm;
        AddComponent(lines_.get());
    }

    int SetUpBeforeOpen() override {
        const int r = FormController::SetUpBeforeOpen();
        if (r != app::kSetUpOk) return r;
        return lines_->SetUpView(Tables()) ? app::kSetUpOk : 4;
    }

    void SetUpAfterOpen() override {
        lines_->SetUpControl();
        FormController::SetUpAfterOpen();
        if (ViewMode()) {
            // The lines still scroll; nothing can be changed here.
            Win().at(kLines).setDisabled(false);
            for (int c : {kCalendar, kLineInsert, kLineChange, kLineDelete}) Win().at(c).setDisabled(true);
        }
    }

    int OnAccepted(int control) override {
        if (Closed()) return 0;
        if (control == kCalendar) {
            PickDate();
            return 0;
        }
        return FormController::OnAccepted(control);
    }

    uint8_t CallSubProcedure(int number, uint8_t request) override {
        if (ViewMode()) return kCancelled;
        return FormController::CallSubProcedure(number, request);
    }

private:
    void PickDate() {
        if (ViewMode()) return;
        // A date that cannot be read is refused there first.
        for (int c : {kFecha, kDescripcion})
            if (!TakeControl(c)) return;
        UpdateComponents();
        const int fecha = data::decl(TableId::Fisico).fieldIndex("FIS:Fecha");
        QDate start = QDate::currentDate();
        if (std::optional<Ymd> d = ymdFromDate(static_cast<long>(Buffer().number(fecha).toInt64())))
            start = QDate(d->year, d->month, d->day);
        if (std::optional<QDate> picked = ui::pickDate(start, QString::fromUtf8(ui::kCalendarTitle), Win().topWidget()))
            Buffer().set(fecha, Value(dateFromYmd(picked->year(), picked->month(), picked->day())));
        ShowRecord();
        lines_->ResetFromStart();
    }

    std::unique_ptr<app::BrowseList> lines_;
};

app::BrowseListSetup LinesSetup() {
    app::BrowseListSetup s = CountLinesSetup(
        kLines,
        "47R(2)|M*~No Art~@n_10@280L(2)|M*~Descripcion~@s70@90L(2)|M*~UM~@s40@80L(2)|M*~Referencia~@s20@"
        "40R(2)|M*~Existencia~@n10.2@");
    s.buttons.insert = kLineInsert;
    s.buttons.change = kLineChange;
    s.buttons.del = kLineDelete;
    return s;
}

}  // namespace

void UpdateFisico() {
    ui::Window w(QString::fromUtf8("Inventario físico"), QSize(900, 440), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 892, 392)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    const auto prompt = [&w](int n, const char* name, const char* text, QRect r) {
        w.add({ControlKind::Prompt, n, name, QString::fromUtf8(text), r, kTab});
    };
    prompt(kFechaPrompt, "?FIS:FECHA:Prompt", "&Fecha:", QRect(8, 10, 80, 20));
    SetTipAndStatus(w.add({ControlKind::Entry, kFecha, "?FIS:FECHA", {}, QRect(96, 8, 100, 22), kTab}),
        "Fecha del inventario físico");
    AddButton(w, {kCalendar, "?CALENDAR", "...", "Buscar fecha", nullptr, QRect(198, 8, 28, 22), kTab});
    prompt(kDescripcionPrompt, "?FIS:DESCRIPCION:Prompt", "&Descripcion:", QRect(8, 38, 80, 20));
    SetTipAndStatus(w.add({ControlKind::Entry, kDescripcion, "?FIS:DESCRIPCION", {}, QRect(96, 36, 480, 22), kTab}),
        "Descripción del inventario físico");
    w.add({ControlKind::FixedText, kLinesLabel, "?STRING1", QString::fromUtf8("Artículos del inventario:"),
           QRect(8, 68, 200, 18), kTab});
    SetTipAndStatus(w.add({ControlKind::List, kLines, "?LIST", {}, QRect(8, 88, 868, 220), kTab}),
                    "Productos del inventario");
    for (const ButtonDecl& b :
         {ButtonDecl{kLineInsert, "?INSERT", "&Agregar", "Agregar artículo al inventario", "WAINSERT.ICO",
                     QRect(8, 314, 84, 28), kTab},
          ButtonDecl{kLineChange, "?CHANGE", "&Cambiar", "Modificar artículo del inventario", "WAChange.ICO",
                     QRect(96, 314, 84, 28), kTab},
          ButtonDecl{kLineDelete, "?DELETE", "&Borrar", "Eliminar articulo del inventario", "WADELETE.ICO",
                     QRect(184, 314, 84, 28), kTab}})
        AddButton(w, b);
    app::AddOkCancel(w, kOk, kCancel, QRect(716, 404, 86, 28));

    CountForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kFechaPrompt);
    form.Bind(kFecha, "FIS:Fecha", "d6");
    form.Bind(kDescripcion, "FIS:Descripcion", "s60");
    form.SetSubProcedure(kLineForm, [] { UpdateProdInventario(); });
    form.AddLines(LinesSetup());
    app::RunProcedure(form);
}

}  // namespace tv::movements::counts
