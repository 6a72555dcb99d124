#include "platform/report/preview_window.h"

#include <map>

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/report/output_target_chooser.h"
#include "platform/report/qt_render.h"

namespace tv::report {

namespace {
constexpr int kGap = 12;  // pixels between pages on screen
}

// Draws the pages in view, side by side and one under another, unpacking
// only those (and keeping them unpacked while they stay in view).
class PageView : public QWidget {
public:
    PageView(const PageList& pages, const PreviewNavigator& nav, QWidget* parent)
        : QWidget(parent), pages_(pages), nav_(nav) {
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, QColor(128, 128, 128));
        setPalette(pal);
    }
    double scale() const { return nav_.zoom() / 100.0 * logicalDpiX() / 1000.0; }
    void relayout() {
        cellW_ = static_cast<int>(pages_.largestWidth() * scale());
        cellH_ = static_cast<int>(pages_.largestHeight() * scale());
        setFixedSize(nav_.across() * (cellW_ + kGap) + kGap, nav_.down() * (cellH_ + kGap) + kGap);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        std::vector<int> visible = nav_.visiblePages();
        std::map<int, Page> shown;
        for (std::size_t i = 0; i < visible.size(); ++i) {
            auto kept = unpacked_.find(visible[i]);
            Page& page = shown[visible[i]];
            if (kept != unpacked_.end()) page = std::move(kept->second);
            else pages_.read(static_cast<std::size_t>(visible[i] - 1), page);
            int col = static_cast<int>(i) % nav_.across(), row = static_cast<int>(i) / nav_.across();
            QRect paper(kGap + col * (cellW_ + kGap), kGap + row * (cellH_ + kGap),
                        static_cast<int>(page.width * scale()), static_cast<int>(page.height * scale()));
            p.fillRect(paper, Qt::white);
            p.save();
            p.translate(paper.topLeft());
            p.scale(scale(), scale());
            paintPage(p, page);
            p.restore();
        }
        unpacked_ = std::move(shown);
    }

private:
    const PageList& pages_;
    const PreviewNavigator& nav_;
    std::map<int, Page> unpacked_;
    int cellW_ = 0, cellH_ = 0;
};

// ---- small windows -----------------------------------------------------------

