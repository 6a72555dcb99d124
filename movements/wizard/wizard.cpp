// Asistente: the order wizard's window procedure. Its logic (what it
// offers, suggests, keeps and generates) is in picked_lines.h and
// order_generation.h; this file only answers the user.
#include "movements/wizard/wizard.h"

#include <memory>
#include <optional>

#include <QDate>
#include <QRadioButton>

#include "app/browse/browse_controller.h"
#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "catalog/suppliers.h"
#include "data/thread_table_set.h"
#include "movements/common/dates.h"
#include "movements/wizard/order_generation.h"
#include "movements/wizard/picked_lines.h"
#include "movements/wizard/wizard_controls.h"
#include "movements/wizard/wizard_pages.h"
#include "platform/errors/error_reporter.h"
#include "platform/threads/thread_state.h"
#include "platform/types/date.h"
#include "platform/types/text.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/wizard_pages.h"

namespace tv::movements::wizard {

using data::TableId;
using namespace wizard_ui;

namespace {

constexpr int kSupplierList = 1;
constexpr int kLastPage = 3;
constexpr int kMsgCancelChanges = 10;
constexpr const char* kAlreadyListed = "El artículo ya está en la lista";
constexpr const char* kFinished = "Generación terminada";
constexpr const char* kRefusedCaption = "Dato no válido";

class WizardController : public app::BrowseController {
public:
    explicit WizardController(ui::Window& w)
        : BrowseController("Asistente", w), header_(HeaderLayout()) {
        articles_ = &AddList(ArticlesSetup());
        lines_ = &AddList(LinesSetup([this] { RecomputeTotals(); }));
        SetProcedure(kSupplierList, [] { catalog::BrowseProveedores(); });
        SetCloseButton(kCancel);
        SetCloseButton(kOk);
        // Enter moves on in the header like Tab.
        EnterMovesFocus = 1;
        FIRSTFIELD = kFecha;
        header_.clear();
    }

protected:
    int SetUpBeforeOpen() override {
        // The wizard opens with no line picked.
        ClearPicked(Tables());
        return BrowseController::SetUpBeforeOpen();
    }

    void SetUpAfterOpen() override {
        BrowseController::SetUpAfterOpen();
        pages_ = std::make_unique<ui::WizardPages>(Win(), kSheet, kBack, kNext);
        ShowNextFolio();
        Win().at(kTipoMinimo).as<QRadioButton>()->setChecked(true);
        selection_ = Selection::BelowMinimum;
        ShowHeader();
        RecomputeTotals();
    }

public:
    int OnAccepted(int control) override {
        if (Closed()) return 0;
        if (pages_ && pages_->take({ui::EventKind::Accepted, control})) return 0;
        switch (control) {
            case kFecha:
            case kPlazo:
                if (Take(control)) ShowDelivery();
                return 0;
            case kProveedor:
                if (Take(control)) CheckSupplier();
                return 0;
            case kElabora:
            case kReferencia:
            case kPrioridad:
                Take(control);
                return 0;
            case kCalendar:
                PickDate();
                return 0;
            case kProveedorLookup:
                LookUpSupplier();
                return 0;
            case kTipoMinimo:
            case kTipoIdeal:
            case kTipoTodos:
                SelectArticles();
                return 0;
            case kAdd:
                Add();
                return 0;
            case kGenerate:
                Generate();
                return 0;
            case kCancel:
            case kOk:
                // Both close without generating: the picked lines would be lost.
                return OnCloseRequest();
            default:
                return BrowseController::OnAccepted(control);
        }
    }

    // "&Cancelar", the close box, Esc and the program closing down: with
    // lines picked the user is asked first; "No" keeps the wizard as it is.
    int OnCloseRequest() override {
        if (Closed()) return 0;
        std::vector<PickedLine> lines;
        const bool read = ReadPicked(Tables(), lines);
        if ((!read || !lines.empty()) && ErrorReporter::instance().raise(kMsgCancelChanges) != Answer::Yes) return 0;
        return BrowseController::OnCloseRequest();
    }

    int OnControlSelected(int control) override {
        // The option is selected (the focus on it) or changed: its filter applies.
        if (control >= kTipoMinimo && control <= kTipoTodos) SelectArticles();
        return BrowseController::OnControlSelected(control);
    }

    int OnNewSelection(int control) override {
        if (control == kSheet && pages_ && pages_->page() == kLastPage) ShowNextFolio();
        return BrowseController::OnNewSelection(control);
    }

private:
    data::ThreadTableSet& Tables() const { return data::tables(); }
    Record& Supplier() const { return Tables().buffer(TableId::Proveedores); }
    static int PvdField(const char* name) { return data::decl(TableId::Proveedores).fieldIndex(name); }
    int H(const char* name) const { return header_.layout().indexOf(name); }

