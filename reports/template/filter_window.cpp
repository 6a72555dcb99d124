#include "reports/template/filter_window.h"

#include <cstdio>
#include <memory>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

#include "app/window/window_controller.h"
#include "platform/errors/error_reporter.h"
#include "platform/types/picture.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"
#include "reports/template/code_combo.h"

namespace tv::reports {

using ui::ControlKind;

namespace {

// The variables' capacities: an article number has 11 digits, a code is a
// 32-bit number.
constexpr int kArticleDigits = 11;
constexpr int kCodeDigits = 9;

void tellBadInput(ui::Control& c, const std::string& error) {
    MessageBox box;
    box.caption = "Dato no válido";
    box.text = error + ": \"" + c.text().toStdString() + "\"";
    box.icon = MessageBox::Icon::Warning;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
    else std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
    c.focus();
}

// The number in an entry or a drop combo's entry; an empty one is 0.
std::optional<Decimal> readNumber(ui::Window& w, int control, const char* picture, int maxDigits) {
    ui::Control& c = w.at(control);
    QString text = c.text();
    if (auto* combo = c.as<QComboBox>()) text = combo->currentText();
    std::string error;
    std::optional<Value> v = Picture::parse(picture)->read(text.toStdString(), &error);
    if (!v) {
        tellBadInput(c, error);
        return std::nullopt;
    }
    const Decimal d = v->asNumber();
    if (d.integerDigits() > maxDigits) {
        tellBadInput(c, "El número es demasiado grande para este dato");
        return std::nullopt;
    }
    return d;
}

int optionOf(ui::Window& w, int first) {
    for (int i = 0; i < 3; ++i)
        if (auto* r = w.at(first + i).as<QRadioButton>(); r != nullptr && r->isChecked()) return i + 1;
    return 1;
}

class FilterWindowController : public app::WindowController {
public:
    FilterWindowController(const FilterWindowSetup& setup, ui::Window& w)
        : WindowController(setup.procedure, w), setup_(setup) {
        CloseButtons = {kFilterCancel};
        FIRSTFIELD = kArticulosAll;
    }

    std::vector<std::unique_ptr<CodeDropCombo>> combos;

protected:
    void SetUpAfterOpen() override {
        for (auto& c : combos) c->Load();
    }

