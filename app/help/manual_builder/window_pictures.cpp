#include "app/help/manual_builder/window_pictures.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <vector>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/frame/main_frame.h"
#include "app/globals.h"
#include "app/help/manual_builder/sample_data.h"
#include "data/thread_table_set.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/window.h"

namespace tv::app::manual {

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    return threads::runUntil(done, limit);
}

void settle() {
    for (int i = 0; i < 8; ++i) {
        QApplication::processEvents();
        threads::runUntilIdle();
    }
}

// A window of its own has no frame when drawn offscreen: it gets a plain
// title bar, so the picture looks like the window the user sees.
QImage withTitleBar(const QImage& inside, const QString& caption) {
    const int bar = 26;
    QImage out(inside.width() + 2, inside.height() + bar + 1, QImage::Format_RGB32);
    out.fill(QColor(0x5a, 0x6e, 0x8c));
    QPainter p(&out);
    p.drawImage(1, bar, inside);
    p.setPen(Qt::white);
    QFont f = QApplication::font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(10, 0, out.width() - 20, bar), Qt::AlignVCenter | Qt::AlignLeft, caption);
    return out;
}

class Photographer {
public:
    std::map<QString, QImage> pictures;

    bool startFrame() {
        frameThread_ = threads::start(
            [this] {
                data::initThreadTables();
                data::CreateAllTables();
                if (!SeedSampleData(data::tables())) std::fprintf(stderr, "manual: sample data incomplete\n");
                Main();
                frameDone_ = true;
            },
            1024 * 1024);
        ui::Window* login = waitNewWindow({});
        if (login == nullptr) return false;
        shoot("acceso.png", login);
        click(login, 7);  // "&Aceptar" with the offered user
        if (!waitFor([] { return FrameWindow() != nullptr && FrameWindow()->isOpen(); })) return false;
        settle();
        return true;
    }

    void shootFrameWithMenu(const QString& name, int menu) {
        ui::Window& f = *FrameWindow();
        QMainWindow* main = f.mainWindow();
        QAction* item = f.at(menu).action();
        QMenuBar* bar = main->menuBar();
        QMenu* m = item != nullptr ? item->menu() : nullptr;
        if (m == nullptr) return;
        bar->setActiveAction(item);
        settle();
        QImage shot = main->grab().toImage();
        const QPoint at = bar->mapTo(main, bar->actionGeometry(item).bottomLeft());
        {
            QPainter p(&shot);
            p.drawImage(at, m->grab().toImage());
        }
        shot = withTitleBar(shot, f.caption());
        m->hide();
        bar->setActiveAction(nullptr);
        settle();
        pictures[name] = shot;
    }

    // Picks a menu item of the frame; the window it opens.
    ui::Window* openFromMenu(int control) {
        const auto before = openNow();
        QAction* a = FrameWindow()->at(control).action();
        if (a == nullptr) return nullptr;
        a->trigger();
        return waitNewWindow(before);
    }

    // Presses a button; the window it opens (nullptr when none opens).
    ui::Window* press(ui::Window* w, int control, std::chrono::milliseconds limit = 20s) {
        const auto before = openNow();
        click(w, control);
        return waitNewWindow(before, limit);
    }

