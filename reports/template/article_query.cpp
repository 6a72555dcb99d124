#include "reports/template/article_query.h"

#include <memory>

#include "app/browse/list_actions.h"
#include "app/list/find.h"
#include "catalog/articles/articles.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::reports {

using ui::ControlKind;

namespace {

// The print button: the highlighted article goes to the buffer, the filter
// window starts on its own thread and is not waited for.
class PrintButton : public app::WindowComponent {
public:
    PrintButton(app::BrowseController& c, const char* procedure) : controller_(c), procedure_(procedure) {}
    bool TakeEvent(app::WindowController&, const ui::WindowEvent& e) override {
        if (e.kind != ui::EventKind::Accepted || e.control != kQueryPrint) return false;
        app::StartForSelected(controller_, kQueryPrint, procedure_, kFilterWindowStack);
        return true;
    }

private:
    app::BrowseController& controller_;
    const char* procedure_;
};

}  // namespace

void RunArticleQuery(const ArticleQuerySetup& setup) {
    const int W = setup.size.width();
    const int H = setup.size.height();
    const int sheetH = 78;
    const int sheetY = H - sheetH - 4;
    const int viewY = sheetY - 8 - setup.secondListHeight - (setup.secondListHeight > 0 ? 6 : 0) - 30;
    ui::Window w(setup.caption, setup.size, ui::Window::Placement::FrameChild);

    ui::Control& list = w.add({ControlKind::List, kQueryList, "?BROWSE:1", {}, QRect(8, 8, W - 16, viewY - 14)});
    list.setTip(QStringLiteral("Articulos registrados"));
    list.setStatusText(QStringLiteral("Articulos registrados"));
    ui::Control& view = w.add({ControlKind::Button, kQueryView, "?VIEW", QString::fromUtf8("C&onsultar artículo"),
                               QRect(8, viewY, 160, 28)});
    view.setTip(QString::fromUtf8("Consultar datos del artículo"));
    view.setStatusText(QString::fromUtf8("Consultar datos del artículo"));
    view.setIcon(ui::programIcon("WAView.ico"));
    if (!setup.hintOnFirstTab)
        w.add({ControlKind::FixedText, kQueryHint, "?STRING1", QString::fromUtf8(list::findtext::kHint),
               QRect(180, viewY + 6, 80, 18)});
    if (setup.secondListHeight > 0)
        w.add({ControlKind::List, kQuerySecondList, "?LIST", {}, QRect(8, viewY + 36, W - 16, setup.secondListHeight)});

    w.add({ControlKind::Sheet, kQuerySheet, "?CURRENTTAB", {}, QRect(4, sheetY, W - 8, sheetH)});
    w.add({ControlKind::Tab, kQueryTabNumber, "?TAB:3", QString::fromUtf8("Por número de artículo"), {}, kQuerySheet});
    w.add({ControlKind::Prompt, kQueryLocateNoArtPrompt, "?ART:NOART:PROMPT", QStringLiteral("&Localizar:"),
           QRect(8, 10, 70, 20), kQueryTabNumber});
    ui::Control& noArt =
        w.add({ControlKind::Entry, kQueryLocateNoArt, "?ART:NOART", {}, QRect(80, 8, 110, 22), kQueryTabNumber});
    noArt.setTip(QString::fromUtf8("Número de artículo a localizar"));
    noArt.setStatusText(QString::fromUtf8("Número de artículo a localizar"));
    ui::Control& print = w.add({ControlKind::Button, kQueryPrint, "?BUTTON2", setup.printText,
                                QRect(W - 200, 5, 180, 28), kQueryTabNumber});
    print.setTip(setup.printTip);
    print.setStatusText(setup.printTip);
    print.setIcon(ui::programIcon("PRINT.ICO"));
    if (setup.hintOnFirstTab)
        w.add({ControlKind::FixedText, kQueryHint, "?STRING1", QString::fromUtf8(list::findtext::kHint),
               QRect(220, 12, 80, 18), kQueryTabNumber});
    w.add({ControlKind::Tab, kQueryTabDescription, "?TAB:4", QString::fromUtf8("Por descripción"), {}, kQuerySheet});
    w.add({ControlKind::Prompt, kQueryLocateDescPrompt, "?ART:DESCRIPCION:PROMPT", QStringLiteral("&Localizar:"),
           QRect(8, 10, 70, 20), kQueryTabDescription});
    ui::Control& desc = w.add(
        {ControlKind::Entry, kQueryLocateDesc, "?ART:DESCRIPCION", {}, QRect(80, 8, 300, 22), kQueryTabDescription});
    desc.setTip(QString::fromUtf8("Descripción del artículo a localizar"));
    desc.setStatusText(QString::fromUtf8("Descripción del artículo a localizar"));
    // Tab order: the list, the view button, the second list, the sheet.
    w.setControlOrder({kQueryList, kQueryView, kQuerySecondList, kQuerySheet});

    app::BrowseController c(setup.procedure, w);
    app::BrowseListSetup s;
    s.listControl = kQueryList;
    s.primary = data::TableId::Articulo;
    s.joins = {{data::TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.format = setup.format;
    s.columns = setup.columns;
    // The first tab shows the order declared last.
    s.orders = {{"ART:KeyDescripcion", app::ScrollStepKind::Text, "ART:Descripcion", app::LocatorKind::Entry,
                 kQueryLocateDesc},
                {"ART:KeyNoArt", app::ScrollStepKind::Integer, "ART:NoArt", app::LocatorKind::Entry,
                 kQueryLocateNoArt}};
    s.sheetControl = kQuerySheet;
    s.findColumns = setup.findColumns;
    s.stripes = setup.stripes;
    // "C&onsultar artículo" is the list's view button: enabled while it has rows.
    s.buttons.view = kQueryView;
    app::BrowseList& articles = c.AddList(std::move(s));
    articles.USEPOPUP = 1;
    articles.EDITVIAPOPUP = 0;
    // The article's form, read-only; the query closes once it has been
    // seen, as if the user pressed Esc in it.
    ui::Window* window = &w;
    c.SetProcedure(1, [window] {
        catalog::UpdateArticulo();
        window->pressKey(ui::keyCode(Qt::Key_Escape));
    });
    PrintButton printButton(c, setup.filterWindow);
    c.AddComponent(&printButton);
    if (setup.extend) setup.extend(c, w, articles);
    if (setup.prepare) setup.prepare(c, w);
    app::RunProcedure(c);
}

}  // namespace tv::reports
