// BrowseArticulo: the list of articles, with its two orders and their
// locator entries, the query-by-example filter and the spreadsheet export.
#include <optional>
#include <string>

#include <QIcon>
#include <QPixmap>

#include "app/browse/browse_controller.h"
#include "app/browse/list_actions.h"
#include "app/browse/message_box.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "catalog/articles/article_list.h"
#include "catalog/articles/article_logic.h"
#include "catalog/articles/articles.h"
#include "platform/images/program_pictures.h"
#include "platform/qbe/qbe_window.h"
#include "platform/threads/logical_thread.h"

namespace tv::catalog {

using app::BrowseController;
using app::BrowseList;
using data::TableId;
using ui::ControlKind;
using ui::EventKind;

namespace {

IniStore*& queryStore() {
    static IniStore* store = nullptr;
    return store;
}

QIcon icon(const char* name) { return QIcon(QPixmap::fromImage(programImage(name, 16))); }

// "&Filtro" and "E&xcel": what the article list adds to the list template.
class ArticleListButtons : public app::WindowComponent {
public:
    ArticleListButtons(BrowseController& c)
        : controller_(c), qbe_(kBrowseArticulo, ArticleQueryFields(), queryStore()) {}

    bool TakeEvent(app::WindowController&, const ui::WindowEvent& e) override {
        if (e.kind != EventKind::Accepted) return false;
        if (e.control == article_list::kFilter) {
            Query();
            return true;
        }
        if (e.control == article_list::kExcel) {
            Export();
            return true;
        }
        return false;
    }

private:
    void Query() { app::ApplyQueryByExample(controller_, qbe_, kQueryFilterName); }

    // The highlighted article goes to the buffer first; the export runs on
    // its own and is not waited for.
    void Export() { app::StartForSelected(controller_, article_list::kExcel, kFiltroArtExcel, kExcelStack); }

    static constexpr const char* kQueryFilterName = "qbe";
    BrowseController& controller_;
    qbe::QueryByExample qbe_;
};

}  // namespace

void SetArticleQueryStore(IniStore* store) { queryStore() = store; }

void BrowseArticulo() {
    using namespace article_list;
    app::StandardBrowseSetup b;
    b.procedure = kBrowseArticulo;
    b.caption = QStringLiteral("Articulo registrados");
    b.listTip = QStringLiteral("Articulos registrados");
    b.size = QSize(920, 420);
    b.list.primary = TableId::Articulo;
    b.list.format = kArticleListFormat;
    b.list.columns = {{"ART:NoArt"}, {"ART:Descripcion"}, {"ART:Modelo"}, {"ART:CodigoBarras"}, {"ART:Tamano"}};
    // Order 1 by description, order 2 by number: the first tab shows the
    // last order, the second tab the first.
    b.list.orders = {
        {"ART:KeyDescripcion", app::ScrollStepKind::Text, "ART:Descripcion", app::LocatorKind::Entry,
         kLocateDescripcion},
        {"ART:KeyNoArt", app::ScrollStepKind::Integer, "ART:NoArt", app::LocatorKind::Entry, kLocateNoArt},
    };
    b.list.findColumns = kArticleFindColumns;
    b.list.buttons.query = kFilter;
    b.tabs = {QStringLiteral("Por No. Art."), QString::fromUtf8("Por descripción")};
    b.selectButton = true;
    b.selectOnTab = true;  // on the first tab
    b.form = UpdateArticulo;
    std::unique_ptr<ArticleListButtons> extras;
    b.prepare = [&extras](BrowseController& c, ui::Window& w) {
        struct Locator {
            int tab, prompt, entry;
            const char* tip;
        };
        for (const Locator& l : {Locator{app::kBrowseFirstTab, kLocateNoArtPrompt, kLocateNoArt,
                                         "Número de artículo a localizar"},
                                 Locator{app::kBrowseFirstTab + 1, kLocateDescripcionPrompt, kLocateDescripcion,
                                         "Descripción del artículo a localizar"}}) {
            w.add({ControlKind::Prompt, l.prompt, "?Locator" + std::to_string(l.entry) + ":Prompt",
                   QStringLiteral("&Localizar:"), QRect(8, 6, 70, 20), l.tab});
            ui::Control& e = w.add({ControlKind::Entry, l.entry, "?Locator" + std::to_string(l.entry), {},
                                    QRect(80, 4, l.entry == kLocateNoArt ? 110 : 300, 22), l.tab});
            e.setTip(QString::fromUtf8(l.tip));
            e.setStatusText(QString::fromUtf8(l.tip));
        }
        w.at(app::kBrowseSelect).setTip(QStringLiteral("Elegir producto"));
        w.at(app::kBrowseSelect).setStatusText(QStringLiteral("Elegir producto"));
        // After the standard buttons, before "Cerrar": none covers another.
        const QRect last = w.at(app::kBrowseDelete).position();
        const int y = last.y();
        ui::Control& filter = w.add({ControlKind::Button, kFilter, "?Query", QStringLiteral("&Filtro"),
                                     QRect(last.right() + 5, y, 84, 28)});
        filter.setTip(QStringLiteral("Aplicar filtro a la tabla"));
        filter.setStatusText(QStringLiteral("Aplicar filtro a la tabla"));
        filter.setIcon(icon("QkQBE.ico"));
        ui::Control& excel = w.add({ControlKind::Button, kExcel, "?Excel", QStringLiteral("E&xcel"),
                                    QRect(last.right() + 93, y, 76, 28)});
        excel.setTip(QString::fromUtf8("Conversión a Excel"));
        excel.setStatusText(QString::fromUtf8("Conversión a Excel"));
        excel.setIcon(icon("EXCEL.ICO"));
        // The right is read as the window opens; a later change is not seen.
        if (app::globals().UserPermissions[kRightArticleExcel] == 0) excel.setDisabled(true);
        extras = std::make_unique<ArticleListButtons>(c);
        c.AddComponent(extras.get());
    };
    app::RunStandardBrowse(b);
}

void RegisterArticleProcedures() {
    app::RegisterProcedure(kBrowseArticulo, BrowseArticulo);
    app::RegisterProcedure(kUpdateArticulo, UpdateArticulo);
    app::RegisterProcedure(kBrowseArticuloBarras, BrowseArticuloBarras);
}

}  // namespace tv::catalog
