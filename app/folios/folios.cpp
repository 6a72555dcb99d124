#include "app/folios/folios.h"

#include "app/form/form_controller.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::app {

namespace {

struct DocumentKind {
    const char* folioField;   // in Folios
    data::TableId table;
    const char* key;          // the document table's key on its folio
    const char* what;         // how the message names a document of this kind
    const char* kinds;        // and the kind as a whole
};

const DocumentKind kKinds[] = {
    {"FOL:ENTRADAS", data::TableId::Entradas, "ENT:KeyFolio", "una entrada de almacén", "entradas"},
    {"FOL:SALIDAS", data::TableId::Salidas, "SAL:KeyFolio", "una salida de almacén", "salidas"},
    {"FOL:ORDENCOMPRA", data::TableId::Ordenes, "ORD:KeyFolio", "una orden de compra", "órdenes de compra"},
};

// Whether a document with that folio is stored (read into a copy, so that
// the thread's record buffer of the document table stays as it was).
bool folioStored(data::ThreadTableSet& tables, const DocumentKind& k, long long folio) {
    data::TableGateway& g = tables.gateway(k.table);
    if (g.UseOnDemand() != data::kDone || g.file() == nullptr) return false;
    const data::TableDecl& d = g.declaration();
    const int key = d.keyIndex(k.key);
    if (key < 0) return false;
    Record probe(g.BUFFER.layoutPtr());
    probe.clear();
    probe.set(d.keys[static_cast<std::size_t>(key)].components.front(), Value(folio));
    return g.file()->readByKey(key, probe).ok();
}

class FoliosForm : public FormController {
public:
    using FormController::FormController;

    int OnCompleted() override {
        if (Closed()) return 0;
        if (std::optional<FolioClash> clash = FindFolioClash(Tables(), Buffer())) {
            MessageBox box;
            box.caption = clash->inUse ? "Folio en uso" : "Folio no válido";
            box.text = clash->message;
            box.buttons = MessageBox::Buttons::Ok;
            box.preset = Answer::Ok;
            box.icon = MessageBox::Icon::Warning;
            if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
            if (VCRREQUEST != nullptr) *VCRREQUEST = 0;
            for (const Binding& b : bindings())
                if (b.field == clash->field) Win().at(b.control).focus();
            return 0;
        }
        return FormController::OnCompleted();
    }

    struct Binding {
        int control;
        std::string field;
    };
    static const std::vector<Binding>& bindings() {
        static const std::vector<Binding> b = {
            {kFolEntradas, "FOL:ENTRADAS"}, {kFolSalidas, "FOL:SALIDAS"}, {kFolOrden, "FOL:ORDENCOMPRA"}};
        return b;
    }
};

}  // namespace

std::optional<FolioClash> FindFolioClash(data::ThreadTableSet& tables, const Record& folios) {
    const data::TableDecl& fd = data::decl(data::TableId::Folios);
    for (const DocumentKind& k : kKinds) {
        const long long next = folios.get(fd.fieldIndex(k.folioField)).asNumber().toInt64();
        if (next < 1 || next > kMaxNextFolio) {
            // 0 and negative numbers are no document number; a number wider
            // than the entry shows could not be advanced past the field.
            FolioClash c;
            c.field = k.folioField;
            c.folio = next;
            c.inUse = false;
            c.message = "El siguiente folio de " + std::string(k.kinds) + " debe ser un número entre 1 y 9,999,999,999.";
            return c;
        }
        if (!folioStored(tables, k, next)) continue;
        FolioClash c;
        c.field = k.folioField;
        c.folio = next;
        c.message = "Ya existe " + std::string(k.what) + " con el folio " + std::to_string(next) +
                    ". El siguiente folio debe ser uno que ningún documento tenga todavía.";
        return c;
    }
    return std::nullopt;
}

void UpdateFolios() {
    using ui::ControlKind;
    data::ThreadTableSet& t = data::tables();
    data::TableGateway& g = t.FoliosTableGateway();

    // The request comes from the table, not from the caller: the first
    // record in record order is changed; without one, one is added.
    uint8_t request = kInsert;
    const bool open = g.OpenTable() == data::kDone;
    if (open && g.SetPositionToStart() == data::kDone && g.ReadNext() == data::kDone) request = kChange;
    if (request == kInsert) {
        g.PrepareNewRecord();
        const data::TableDecl& d = g.declaration();
        for (const char* f : {"FOL:ENTRADAS", "FOL:SALIDAS", "FOL:ORDENCOMPRA"}) g.BUFFER.set(d.fieldIndex(f), Value(1));
    }
    threadState().callRequest = request;

    ui::Window w(QStringLiteral("Form Folios"), QSize(330, 170), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kFolSheet, "?CURRENTTAB", {}, QRect(4, 4, 322, 124)});
    w.add({ControlKind::Tab, kFolTab, "?TAB:1", QStringLiteral("Folios de documentos"), {}, kFolSheet});
    struct Row {
        int prompt, entry;
        const char* name;
        const char* text;
        const char* tip;
    };
    const Row rows[] = {
        {kFolEntradasPrompt, kFolEntradas, "FOL:ENTRADAS", "&Entradas:", "Folio"},
        {kFolSalidasPrompt, kFolSalidas, "FOL:SALIDAS", "&Salidas:", "Folio para salidas"},
        {kFolOrdenPrompt, kFolOrden, "FOL:ORDENCOMPRA", "Orden Compra:", "Folio de orden de compra"},
    };
    int y = 10;
    for (const Row& r : rows) {
        w.add({ControlKind::Prompt, r.prompt, std::string("?") + r.name + ":PROMPT", QString::fromUtf8(r.text),
               QRect(8, y, 100, 20), kFolTab});
        ui::Control& e = w.add({ControlKind::Entry, r.entry, std::string("?") + r.name, {}, QRect(112, y, 110, 22), kFolTab});
        e.setTip(QString::fromUtf8(r.tip));
        e.setStatusText(QString::fromUtf8(r.tip));
        y += 30;
    }
    ui::Control& ok = w.add({ControlKind::Button, kFolOk, "?OK", QStringLiteral("Aceptar"), QRect(146, 134, 86, 28)});
    ok.setTip(QStringLiteral("Acepta y guarda los datos"));
    ok.setIcon(ui::programIcon("WAOk.ICO"));
    ui::Control& cancel =
        w.add({ControlKind::Button, kFolCancel, "?CANCEL", QStringLiteral("Cancelar"), QRect(238, 134, 86, 28)});
    cancel.setTip(QStringLiteral("Cancela la operación"));
    cancel.setIcon(ui::programIcon("WACancel.ico"));

    FoliosForm form("UpdateFolios", w, data::TableId::Folios);
    form.SetOkCancel(kFolOk, kFolCancel);
    form.SetFirstField(kFolEntradasPrompt);
    for (const Row& r : rows) form.Bind(r.entry, r.name, "n_10");
    RunProcedure(form);
    if (open) g.CloseTable();
}

}  // namespace tv::app