    static const HeaderEntry* EntryOf(int control) {
        for (const HeaderEntry& e : HeaderEntries())
            if (e.control == control) return &e;
        for (const HeaderEntry& e : HeaderDisplays())
            if (e.control == control) return &e;
        return nullptr;
    }

    void Show(int control) {
        const HeaderEntry* e = EntryOf(control);
        Win().at(control).setText(
            QString::fromStdString(app::ShowField(header_, H(e->field), *Picture::parse(e->picture))));
    }

    void ShowHeader() {
        for (const HeaderEntry& e : HeaderEntries()) Show(e.control);
        for (const HeaderEntry& e : HeaderDisplays()) Show(e.control);
        ShowSupplierNames();
    }

    // Reads what the user typed into its value; a text that cannot be read
    // is refused with the reason, the focus back there.
    // A text refused once is not refused again until it changes (leaving
    // the entry for the message box accepts it again); `always` refuses it
    // anyway (the generation needs every value).
    bool Take(int control, bool always = false) {
        const HeaderEntry* e = EntryOf(control);
        ui::Control& c = Win().at(control);
        const QString text = c.text();
        const app::ReadResult r = app::ReadField(header_, H(e->field), *Picture::parse(e->picture), text.toStdString());
        if (r.ok) {
            if (refusedControl_ == control) refusedControl_ = 0;
            return true;
        }
        if (!always && refusedControl_ == control && refusedText_ == text) return false;
        refusedControl_ = control;
        refusedText_ = text;
        app::ShowMessage(kRefusedCaption, r.error, app::MessageIcon::None);
        if (pages_) pages_->show(0);
        c.focus();
        return false;
    }

    bool TakeHeader() {
        for (const HeaderEntry& e : HeaderEntries())
            if (!Take(e.control, true)) return false;
        header_.set(H("ENTREGA"), Value(DeliveryDate(Fecha(), header_.number(H("PLAZO")))));
        return true;
    }

    long Fecha() const { return static_cast<long>(header_.number(H("FECHA")).toInt64()); }

    void ShowDelivery() {
        header_.set(H("ENTREGA"), Value(DeliveryDate(Fecha(), header_.number(H("PLAZO")))));
        Show(kEntrega);
    }

    // The folio the order will likely get: the counter's, passed over folios
    // already used. Shown only; the generation takes it afresh.
    void ShowNextFolio() {
        header_.set(H("FOLIO"), Value(FolioForNewDocument(Tables(), kOrderFolio)));
        Show(kFolio);
    }

    void PickDate() {
        // What was typed elsewhere is kept; the date typed gives way to the one picked.
        for (const HeaderEntry& e : HeaderEntries())
            if (e.control != kFecha && !Take(e.control)) return;
        QDate start = QDate::currentDate();
        if (std::optional<Ymd> d = ymdFromDate(Fecha())) start = QDate(d->year, d->month, d->day);
        if (std::optional<QDate> picked = ui::pickDate(start, QString::fromUtf8(ui::kCalendarTitle), Win().topWidget()))
            header_.set(H("FECHA"), Value(dateFromYmd(picked->year(), picked->month(), picked->day())));
        Show(kFecha);
        ShowDelivery();
    }

    // ----- the supplier

    std::string Code() const { return std::string(trim(header_.get(H("PROVEEDOR")).asText())); }

    void ShowSupplierNames() {
        // The names of the supplier last found or picked; none for a blank code.
        const bool named = !Code().empty() &&
                           trim(Supplier().get(PvdField("PVD:Codigo")).asText()) == Code();
        auto name = [&](const char* f) {
            return named ? QString::fromStdString(std::string(rtrim(Supplier().get(PvdField(f)).asText()))) : QString();
        };
        Win().at(kNombre).setText(name("PVD:Nombre"));
        Win().at(kNombre2).setText(name("PVD:Nombre2"));
    }

    // The supplier of the code into its buffer (cleared when there is none).
    bool ReadSupplier() {
        Supplier().set(PvdField("PVD:Codigo"), header_.get(H("PROVEEDOR")));
        return Tables().gateway(TableId::Proveedores).ReadByKeyOrClear("PVD:KeyCodigo") == data::kDone;
    }

    // The supplier list in select mode, on the code; a pick takes its code.
    bool ChooseSupplier() {
        Supplier().set(PvdField("PVD:Codigo"), header_.get(H("PROVEEDOR")));
        if (CallSubProcedure(kSupplierList, kSelect) != kCompleted) return false;
        header_.set(H("PROVEEDOR"), Supplier().get(PvdField("PVD:Codigo")));
        Show(kProveedor);
        return true;
    }

    // A code that names no supplier opens the supplier list; a cancel puts
    // the focus back on the code.
    void CheckSupplier() {
        if (!Code().empty() && !ReadSupplier() && !ChooseSupplier()) Win().at(kProveedor).focus();
        ShowSupplierNames();
    }