    // Clicks a row of the window's first list, as the user does.
    void clickRow(ui::Window* w, int row) {
        if (w == nullptr) return;
        for (ui::Control* c : w->controls())
            if (auto* t = c->as<QTableWidget>(); t != nullptr && row < t->rowCount()) {
                const QRect at = t->visualItemRect(t->item(row, 0));
                QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, at.center());
                settle();
                return;
            }
    }

    // Types into the window's first entry (the find window's "Dato:").
    void typeInFirstEntry(ui::Window* w, const QString& text) {
        if (w == nullptr) return;
        for (ui::Control* c : w->controls())
            if (auto* e = c->as<QLineEdit>(); e != nullptr && !e->isReadOnly()) {
                type(w, c->number(), text);
                return;
            }
    }

    // Presses the button that shows `text` (the find window's "&Encontrar").
    void clickText(ui::Window* w, const QString& text) {
        if (w == nullptr) return;
        for (ui::Control* c : w->controls())
            if (auto* b = c->as<QAbstractButton>(); b != nullptr && b->text() == text) {
                click(w, c->number());
                return;
            }
    }

    void click(ui::Window* w, int control) {
        ui::Control* c = w->control(control);
        if (c == nullptr) return;
        if (auto* b = c->as<QAbstractButton>()) {
            // An option or a check box reacts on its mark, at its left.
            const bool marked = b->isCheckable() && qobject_cast<QPushButton*>(b) == nullptr;
            QTest::mouseClick(b, Qt::LeftButton, {}, marked ? QPoint(8, b->height() / 2) : b->rect().center());
        }
        settle();
    }

    void type(ui::Window* w, int control, const QString& text) {
        ui::Control* c = w->control(control);
        if (auto* e = c != nullptr ? c->as<QLineEdit>() : nullptr) {
            c->focus();
            settle();
            e->selectAll();
            e->insert(text);  // as typed, accented letters too
            QTest::keyClick(e, Qt::Key_Tab);
        }
        settle();
    }

    // Presses a key in a window's control; the window it opens.
    ui::Window* key(ui::Window* w, int control, Qt::Key k) {
        const auto before = openNow();
        ui::Control* c = w->control(control);
        if (c == nullptr) return nullptr;
        QTest::keyClick(c->widget(), k);
        return waitNewWindow(before);
    }

    // A report's preview, once the printer dialog before it was answered
    // with "Cancel" (the report goes on to its preview all the same).
    QWidget* preview() {
        QWidget* found = nullptr;
        waitFor([&] {
            for (QWidget* d : ui::openDialogs())
                if (auto* dialog = qobject_cast<QDialog*>(d)) dialog->reject();
            for (QWidget* t : QApplication::topLevelWidgets())
                if (t->isVisible() && t->windowTitle() == QStringLiteral("Vista previa")) found = t;
            return found != nullptr;
        });
        settle();
        return found;
    }

    void shootWidget(const QString& name, QWidget* w, QSize size) {
        if (w == nullptr) {
            std::fprintf(stderr, "manual: no window for %s\n", qPrintable(name));
            return;
        }
        w->showNormal();
        w->resize(size);
        settle();
        pictures[name] = withTitleBar(w->grab().toImage(), w->windowTitle());
    }

    // Picks an entry of a drop list, then leaves it as Tab does.
    void choose(ui::Window* w, int control, int index) {
        ui::Control* c = w->control(control);
        auto* cb = c != nullptr ? c->as<QComboBox>() : nullptr;
        if (cb == nullptr || index >= cb->count()) return;
        c->focus();
        settle();
        cb->setCurrentIndex(index);
        emit cb->activated(index);
        QTest::keyClick(cb, Qt::Key_Tab);
        settle();
    }

    // Selects a row of a window's list, as a click would.
    void selectRow(ui::Window* w, int control, int row) {
        ui::Control* c = w->control(control);
        if (auto* t = c != nullptr ? c->as<QTableWidget>() : nullptr; t != nullptr && row < t->rowCount()) {
            t->setCurrentCell(row, 0);
            settle();
        }
    }

    void shoot(const QString& name, ui::Window* w) {
        if (w == nullptr) {
            std::fprintf(stderr, "manual: no window for %s\n", qPrintable(name));
            return;
        }
        settle();
        if (w->placement() == ui::Window::Placement::Frame)
            pictures[name] = withTitleBar(w->mainWindow()->grab().toImage(), w->caption());
        else if (w->placement() == ui::Window::Placement::Own)
            pictures[name] = withTitleBar(w->widget()->grab().toImage(), w->caption());
        else
            pictures[name] = w->topWidget()->grab().toImage();
    }

    // Closes every window of the thread, top first, as the user would.
    void closeAll(ui::Window* any) {
        if (any == nullptr) return;
        const threads::ThreadNo t = any->owner();
        for (int tries = 0; tries < 20; ++tries) {
            for (QWidget* d : ui::openDialogs())
                if (auto* dialog = qobject_cast<QDialog*>(d)) dialog->reject();
            ui::Window* top = ui::Window::topOf(t);
            // The help windows run on the frame's thread: the frame stays.
            if (top == nullptr || top == FrameWindow() || !threads::isAlive(t)) return;
            top->post({ui::EventKind::CloseWindow, 0});
            waitFor([&] { return ui::Window::topOf(t) != top; }, 5s);
            settle();
        }
        std::fprintf(stderr, "manual: a window of thread %d stayed open\n", t);
    }

    void closeFrame() {
        if (FrameWindow() != nullptr) FrameWindow()->widget()->close();
        waitFor([this] { return frameDone_; });
    }

private:
    std::set<ui::Window*> openNow() {
        std::set<ui::Window*> s;
        for (ui::Window* w : ui::Window::openWindows())
            if (w->isOpen()) s.insert(w);
        return s;
    }

    ui::Window* waitNewWindow(const std::set<ui::Window*>& before, std::chrono::milliseconds limit = 20s) {
        ui::Window* found = nullptr;
        waitFor(
            [&] {
                for (ui::Window* w : ui::Window::openWindows())
                    if (w->isOpen() && !w->hasEvents() && before.count(w) == 0) found = w;
                return found != nullptr;
            },
            limit);
        settle();
        return found;
    }

    threads::ThreadNo frameThread_ = 0;
    bool frameDone_ = false;
};

}  // namespace

