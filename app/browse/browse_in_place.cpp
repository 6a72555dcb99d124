// In-place editing of a list's rows: the selected row edited cell by cell
// over the list, written back when its editing ends; deleting a row at once.
#include <algorithm>

#include <QTableWidget>

#include "app/browse/browse_list.h"
#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "data/thread_table_set.h"
#include "platform/threads/thread_state.h"

namespace tv::app {

using ui::EventKind;
using ui::WindowEvent;

namespace {

constexpr const char* kRefusedCaption = "Dato no válido";

}  // namespace

bool BrowseList::EditsInPlace(int request) {
    if (!setup_.inPlace) return false;
    switch (request) {
        case list::kRequestChange: BeginEdit(0); break;
        case list::kRequestDelete: DeleteInPlace(); break;
        // Rows come from elsewhere (a blank row would name nothing); view
        // and the rest have nothing to show beyond the row itself.
        default: break;
    }
    return true;
}

void BrowseList::BeginEdit(int cell) {
    if (!setup_.inPlace || setup_.inPlace->columns.empty() || table_ == nullptr) return;
    if (Editing()) EndEdit(true);
    if (!ReadSelected()) return;
    if (!cellEditor_) cellEditor_ = std::make_unique<ui::CellEditor>(Win(), setup_.listControl);
    editBefore_ = Primary();
    editRow_ = selectedRow();
    OpenCell(std::clamp(cell, 0, static_cast<int>(setup_.inPlace->columns.size()) - 1));
}

void BrowseList::OpenCell(int cell) {
    const InPlaceColumn& ic = setup_.inPlace->columns[static_cast<std::size_t>(cell)];
    const std::size_t c = static_cast<std::size_t>(ic.column);
    const int field = columnField_.at(c);
    const list::ListColumn& lc = format_.columns().at(c);
    QString text;
    if (ic.editor.kind == ui::CellEditorShape::Kind::SpinBox) {
        // A spin box takes the plain number (no separators).
        text = QString::fromStdString(Primary().number(field).toText());
    } else {
        text = QString::fromStdString(lc.picture ? ShowField(Primary(), field, *lc.picture)
                                                 : std::string(Primary().get(field).asText()));
    }
    editCell_ = cell;
    cellEditor_->open(editRow_, ic.column, ic.editor, text.trimmed());
}

bool BrowseList::TakeCell(bool stay) {
    const InPlaceColumn& ic = setup_.inPlace->columns[static_cast<std::size_t>(editCell_)];
    const std::size_t c = static_cast<std::size_t>(ic.column);
    const int field = columnField_.at(c);
    const list::ListColumn& lc = format_.columns().at(c);
    const std::string typed = cellEditor_->text().trimmed().toStdString();
    std::string why;
    const Record before = Primary();
    if (typed.empty() && ic.required) {
        why = "Escriba un valor: no puede quedar en blanco.";
    } else if (lc.picture) {
        if (ReadResult r = ReadField(Primary(), field, *lc.picture, typed); !r.ok) why = r.error;
    } else {
        Primary().set(field, Value(typed));
    }
    if (why.empty() && ic.minimum && Primary().number(field) < *ic.minimum)
        why = "El valor no puede ser menor que " + ic.minimum->toText() + ".";
    if (why.empty()) {
        ShowEditedLine();
        return true;
    }
    // Refused: the field keeps its value; the editor stays on the cell
    // when the editing goes on.
    Primary() = before;
    ShowMessage(kRefusedCaption, why, MessageIcon::None);
    if (stay) cellEditor_->focus();
    return false;
}

void BrowseList::ShowEditedLine() {
    const int row = editRow_;
    if (row < 0 || row >= static_cast<int>(lines_.size()) || table_ == nullptr) return;
    ListLine& l = lines_[static_cast<std::size_t>(row)];
    // The row's values from its buffers, computed ones worked out again.
    for (std::size_t i = 0; i < setup_.columns.size() && i < l.values.size(); ++i) {
        const BrowseColumn& c = setup_.columns[i];
        if (columnTable_[i] >= 0) l.values[i] = view_->buffer(columnTable_[i]).get(columnField_[i]);
        else if (c.compute) l.values[i] = c.compute();
        if (QTableWidgetItem* item = table_->item(row, static_cast<int>(i)); item != nullptr && i < format_.columns().size())
            item->setText(QString::fromStdString(list::formatCell(format_.columns()[i], l.values[i])));
    }
}

void BrowseList::WriteEditedRow() {
    // An unchanged row is not written; a failed write has said why.
    if (editBefore_ && Primary() == *editBefore_) return;
    Gateway().UpdateRecord();
}

void BrowseList::EndEdit(bool keep) { FinishEdit(keep, keep); }

void BrowseList::FinishEdit(bool write, bool takeCell) {
    if (!Editing()) return;
    if (takeCell) TakeCell(false);
    cellEditor_->close();
    editCell_ = -1;
    editRow_ = -1;
    if (write) WriteEditedRow();
    else if (editBefore_) Primary() = *editBefore_;
    editBefore_.reset();
    ReloadInPlace();
    if (write && setup_.inPlace->changed) setup_.inPlace->changed();
    Win().at(setup_.listControl).focus();
}

void BrowseList::CellLeft(int key) {
    if (!Editing()) return;
    const int k = QKeyCombination::fromCombined(key).key();
    const int last = static_cast<int>(setup_.inPlace->columns.size()) - 1;
    if (k == 0) {
        // A click elsewhere; the editor has the focus again after a refusal.
        if (!cellEditor_->hasFocus()) FinishEdit(true, true);
        return;
    }
    if (k == Qt::Key_Escape) {
        FinishEdit(false, false);
        return;
    }
    if (!TakeCell(true)) return;
    const int cell = editCell_;
    switch (k) {
        case Qt::Key_Tab:
            if (cell < last) OpenCell(cell + 1);
            else FinishEdit(true, false);
            return;
        case Qt::Key_Backtab:
            if (cell > 0) OpenCell(cell - 1);
            else FinishEdit(true, false);
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
            FinishEdit(true, false);
            if (Move(k == Qt::Key_Up ? list::ListMove::PreviousRow : list::ListMove::NextRow)) BeginEdit(cell);
            return;
        default:  // Enter
            FinishEdit(true, false);
            return;
    }
}

bool BrowseList::EndsEdit(const WindowEvent& e) const {
    switch (e.kind) {
        // The focus moving, the window's size or timer, its opening: the
        // editing goes on (a click elsewhere ends it through the editor).
        case EventKind::Selected:
        case EventKind::Resized:
        case EventKind::GainFocus:
        case EventKind::OpenWindow:
        case EventKind::Timer:
        case EventKind::CellLeft:
            return false;
        case EventKind::User:
            return e.control == setup_.listControl;
        default:
            return true;
    }
}

void BrowseList::DeleteInPlace() {
    if (!ReadSelected()) return;
    data::TableGateway& g = Gateway();
    if (g.DeleteCurrentRecord(false) != data::kDone) g.ShowLastError();
    const int sel = std::max(0, selectedRow());
    const std::string first = lines_.front().position;
    lines_.clear();
    ReadPageFrom(first, 0);
    if (lines_.empty()) ResetFromStart();
    if (!lines_.empty()) SelectRow(std::min(sel, static_cast<int>(lines_.size()) - 1));
    RefreshButtons();
    if (setup_.inPlace->changed) setup_.inPlace->changed();
    Win().at(setup_.listControl).focus();
}

}  // namespace tv::app