    void LookUpSupplier() {
        if (!Take(kProveedor)) return;
        ReadSupplier();
        ChooseSupplier();
        ShowSupplierNames();
    }

    // ----- the articles and the picked lines

    void SelectArticles() {
        Selection s = Selection::BelowMinimum;
        if (Win().at(kTipoIdeal).as<QRadioButton>()->isChecked()) s = Selection::BelowIdeal;
        else if (Win().at(kTipoTodos).as<QRadioButton>()->isChecked()) s = Selection::All;
        selection_ = s;
        const std::string filter = SelectionFilter(s);
        if (filtered_ && filter == articles_->View().filter()) return;
        filtered_ = true;
        articles_->View().setFilter(filter);
        articles_->ResetFromStart();
    }

    void Add() {
        // No article shown, none chosen: nothing to add.
        if (articles_->selectedLine() == nullptr || !articles_->ReadSelected()) return;
        const Decimal noArt =
            Tables().buffer(TableId::Articulo).number(data::decl(TableId::Articulo).fieldIndex("ART:NoArt"));
        switch (PickArticle(Tables(), noArt, selection_)) {
            case PickOutcome::AlreadyListed:
                app::ShowMessage("", kAlreadyListed, app::MessageIcon::None);
                return;
            case PickOutcome::NoArticle:
                app::ShowMessage("", "El artículo " + noArt.toText() + " ya no existe.", app::MessageIcon::None);
                articles_->ReloadInPlace();
                return;
            case PickOutcome::Failed:
                break;
            case PickOutcome::Added: {
                data::TableGateway& g = Tables().gateway(TableId::Temporden);
                if (g.file() == nullptr || !lines_->LocateRow(g.file()->currentRow())) lines_->ResetFromStart();
                break;
            }
        }
        lines_->RefreshButtons();
        RecomputeTotals();
    }

    void RecomputeTotals() {
        std::vector<PickedLine> lines;
        // A read that fails keeps the totals as they were.
        if (!ReadPicked(Tables(), lines)) return;
        const PickedTotals t = TotalsOf(lines);
        amount_ = t.amount.rounded(2);
        quantity_ = t.quantity.rounded(2);
        Win().at(kTotal).setText(QString::fromStdString(Picture::parse("n-14.2")->format(Value(amount_))).trimmed());
    }

    // ----- the generation

    void Generate() {
        if (!TakeHeader()) return;
        std::vector<PickedLine> lines;
        ReadPicked(Tables(), lines);
        // Lines that cannot be ordered as they stand are mended first; the
        // wizard stays open on them.
        if (std::optional<std::string> why = LinesRefused(lines)) {
            app::ShowMessage("Orden de compra", *why, app::MessageIcon::None);
            pages_->show(2);
            lines_->ResetFromStart();
            Win().at(kLines).focus();
            return;
        }
        // A code that names no supplier would be stored in an order nobody
        // can change: the user mends it first (a blank code may stand).
        if (!Code().empty() && !ReadSupplier()) {
            ShowSupplierNames();
            app::ShowMessage(kSupplierRefusedCaption, UnknownSupplierText(Code()), app::MessageIcon::None);
            pages_->show(0);
            Win().at(kProveedor).focus();
            return;
        }
        OrderHeader h;
        h.fecha = Fecha();
        h.plazo = header_.number(H("PLAZO"));
        h.entrega = static_cast<long>(header_.number(H("ENTREGA")).toInt64());
        h.elabora = std::string(rtrim(header_.get(H("ELABORA")).asText()));
        h.proveedor = Code();
        h.referencia = std::string(rtrim(header_.get(H("REFERENCIA")).asText()));
        h.prioridad = std::string(rtrim(header_.get(H("PRIORIDAD")).asText()));
        const Generated g = GenerateOrder(Tables(), h);
        // A failed generation has said why (after its rollback); either way
        // the wizard's work is done.
        if (g.stored) {
            if (!g.skipped.empty()) app::ShowMessage("", SkippedText(g.skipped), app::MessageIcon::None);
            app::ShowMessage("", kFinished, app::MessageIcon::None);
        }
        CloseWithResponse(g.stored ? kCompleted : kCancelled);
    }

    Record header_;
    app::BrowseList* articles_ = nullptr;
    app::BrowseList* lines_ = nullptr;
    std::unique_ptr<ui::WizardPages> pages_;
    Selection selection_ = Selection::BelowMinimum;
    bool filtered_ = false;   // the option has had an event: its filter applies
    int refusedControl_ = 0;  // the entry whose text was last refused, and that text
    QString refusedText_;
    Decimal amount_, quantity_;
};

}  // namespace

void Asistente() {
    ui::Window w(QStringLiteral("Asistente para generar orden de compra"), QSize(870, 552),
                 ui::Window::Placement::FrameChild);
    BuildWizardWindow(w);
    WizardController c(w);
    app::RunProcedure(c);
}

}  // namespace tv::movements::wizard
