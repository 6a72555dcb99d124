#include "platform/ui/window.h"

#include "platform/images/picture_loader.h"
#include "platform/ui/cell_editor.h"
#include "platform/ui/layout_audit.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace tv::ui {

namespace {

const char* const kWindowProp = "tvWindow";
const char* const kControlProp = "tvControl";

// Windows alive, so a stale pointer kept in a widget property is never used.
std::set<Window*>& liveWindows() {
    static std::set<Window*> s;
    return s;
}

// Per logical thread, its open windows and dialogs in the order they came;
// nullptr stands for a dialog. Only the last one takes input.
std::map<threads::ThreadNo, std::vector<Window*>>& stacks() {
    static std::map<threads::ThreadNo, std::vector<Window*>> s;
    return s;
}

QPointer<QMdiArea>& frameAreaSlot() {
    static QPointer<QMdiArea> area;
    return area;
}

// The frame's own placement puts a child beside the others even where that
// runs past the frame's edge; a window whose buttons lie outside the frame
// cannot be used, so it is moved back in (top-left first when too big).
void keepInside(const QMdiArea& area, QMdiSubWindow& sub) {
    const QRect room = area.viewport()->rect();
    QRect g = sub.geometry();
    if (g.right() > room.right()) g.moveRight(room.right());
    if (g.bottom() > room.bottom()) g.moveBottom(room.bottom());
    if (g.left() < room.left()) g.moveLeft(room.left());
    if (g.top() < room.top()) g.moveTop(room.top());
    if (g.topLeft() != sub.pos()) sub.move(g.topLeft());
}

// A child opened over a maximised one is maximised by the frame at once;
// the place it takes when the user restores it is kept inside too.
void keepPlaceInside(const QMdiArea& area, QMdiSubWindow& sub) {
    if (!sub.isMaximized()) {
        keepInside(area, sub);
        return;
    }
    // Restoring and maximising again moves the focus: it is put back.
    QPointer<QWidget> focus = QApplication::focusWidget();
    sub.showNormal();
    keepInside(area, sub);
    sub.showMaximized();
    if (focus != nullptr && focus != QApplication::focusWidget()) focus->setFocus();
}

Window* windowOfWidget(const QObject* o) {
    for (const QObject* p = o; p != nullptr; p = p->parent()) {
        QVariant v = p->property(kWindowProp);
        if (v.isValid()) {
            auto* w = reinterpret_cast<Window*>(v.value<quintptr>());
            return liveWindows().count(w) != 0 ? w : nullptr;
        }
        if (p->isWidgetType() && static_cast<const QWidget*>(p)->isWindow() &&
            qobject_cast<const QMdiSubWindow*>(p) == nullptr && p->property(kWindowProp).isNull()) {
            // A top-level widget that is not ours (a dialog): stop here.
            return nullptr;
        }
    }
    return nullptr;
}

bool isInputEvent(QEvent::Type t) {
    switch (t) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
            return true;
        default:
            return false;
    }
}

// Sees every event of the application: keeps input from windows whose thread
// is busy elsewhere, raises alert keys and reports list input.
class InputGate : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        const QEvent::Type t = e->type();
        if (!o->isWidgetType() || (!isInputEvent(t) && t != QEvent::Close)) return false;
        Window* w = windowOfWidget(o);
        if (w == nullptr) return false;
        return w->filterInput(o, e);
    }
};

void installGate() {
    static QPointer<QCoreApplication> installedOn;
    if (QCoreApplication::instance() == nullptr || installedOn == QCoreApplication::instance()) return;
    installedOn = QCoreApplication::instance();
    auto* gate = new InputGate();
    gate->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(gate);
    QObject::connect(qApp, &QApplication::focusChanged, gate, [](QWidget*, QWidget* now) {
        if (now == nullptr) return;
        if (Window* w = windowOfWidget(now)) w->onFocusIn(now);
    });
}

// A window's (or a tab's) own background: fills its colour and paints the
// window's drawings that fall on it, below every child control.
class Surface : public QWidget {
public:
    Surface(Window* w, QWidget* parent, bool root) : QWidget(parent), window_(w), root_(root) {}
    int32_t fill = kNoColor;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (fill != kNoColor) p.fillRect(rect(), fromBgr(fill));
        if (liveWindows().count(window_) != 0) window_->paintDrawings(this, p);
    }
    void closeEvent(QCloseEvent* e) override {
        if (!root_ || liveWindows().count(window_) == 0 || window_->closingForGood()) {
            e->accept();
            return;
        }
        e->ignore();
        window_->onCloseRequested();
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (root_ && liveWindows().count(window_) != 0) window_->onSurfaceResized();
    }
    bool event(QEvent* e) override {
        if (root_ && e->type() == QEvent::WindowActivate && liveWindows().count(window_) != 0 &&
            isWindow())
            window_->onActivated();
        return QWidget::event(e);
    }

private:
    Window* window_;
    bool root_;
};

bool isMovingKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_PageUp: case Qt::Key_PageDown:
        case Qt::Key_Home: case Qt::Key_End: case Qt::Key_Left: case Qt::Key_Right:
        case Qt::Key_Tab: case Qt::Key_Backtab:
        case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Alt: case Qt::Key_Meta:
            return true;
        default:
            return false;
    }
}

