#include "platform/ui/cell_editor.h"

#include <algorithm>

#include <QDoubleSpinBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QLocale>
#include <QTableWidget>

#include "platform/ui/window.h"

namespace tv::ui {

namespace {

// The list control a cell editor belongs to, kept on the editor widget.
const char* const kCellEditorProp = "tvCellEditorOf";
const char* const kControlProp = "tvControl";

// A click elsewhere (or any move of the focus that no key of the editor
// made) leaves the cell. Another window coming forward (a message box) or
// a popup of the editor's own does not.
class FocusWatcher : public QObject {
public:
    FocusWatcher(CellEditor& editor, Window& window, int list, QObject* parent)
        : QObject(parent), editor_(editor), window_(window), list_(list) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::FocusOut || !editor_.isOpen()) return false;
        const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
        if (why == Qt::ActiveWindowFocusReason || why == Qt::PopupFocusReason) return false;
        window_.post(WindowEvent{EventKind::CellLeft, list_, 0});
        return false;
    }

private:
    CellEditor& editor_;
    Window& window_;
    int list_;
};

}  // namespace

CellEditor::CellEditor(Window& window, int listControl) : window_(window), list_(listControl) {}

CellEditor::~CellEditor() {
    if (editor_) editor_->deleteLater();
}

int CellEditor::listOf(const QWidget* w) {
    for (const QWidget* p = w; p != nullptr; p = p->parentWidget()) {
        const QVariant v = p->property(kCellEditorProp);
        if (v.isValid()) return v.toInt();
        if (p->property(kControlProp).isValid()) return 0;
    }
    return 0;
}

void CellEditor::open(int row, int column, const CellEditorShape& shape, const QString& text) {
    auto* table = window_.at(list_).as<QTableWidget>();
    if (table == nullptr) return;
    const bool spin = shape.kind == CellEditorShape::Kind::SpinBox;
    const bool fits = editor_ && (spin ? qobject_cast<QDoubleSpinBox*>(editor_.data()) != nullptr
                                       : qobject_cast<QLineEdit*>(editor_.data()) != nullptr);
    if (!fits) {
        if (editor_) {
            row_ = -1;
            editor_->hide();
            editor_->deleteLater();
        }
        QWidget* w = nullptr;
        if (spin) {
            auto* sb = new QDoubleSpinBox(table->viewport());
            // Numbers are read through the list's pictures: a point, no separators.
            sb->setLocale(QLocale::c());
            sb->setGroupSeparatorShown(false);
            sb->setKeyboardTracking(false);
            w = sb;
        } else {
            w = new QLineEdit(table->viewport());
        }
        w->setProperty(kCellEditorProp, list_);
        watcher_ = new FocusWatcher(*this, window_, list_, w);
        w->installEventFilter(watcher_);
        editor_ = w;
    }
    row_ = row;
    column_ = column;
    if (auto* sb = qobject_cast<QDoubleSpinBox*>(editor_.data())) {
        sb->setDecimals(shape.decimals);
        sb->setRange(shape.minimum, shape.maximum);
        sb->setSingleStep(shape.step);
        sb->setAlignment(shape.alignment);
        sb->setValue(QLocale::c().toDouble(text.trimmed()));
        sb->selectAll();
    } else if (auto* e = qobject_cast<QLineEdit*>(editor_.data())) {
        e->setAlignment(shape.alignment);
        e->setText(text);
        e->selectAll();
    }
    place();
    editor_->show();
    editor_->raise();
    editor_->setFocus(Qt::OtherFocusReason);
}

void CellEditor::place() {
    auto* table = window_.at(list_).as<QTableWidget>();
    if (table == nullptr || !editor_) return;
    QRect r = table->visualRect(table->model()->index(row_, column_));
    // Tall enough for its text, whatever the list's row height.
    r.setHeight(std::max(r.height(), editor_->sizeHint().height()));
    editor_->setGeometry(r);
}

void CellEditor::close() {
    if (row_ < 0) return;
    row_ = -1;
    column_ = -1;
    const bool hadFocus = editor_ && editor_->hasFocus();
    if (editor_) editor_->hide();
    if (hadFocus) window_.at(list_).focus();
}

bool CellEditor::isOpen() const { return row_ >= 0 && editor_ != nullptr; }

bool CellEditor::hasFocus() const { return isOpen() && editor_->hasFocus(); }

QString CellEditor::text() const {
    if (auto* sb = qobject_cast<QDoubleSpinBox*>(editor_.data())) return sb->cleanText().trimmed();
    if (auto* e = qobject_cast<QLineEdit*>(editor_.data())) return e->text();
    return {};
}

QWidget* CellEditor::widget() const { return editor_; }

void CellEditor::focus() {
    if (!isOpen()) return;
    editor_->setFocus(Qt::OtherFocusReason);
    if (auto* sb = qobject_cast<QDoubleSpinBox*>(editor_.data())) sb->selectAll();
    else if (auto* e = qobject_cast<QLineEdit*>(editor_.data())) e->selectAll();
}

}  // namespace tv::ui