AskPagesWindow::AskPagesWindow(int pageCount, QWidget* parent) : QWidget(parent, Qt::Window), pages_(pageCount) {
    setWindowTitle(QStringLiteral("Paginas a imprimir"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    edit_ = new QLineEdit(this);
    edit_->setMaxLength(static_cast<int>(kPageListMaxLength));
    error_ = new QLabel(this);
    error_->setStyleSheet(QStringLiteral("color:#a00000"));
    auto* row = new QHBoxLayout;
    auto* resetButton = new QPushButton(QStringLiteral("&Restablecer"), this);
    ok_ = new QPushButton(QStringLiteral("&Aceptar"), this);
    auto* cancel = new QPushButton(QStringLiteral("&Cancelar"), this);
    row->addWidget(resetButton);
    row->addWidget(ok_);
    row->addWidget(cancel);
    layout->addWidget(edit_);
    layout->addWidget(error_);
    layout->addLayout(row);
    QObject::connect(resetButton, &QPushButton::clicked, this, [this] { reset(); });
    QObject::connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { close(); });
    reset();
}

void AskPagesWindow::reset() {
    edit_->setText(pages_ > 1 ? QStringLiteral("1-%1").arg(pages_) : QStringLiteral("1"));
    error_->clear();
}

bool AskPagesWindow::accept() {
    std::string error;
    auto list = parsePageList(edit_->text().toStdString(), pages_, &error);
    if (!list) {
        error_->setText(QString::fromStdString(error));
        return false;
    }
    if (onAccepted) onAccepted(*list);
    close();
    return true;
}

namespace {

// "Ir a la pagina": one page number.
QWidget* makeGoToWindow(PreviewWindowController* preview) {
    auto* w = new QWidget(preview, Qt::Window);
    w->setWindowTitle(QStringLiteral("Ir a la pagina"));
    w->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QHBoxLayout(w);
    auto* spin = new QSpinBox(w);
    spin->setRange(1, std::max(1, preview->navigator().pageCount()));
    spin->setValue(std::max(1, preview->navigator().current()));
    auto* ok = new QPushButton(QStringLiteral("&Aceptar"), w);
    auto* cancel = new QPushButton(QStringLiteral("&Cancelar"), w);
    layout->addWidget(spin);
    layout->addWidget(ok);
    layout->addWidget(cancel);
    QObject::connect(ok, &QPushButton::clicked, w, [=] {
        preview->goToPage(spin->value());
        w->close();
    });
    QObject::connect(cancel, &QPushButton::clicked, w, [w] { w->close(); });
    return w;
}

// "Cambiar la vista del reporte": pages across and down.
QWidget* makeViewWindow(PreviewWindowController* preview) {
    auto* w = new QWidget(preview, Qt::Window);
    w->setWindowTitle(QStringLiteral("Cambiar la vista del reporte"));
    w->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QGridLayout(w);
    auto* across = new QSpinBox(w);
    auto* down = new QSpinBox(w);
    across->setRange(1, 8);
    down->setRange(1, 8);
    across->setValue(preview->navigator().across());
    down->setValue(preview->navigator().down());
    layout->addWidget(new QLabel(QStringLiteral("Páginas a lo ancho:"), w), 0, 0);
    layout->addWidget(across, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Páginas a lo alto:"), w), 1, 0);
    layout->addWidget(down, 1, 1);
    auto* ok = new QPushButton(QStringLiteral("&Aceptar"), w);
    auto* cancel = new QPushButton(QStringLiteral("&Cancelar"), w);
    layout->addWidget(ok, 2, 0);
    layout->addWidget(cancel, 2, 1);
    QObject::connect(ok, &QPushButton::clicked, w, [=] {
        preview->changeView(across->value(), down->value());
        w->close();
    });
    QObject::connect(cancel, &QPushButton::clicked, w, [w] { w->close(); });
    return w;
}

}  // namespace

// ---- the preview ---------------------------------------------------------------

namespace {

std::shared_ptr<const PageList> packed(const std::vector<Page>& pages) {
    auto store = std::make_shared<PageStore>();
    for (const Page& p : pages) store->add(p);
    return store;
}

}  // namespace

PreviewWindowController::PreviewWindowController(const std::vector<Page>& pages, QWidget* parent)
    : PreviewWindowController(packed(pages), parent) {}

PreviewWindowController::PreviewWindowController(std::shared_ptr<const PageList> pages, QWidget* parent)
    : QWidget(parent, Qt::Window), pages_(std::move(pages)), nav_(static_cast<int>(pages_->size())) {
    setWindowTitle(QStringLiteral("Vista previa"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto addButton = [&](const char* text, std::function<void()> f) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        QObject::connect(b, &QPushButton::clicked, this, [f = std::move(f)] { f(); });
        bar->addWidget(b);
        buttons_.push_back(b);
    };
    addButton("&Anterior", [this] { previousPage(); });
    addButton("&Siguiente", [this] { nextPage(); });
    addButton("&Ir a la pagina", [this] { showSubWindow(makeGoToWindow(this)); });
    addButton("&Cambiar presentacion", [this] { showSubWindow(makeViewWindow(this)); });
    zoom_ = new QComboBox(this);
    for (int z : PreviewNavigator::zoomSteps()) zoom_->addItem(QStringLiteral("%1%").arg(z), z);
    QObject::connect(zoom_, &QComboBox::activated, this, [this](int i) { setZoom(zoom_->itemData(i).toInt()); });
    bar->addWidget(zoom_);
    addButton("Im&primir", [this] {
        QPointer<PreviewWindowController> self(this);
        runCommand([self] {
            if (self) self->printAll();
        });
    });
    addButton("Im&primir paginas...", [this] { askPages(); });
    addButton("&Salvar como", [this] { chooseOutput(); });
    addButton("&Salir", [this] { leave(); });
    pageLabel_ = new QLabel(this);
    bar->addWidget(pageLabel_);
    bar->addStretch();
    layout->addLayout(bar);
    view_ = new PageView(*pages_, nav_, this);
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(view_);
    scroll_->setAlignment(Qt::AlignHCenter);
    layout->addWidget(scroll_, 1);
    refresh();
}

PreviewWindowController::~PreviewWindowController() = default;

void PreviewWindowController::setOptions(const Options& o) {
    options_ = o;
    nav_.setZoom(o.zoom);
    zoom_->setEnabled(o.allowZoom);
    refresh();
}

void PreviewWindowController::open() {
    std::optional<WindowPlacement> place;
    if (options_.store) place = loadPlacement(*options_.store, kPreviewSection);
    if (place) {
        move(place->x, place->y);
        resize(place->width, place->height);
    } else {
        resize(900, 700);
    }
    if (place && place->minimized) showMinimized();
    else if (options_.maximize || (place && place->maximized)) showMaximized();
    else show();
}

QPushButton* PreviewWindowController::button(const QString& text) const {
    for (QPushButton* b : buttons_)
        if (b->text() == text) return b;
    return nullptr;
}

void PreviewWindowController::refresh() {
    const int index = zoom_->findData(nav_.zoom());
    if (index >= 0) zoom_->setCurrentIndex(index);
    else {
        zoom_->addItem(QStringLiteral("%1%").arg(nav_.zoom()), nav_.zoom());
        zoom_->setCurrentIndex(zoom_->count() - 1);
    }
    if (auto* b = button(QStringLiteral("&Siguiente"))) b->setEnabled(nav_.canNext());
    if (auto* b = button(QStringLiteral("&Anterior"))) b->setEnabled(nav_.canPrevious());
    pageLabel_->setText(QStringLiteral("Página %1 de %2").arg(nav_.current()).arg(nav_.pageCount()));
    view_->relayout();
}

void PreviewWindowController::nextPage() {
    if (nav_.next()) refresh();
}

void PreviewWindowController::previousPage() {
    if (nav_.previous()) refresh();
}

bool PreviewWindowController::goToPage(int page) {
    if (!nav_.goTo(page)) return false;
    refresh();
    return true;
}

bool PreviewWindowController::changeView(int across, int down) {
    if (!nav_.setView(across, down)) return false;
    refresh();
    return true;
}

bool PreviewWindowController::setZoom(int percent) {
    if (!options_.allowZoom || !nav_.setZoom(percent)) return false;
    refresh();
    return true;
}

bool PreviewWindowController::printPages(const std::vector<int>& pages) {
    bool ok;
    if (print_) {
        ok = print_(pages);
    } else {
        // Without a chosen printer: the system's current one.
        if (!printer_) printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
        std::string error;
        ok = tv::report::printPages(*printer_, *pages_, pages, &error);
        if (!ok) tell(QString::fromStdString(error));
    }
    if (ok) outcome_ = Outcome::Printed;
    return ok;
}

bool PreviewWindowController::printAll() {
    std::vector<int> all;
    for (int i = 1; i <= static_cast<int>(pages_->size()); ++i) all.push_back(i);
    if (!printPages(all)) return false;
    close();
    return true;
}

AskPagesWindow* PreviewWindowController::askPages() {
    auto* w = new AskPagesWindow(static_cast<int>(pages_->size()), this);
    if (options_.store) {
        if (auto place = loadPlacement(*options_.store, kAskPagesSection)) {
            w->move(place->x, place->y);
            w->resize(place->width, place->height);
        }
    }
    w->onAccepted = [this, w](const std::vector<int>& pages) {
        if (options_.store) {
            WindowPlacement p{w->x(), w->y(), w->width(), w->height(), false, false};
            savePlacement(*options_.store, kAskPagesSection, p);
        }
        QPointer<PreviewWindowController> self(this);
        runCommand([self, pages] {
            if (self && self->printPages(pages)) self->close();
        });
    };
    showSubWindow(w);
    return w;
}

void PreviewWindowController::chooseOutput() {
    if (!chooser_ || chooser_->count() == 0) return;
    auto* w = new QWidget(this, Qt::Window);
    w->setWindowTitle(QStringLiteral("Salvar como"));
    w->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(w);
    auto* list = new QListWidget(w);
    for (const std::string& n : chooser_->names()) list->addItem(QString::fromStdString(n));
    list->setCurrentRow(0);
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("&Aceptar"), w);
    auto* cancel = new QPushButton(QStringLiteral("&Cancelar"), w);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addWidget(list);
    layout->addLayout(row);
    QObject::connect(ok, &QPushButton::clicked, w, [this, w, list] {
        int index = list->currentRow();
        w->close();
        QPointer<PreviewWindowController> self(this);
        if (index >= 0)
            runCommand([self, index] {
                if (self) self->saveWith(static_cast<std::size_t>(index));
            });
    });
    QObject::connect(cancel, &QPushButton::clicked, w, [w] { w->close(); });
    showSubWindow(w);
}

bool PreviewWindowController::saveWith(std::size_t writer) {
    if (!chooser_) return false;
    if (!chooser_->saveAs(writer, *pages_)) {
        // Told here unless the chooser tells the user itself.
        if (!chooser_->lastError().empty() && !chooser_->showsErrors())
            tell(QString::fromStdString(chooser_->lastError()));
        return false;
    }
    outcome_ = Outcome::Saved;
    close();
    return true;
}

void PreviewWindowController::leave() { close(); }

void PreviewWindowController::runCommand(std::function<void()> f) {
    if (runner_) runner_(std::move(f));
    else f();
}

void PreviewWindowController::tell(const QString& text) {
    lastMessage_ = text;
    // Shown without waiting: the preview never runs an event loop of its own.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

WindowPlacement PreviewWindowController::placement() const {
    WindowPlacement p;
    const QRect g = (isMaximized() || isMinimized()) ? normalGeometry() : geometry();
    p.x = g.x();
    p.y = g.y();
    p.width = g.width();
    p.height = g.height();
    p.maximized = isMaximized();
    p.minimized = isMinimized();
    return p;
}

void PreviewWindowController::showSubWindow(QWidget* w) {
    w->show();
    w->raise();
    w->activateWindow();
}

void PreviewWindowController::closeEvent(QCloseEvent* e) {
    e->accept();
    if (closedOnce_) return;
    closedOnce_ = true;
    if (options_.store) savePlacement(*options_.store, kPreviewSection, placement());
    if (closed_) closed_(outcome_);
}

}  // namespace tv::report