// The keys that leave a cell being edited in place.
bool leavesCell(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Return: case Qt::Key_Enter:
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Escape:
            return true;
        default:
            return false;
    }
}

}  // namespace

const char* kindName(ControlKind k) {
    switch (k) {
        case ControlKind::Entry: return "entry";
        case ControlKind::Prompt: return "prompt";
        case ControlKind::FixedText: return "fixed text";
        case ControlKind::DisplayString: return "display string";
        case ControlKind::Sheet: return "sheet";
        case ControlKind::Tab: return "tab";
        case ControlKind::List: return "list";
        case ControlKind::Combo: return "combo";
        case ControlKind::SpinBox: return "spin box";
        case ControlKind::MultiLineText: return "multi-line text";
        case ControlKind::CheckBox: return "check box";
        case ControlKind::RadioButton: return "radio button";
        case ControlKind::OptionGroup: return "option group";
        case ControlKind::DropList: return "drop list";
        case ControlKind::DropCombo: return "drop combo";
        case ControlKind::Button: return "button";
        case ControlKind::ProgressBar: return "progress bar";
        case ControlKind::Picture: return "picture";
        case ControlKind::GroupBox: return "group box";
        case ControlKind::Region: return "region";
        case ControlKind::MenuBar: return "menu bar";
        case ControlKind::Menu: return "menu";
        case ControlKind::MenuItem: return "menu item";
        case ControlKind::Toolbar: return "toolbar";
        case ControlKind::ToolbarButton: return "toolbar button";
    }
    return "?";
}

// ---------------------------------------------------------------- Control

QString Control::text() const {
    if (action_ != nullptr) return action_->text();
    QWidget* w = widget_;
    if (w == nullptr) return {};
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* t = qobject_cast<QPlainTextEdit*>(w)) return t->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* s = qobject_cast<QDoubleSpinBox*>(w)) return s->cleanText();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (kind_ == ControlKind::Tab) {
        if (Control* sheet = window_->control(parent_)) {
            auto* tw = sheet->as<QTabWidget>();
            int i = tw != nullptr ? tw->indexOf(w) : -1;
            if (i >= 0) return tw->tabText(i);
        }
    }
    return w->windowTitle();
}

void Control::setText(const QString& t) {
    if (action_ != nullptr) {
        action_->setText(t);
        return;
    }
    QWidget* w = widget_;
    if (w == nullptr) return;
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(t);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        p->setPlainText(t);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (c->isEditable()) {
            c->setEditText(t);
        } else {
            int i = c->findText(t);
            c->setCurrentIndex(i);
        }
    } else if (auto* s = qobject_cast<QDoubleSpinBox*>(w)) {
        s->setValue(t.toDouble());
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(t);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(t);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(t);
    } else if (kind_ == ControlKind::Tab) {
        if (Control* sheet = window_->control(parent_)) {
            if (auto* tw = sheet->as<QTabWidget>()) tw->setTabText(tw->indexOf(w), t);
        }
    } else {
        w->setWindowTitle(t);
    }
}

void Control::applyPalette() {
    QWidget* w = widget_;
    if (w == nullptr) return;
    if (kind_ == ControlKind::Tab) {
        static_cast<Surface*>(w)->fill = background_;
        w->update();
        return;
    }
    QPalette pal = w->palette();
    const QPalette def = QApplication::palette(w);
    const bool baseRole = qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                          qobject_cast<QAbstractItemView*>(w) || qobject_cast<QComboBox*>(w) ||
                          qobject_cast<QAbstractSpinBox*>(w);
    const QPalette::ColorRole role = baseRole ? QPalette::Base : QPalette::Window;
    pal.setColor(role, background_ == kNoColor ? def.color(role) : fromBgr(background_));
    pal.setColor(QPalette::Text, foreground_ == kNoColor ? def.color(QPalette::Text) : fromBgr(foreground_));
    pal.setColor(QPalette::WindowText,
                 foreground_ == kNoColor ? def.color(QPalette::WindowText) : fromBgr(foreground_));
    pal.setColor(QPalette::ButtonText,
                 foreground_ == kNoColor ? def.color(QPalette::ButtonText) : fromBgr(foreground_));
    w->setPalette(pal);
    if (!baseRole) w->setAutoFillBackground(!transparent_ && background_ != kNoColor);
    if (auto* c = qobject_cast<QComboBox*>(w); c != nullptr && c->lineEdit() != nullptr)
        c->lineEdit()->setPalette(pal);
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
        if (auto* le = s->findChild<QLineEdit*>()) le->setPalette(pal);
    }
}

void Control::setBackground(int32_t bgr) {
    background_ = bgr;
    if (bgr != kNoColor) transparent_ = false;
    applyPalette();
}

void Control::setForeground(int32_t bgr) {
    foreground_ = bgr;
    applyPalette();
}

void Control::setTransparent() {
    transparent_ = true;
    background_ = kNoColor;
    applyPalette();
}

bool Control::hidden() const {
    if (action_ != nullptr) return !action_->isVisible();
    return widget_ == nullptr || widget_->isHidden() ||
           (window_->isOpen() && !widget_->isVisibleTo(window_->widget()));
}

void Control::setHidden(bool h) {
    if (action_ != nullptr) action_->setVisible(!h);
    else if (widget_ != nullptr) widget_->setHidden(h);
}

