#include "platform/qbe/qbe_window.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>
#include <memory>

#include "platform/errors/error_reporter.h"
#include "platform/qbe/qbe_store.h"
#include "platform/types/text.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::qbe {

namespace {

using ui::ControlKind;
using ui::EventKind;

// Control numbers. The lines of the first tab take three numbers each from
// kFirstLine on: the column's prompt, its operator and its value.
enum : int {
    kSheet = 1,
    kTabConditions = 2,
    kTabSaved = 3,
    kHeadColumn = 4,
    kHeadOperator = 5,
    kHeadValue = 6,
    kSavedList = 10,
    kNamePrompt = 11,
    kNameEntry = 12,
    kSaveButton = 13,
    kDeleteButton = 14,
    kRunButton = 15,
    kOkButton = 20,
    kCancelButton = 21,
    kClearButton = 22,
    kFirstLine = 100,
};

// The window's colours, as every window of the program has them.
constexpr int32_t kWindowColour = 0xCDF5F5;
constexpr int32_t kFirstTabColour = 0xA2ECA7;
constexpr int32_t kEntryColour = 0xFFFFFF;

constexpr int kLineHeight = 28;
constexpr int kWidth = 540;

int operatorControl(std::size_t line) { return kFirstLine + static_cast<int>(line) * 3 + 1; }
int valueControl(std::size_t line) { return kFirstLine + static_cast<int>(line) * 3 + 2; }

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }

MessagePresenter& presenter() {
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) return *p;
    static ui::QtMessagePresenter fallback;
    return fallback;
}

void tell(const std::string& text) {
    MessageBox box;
    box.caption = kWindowCaption;
    box.text = text;
    box.icon = MessageBox::Icon::Warning;
    presenter().show(box);
}

bool confirm(const std::string& text) {
    MessageBox box;
    box.caption = kWindowCaption;
    box.text = text;
    box.buttons = MessageBox::Buttons::YesNo;
    box.preset = Answer::No;
    box.icon = MessageBox::Icon::Question;
    return presenter().show(box) == Answer::Yes;
}

class QbeWindow {
public:
    QbeWindow(const QbeSetup& setup, IniStore& ini)
        : setup_(setup), saved_(ini, setup.procedure),
          window_(q(kWindowCaption), designedSize(setup.fields.size())) {}

    std::optional<QbeOutcome> run() {
        build();
        showQuery(setup_.initial);
        fillSavedList(saved_.lastUsed());
        restorePosition();
        window_.open(setup_.fields.empty() ? kOkButton : valueControl(0));
        std::optional<QbeOutcome> result;
        for (bool done = false; !done;) {
            ui::WindowEvent e = window_.nextEvent();
            switch (e.kind) {
                case EventKind::Accepted: done = onAccepted(e.control, result); break;
                case EventKind::NewSelection:
                    if (e.control == kSavedList) nameFromList();
                    break;
                case EventKind::ListMouse:
                    if (e.control == kSavedList && e.clicks == 2 && e.row >= 0) loadSelected();
                    break;
                case EventKind::AlertKey:
                    if (e.key == ui::kEnterKey) {
                        // Enter moves on like Tab, as in every window; on a
                        // button it presses the button.
                        ui::Control* c = window_.control(e.control);
                        if (c != nullptr && c->kind() == ControlKind::Button) done = onAccepted(e.control, result);
                        else window_.pressKey(ui::kTabKey);
                    } else if (e.key == ui::keyCode(Qt::Key_Escape)) {
                        done = true;
                    }
                    break;
                case EventKind::Resized: resizer_->apply(); break;
                case EventKind::CloseWindow:
                case EventKind::CloseDown: done = true; break;
                default: break;
            }
        }
        savePosition();
        window_.close();
        return result;
    }

private:
    static QSize designedSize(std::size_t lines) {
        return QSize(kWidth, 170 + static_cast<int>(std::max<std::size_t>(lines, 5)) * kLineHeight);
    }

