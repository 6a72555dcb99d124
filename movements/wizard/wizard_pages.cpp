// The order wizard's window: the pages and their controls, the header
// values of the first page and the two lists of the third.
#include "movements/wizard/wizard_pages.h"

#include "movements/common/document_lines_view.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

#include "app/form/form_buttons.h"
#include "data/thread_table_set.h"
#include "movements/common/document_lines_view.h"
#include "movements/common/stock.h"
#include "movements/wizard/wizard_controls.h"
#include "platform/ui/resizer.h"

namespace tv::movements::wizard {

using data::TableId;
using ui::ControlKind;
using namespace wizard_ui;

std::shared_ptr<const RecordLayout> HeaderLayout() {
    static const auto layout = std::make_shared<RecordLayout>(
        "Asistente", "LOC",
        std::vector<FieldSpec>{{"FOLIO", FieldType::Decimal, 11, 0},
                               {"FECHA", FieldType::Date, 0, 0},
                               {"PLAZO", FieldType::Decimal, 3, 0},
                               {"ENTREGA", FieldType::Date, 0, 0},
                               {"ELABORA", FieldType::String, 40, 0},
                               // The whole supplier code, as the order keeps it.
                               {"PROVEEDOR", FieldType::String, 15, 0},
                               {"REFERENCIA", FieldType::String, 20, 0},
                               {"PRIORIDAD", FieldType::String, 5, 0}});
    return layout;
}

const std::vector<HeaderEntry>& HeaderEntries() {
    static const std::vector<HeaderEntry> entries{
        {kFecha, "FECHA", "d6"},           {kPlazo, "PLAZO", "n-4.0"},         {kElabora, "ELABORA", "s40"},
        {kProveedor, "PROVEEDOR", "s15"}, {kReferencia, "REFERENCIA", "s20"}, {kPrioridad, "PRIORIDAD", "s5"}};
    return entries;
}

const std::vector<HeaderEntry>& HeaderDisplays() {
    static const std::vector<HeaderEntry> shown{{kFolio, "FOLIO", "n_10"}, {kEntrega, "ENTREGA", "d6"}};
    return shown;
}

namespace {

void tip(ui::Control& c, const char* text) { app::SetTipAndStatus(c, text); }

void heading(ui::Window& w, int n, int page, const char* text) {
    ui::Control& h = w.add({ControlKind::FixedText, n, "?HEADING" + std::to_string(page), QString::fromUtf8(text),
                            QRect(12, 10, 700, 22), page});
    QFont f = h.font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.15);
    h.setFont(f);
}

// A value shown only: it takes no typing and Tab passes it by.
void shownOnly(ui::Control& c) {
    c.setReadOnly(true);
    c.widget()->setFocusPolicy(Qt::NoFocus);
}

void firstPage(ui::Window& w) {
    const int p = kPage1;
    heading(w, kHeading1, p, "1. Datos de la orden de compra");
    auto prompt = [&](int n, const char* name, const char* text, int x, int y, int width = 90) {
        w.add({ControlKind::Prompt, n, name, QString::fromUtf8(text), QRect(x, y + 2, width, 20), p});
    };
    auto entry = [&](int n, const char* name, QRect r, const char* tipText) -> ui::Control& {
        ui::Control& c = w.add({ControlKind::Entry, n, name, {}, r, p});
        tip(c, tipText);
        return c;
    };
    prompt(kFolioPrompt, "?FOLIO:Prompt", "&Folio:", 20, 50);
    shownOnly(entry(kFolio, "?FOLIO", QRect(120, 50, 110, 22), "Folio de la orden de compra"));
    prompt(kFechaPrompt, "?FECHA:Prompt", "&Fecha:", 20, 82);
    entry(kFecha, "?FECHA", QRect(120, 82, 110, 22), "Fecha de elaboración");
    tip(w.add({ControlKind::Button, kCalendar, "?CALENDAR", QStringLiteral("..."), QRect(232, 82, 28, 22), p}),
        "Buscar fecha");
    prompt(kPlazoPrompt, "?PLAZO:Prompt", "Plazo:", 290, 82, 64);
    entry(kPlazo, "?PLAZO", QRect(360, 82, 60, 22), "Días de plazo para entrega");
    prompt(kEntregaPrompt, "?ENTREGA:Prompt", "&Entrega:", 450, 82, 76);
    shownOnly(entry(kEntrega, "?ENTREGA", QRect(530, 82, 110, 22), "Fecha de entrega"));
    prompt(kElaboraPrompt, "?ELABORA:Prompt", "Elabora:", 20, 114);
    entry(kElabora, "?ELABORA", QRect(120, 114, 320, 22), "Nombre de quien elabora");
    prompt(kProveedorPrompt, "?PROVEEDOR:Prompt", "&Proveedor:", 20, 146);
    entry(kProveedor, "?PROVEEDOR", QRect(120, 146, 130, 22), "Código del proveedor");
    ui::Control& look =
        w.add({ControlKind::Button, kProveedorLookup, "?LOOKUP", {}, QRect(252, 146, 26, 22), p});
    tip(look, "Buscar proveedor");
    look.setIcon(ui::programIcon("LUPA.ICO"));
    prompt(kNombrePrompt, "?PVD:Nombre:Prompt", "&Nombre:", 20, 178);
    shownOnly(entry(kNombre, "?PVD:Nombre", QRect(120, 178, 320, 22), "Nombre del proveedor"));
    shownOnly(entry(kNombre2, "?PVD:Nombre2", QRect(120, 202, 320, 22), "Nombre del proveedor"));
    prompt(kReferenciaPrompt, "?REFERENCIA:Prompt", "&Referencia:", 20, 238);
    entry(kReferencia, "?REFERENCIA", QRect(120, 238, 180, 22), "Referencia de la orden de compra");
    prompt(kPrioridadPrompt, "?PRIORIDAD:Prompt", "&Prioridad:", 20, 270);
    tip(w.add({ControlKind::DropCombo, kPrioridad, "?PRIORIDAD", QStringLiteral("ALTA|MEDIA|BAJA"),
               QRect(120, 270, 100, 22), p}),
        "Prioridad de envío");
}

void secondPage(ui::Window& w) {
    const int p = kPage2;
    heading(w, kHeading2, p, "2. Indique los artículos que desee seleccionar");
    w.add({ControlKind::OptionGroup, kTipo, "?TIPO", QString::fromUtf8("Artículos"), QRect(20, 50, 520, 130), p});
    const char* texts[] = {"Artículos con existencia menor al stock mínimo",
                           "Artículos con existencia menor al stock ideal", "Todos los artículos"};
    for (int i = 0; i < 3; ++i)
        w.add({ControlKind::RadioButton, kTipoMinimo + i, "?TIPO:Radio" + std::to_string(i + 1),
               QString::fromUtf8(texts[i]), QRect(20, 28 + 32 * i, 480, 24), kTipo});
}

void thirdPage(ui::Window& w) {
    const int p = kPage3;
    heading(w, kHeading3, p, "3. Elija los artículos que desee agregar a la orden de compra");
    tip(w.add({ControlKind::List, kArticles, "?ARTICULOS", {}, QRect(12, 38, 834, 170), p}), "Artículos registrados");
    auto button = [&](int n, const char* name, const char* text, QRect r, const char* tipText, const char* icon) {
        ui::Control& b = w.add({ControlKind::Button, n, name, QString::fromUtf8(text), r, p});
        if (tipText != nullptr) tip(b, tipText);
        b.setIcon(ui::programIcon(icon));
    };
    button(kAdd, "?AGREGAR", "A&gregar artículo a la orden de compra", QRect(12, 214, 270, 28),
           "Agregar producto a la orden de compra", "WAINSERT.ICO");
    button(kRemove, "?QUITAR", "&Quitar artículo de la orden de compra", QRect(286, 214, 270, 28), nullptr,
           "WADELETE.ICO");
    button(kEdit, "?EDITAR", "&Editar artículo de la orden de compra", QRect(560, 214, 286, 28),
           "Cambiar artículo de la orden de compra", "WAChange.ICO");
    tip(w.add({ControlKind::List, kLines, "?LINEAS", {}, QRect(12, 248, 834, 186), p}),
        "Productos agregados a la orden de compra");
    w.add({ControlKind::Prompt, kTotalPrompt, "?TOTAL:Prompt", QStringLiteral("TOTAL:"), QRect(630, 442, 60, 20), p});
    w.add({ControlKind::DisplayString, kTotal, "?IMPORTEORDEN", {}, QRect(696, 442, 150, 20), p})
        .as<QLabel>()
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void fourthPage(ui::Window& w) {
    const int p = kPage4;
    heading(w, kHeading4, p, "4. Presione Generar para terminar la generación de la orden de compra");
    ui::Control& g =
        w.add({ControlKind::Button, kGenerate, "?GENERAR", QStringLiteral("&Generar"), QRect(20, 60, 140, 32), p});
    tip(g, "Generar la orden de compra");
    g.setIcon(ui::programIcon("WAOk.ICO"));
}

}  // namespace

void BuildWizardWindow(ui::Window& w) {
    w.add({ControlKind::Sheet, kSheet, "?SHEET", {}, QRect(4, 4, 862, 500)});
    const char* pages[] = {"Datos", "Artículos", "Selección", "Generar"};
    for (int i = 0; i < 4; ++i)
        w.add({ControlKind::Tab, kPage1 + i, "?TAB" + std::to_string(i + 1), QString::fromUtf8(pages[i]), {}, kSheet});
    firstPage(w);
    secondPage(w);
    thirdPage(w);
    fourthPage(w);
    w.add({ControlKind::Button, kBack, "?BACK", QStringLiteral("&Regresar"), QRect(410, 516, 100, 28)});
    w.add({ControlKind::Button, kNext, "?NEXT", QStringLiteral("&Siguiente"), QRect(514, 516, 100, 28)});
    ui::Control& ok = w.add({ControlKind::Button, kOk, "?OK", QStringLiteral("&Aceptar"), QRect(618, 516, 100, 28)});
    app::SetTipAndStatus(ok, "Acepta la operacion");
    ok.setHidden(true);
    ui::Control& cancel =
        w.add({ControlKind::Button, kCancel, "?CANCEL", QStringLiteral("&Cancelar"), QRect(722, 516, 100, 28)});
    app::SetTipAndStatus(cancel, "Cancela la operacion");
    cancel.setIcon(ui::programIcon("WACancel.ico"));
    w.add({ControlKind::Button, kInsert, "?INSERT", QStringLiteral("&Insert"), QRect(8, 516, 20, 20)}).setHidden(true);
}

app::BrowseListSetup ArticlesSetup() {
    app::BrowseListSetup s;
    s.listControl = kArticles;
    s.primary = TableId::Articulo;
    s.joins = {{TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.format =
        "48R(2)|M*~No Art~@n_10@240L(2)|M*~Descripcion~@s70@120L(2)|M*~Unidad de Medida~@s40@"
        "60R(2)|M*~Existencia~@n-14.2@";
    s.columns = {{"ART:NoArt"}, {"ART:Descripcion"}, {"UNI:UM"}, {"Existencia", [] {
                     return Value(StockOnHand(data::tables().buffer(TableId::Articulo)).rounded(2));
                 }}};
    s.orders = {{"ART:KeyNoArt", app::ScrollStepKind::Integer, "ART:NoArt"}};
    s.findColumns =
        "No Art|@n_10|ART:NoArt|Descripcion|@s70|ART:Descripcion|Unidad de Medida|@s40|UNI:UM|Existencia|@n-14.2|"
        "Existencia|";
    return s;
}

app::BrowseListSetup LinesSetup(std::function<void()> changed) {
    app::BrowseListSetup s;
    s.listControl = kLines;
    s.primary = TableId::Temporden;
    s.joins = {{TableId::AliasArticulos, "AAR:KeyNoArt", {{"AAR:NoArt", "TOR:Articulo"}}}};
    s.format =
        "[48R(2)|M*~No.~@n_10@240L(2)|M*~Descripción~@s70@]|M~Artículo~60R(2)|M*~Cantidad~@n10.2@"
        "60R(2)|M*~Costo~@n10.2@70R(2)|M*~Importe~@n13.2@";
    s.columns = {{"TOR:Articulo"}, {"AAR:Descripcion"}, {"TOR:Cantidad"}, {"TOR:Costo"},
                 LineAmountColumn("Importe", TableId::Temporden, "TOR:Cantidad", "TOR:Costo")};
    s.orders = {{"TOR:KeyArticulo", app::ScrollStepKind::Integer, "TOR:Articulo"}};
    s.findColumns =
        "No.|@n_10|tor:Articulo|Descripción|@s70|aar:Descripcion|Cantidad|@n10.2|tor:Cantidad|Costo|@n10.2|"
        "tor:Costo|Importe|@n13.2|Importe|";
    s.stripeColour = 0xD3EBFC;
    s.buttons.change = kEdit;
    s.buttons.del = kRemove;
    // Quantity: a spin box within what a line holds (DECIMAL(9,2)); cost:
    // an entry, never negative.
    app::InPlaceColumn quantity;
    quantity.column = 2;
    quantity.editor.kind = ui::CellEditorShape::Kind::SpinBox;
    quantity.editor.minimum = 1;
    quantity.editor.maximum = 9999999.99;
    quantity.editor.step = 1;
    quantity.editor.decimals = 2;
    quantity.editor.alignment = Qt::AlignRight | Qt::AlignVCenter;
    quantity.minimum = Decimal(1);
    quantity.required = true;
    app::InPlaceColumn cost;
    cost.column = 3;
    cost.editor.alignment = Qt::AlignRight | Qt::AlignVCenter;
    cost.minimum = Decimal();
    s.inPlace = app::BrowseInPlace{{quantity, cost}, std::move(changed)};
    return s;
}

}  // namespace tv::movements::wizard