bool Control::disabled() const {
    if (action_ != nullptr) return !action_->isEnabled();
    return widget_ == nullptr || !widget_->isEnabled();
}

void Control::setDisabled(bool d) {
    if (action_ != nullptr) action_->setEnabled(!d);
    else if (widget_ != nullptr) widget_->setEnabled(!d);
}

void Control::setReadOnly(bool r) {
    readOnly_ = r;
    QWidget* w = widget_;
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setReadOnly(r);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) p->setReadOnly(r);
    else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) s->setReadOnly(r);
    else if (auto* c = qobject_cast<QComboBox*>(w); c != nullptr && c->lineEdit() != nullptr)
        c->lineEdit()->setReadOnly(r);
}

bool Control::isBlank() const { return text().trimmed().isEmpty(); }

QString Control::tip() const {
    if (action_ != nullptr) return action_->toolTip();
    return widget_ != nullptr ? widget_->toolTip() : QString();
}

void Control::setTip(const QString& t) {
    if (action_ != nullptr) action_->setToolTip(t);
    else if (widget_ != nullptr) widget_->setToolTip(t);
}

QString Control::statusText() const {
    if (action_ != nullptr) return action_->statusTip();
    return widget_ != nullptr ? widget_->statusTip() : QString();
}

void Control::setStatusText(const QString& t) {
    if (action_ != nullptr) action_->setStatusTip(t);
    else if (widget_ != nullptr) widget_->setStatusTip(t);
}

void Control::setIcon(const QIcon& icon) {
    if (action_ != nullptr) action_->setIcon(icon);
    else if (auto* b = qobject_cast<QAbstractButton*>(widget_.data())) b->setIcon(icon);
    else if (auto* l = qobject_cast<QLabel*>(widget_.data()))
        l->setPixmap(icon.pixmap(l->size().isEmpty() ? QSize(32, 32) : l->size()));
}

void Control::setPicture(const QPixmap& p) {
    if (auto* l = qobject_cast<QLabel*>(widget_.data())) {
        l->setScaledContents(true);
        l->setPixmap(p);
    } else {
        setIcon(QIcon(p));
    }
}

bool Control::setPictureFile(const QString& path) {
    const PictureResult r = loadPicture(path.toStdString());
    setPicture(r.ok() ? QPixmap::fromImage(r.image) : QPixmap());
    return r.ok();
}

void Control::setFont(const QFont& f) {
    if (action_ != nullptr) action_->setFont(f);
    else if (widget_ != nullptr) widget_->setFont(f);
}

QFont Control::font() const {
    if (action_ != nullptr) return action_->font();
    return widget_ != nullptr ? widget_->font() : QFont();
}

QRect Control::position() const {
    QWidget* w = widget_;
    if (w == nullptr) return {};
    QWidget* root = window_->widget();
    if (w->parentWidget() == nullptr || root == nullptr) return w->geometry();
    const QPoint tl = w->parentWidget()->mapTo(root, w->geometry().topLeft());
    return QRect(tl, w->size());
}

void Control::setPosition(const QRect& r) {
    declared_ = r;
    if (widget_ != nullptr && kind_ != ControlKind::Tab) widget_->setGeometry(r);
}

void Control::focus() {
    if (widget_ == nullptr) return;
    if (widget_->focusPolicy() == Qt::NoFocus) {
        // A prompt (or any control that takes no focus) hands it on to the
        // next control that does, as its "&" key would: a window whose first
        // field is its first prompt opens ready for typing.
        const auto& order = window_->controls();
        auto it = std::find(order.begin(), order.end(), this);
        for (it = it == order.end() ? it : std::next(it); it != order.end(); ++it) {
            QWidget* w = (*it)->widget_;
            if (w != nullptr && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !(*it)->hidden()) {
                (*it)->focus();
                return;
            }
        }
        return;
    }
    widget_->setFocus(Qt::OtherFocusReason);
    // As on a Tab into it: what is typed replaces the shown value, never
    // joins it ("0" and a typed 100 must not become 0100).
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) e->selectAll();
}

bool Control::hasFocus() const {
    QWidget* f = QApplication::focusWidget();
    return f != nullptr && window_->controlOf(f) == this;
}

// ---------------------------------------------------------------- Window