    void build() {
        const int sheetHeight = window_.designedSize().height() - 60;
        window_.setBackground(kWindowColour);
        window_.setIcon(ui::programIcon("QkQBE.ico"));
        window_.add({ControlKind::Sheet, kSheet, "?SHEET", {}, QRect(8, 8, kWidth - 16, sheetHeight)});
        window_.add({ControlKind::Tab, kTabConditions, "?TAB:1", QStringLiteral("Setea Consultas"), {}, kSheet});
        window_.add({ControlKind::Tab, kTabSaved, "?TAB:2", QStringLiteral("Salva Consultas"), {}, kSheet});
        window_.at(kTabConditions).setBackground(kFirstTabColour);

        window_.add({ControlKind::FixedText, kHeadColumn, "?HEADCOLUMN", QStringLiteral("Columna"),
                     QRect(10, 8, 140, 20), kTabConditions});
        window_.add({ControlKind::FixedText, kHeadOperator, "?HEADOPERATOR", QStringLiteral("Operador"),
                     QRect(156, 8, 110, 20), kTabConditions});
        window_.add({ControlKind::FixedText, kHeadValue, "?HEADVALUE", QStringLiteral("Valor"),
                     QRect(272, 8, 230, 20), kTabConditions});
        for (std::size_t i = 0; i < setup_.fields.size(); ++i) {
            const Field& f = setup_.fields[i];
            const int y = 32 + static_cast<int>(i) * kLineHeight;
            const std::string n = std::to_string(i + 1);
            QStringList captions;
            for (Operator op : operatorsFor(f.type)) captions << q(operatorCaption(op));
            window_.add({ControlKind::Prompt, kFirstLine + static_cast<int>(i) * 3, "?PROMPT" + n,
                         q(f.label) + QStringLiteral(":"), QRect(10, y + 2, 140, 20), kTabConditions});
            window_.add({ControlKind::DropList, operatorControl(i), "?OPERATOR" + n, captions.join('|'),
                         QRect(156, y, 110, 24), kTabConditions});
            ui::Control& value = window_.add(
                {ControlKind::Entry, valueControl(i), "?VALUE" + n, {}, QRect(272, y, 240, 24), kTabConditions});
            value.setBackground(kEntryColour);
            value.setTip(q(f.type == FieldType::Date ? "Fecha dd/mm/aaaa" : "Valor a buscar en " + f.label));
        }

        ui::Control& list = window_.add({ControlKind::List, kSavedList, "?QUERIES", {},
                                         QRect(10, 10, kWidth - 60, sheetHeight - 110), kTabSaved});
        list.setBackground(kEntryColour);
        auto* table = list.as<QTableWidget>();
        table->setColumnCount(1);
        table->setHorizontalHeaderLabels({QStringLiteral("Consultar")});
        table->horizontalHeader()->setStretchLastSection(true);
        const int below = sheetHeight - 92;
        window_.add({ControlKind::Prompt, kNamePrompt, "?PROMPTNAME", QStringLiteral("&Nombre Consulta:"),
                     QRect(10, below, 120, 20), kTabSaved});
        window_.add({ControlKind::Entry, kNameEntry, "?QUERYNAME", {}, QRect(134, below, kWidth - 184, 24),
                     kTabSaved})
            .setBackground(kEntryColour);
        window_.add({ControlKind::Button, kSaveButton, "?SAVEQUERY", QStringLiteral("&Salvar"),
                     QRect(10, below + 34, 100, 28), kTabSaved})
            .setTip(QStringLiteral("Guardar las condiciones con este nombre"));
        window_.add({ControlKind::Button, kDeleteButton, "?DELETEQUERY", QStringLiteral("&Borrar"),
                     QRect(120, below + 34, 100, 28), kTabSaved})
            .setTip(QStringLiteral("Borrar la consulta elegida"));
        ui::Control& runButton = window_.add({ControlKind::Button, kRunButton, "?RUNQUERY", QStringLiteral("&Ejecutar"),
                                              QRect(230, below + 34, 100, 28), kTabSaved});
        runButton.setTip(QStringLiteral("Aplicar la consulta elegida"));
        runButton.setIcon(ui::programIcon("QkLoad.ico"));

        const int y = window_.designedSize().height() - 42;
        window_.add({ControlKind::Button, kOkButton, "?OK", QStringLiteral("&Aceptar"),
                     QRect(kWidth - 340, y, 100, 30)})
            .setTip(QStringLiteral("Aplicar las condiciones a la lista"));
        window_.add({ControlKind::Button, kCancelButton, "?CANCEL", QStringLiteral("&Cancelar"),
                     QRect(kWidth - 230, y, 100, 30)})
            .setTip(QStringLiteral("Cerrar sin cambiar el filtro"));
        window_.add({ControlKind::Button, kClearButton, "?CLEAR", QStringLiteral("L&impiar"),
                     QRect(kWidth - 120, y, 100, 30)})
            .setTip(QStringLiteral("Borrar todas las condiciones"));

        window_.alertKey(ui::kEnterKey);
        window_.alertKey(ui::keyCode(Qt::Key_Escape));
        resizer_ = std::make_unique<ui::WindowResizer>(window_);
        resizer_->setUp();
    }

