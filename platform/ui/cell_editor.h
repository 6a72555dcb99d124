#pragma once
// In-place editing of list cells: an entry or a spin box laid over one cell
// of a list control. The keys that leave a cell (Tab, Shift+Tab, Enter, Up,
// Down) and Esc reach the list's logical thread as CellLeft events of the
// list (key: the key pressed), and so does a click that takes the focus
// elsewhere (key 0); every other key is the editor's own. What the cell's
// text means, and when the row is written, is the list's business.
#include <QPointer>
#include <QString>
#include <Qt>

class QWidget;

namespace tv::ui {

class Window;

struct CellEditorShape {
    enum class Kind { Entry, SpinBox };
    Kind kind = Kind::Entry;
    // A spin box keeps its value within these (typed values cannot leave them).
    double minimum = 0, maximum = 0, step = 1;
    int decimals = 0;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

class CellEditor {
public:
    CellEditor(Window& window, int listControl);
    ~CellEditor();
    CellEditor(const CellEditor&) = delete;
    CellEditor& operator=(const CellEditor&) = delete;

    // Lays the editor over cell (row, column) of the page showing `text`,
    // all of it selected, with the focus in it.
    void open(int row, int column, const CellEditorShape& shape, const QString& text);
    void close();
    bool isOpen() const;
    bool hasFocus() const;
    int row() const { return row_; }
    int column() const { return column_; }
    // What the editor holds (a spin box: its text as typed, without blanks).
    QString text() const;
    QWidget* widget() const;
    // Puts the focus back in the editor (after a refusal).
    void focus();

    // The window layer's input handling: the list control whose cell
    // `w` edits, or 0 when `w` is no cell editor.
    static int listOf(const QWidget* w);

private:
    void place();

    Window& window_;
    int list_ = 0;
    int row_ = -1, column_ = -1;
    QPointer<QWidget> editor_;
    QPointer<QObject> watcher_;
};

}  // namespace tv::ui