Window::Window(const QString& caption, QSize designedSize, Placement placement)
    : owner_(threads::current()), placement_(placement), designed_(designedSize) {
    installGate();
    liveWindows().insert(this);
    auto* s = new Surface(this, nullptr, true);
    surface_ = s;
    surfaces_.push_back(surface_);
    s->setProperty(kWindowProp, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
    s->setWindowTitle(caption);
    s->resize(designedSize);
    s->setAttribute(Qt::WA_DeleteOnClose, false);
    if (placement == Placement::Frame) {
        // The main window sits inside the surface, so closing, activation and
        // input all pass through the surface as for any other window.
        auto* layout = new QVBoxLayout(s);
        layout->setContentsMargins(0, 0, 0, 0);
        main_ = new QMainWindow(s);
        main_->setWindowFlags(Qt::Widget);
        mdi_ = new QMdiArea(main_);
        // A child that closes hands the front to the one used before it
        // (a form over its list), not to the oldest child.
        mdi_->setActivationOrder(QMdiArea::ActivationHistoryOrder);
        main_->setCentralWidget(mdi_);
        main_->statusBar();
        layout->addWidget(main_);
        setFrameArea(mdi_);
    }
}

Window::~Window() {
    close();
    if (mdi_ != nullptr && frameArea() == mdi_) setFrameArea(nullptr);
    liveWindows().erase(this);
    controls_.clear();
    if (sub_ != nullptr) {
        sub_->setWidget(nullptr);
        delete sub_.data();
    }
    delete surface_.data();
}

QWidget* Window::widget() const { return surface_; }
QWidget* Window::topWidget() const { return sub_ != nullptr ? static_cast<QWidget*>(sub_.data()) : surface_.data(); }

QWidget* Window::containerFor(int parent) {
    if (parent == 0) return surface_;
    Control& c = at(parent);
    if (c.widget() == nullptr) throw std::invalid_argument("control has no container: " + c.name());
    return c.widget();
}

Control& Window::add(const ControlDecl& decl) {
    if (decl.number == 0 || controls_.count(decl.number) != 0)
        throw std::invalid_argument("control number missing or repeated: " + decl.name);
    auto c = std::unique_ptr<Control>(new Control());
    c->window_ = this;
    c->number_ = decl.number;
    c->name_ = decl.name;
    c->kind_ = decl.kind;
    c->parent_ = decl.parent;
    c->declared_ = decl.rect;
    const int num = decl.number;
    QWidget* parent = nullptr;
    if (decl.kind != ControlKind::Tab && decl.kind != ControlKind::MenuItem &&
        decl.kind != ControlKind::ToolbarButton && decl.kind != ControlKind::Menu)
        parent = containerFor(decl.parent);
    QWidget* w = nullptr;
    auto accepted = [this, num] { post({EventKind::Accepted, num}); };
    auto newSelection = [this, num] { post({EventKind::NewSelection, num}); };

    switch (decl.kind) {
        case ControlKind::Entry: {
            auto* e = new QLineEdit(decl.text, parent);
            QObject::connect(e, &QLineEdit::editingFinished, e, accepted);
            w = e;
            break;
        }
        case ControlKind::Prompt:
        case ControlKind::FixedText:
        case ControlKind::DisplayString: {
            auto* l = new QLabel(decl.text, parent);
            w = l;
            c->transparent_ = true;
            break;
        }
        case ControlKind::Sheet: {
            auto* t = new QTabWidget(parent);
            QObject::connect(t, &QTabWidget::currentChanged, t, newSelection);
            w = t;
            break;
        }
        case ControlKind::Tab: {
            Control& sheet = at(decl.parent);
            auto* tw = sheet.as<QTabWidget>();
            if (tw == nullptr) throw std::invalid_argument("a tab needs a sheet: " + decl.name);
            auto* page = new Surface(this, nullptr, false);
            tw->addTab(page, decl.text);
            surfaces_.push_back(page);
            w = page;
            break;
        }
        case ControlKind::List: {
            auto* t = new QTableWidget(parent);
            t->setEditTriggers(QAbstractItemView::NoEditTriggers);
            t->setSelectionBehavior(QAbstractItemView::SelectRows);
            t->setSelectionMode(QAbstractItemView::SingleSelection);
            t->verticalHeader()->hide();
            QObject::connect(t, &QTableWidget::currentCellChanged, t,
                             [this, num](int row, int, int prev, int) {
                                 if (row != prev) post({EventKind::NewSelection, num});
                             });
            w = t;
            break;
        }
        case ControlKind::Combo:
        case ControlKind::DropCombo:
        case ControlKind::DropList: {
            auto* cb = new QComboBox(parent);
            cb->setEditable(decl.kind != ControlKind::DropList);
            if (cb->isEditable()) cb->setInsertPolicy(QComboBox::NoInsert);
            if (!decl.text.isEmpty()) cb->addItems(decl.text.split('|'));
            c->dropRows_ = decl.kind == ControlKind::Combo ? 0 : 10;
            QObject::connect(cb, &QComboBox::activated, cb, accepted);
            QObject::connect(cb, &QComboBox::currentIndexChanged, cb, newSelection);
            w = cb;
            break;
        }
        case ControlKind::SpinBox: {
            auto* sb = new QDoubleSpinBox(parent);
            sb->setDecimals(0);
            sb->setRange(-1e12, 1e12);
            QObject::connect(sb, &QDoubleSpinBox::editingFinished, sb, accepted);
            QObject::connect(sb, &QDoubleSpinBox::valueChanged, sb, newSelection);
            w = sb;
            break;
        }
        case ControlKind::MultiLineText: {
            auto* t = new QPlainTextEdit(decl.text, parent);
            t->setTabChangesFocus(true);
            w = t;
            break;
        }
        case ControlKind::CheckBox: {
            auto* b = new QCheckBox(decl.text, parent);
            QObject::connect(b, &QCheckBox::clicked, b, accepted);
            w = b;
            break;
        }
        case ControlKind::RadioButton: {
            auto* b = new QRadioButton(decl.text, parent);
            QObject::connect(b, &QRadioButton::clicked, b, accepted);
            w = b;
            break;
        }
        case ControlKind::OptionGroup:
        case ControlKind::GroupBox: {
            auto* g = new QGroupBox(decl.text, parent);
            w = g;
            break;
        }
        case ControlKind::Button: {
            auto* b = new QPushButton(decl.text, parent);
            b->setAutoDefault(false);
            QObject::connect(b, &QPushButton::clicked, b, accepted);
            w = b;
            break;
        }
        case ControlKind::ProgressBar: {
            auto* p = new QProgressBar(parent);
            p->setRange(0, 100);
            p->setValue(0);
            w = p;
            break;
        }
        case ControlKind::Picture: {
            auto* l = new QLabel(parent);
            l->setScaledContents(true);
            w = l;
            break;
        }
        case ControlKind::Region: {
            w = new QWidget(parent);
            break;
        }
        case ControlKind::MenuBar:
        case ControlKind::Toolbar: {
            // The frame places these itself; here they are plain holders.
            if (decl.kind == ControlKind::Toolbar) {
                auto* tb = new QToolBar(decl.text, parent);
                if (main_ != nullptr) main_->addToolBar(tb);
                w = tb;
            } else if (main_ != nullptr) {
                w = main_->menuBar();
            } else {
                w = new QWidget(parent);
            }
            break;
        }
        case ControlKind::Menu: {
            QMenu* m = nullptr;
            if (decl.parent != 0) {
                auto* up = qobject_cast<QMenu*>(at(decl.parent).widget());
                if (up == nullptr) throw std::invalid_argument("a submenu needs a menu: " + decl.name);
                m = up->addMenu(decl.text);
            } else if (main_ != nullptr) {
                m = main_->menuBar()->addMenu(decl.text);
            } else {
                m = new QMenu(decl.text, surface_);
            }
            c->action_ = m->menuAction();
            w = m;
            break;
        }
        case ControlKind::MenuItem:
        case ControlKind::ToolbarButton: {
            QObject* owner = surface_;
            if (decl.parent != 0) {
                Control& p = at(decl.parent);
                if (p.widget() != nullptr) owner = p.widget();
            }
            auto* a = new QAction(decl.text, owner);
            if (auto* m = qobject_cast<QMenu*>(owner)) m->addAction(a);
            else if (auto* tb = qobject_cast<QToolBar*>(owner)) tb->addAction(a);
            QObject::connect(a, &QAction::triggered, a, accepted);
            c->action_ = a;
            break;
        }
    }
    if (w != nullptr) {
        w->setProperty(kControlProp, num);
        if (decl.kind != ControlKind::Tab && decl.kind != ControlKind::Menu &&
            decl.kind != ControlKind::MenuBar && decl.kind != ControlKind::Toolbar && !decl.rect.isNull())
            w->setGeometry(decl.rect);
        if (decl.kind == ControlKind::Prompt || decl.kind == ControlKind::FixedText ||
            decl.kind == ControlKind::DisplayString || decl.kind == ControlKind::Picture ||
            decl.kind == ControlKind::GroupBox || decl.kind == ControlKind::OptionGroup ||
            decl.kind == ControlKind::ProgressBar || decl.kind == ControlKind::Region)
            w->setFocusPolicy(Qt::NoFocus);
        if (parent != nullptr && surface_ != nullptr && surface_->isVisible()) w->show();
    }
    if (decl.dropRows >= 0) c->dropRows_ = decl.dropRows;
    // A prompt names the control declared right after it: its "&" key
    // moves the focus there. A prompt before a display (a code shown, not
    // typed) names it too, so its "&" is drawn as the key's underline and
    // never as a literal "&".
    if (w != nullptr && !order_.empty() && order_.back()->kind() == ControlKind::Prompt) {
        if (auto* label = order_.back()->as<QLabel>(); label != nullptr && label->buddy() == nullptr)
            label->setBuddy(w);
    }
    c->widget_ = w;
    Control* raw = c.get();
    controls_[num] = std::move(c);
    order_.push_back(raw);
    return *raw;
}

void Window::setControlOrder(const std::vector<int>& numbers) {
    std::vector<Control*> front;
    for (int n : numbers)
        if (Control* c = control(n); c != nullptr && std::find(front.begin(), front.end(), c) == front.end())
            front.push_back(c);
    std::vector<Control*> rest;
    for (Control* c : order_)
        if (std::find(front.begin(), front.end(), c) == front.end()) rest.push_back(c);
    order_ = front;
    order_.insert(order_.end(), rest.begin(), rest.end());
    QWidget* prev = nullptr;
    for (Control* c : order_) {
        QWidget* w = c->widget();
        if (w == nullptr || w->focusPolicy() == Qt::NoFocus || c->kind() == ControlKind::Tab) continue;
        if (prev != nullptr) QWidget::setTabOrder(prev, w);
        prev = w;
    }
}

Control* Window::control(int number) {
    auto it = controls_.find(number);
    return it == controls_.end() ? nullptr : it->second.get();
}

Control* Window::control(const std::string& name) {
    for (Control* c : order_)
        if (c->name() == name) return c;
    return nullptr;
}

Control& Window::at(int number) {
    Control* c = control(number);
    if (c == nullptr) throw std::out_of_range("no control " + std::to_string(number));
    return *c;
}

int Window::numberOf(const std::string& name) const {
    for (Control* c : order_)
        if (c->name() == name) return c->number();
    return 0;
}

Control* Window::controlOf(const QWidget* w) {
    for (const QWidget* p = w; p != nullptr; p = p->parentWidget()) {
        QVariant v = p->property(kControlProp);
        if (v.isValid()) {
            Control* c = control(v.toInt());
            if (c != nullptr && c->widget() == p) return c;
        }
        if (p == surface_) break;
    }
    return nullptr;
}

Control* Window::focusedControl() {
    QWidget* f = QApplication::focusWidget();
    if (f == nullptr || surface_ == nullptr) return nullptr;
    if (f != surface_ && !surface_->isAncestorOf(f)) return nullptr;
    return controlOf(f);
}

QString Window::caption() const { return surface_ != nullptr ? surface_->windowTitle() : QString(); }

void Window::setCaption(const QString& c) {
    if (surface_ != nullptr) surface_->setWindowTitle(c);
    if (sub_ != nullptr) sub_->setWindowTitle(c);
}

void Window::setBackground(int32_t bgr) {
    background_ = bgr;
    if (surface_ != nullptr) {
        static_cast<Surface*>(surface_.data())->fill = bgr;
        surface_->update();
    }
}

void Window::setIcon(const QIcon& icon) {
    if (surface_ != nullptr) surface_->setWindowIcon(icon);
    if (sub_ != nullptr) sub_->setWindowIcon(icon);
}

void Window::setMinimumSize(QSize s) {
    if (surface_ != nullptr) surface_->setMinimumSize(s);
    if (sub_ != nullptr) {
        sub_->setMinimumSize(sub_->sizeHint().expandedTo(s));
        // Grown to its designed size where the frame placed it small.
        if (QMdiArea* a = frameArea()) keepPlaceInside(*a, *sub_);
    }
}

void Window::setFrameArea(QMdiArea* area) {
    frameAreaSlot() = area;
    if (area == nullptr) return;
    QObject::connect(area, &QMdiArea::subWindowActivated, area, [](QMdiSubWindow* sw) {
        if (sw == nullptr) return;
        if (Window* w = windowOfWidget(sw)) w->onActivated();
    });
}

QMdiArea* Window::frameArea() { return frameAreaSlot(); }

void Window::open(int firstControl) {
    if (open_ || surface_ == nullptr) return;
    QMdiArea* area = frameArea();
    if (placement_ == Placement::FrameChild && area != nullptr) {
        sub_ = area->addSubWindow(surface_);
        sub_->setProperty(kWindowProp, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
        sub_->setAttribute(Qt::WA_DeleteOnClose, false);
        sub_->setWindowTitle(caption());
        sub_->setWindowIcon(surface_->windowIcon());
        sub_->show();
        area->setActiveSubWindow(sub_);
        keepPlaceInside(*area, *sub_);
        // A child opened from a window of its own (the user list from the
        // administrator login) takes the keys: the frame comes forward.
        if (QWidget* frame = sub_->window(); frame != nullptr && frame != sub_ && !frame->isActiveWindow()) {
            frame->raise();
            frame->activateWindow();
        }
    } else {
        surface_->setWindowFlag(Qt::Window, true);
        surface_->show();
        surface_->raise();
        surface_->activateWindow();
    }
    open_ = true;
    stacks()[owner_].push_back(this);
    if (Control* c = control(firstControl)) c->focus();
    post({EventKind::OpenWindow, 0});
    notifyLaidOut(*this);
}

void Window::close() {
    if (!open_) return;
    notifyLaidOut(*this);  // as last laid out (grown, maximised)
    open_ = false;
    closing_ = true;
    if (timer_ != nullptr) timer_->stop();
    auto& st = stacks()[owner_];
    st.erase(std::remove(st.begin(), st.end(), this), st.end());
    if (st.empty()) stacks().erase(owner_);
    // The frame hands the maximised state on only from a child still shown;
    // this one is hidden first, so the child that comes forward is maximised
    // here (else the list under a maximised form comes back small).
    const bool wasMaximized = sub_ != nullptr && sub_->isMaximized();
    if (sub_ != nullptr) {
        sub_->hide();
        if (QMdiArea* a = frameArea()) a->removeSubWindow(sub_);
    }
    if (surface_ != nullptr) surface_->hide();
    // The frame activates some other child when one closes: this thread's
    // windows come back over it in their own order (a list under its form
    // under the line form), and the one below this takes input again.
    if (auto it = stacks().find(owner_); it != stacks().end())
        for (Window* w : it->second)
            if (w != nullptr && w->sub_ != nullptr) w->sub_->raise();
    if (Window* below = topOf(owner_)) below->restoreAndActivate();
    if (QMdiArea* a = frameArea(); wasMaximized && a != nullptr)
        if (QMdiSubWindow* next = a->activeSubWindow(); next != nullptr && !next->isMaximized()) next->showMaximized();
}

bool Window::isMinimized() const {
    if (sub_ != nullptr) return sub_->isMinimized();
    return surface_ != nullptr && surface_->isMinimized();
}

bool Window::isActive() const {
    if (sub_ != nullptr) {
        QMdiArea* a = frameArea();
        return a != nullptr && a->activeSubWindow() == sub_;
    }
    return surface_ != nullptr && surface_->isActiveWindow();
}

void Window::restoreAndActivate() {
    if (!open_) return;
    if (sub_ != nullptr) {
        if (sub_->isMinimized()) sub_->showNormal();
        if (QMdiArea* a = frameArea(); a != nullptr && a->activeSubWindow() != sub_)
            a->setActiveSubWindow(sub_);
        sub_->raise();
        // The frame itself too: sent here from a window of its own (a login
        // under this child), the keys must reach the frame.
        // Queued: asked while another window is being activated, at once it
        // would be undone by that activation.
        if (QWidget* frame = sub_->window(); frame != nullptr && !frame->isActiveWindow()) {
            QTimer::singleShot(0, frame, [f = QPointer<QWidget>(frame)] {
                if (f == nullptr || f->isActiveWindow()) return;
                f->raise();
                f->activateWindow();
            });
        }
        return;
    }
    // The frame comes forward only from an icon: it gets the focus because
    // it is in front already, and raised again later it would cover a
    // window of the program's own shown meanwhile (a print preview opened
    // as the printer dialog closed).
    if (placement_ == Placement::Frame && !surface_->isMinimized()) return;
    if (surface_->isMinimized()) surface_->showNormal();
    surface_->raise();
    if (!surface_->isActiveWindow()) surface_->activateWindow();
}

bool Window::takesInput() const {
    if (!open_) return false;
    auto it = stacks().find(owner_);
    return it != stacks().end() && !it->second.empty() && it->second.back() == this;
}

void Window::post(const WindowEvent& e) {
    queue_.push_back(e);
    if (owner_ != 0) threads::wake(owner_);
}

WindowEvent Window::nextEvent() {
    waitUntil([this] { return !queue_.empty(); });
    WindowEvent e = queue_.front();
    queue_.pop_front();
    return e;
}

void Window::setTimer(int ms) {
    if (ms <= 0) {
        if (timer_ != nullptr) timer_->stop();
        return;
    }
    if (timer_ == nullptr) {
        timer_ = new QTimer(surface_);
        QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
            // One pending tick is enough: a busy thread does not pile them up.
            for (const auto& q : queue_)
                if (q.kind == EventKind::Timer) return;
            post({EventKind::Timer, 0});
        });
    }
    timer_->start(ms);
}