    // ----- the conditions tab

    void showQuery(const Query& query) {
        for (std::size_t i = 0; i < setup_.fields.size(); ++i) {
            const Field& f = setup_.fields[i];
            Operator op = defaultOperator(f.type);
            std::string value;
            for (const Condition& c : query) {
                if (findField(setup_.fields, c.field) != &f) continue;
                const auto offered = operatorsFor(f.type);
                if (std::find(offered.begin(), offered.end(), c.op) != offered.end()) op = c.op;
                value = c.value;
                break;
            }
            auto* combo = window_.at(operatorControl(i)).as<QComboBox>();
            combo->setCurrentIndex(std::max(0, combo->findText(q(operatorCaption(op)))));
            window_.at(valueControl(i)).setText(q(value));
        }
    }

    // The lines as conditions: every line that takes part.
    Query currentQuery() {
        Query query;
        for (std::size_t i = 0; i < setup_.fields.size(); ++i) {
            const Field& f = setup_.fields[i];
            auto* combo = window_.at(operatorControl(i)).as<QComboBox>();
            Condition c{f.name, operatorFromCaption(s(combo->currentText())).value_or(defaultOperator(f.type)),
                        s(window_.at(valueControl(i)).text())};
            if (isActive(f, c)) query.push_back(std::move(c));
        }
        return query;
    }

    // The filter of the lines, or nullopt after telling the user what is wrong
    // (the focus goes to the value refused).
    std::optional<FilterResult> checkedFilter(const Query& query) {
        FilterResult r = buildFilter(setup_.fields, query);
        if (r.ok()) return r;
        tell(r.error);
        if (r.badCondition >= 0) {
            const Field* f = findField(setup_.fields, query[static_cast<std::size_t>(r.badCondition)].field);
            for (std::size_t i = 0; i < setup_.fields.size(); ++i) {
                if (&setup_.fields[i] != f) continue;
                window_.at(kSheet).as<QTabWidget>()->setCurrentIndex(0);
                window_.at(valueControl(i)).focus();
            }
        }
        return std::nullopt;
    }

    bool accept(std::optional<QbeOutcome>& result) {
        Query query = currentQuery();
        auto r = checkedFilter(query);
        if (!r) return false;
        result = QbeOutcome{r->filter, std::move(query)};
        return true;
    }

    // ----- the saved queries tab

    void fillSavedList(const std::string& select) {
        auto* table = window_.at(kSavedList).as<QTableWidget>();
        const auto names = saved_.names();
        table->setRowCount(static_cast<int>(names.size()));
        int current = -1;
        for (std::size_t i = 0; i < names.size(); ++i) {
            table->setItem(static_cast<int>(i), 0, new QTableWidgetItem(q(names[i])));
            if (!select.empty() && compareNoCase(names[i], select) == 0) current = static_cast<int>(i);
        }
        if (current >= 0) {
            table->setCurrentCell(current, 0);
            window_.at(kNameEntry).setText(q(names[static_cast<std::size_t>(current)]));
        } else {
            table->clearSelection();
            table->setCurrentCell(-1, -1);
        }
    }

    std::string selectedName() {
        auto* table = window_.at(kSavedList).as<QTableWidget>();
        const int row = table->currentRow();
        if (row < 0 || table->item(row, 0) == nullptr) return {};
        return s(table->item(row, 0)->text());
    }

    void nameFromList() {
        std::string name = selectedName();
        if (!name.empty()) window_.at(kNameEntry).setText(q(name));
    }

