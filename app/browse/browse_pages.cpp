// The list's page: reading the rows of the visible page from the view
// around an anchor, and where a read fails for another reason than the end
// of the records, saying so with the table layer's message.
#include "app/browse/browse_list.h"

#include <algorithm>

#include <QHeaderView>
#include <QTableWidget>

#include "data/thread_table_set.h"

namespace tv::app {

void BrowseList::NoteReadError(const storage::Status& st) {
    // The end of the records is no error; anything else (a damaged page,
    // an I/O error) is, and the list must not look as if it held no more.
    if (st.ok() || st.code == storage::kRecordNotAvailable || readError_) return;
    readError_ = st;
}

void BrowseList::ReportReadError() {
    if (!readError_) return;
    const storage::Status st = *readError_;
    readError_.reset();
    Gateway().report(kMsgReadError, st);
}

int BrowseList::pageSize() const {
    if (table_ == nullptr) return 1;
    const int rowHeight = std::max(1, table_->verticalHeader()->defaultSectionSize());
    const int h = table_->viewport()->height();
    return std::max(1, h / rowHeight);
}

int BrowseList::selectedRow() const {
    if (table_ == nullptr || lines_.empty()) return -1;
    const int r = table_->currentRow();
    return r >= 0 && r < static_cast<int>(lines_.size()) ? r : 0;
}

const ListLine* BrowseList::selectedLine() const {
    const int r = selectedRow();
    return r < 0 ? nullptr : &lines_[static_cast<std::size_t>(r)];
}

ListLine BrowseList::FillListLine() {
    ListLine l;
    const std::size_t n = setup_.columns.size();
    l.values.resize(n);
    l.colours.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const BrowseColumn& c = setup_.columns[i];
        if (columnTable_[i] >= 0) {
            l.values[i] = view_->buffer(columnTable_[i]).get(columnField_[i]);
        } else if (c.compute) {
            if (auto v = view_->computed(c.field)) l.values[i] = *v;
        } else if (auto v = tables_->lookupBoundField(c.field)) {
            l.values[i] = *v;
        }
    }
    l.position = view_->position();
    l.row = view_->currentRow();
    return l;
}

void BrowseList::RefillList() {
    // The stripes belong to the screen rows, not to the records.
    for (std::size_t p = 0; p < lines_.size(); ++p) {
        const list::CellColours stripe = list::stripeColours(static_cast<int>(p) + 1);
        for (std::size_t c = 0; c < lines_[p].colours.size(); ++c) {
            const bool own = c < format_.columns().size() && format_.columns()[c].cellColours;
            lines_[p].colours[c] = own && setup_.stripes ? stripe : list::CellColours{};
        }
    }
}

std::vector<ListLine> BrowseList::ReadLines(const std::string& pos, int n, bool forward) {
    std::vector<ListLine> out;
    if (n <= 0) return out;
    view::ViewCursor& v = *view_;
    v.setPosition(pos);
    // The first read returns the record at the position itself.
    storage::Status st = forward ? v.next() : v.previous();
    if (st.ok()) v.readPage(n, forward, [&] { out.push_back(FillListLine()); }, &st);
    NoteReadError(st);
    return out;
}

bool BrowseList::ReadPageFrom(const std::string& anchorPosition, int screenRow) {
    const int n = pageSize();
    if (anchorPosition.empty()) view_->reset();
    else view_->setPosition(anchorPosition);
    if (const storage::Status st = view_->next(); !st.ok()) {
        NoteReadError(st);
        ResetFromEnd();
        return false;
    }
    ListLine anchor = FillListLine();
    screenRow = std::clamp(screenRow, 0, n - 1);
    std::vector<ListLine> before = ReadLines(anchor.position, screenRow, false);
    std::vector<ListLine> after =
        ReadLines(anchor.position, n - 1 - static_cast<int>(before.size()), true);
    // Near the end, the page is filled up from before.
    const int missing = n - 1 - static_cast<int>(before.size()) - static_cast<int>(after.size());
    if (missing > 0) {
        const std::string& from = before.empty() ? anchor.position : before.back().position;
        std::vector<ListLine> more = ReadLines(from, missing, false);
        before.insert(before.end(), more.begin(), more.end());
    }
    lines_.clear();
    for (auto it = before.rbegin(); it != before.rend(); ++it) lines_.push_back(std::move(*it));
    const int selected = static_cast<int>(lines_.size());
    lines_.push_back(std::move(anchor));
    for (ListLine& l : after) lines_.push_back(std::move(l));
    ShowLines(selected);
    return true;
}

void BrowseList::ResetFromStart() {
    view_->reset();
    lines_.clear();
    storage::Status st;
    view_->readPage(pageSize(), true, [this] { lines_.push_back(FillListLine()); }, &st);
    NoteReadError(st);
    ShowLines(0);
}

void BrowseList::ResetFromEnd() {
    view_->reset();
    std::vector<ListLine> back;
    storage::Status st;
    view_->readPage(pageSize(), false, [&] { back.push_back(FillListLine()); }, &st);
    NoteReadError(st);
    lines_.assign(std::make_move_iterator(back.rbegin()), std::make_move_iterator(back.rend()));
    ShowLines(static_cast<int>(lines_.size()) - 1);
}

void BrowseList::ReloadInPlace() {
    if (lines_.empty()) {
        ResetFromStart();
        return;
    }
    const int sel = std::max(0, selectedRow());
    const std::string first = lines_.front().position;
    const std::string chosen = lines_[static_cast<std::size_t>(sel)].position;
    // The selected record keeps its screen row when it is still there.
    view_->setPosition(chosen);
    const storage::Status st = view_->next();
    NoteReadError(st);
    if (st.ok() && view_->position() == chosen) {
        ReadPageFrom(chosen, sel);
        return;
    }
    ReadPageFrom(first, 0);
    if (!lines_.empty()) SelectRow(std::min(sel, static_cast<int>(lines_.size()) - 1));
}

void BrowseList::LocateCurrentRecord() {
    const std::string pos = view_->position();
    if (pos.empty()) {
        ResetFromStart();
        return;
    }
    ReadPageFrom(pos, std::max(0, selectedRow()));
}

bool BrowseList::LocatePosition(const std::string& position) {
    if (position.empty()) {
        ResetFromStart();
        return false;
    }
    return ReadPageFrom(position, std::max(0, selectedRow()));
}

bool BrowseList::LocateRow(int64_t row) {
    if (row == 0 || !view_->setPositionRow(row)) return false;
    if (!view_->next().ok() || view_->currentRow() != row) return false;
    LocateCurrentRecord();
    return true;
}


}  // namespace tv::app