void Window::alertKey(int key, int control) {
    if (std::find(alerts_.begin(), alerts_.end(), std::make_pair(key, control)) == alerts_.end())
        alerts_.emplace_back(key, control);
}

void Window::clearAlertKeys() { alerts_.clear(); }

bool Window::isAlertKey(int key, int control) const {
    for (const auto& [k, c] : alerts_)
        if (k == key && (c == 0 || c == control)) return true;
    return false;
}

void Window::pressKeys(const std::vector<int>& keys) {
    for (int k : keys) pressKey(k);
}

void Window::pressKey(int key) {
    const QKeyCombination combo = QKeyCombination::fromCombined(key);
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr || (target != surface_ && !surface_->isAncestorOf(target))) {
        target = surface_->focusWidget() != nullptr ? surface_->focusWidget() : surface_.data();
    }
    const QString text = combo.key() == Qt::Key_Return ? QStringLiteral("\r")
                         : combo.key() == Qt::Key_Tab  ? QStringLiteral("\t")
                                                       : QString();
    QPointer<QWidget> t = target;
    // Queued, so the key is handled by the main loop exactly as a typed one.
    QCoreApplication::postEvent(t, new QKeyEvent(QEvent::KeyPress, combo.key(), combo.keyboardModifiers(), text));
    QCoreApplication::postEvent(t, new QKeyEvent(QEvent::KeyRelease, combo.key(), combo.keyboardModifiers(), text));
}