    // The query the buttons of the second tab act on: the one highlighted,
    // else the one named in the entry.
    std::string chosenName() {
        std::string typed(trim(s(window_.at(kNameEntry).text())));
        std::string picked = selectedName();
        if (!picked.empty() && (typed.empty() || compareNoCase(typed, picked) == 0)) return picked;
        return typed;
    }

    bool loadSelected() {
        std::string name = chosenName();
        if (name.empty()) {
            tell("Elija una consulta de la lista");
            return false;
        }
        auto query = saved_.load(name);
        if (!query) {
            tell("No hay una consulta guardada con el nombre \"" + name + "\"");
            return false;
        }
        showQuery(*query);
        saved_.setLastUsed(name);
        window_.at(kSheet).as<QTabWidget>()->setCurrentIndex(0);
        return true;
    }

    void saveQuery() {
        std::string name(trim(s(window_.at(kNameEntry).text())));
        if (name.empty()) {
            tell("Escriba el nombre de la consulta");
            window_.at(kNameEntry).focus();
            return;
        }
        Query query = currentQuery();
        if (query.empty()) {
            tell("No hay condiciones que guardar: escríbalas en \"Setea Consultas\"");
            return;
        }
        if (!checkedFilter(query)) return;
        if (!saved_.save(name, query) || !saved_.setLastUsed(name)) {
            tell("No se pudo guardar la consulta: " + saved_.error());
            return;
        }
        fillSavedList(name);
    }

    void deleteQuery() {
        std::string name = chosenName();
        if (name.empty()) {
            tell("Elija la consulta a borrar");
            return;
        }
        if (!saved_.load(name)) {
            tell("No hay una consulta guardada con el nombre \"" + name + "\"");
            return;
        }
        if (!confirm("¿Borrar la consulta \"" + name + "\"?")) return;
        if (!saved_.remove(name)) {
            tell("No se pudo borrar la consulta: " + saved_.error());
            return;
        }
        window_.at(kNameEntry).setText({});
        fillSavedList({});
    }

    bool onAccepted(int control, std::optional<QbeOutcome>& result) {
        switch (control) {
            case kOkButton: return accept(result);
            case kCancelButton: return true;
            case kClearButton:
                showQuery({});
                if (!setup_.fields.empty()) window_.at(valueControl(0)).focus();
                return false;
            case kSaveButton: saveQuery(); return false;
            case kDeleteButton: deleteQuery(); return false;
            case kRunButton: return loadSelected() && accept(result);
            default: return false;
        }
    }

    // ----- position

    void restorePosition() {
        auto p = saved_.position();
        if (!p) return;
        QRect r(p->x, p->y, std::max(p->width, window_.designedSize().width()),
                std::max(p->height, window_.designedSize().height()));
        // A position from another screen layout would put the window out of reach.
        if (QGuiApplication::screenAt(r.center()) == nullptr) return;
        window_.topWidget()->setGeometry(r);
    }

    void savePosition() {
        const QRect r = window_.topWidget()->geometry();
        // Losing the position is not worth a message.
        saved_.setPosition({r.x(), r.y(), r.width(), r.height()});
    }

    const QbeSetup& setup_;
    SavedQueries saved_;
    ui::Window window_;
    std::unique_ptr<ui::WindowResizer> resizer_;
};

}  // namespace

std::optional<QbeOutcome> runQueryByExampleFull(const QbeSetup& setup) {
    IniStore& ini = setup.ini != nullptr ? *setup.ini : IniStore::instance();
    QbeWindow window(setup, ini);
    return window.run();
}

std::optional<std::string> runQueryByExample(const QbeSetup& setup) {
    auto outcome = runQueryByExampleFull(setup);
    if (!outcome) return std::nullopt;
    return outcome->filter;
}

QueryByExample::QueryByExample(std::string procedure, std::vector<Field> fields, IniStore* ini) {
    setup_.procedure = std::move(procedure);
    setup_.fields = std::move(fields);
    setup_.ini = ini;
}

std::optional<std::string> QueryByExample::ask() {
    setup_.initial = query_;
    auto outcome = runQueryByExampleFull(setup_);
    if (!outcome) return std::nullopt;
    query_ = std::move(outcome->query);
    filter_ = outcome->filter;
    return filter_;
}

void QueryByExample::clear() {
    query_.clear();
    filter_.clear();
}

}  // namespace tv::qbe
