#pragma once
// A procedure's window: a Qt widget with its controls addressed by number and
// name, the drawings behind the controls, alert keys and a queue of window
// events taken by the owning logical thread's event loop.
//
// Input arrives on the main stack; it is queued here and the owner is woken.
// A window takes no input while another window or dialog of its own logical
// thread is on top of it (a form called from a list, a message box); windows
// of other threads go on working.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include "platform/threads/logical_thread.h"
#include "platform/ui/colors.h"
#include "platform/ui/window_event.h"

class QAction;
class QMainWindow;
class QMdiArea;
class QMdiSubWindow;
class QTimer;

namespace tv::ui {

enum class ControlKind {
    Entry, Prompt, FixedText, DisplayString, Sheet, Tab, List, Combo, SpinBox,
    MultiLineText, CheckBox, RadioButton, OptionGroup, DropList, DropCombo, Button,
    ProgressBar, Picture, GroupBox, Region,
    MenuBar, Menu, MenuItem, Toolbar, ToolbarButton,
};
const char* kindName(ControlKind k);

class Window;

// How a control is declared: its kind, number and name, its text and where it
// stands. Positions are in pixels relative to the parent control (a tab, a
// group box, an option group) or to the window when parent is 0.
struct ControlDecl {
    ControlDecl(ControlKind k, int num, std::string nm, QString t = {}, QRect r = {}, int par = 0,
                int drop = -1)
        : kind(k), number(num), name(std::move(nm)), text(std::move(t)), rect(r), parent(par), dropRows(drop) {}
    ControlKind kind = ControlKind::Entry;
    int number = 0;
    std::string name;        // "?ART:NoArt", "?OK", ...
    QString text;
    QRect rect;
    int parent = 0;
    int dropRows = -1;       // lists and combos: drop-down rows; -1 takes the kind's default
};

// One control of a window. Menu items and toolbar buttons carry a QAction,
// every other kind a QWidget.
class Control {
public:
    int number() const { return number_; }
    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    QWidget* widget() const { return widget_; }
    QAction* action() const { return action_; }
    Window& window() const { return *window_; }
    int parent() const { return parent_; }
    template <class W>
    W* as() const { return qobject_cast<W*>(widget_.data()); }

    QString text() const;             // an entry's contents, a button's caption, ...
    void setText(const QString& t);
    int32_t background() const { return background_; }  // BGR; kNoColor = the default
    void setBackground(int32_t bgr);
    int32_t foreground() const { return foreground_; }
    void setForeground(int32_t bgr);
    void setTransparent();            // shows what is behind it (prompts, texts)
    bool hidden() const;              // hidden itself or inside a hidden container
    void setHidden(bool h);
    bool disabled() const;            // disabled itself or inside a disabled container
    void setDisabled(bool d);
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool r);
    bool required() const { return required_; }
    void setRequired(bool r) { required_ = r; }
    bool isBlank() const;             // text empty or only blanks
    QString tip() const;
    void setTip(const QString& t);
    QString statusText() const;
    void setStatusText(const QString& t);
    void setIcon(const QIcon& icon);
    void setPicture(const QPixmap& p);
    bool setPictureFile(const QString& path);  // JPEG, BMP, GIF; false when it cannot be shown
    void setFont(const QFont& f);
    QFont font() const;
    // Position and size in the window's units (the window's surface coordinates).
    QRect position() const;
    void setPosition(const QRect& r);  // relative to the parent, as declared
    int dropRows() const { return dropRows_; }
    void setDropRows(int n) { dropRows_ = n; }
    // Lists: report keys to the procedure (ListKey) instead of the list's own
    // handling, except the moving keys.
    bool reportsKeys() const { return reportKeys_; }
    void setReportsKeys(bool r) { reportKeys_ = r; }
    void focus();
    bool hasFocus() const;

private:
    friend class Window;
    Control() = default;
    void applyPalette();

    Window* window_ = nullptr;
    int number_ = 0;
    std::string name_;
    ControlKind kind_ = ControlKind::Entry;
    int parent_ = 0;
    QPointer<QWidget> widget_;
    QAction* action_ = nullptr;
    int32_t background_ = kNoColor;
    int32_t foreground_ = kNoColor;
    bool transparent_ = false;
    bool readOnly_ = false;
    bool required_ = false;
    bool reportKeys_ = true;
    int dropRows_ = 0;
    QRect declared_;
};

// What has been drawn behind the controls.
struct Drawing {
    enum class Kind { Box, Text } kind = Kind::Box;
    QRect rect;            // Box: the box; Text: anchor at topLeft
    int32_t outline = colors::kBlack;
    int32_t fill = kNoColor;
    QString text;
    int32_t color = colors::kBlack;
};

class Window {
public:
    // Own: a window of its own. FrameChild: inside the frame's MDI area (its
    // own when there is no frame). Frame: the program's main window, with a
    // menu bar, toolbars, a status bar and the MDI area the children open in.
    enum class Placement { Own, FrameChild, Frame };