void Window::drawBox(const QRect& r, int32_t outline, int32_t fill) {
    Drawing d;
    d.kind = Drawing::Kind::Box;
    d.rect = r;
    d.outline = outline;
    d.fill = fill;
    drawings_.push_back(d);
    repaintSurfaces();
}

void Window::drawText(QPoint at, const QString& text, int32_t color) {
    Drawing d;
    d.kind = Drawing::Kind::Text;
    d.rect = QRect(at, QSize(1, 1));
    d.text = text;
    d.color = color;
    drawings_.push_back(d);
    repaintSurfaces();
}

void Window::erase(const QRect& r) {
    const auto before = drawings_.size();
    drawings_.erase(std::remove_if(drawings_.begin(), drawings_.end(),
                                   [&](const Drawing& d) { return r.contains(d.rect.topLeft()); }),
                    drawings_.end());
    if (drawings_.size() != before) repaintSurfaces();
}

void Window::repaintSurfaces() {
    for (auto& s : surfaces_)
        if (s != nullptr) s->update();
}

void Window::paintDrawings(QWidget* surface, QPainter& p) const {
    if (drawings_.empty() || surface_ == nullptr) return;
    const QPoint offset = surface == surface_ ? QPoint(0, 0) : surface->mapTo(surface_, QPoint(0, 0));
    p.save();
    p.translate(-offset);
    for (const Drawing& d : drawings_) {
        if (d.kind == Drawing::Kind::Box) {
            // Outline on the box's edge, fill inside it: the rectangle covers
            // exactly x..x+w-1, y..y+h-1.
            if (d.fill != kNoColor) p.fillRect(d.rect, fromBgr(d.fill));
            p.setPen(QPen(fromBgr(d.outline), 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(d.rect.adjusted(0, 0, -1, -1));
        } else {
            p.setPen(fromBgr(d.color));
            QFontMetrics fm(p.font());
            p.drawText(d.rect.topLeft() + QPoint(0, fm.ascent()), d.text);
        }
    }
    p.restore();
}

QImage Window::render() const {
    if (surface_ == nullptr) return {};
    QImage img(surface_->size(), QImage::Format_ARGB32);
    img.fill(Qt::white);
    surface_->render(&img);
    return img;
}

bool Window::filterInput(QObject* receiver, QEvent* e) {
    if (!takesInput()) {
        if (e->type() == QEvent::Close) e->ignore();
        return true;
    }
    auto* w = static_cast<QWidget*>(receiver);
    Control* c = controlOf(w);
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        auto* ke = static_cast<QKeyEvent*>(e);
        const int code = keyCode(ke->key(), ke->modifiers());
        const int cnum = c != nullptr ? c->number() : 0;
        // A list's cell editor: the keys that leave the cell go to the
        // list's thread, every other key to the editor.
        if (const int list = CellEditor::listOf(w); list != 0) {
            if (!leavesCell(ke->key())) return false;
            if (e->type() == QEvent::KeyPress) post({EventKind::CellLeft, list, code});
            return true;
        }
        if (isAlertKey(code, cnum)) {
            if (e->type() == QEvent::KeyPress) post({EventKind::AlertKey, cnum, code});
            return true;
        }
        // Esc closes the window as its close box does, unless the window
        // alerts it. Not the frame (that would end the program), and not a
        // popup of a control (a combo's list closes on its own).
        if (code == keyCode(Qt::Key_Escape) && placement_ != Placement::Frame &&
            w->window()->windowType() != Qt::Popup) {
            if (e->type() == QEvent::KeyPress) onCloseRequested();
            return true;
        }
        if (c != nullptr && c->kind() == ControlKind::List && c->reportsKeys() && !isMovingKey(ke->key())) {
            if (e->type() == QEvent::KeyPress) post({EventKind::ListKey, cnum, code});
            return true;
        }
        return false;
    }
    // A click on a region (an area over other controls) accepts it.
    if (e->type() == QEvent::MouseButtonPress && c != nullptr && c->kind() == ControlKind::Region &&
        receiver == c->widget() && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton && !c->disabled()) {
        post({EventKind::Accepted, c->number()});
        return false;
    }
    if ((e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) &&
        c != nullptr && c->kind() == ControlKind::List) {
        auto* table = c->as<QTableWidget>();
        if (table != nullptr && receiver == table->viewport()) {
            auto* me = static_cast<QMouseEvent*>(e);
            const QModelIndex idx = table->indexAt(me->position().toPoint());
            WindowEvent ev{EventKind::ListMouse, c->number()};
            ev.row = idx.isValid() ? idx.row() : -1;
            ev.column = idx.isValid() ? idx.column() : -1;
            ev.button = me->button();
            ev.clicks = e->type() == QEvent::MouseButtonDblClick ? 2 : 1;
            post(ev);
        }
    }
    return false;
}

void Window::onFocusIn(QWidget* w) {
    Control* c = controlOf(w);
    if (c == nullptr) return;
    post({EventKind::Selected, c->number()});
}

void Window::onSurfaceResized() {
    if (!open_) return;
    if (!queue_.empty() && queue_.back().kind == EventKind::Resized) return;
    post({EventKind::Resized, 0});
}

void Window::onActivated() {
    if (!open_) return;
    if (!takesInput()) {
        // Like a window under a modal one: the window on top of it comes forward.
        if (Window* top = topOf(owner_); top != nullptr && top != this) top->restoreAndActivate();
        return;
    }
    for (const auto& q : queue_)
        if (q.kind == EventKind::GainFocus) return;
    post({EventKind::GainFocus, 0});
}

void Window::onCloseRequested() {
    if (!open_) return;
    post({EventKind::CloseWindow, 0});
}

Window* Window::topOf(threads::ThreadNo t) {
    auto it = stacks().find(t);
    if (it == stacks().end()) return nullptr;
    for (auto r = it->second.rbegin(); r != it->second.rend(); ++r)
        if (*r != nullptr) return *r;
    return nullptr;
}

bool Window::postTo(threads::ThreadNo t, const WindowEvent& e) {
    Window* w = topOf(t);
    if (w == nullptr) return false;
    w->post(e);
    return true;
}

Window* Window::of(const QWidget* w) { return windowOfWidget(w); }

std::vector<Window*> Window::openWindows() {
    std::vector<Window*> out;
    for (auto& [t, st] : stacks())
        for (Window* w : st)
            if (w != nullptr) out.push_back(w);
    return out;
}

// ---------------------------------------------------------------- waiting

DialogScope::DialogScope() : thread_(threads::current()) { stacks()[thread_].push_back(nullptr); }

DialogScope::~DialogScope() {
    auto& st = stacks()[thread_];
    auto it = std::find(st.rbegin(), st.rend(), nullptr);
    if (it != st.rend()) st.erase(std::next(it).base());
    if (st.empty()) stacks().erase(thread_);
}

void waitUntil(const std::function<bool()>& done) {
    if (threads::current() == 0) {
        threads::runUntil(done);
        return;
    }
    while (!done()) threads::suspend();
}

void repaintWhileBusy(const std::function<void()>& update) {
    threads::runOnMainStack([&] {
        if (update) update();
        if (QCoreApplication::instance() != nullptr)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}

}  // namespace tv::ui
