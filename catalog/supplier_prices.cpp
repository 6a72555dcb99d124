#include "catalog/supplier_prices.h"

#include "app/browse/browse_controller.h"
#include "catalog/suppliers.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::catalog {

using data::TableId;
using ui::ControlKind;
using namespace supplier_prices;

namespace {
// Wide enough for every column of the prices (the unit's name, the date).
constexpr int kWidth = 970;
}  // namespace

void ConsultaPreciosProv() {
    ui::Window w(QStringLiteral("Precios por proveedor"), QSize(kWidth, 480), ui::Window::Placement::FrameChild);
    ui::Control& suppliers = w.add({ControlKind::List, kSuppliers, "?BROWSE:1", {}, QRect(8, 8, kWidth - 16, 150)});
    suppliers.setTip(QStringLiteral("Proveedores"));
    suppliers.setStatusText(QStringLiteral("Proveedores"));
    struct B {
        int n;
        const char* name;
        const char* text;
        const char* tip;
        const char* icon;
        bool hidden;
    };
    int x = 8;
    for (const B& b : {B{kView, "?VIEW:2", "&Ver", "Consultar registro", "WAView.ico", false},
                       B{kInsert, "?INSERT:3", "&Agregar", "Agregar registro", "WAINSERT.ICO", true},
                       B{kChange, "?CHANGE:3", "&Cambiar", "Modificar registro", "WAChange.ICO", true},
                       B{kDelete, "?DELETE:3", "&Borrar", "Borrar registro", "WADELETE.ICO", true}}) {
        ui::Control& c =
            w.add({ControlKind::Button, b.n, b.name, QString::fromUtf8(b.text), QRect(x, 162, 84, 28)});
        c.setTip(QString::fromUtf8(b.tip));
        c.setStatusText(QString::fromUtf8(b.tip));
        c.setIcon(ui::programIcon(b.icon));
        if (b.hidden) c.setHidden(true);
        x += 88;
    }
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 196, kWidth - 8, 240)});
    w.add({ControlKind::Tab, kTab, "?TAB:2", QString::fromUtf8("Por Código"), {}, kSheet});
    ui::Control& prices = w.add({ControlKind::List, kPrices, "?LIST", {}, QRect(8, 8, kWidth - 30, 200), kTab});
    prices.setTip(QStringLiteral("Precios por proveedor"));
    prices.setStatusText(QStringLiteral("Precios por proveedor"));
    ui::Control& close =
        w.add({ControlKind::Button, kClose, "?CLOSE", QStringLiteral("Cerrar"), QRect(kWidth - 92, 444, 84, 28)});
    close.setTip(QStringLiteral("Cierra la ventana"));
    close.setStatusText(QStringLiteral("Cierra la ventana"));
    close.setIcon(ui::programIcon("WAClose.ico"));

    app::BrowseController c("ConsultaPreciosProv", w);
    // Enter moves the focus on every control here, the lists included.
    c.EnterMovesFocus = 1;
    c.SetCloseButton(kClose);

    app::BrowseListSetup s;
    s.listControl = kSuppliers;
    s.primary = TableId::Proveedores;
    s.format = "64L(2)|M*~Código~@s15@80L(2)|M*~Nombre~@s40@";
    s.columns = {{"PVD:Codigo"}, {"PVD:Nombre"}};
    s.orders = {{"PVD:KeyCodigo", app::ScrollStepKind::Text, "PVD:Codigo"}};
    s.findColumns = "Código|@s15|pvd:Codigo|Nombre|@s40|pvd:Nombre|";
    // Only "&Ver" acts: the query shows suppliers, it does not maintain
    // them. The hidden insert, change and delete buttons stay unconnected
    // (the list would show any button it drives).
    s.buttons.view = kView;
    app::BrowseList& supplierList = c.AddList(std::move(s));
    supplierList.USEPOPUP = 0;

    app::BrowseListSetup p;
    p.listControl = kPrices;
    p.primary = TableId::PreProv;
    p.joins = {{TableId::Entradas, "ENT:KeyFolio", {{"ENT:Folio", "PPV:Entrada"}}},
               {TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "PPV:Articulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    p.format =
        "40R(2)|M*~No Art~@n_10@279L(2)|M*~Descripcion~@s70@105L(2)|M*~UM~@s40@47R(2)|M*~Entrada~@n_10@51R(2)|M*~"
        "Fecha~@d6@40R(2)|M*~Costo Unitario~@n10.2@";
    p.columns = {{"PPV:Articulo"}, {"ART:Descripcion"}, {"UNI:UM"}, {"PPV:Entrada"}, {"ENT:Fecha"}, {"PPV:Precio"}};
    app::BrowseOrderSetup bySupplier("PPV:KeyProveedor", app::ScrollStepKind::Text, "");
    bySupplier.rangeHeader = TableId::Proveedores;
    bySupplier.addedOrder = "ppv:articulo";
    p.orders = {bySupplier};
    p.findColumns =
        "No Art|@n_10|ppv:Articulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Entrada|@n_10|ppv:Entrada|Fecha|"
        "@d6|ENT:Fecha|Costo Unitario|@n10.2|ppv:Precio|";
    app::BrowseList& priceList = c.AddList(std::move(p));
    priceList.USEPOPUP = 0;
    supplierList.AddDependent(priceList);
    c.SetProcedure(1, UpdateProveedores);
    app::RunProcedure(c);
}

}  // namespace tv::catalog