std::map<QString, QImage> TakeWindowPictures() {
    Photographer p;
    if (!p.startFrame()) return {};
    p.shootFrameWithMenu("marco.png", -15);

    // Lists and the form their "&Ver" (2) shows for the first row.
    struct ListAndForm {
        int menu;
        const char* list;
        const char* form;   // nullptr: the list only
    };
    const ListAndForm windows[] = {
        {-4, "proveedores.png", "proveedor.png"},
        {-18, "salidas.png", "salida.png"},
        {-16, "ordenes.png", "orden.png"},
        {-19, "fisico.png", "conteo.png"},
        {-21, "existencias.png", nullptr},
        {-22, "kardex.png", nullptr},
        {-23, "por_surtir.png", nullptr},
        {-24, "precios.png", nullptr},
        {-31, "folios.png", nullptr},
        {-34, "cierre.png", nullptr},
        {-36, "excel.png", nullptr},
        {-39, "manual.png", nullptr},
    };
    for (const ListAndForm& w : windows) {
        ui::Window* list = p.openFromMenu(w.menu);
        p.shoot(w.list, list);
        if (list != nullptr && w.form != nullptr) p.shoot(w.form, p.press(list, 2));
        p.closeAll(list);
    }

    // The articles: the list, a form, the find window and the query by example.
    if (ui::Window* articles = p.openFromMenu(-3)) {
        p.shoot("articulos.png", articles);
        p.shoot("articulo.png", p.press(articles, 2));
        p.closeAll(articles);
        articles = p.openFromMenu(-3);
        ui::Window* find = p.key(articles, 1, Qt::Key_F3);
        p.clickRow(find, 1);  // "Descripción"
        p.typeInFirstEntry(find, QStringLiteral("martillo"));
        p.shoot("buscar.png", find);
        p.clickText(find, QStringLiteral("&Encontrar"));
        p.closeAll(articles);
        articles = p.openFromMenu(-3);
        p.shoot("filtro_qbe.png", p.press(articles, 30));
        p.closeAll(articles);
    }

    // A new receipt as it is being entered: its form and a line's form.
    if (ui::Window* receipts = p.openFromMenu(-17)) {
        p.shoot("entradas.png", receipts);
        if (ui::Window* form = p.press(receipts, 3)) {
            p.type(form, 6, QStringLiteral("17/03/2025"));
            p.choose(form, 10, 0);
            p.type(form, 15, QStringLiteral("FERR01"));
            p.type(form, 22, QStringLiteral("FAC 10233"));
            if (ui::Window* line = p.press(form, 26)) {
                p.type(line, 5, QStringLiteral("1001"));
                p.type(line, 15, QStringLiteral("6"));
                p.type(line, 17, QStringLiteral("189.50"));
                p.shoot("renglon_entrada.png", line);
                p.click(line, 20);
            }
            p.shoot("entrada.png", form);
        }
        p.closeAll(receipts);
    }

    // The order wizard, from the order list: its first page, filled in, and
    // the page where the articles are picked.
    if (ui::Window* orders = p.openFromMenu(-16)) {
        if (ui::Window* wizard = p.press(orders, 36)) {
            p.type(wizard, 14, QStringLiteral("17/03/2025"));
            p.type(wizard, 17, QStringLiteral("15"));
            p.type(wizard, 21, QStringLiteral("María López"));
            p.type(wizard, 23, QStringLiteral("FERR01"));
            p.shoot("asistente.png", wizard);
            p.click(wizard, 71);
            p.click(wizard, 71);  // the articles below their minimum stock
            for (int row : {0, 1}) {
                p.selectRow(wizard, 51, row);
                p.click(wizard, 52);
            }
            p.shoot("asistente_articulos.png", wizard);
        }
        p.closeAll(orders);
    }
    // The count adjustment, from the count list.
    if (ui::Window* counts = p.openFromMenu(-19)) {
        p.shoot("ajuste.png", p.press(counts, 21));
        p.closeAll(counts);
    }
    // A stock report: its filter window and its preview.
    if (ui::Window* filter = p.openFromMenu(-26)) {
        p.shoot("filtro_existencias.png", filter);
        p.click(filter, 50);
        QWidget* preview = p.preview();
        p.shootWidget("vista_previa.png", preview, QSize(900, 640));
        if (preview != nullptr) preview->close();
        p.closeAll(filter);
    }
    // The users, behind an administrator's login.
    if (ui::Window* login = p.openFromMenu(-32)) {
        p.type(login, 4, QStringLiteral("kvz"));
        p.type(login, 6, QStringLiteral("kvz"));
        ui::Window* users = p.press(login, 7);
        p.shoot("usuarios.png", users);
        if (users != nullptr) {
            p.selectRow(users, 1, 0);
            p.shoot("usuario.png", p.press(users, 4));
        }
        p.closeAll(login);
    }
    p.closeFrame();
    return std::move(p.pictures);
}

}  // namespace tv::app::manual