    int OnAccepted(int control) override {
        WindowController::OnAccepted(control);
        if (control != kFilterAction || Closed()) return 0;
        if (setup_.beforeAction) setup_.beforeAction(*this);
        std::optional<FilterChoices> choices = ReadFilterChoices(Win(), setup_);
        if (!choices) return 0;
        const std::string filter = BuildFilterText(*choices, setup_.closing);
        if (filter.size() > kFilterMaxLength) {
            // Never cut: a cut text would filter something else.
            tellBadInput(Win().at(kFilterAction), "El filtro pasa de 254 caracteres");
            return 0;
        }
        if (setup_.action) setup_.action(*choices, filter);
        return 0;
    }

private:
    const FilterWindowSetup& setup_;
};

}  // namespace

std::optional<FilterChoices> ReadFilterChoices(ui::Window& w, const FilterWindowSetup& setup) {
    FilterChoices c;
    c.articulos = optionOf(w, kArticulosAll);
    c.marcas = optionOf(w, kMarcasAll);
    c.categorias = optionOf(w, kCategoriasAll);
    // Only the values the chosen options use are read: the others are
    // ignored, whatever their entries hold.
    struct Number {
        bool used;
        int control;
        const char* picture;
        int digits;
        Decimal* into;
    };
    for (const Number& n : {Number{c.articulos == kRange, kNoArt1, "n_10", kArticleDigits, &c.noArt1},
                            Number{c.articulos == kRange, kNoArt2, "n_10", kArticleDigits, &c.noArt2},
                            Number{c.articulos == kOne, kNoArtE, "n_10", kArticleDigits, &c.noArtE},
                            Number{c.marcas == kRange, kMarca1, "n_5", kCodeDigits, &c.marca1},
                            Number{c.marcas == kRange, kMarca2, "n_5", kCodeDigits, &c.marca2},
                            Number{c.marcas == kOne, kMarcaE, "n_5", kCodeDigits, &c.marcaE},
                            Number{c.categorias == kRange, kCat1, "n_5", kCodeDigits, &c.cat1},
                            Number{c.categorias == kRange, kCat2, "n_5", kCodeDigits, &c.cat2},
                            Number{c.categorias == kOne, kCatE, "n_5", kCodeDigits, &c.catE}}) {
        if (!n.used) continue;
        std::optional<Decimal> d = readNumber(w, n.control, n.picture, n.digits);
        if (!d) return std::nullopt;
        *n.into = *d;
    }
    if (setup.zeroStockBox)
        if (auto* box = w.at(kCero).as<QCheckBox>()) c.cero = box->isChecked();
    if (setup.orderChoice) c.orden = optionOf(w, kOrdenNumero);
    return c;
}

void RunFilterWindow(const FilterWindowSetup& setup) {
    // The sheet holds the groups and its own tab bar.
    const int bottom = 272 + (setup.zeroStockBox ? 24 : 0) + (setup.orderChoice ? 50 : 0) + 40;
    ui::Window w(setup.caption, QSize(520, bottom + 50), ui::Window::Placement::Own);
    w.add({ControlKind::Sheet, kFilterSheet, "?CURRENTTAB", {}, QRect(4, 4, 512, bottom)});
    w.add({ControlKind::Tab, kFilterTab, "?TAB1", setup.tabText, {}, kFilterSheet});

    const QString numberTip = QString::fromUtf8("Número de artículo");
    auto group = [&](int number, const char* name, const QString& title, int y, const QString (&radios)[3]) {
        w.add({ControlKind::OptionGroup, number, name, title, QRect(8, y, 490, 82), kFilterTab});
        for (int i = 0; i < 3; ++i) {
            ui::Control& r = w.add({ControlKind::RadioButton, number + 1 + i, std::string(name) + ":Radio" +
                                    std::to_string(i + 1), radios[i], QRect(10, 20 + 20 * i, 100, 20), number});
            if (i == 0)
                if (auto* b = r.as<QRadioButton>()) b->setChecked(true);
        }
    };
    auto field = [&](int prompt, int control, const char* name, const QString& text, QRect promptAt, QRect at,
                     int parent, ControlKind kind) -> ui::Control& {
        w.add({ControlKind::Prompt, prompt, std::string(name) + ":PROMPT", text, promptAt, parent});
        return w.add({kind, control, name, {}, at, parent});
    };

    // Articles.
    group(kArticulosGroup, "?LOC:ARTICULOS", QStringLiteral("Articulos"), 6,
          {QStringLiteral("Todos"), QStringLiteral("Rango"), QString::fromUtf8("Específico")});
    for (ui::Control* e : {&field(kNoArt1Prompt, kNoArt1, "?NOART1", QStringLiteral("&Inicial"), QRect(130, 24, 56, 20),
                                  QRect(190, 22, 100, 22), kArticulosGroup, ControlKind::Entry),
                           &field(kNoArt2Prompt, kNoArt2, "?NOART2", QStringLiteral("&Final"), QRect(310, 24, 46, 20),
                                  QRect(360, 22, 100, 22), kArticulosGroup, ControlKind::Entry),
                           &field(kNoArtEPrompt, kNoArtE, "?NOARTE", QStringLiteral("No. de artículo:"),
                                  QRect(130, 54, 110, 20), QRect(240, 52, 100, 22), kArticulosGroup,
                                  ControlKind::Entry)}) {
        e->setTip(numberTip);
        e->setStatusText(numberTip);
    }

    // Brands and categories: each drop list reads a table of its own, so
    // the three lists keep their own positions.
    std::vector<CodeDropCombo::Config> lists;
    struct ComboRow {
        int prompt, control;
        const char* name;
        const char* promptText;
        QRect promptAt, at;
        data::TableId table;
        const char* code;
        const char* label;
        const char* format;
    };
    auto combos = [&](int number, const char* name, const QString& title, int y, const QString (&radios)[3],
                      const std::vector<ComboRow>& rows) {
        group(number, name, title, y, radios);
        for (const ComboRow& r : rows) {
            field(r.prompt, r.control, r.name, QString::fromUtf8(r.promptText), r.promptAt, r.at, number,
                  ControlKind::DropCombo);
            lists.push_back({r.control, r.table, r.code, r.label, r.format});
        }
    };
    using data::TableId;
    combos(kMarcasGroup, "?LOC:MARCAS", QStringLiteral("&Marcas"), 94,
           {QStringLiteral("Todas"), QStringLiteral("Rango"), QString::fromUtf8("Específica")},
           {{kMarca1Prompt, kMarca1, "?MARCA1", "&Inicial:", QRect(130, 24, 56, 20), QRect(190, 22, 100, 22),
             TableId::marcasa1, "A1M:Codigo", "A1M:Marca", "25R(2)|M~Código~@n_4@160L(2)|M~Marca~@s40@"},
            {kMarca2Prompt, kMarca2, "?MARCA2", "&Final:", QRect(310, 24, 46, 20), QRect(360, 22, 100, 22),
             TableId::marcasa2, "A2M:Codigo", "A2M:Marca", "27R(2)|M~Código~@n_4@160L(2)|M~Marca~@s40@"},
            {kMarcaEPrompt, kMarcaE, "?MARCAE", "Marca:", QRect(130, 54, 110, 20), QRect(240, 52, 100, 22),
             TableId::Marcas, "MAR:Codigo", "MAR:Marca", "28R(2)|M~Código~@n_4@160L(2)|M~Marca~@s40@"}});
    combos(kCategoriasGroup, "?LOC:CATEGORIAS", QString::fromUtf8("&Categorías"), 182,
           {QStringLiteral("Todas"), QStringLiteral("Rango"), QString::fromUtf8("Específica")},
           {{kCat1Prompt, kCat1, "?CAT1", "&Inicial:", QRect(130, 24, 56, 20), QRect(190, 22, 100, 22),
             TableId::catega1, "A1C:Codigo", "A1C:Descripcion", "28R(2)|M~Código~@n_4@160L(2)|M~Descripcion~@s40@"},
            {kCat2Prompt, kCat2, "?CAT2", "&Final:", QRect(310, 24, 46, 20), QRect(360, 22, 100, 22),
             TableId::catega2, "A2C:Codigo", "A2C:Descripcion", "27R(2)|M~Código~@n_4@160L(2)|M~Descripcion~@s40@"},
            {kCatEPrompt, kCatE, "?CATE", "Categoría:", QRect(130, 54, 110, 20), QRect(240, 52, 100, 22),
             TableId::CatArticulos, "CAR:Codigo", "CAR:Descripcion",
             "28R(2)|M~Código~@n_4@160L(2)|M~Descripcion~@s40@"}});

    int y = 272;
    if (setup.zeroStockBox) {
        w.add({ControlKind::CheckBox, kCero, "?CERO", QString::fromUtf8("Incluir artículos sin existencia"),
               QRect(14, y, 300, 20), kFilterTab});
        y += 24;
    }
    if (setup.orderChoice) {
        w.add({ControlKind::OptionGroup, kOrdenGroup, "?ORDEN", QStringLiteral("Orden"), QRect(8, y, 490, 46),
               kFilterTab});
        const QString texts[3] = {QString::fromUtf8("Número:"), QStringLiteral("Marca"), QString::fromUtf8("Categoría")};
        for (int i = 0; i < 3; ++i) {
            ui::Control& r = w.add({ControlKind::RadioButton, kOrdenNumero + i, "?ORDEN:Radio" + std::to_string(i + 1),
                                    texts[i], QRect(10 + 110 * i, 18, 100, 20), kOrdenGroup});
            if (i == 0)
                if (auto* b = r.as<QRadioButton>()) b->setChecked(true);
        }
    }
    if (setup.addControls) setup.addControls(w, kFilterTab);

    ui::Control& action = w.add({ControlKind::Button, kFilterAction, "?BUTTON3", setup.actionText,
                                 QRect(300, bottom + 12, 100, 28)});
    action.setIcon(ui::programIcon(setup.actionIcon));
    if (!setup.actionTip.isEmpty()) {
        action.setTip(setup.actionTip);
        action.setStatusText(setup.actionTip);
    }
    ui::Control& cancel = w.add({ControlKind::Button, kFilterCancel, "?CANCEL", QStringLiteral("&Cancelar"),
                                 QRect(408, bottom + 12, 100, 28)});
    cancel.setTip(QStringLiteral("Cancela la operacion"));
    cancel.setStatusText(QStringLiteral("Cancela la operacion"));
    cancel.setIcon(ui::programIcon("WACancel.ico"));

    FilterWindowController controller(setup, w);
    for (const CodeDropCombo::Config& cfg : lists) controller.combos.push_back(std::make_unique<CodeDropCombo>(w, cfg));
    if (setup.prepare) setup.prepare(controller, w);
    app::RunProcedure(controller);
}

}  // namespace tv::reports