    // Created on the logical thread that will run its event loop.
    Window(const QString& caption, QSize designedSize, Placement placement = Placement::Own);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // ----- controls
    Control& add(const ControlDecl& decl);
    Control* control(int number);
    Control* control(const std::string& name);
    Control& at(int number);                  // throws std::out_of_range
    int numberOf(const std::string& name) const;  // 0 when unknown
    const std::vector<Control*>& controls() const { return order_; }  // control order
    // Puts the given controls first in the control order (the order Tab
    // follows and the accept-all pass takes), in the order given.
    void setControlOrder(const std::vector<int>& numbers);
    Control* focusedControl();               // the control that has the focus (nullptr: none)
    Control* controlOf(const QWidget* w);     // the control a widget belongs to

    // ----- the window itself
    QWidget* widget() const;                 // the window's own surface
    QWidget* topWidget() const;              // the surface, or its MDI sub-window
    QMainWindow* mainWindow() const { return main_; }  // Frame only
    QMdiArea* mdiArea() const { return mdi_; }                // Frame only
    threads::ThreadNo owner() const { return owner_; }
    Placement placement() const { return placement_; }
    QString caption() const;
    void setCaption(const QString& c);
    void setBackground(int32_t bgr);
    int32_t background() const { return background_; }
    void setIcon(const QIcon& icon);
    QSize designedSize() const { return designed_; }
    void setMinimumSize(QSize s);
    void open(int firstControl = 0);          // shows it; posts OpenWindow
    bool isOpen() const { return open_; }
    void close();                             // hides it for good
    bool isMinimized() const;
    bool isActive() const;
    void restoreAndActivate();                // restore if iconized, bring to front
    bool takesInput() const;                  // false while its thread is busy elsewhere

    // ----- events
    void post(const WindowEvent& e);          // appends and wakes the owner
    bool hasEvents() const { return !queue_.empty(); }
    WindowEvent nextEvent();                  // suspends the owner while none is queued
    void setTimer(int milliseconds);          // 0 stops it
    // Alert keys: the key raises AlertKey instead of its own handling, anywhere
    // in the window (control 0) or in one control.
    void alertKey(int key, int control = 0);
    void clearAlertKeys();
    bool isAlertKey(int key, int control) const;
    // Presses a key into the window: the key goes to the focused control as if
    // typed (Tab moves the focus on, Shift+Enter stays in a text box).
    void pressKey(int key);
    void pressKeys(const std::vector<int>& keys);

    // ----- drawing behind the controls, in window units
    void drawBox(const QRect& r, int32_t outline, int32_t fill);
    void drawText(QPoint at, const QString& text, int32_t color);
    void erase(const QRect& r);               // drops drawings anchored in r
    const std::vector<Drawing>& drawings() const { return drawings_; }
    QImage render() const;                    // the window's surface as shown

    // The frame's MDI area that FrameChild windows open in (nullptr: none).
    static void setFrameArea(QMdiArea* area);
    static QMdiArea* frameArea();
    // The topmost open window of a logical thread (nullptr: none).
    static Window* topOf(threads::ThreadNo t);
    // Posts an event to the topmost window of another thread; false if none.
    static bool postTo(threads::ThreadNo t, const WindowEvent& e);
    // The window a widget belongs to (nullptr: none of ours).
    static Window* of(const QWidget* w);
    // Every open window, for tests and the frame.
    static std::vector<Window*> openWindows();

    // Internal: the surfaces and the input gate call these.
    void paintDrawings(QWidget* surface, class QPainter& p) const;
    bool filterInput(QObject* receiver, class QEvent* e);
    void onFocusIn(QWidget* w);
    void onSurfaceResized();
    void onActivated();
    void onCloseRequested();
    bool closingForGood() const { return closing_; }

private:
    QWidget* containerFor(int parent);
    void repaintSurfaces();

    threads::ThreadNo owner_ = 0;
    Placement placement_ = Placement::Own;
    QSize designed_;
    QPointer<QWidget> surface_;
    QPointer<QMdiSubWindow> sub_;
    QMainWindow* main_ = nullptr;
    QMdiArea* mdi_ = nullptr;
    std::map<int, std::unique_ptr<Control>> controls_;
    std::vector<Control*> order_;
    std::vector<QPointer<QWidget>> surfaces_;
    std::vector<Drawing> drawings_;
    std::deque<WindowEvent> queue_;
    std::vector<std::pair<int, int>> alerts_;  // key, control
    QTimer* timer_ = nullptr;
    int32_t background_ = kNoColor;
    bool open_ = false;
    bool closing_ = false;
};

// Marks the current logical thread busy in a dialog: its windows take no
// input until the scope ends.
class DialogScope {
public:
    DialogScope();
    ~DialogScope();
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

private:
    threads::ThreadNo thread_;
};

// Waits on the current logical thread until done() holds; on the main stack
// it processes events instead. Never nests a Qt event loop in a fiber.
void waitUntil(const std::function<bool()>& done);

// Lets the windows repaint while the current logical thread keeps the turn
// (it holds the database's write lock, so no other thread may run): `update`
// runs on the main stack, then Qt serves everything but user input (paints,
// exposes, resizes). User input waits until the thread waits again.
void repaintWhileBusy(const std::function<void()>& update = {});

}  // namespace tv::ui
