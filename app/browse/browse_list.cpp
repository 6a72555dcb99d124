#include "app/browse/browse_list.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>

#include "app/browse/column_fit.h"
#include "app/browse/message_box.h"
#include "app/browse/vs_find.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/colors.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/list_columns.h"

namespace tv::app {

using list::ListMove;
using ui::EventKind;
using ui::WindowEvent;

namespace {

// List format widths are in the layout's units; these many pixels each.
constexpr double kPixelsPerUnit = 1.5;
constexpr int kPixelsPerIndent = 2;

// Where a cell keeps its selected colours (the list's own when absent).
constexpr int kSelectedForegroundRole = Qt::UserRole + 1;
constexpr int kSelectedBackgroundRole = Qt::UserRole + 2;

int px(int units) { return static_cast<int>(units * kPixelsPerUnit + 0.5); }

Qt::Alignment alignmentOf(list::Align a) {
    switch (a) {
        case list::Align::Right:
        case list::Align::Decimal: return Qt::AlignRight | Qt::AlignVCenter;
        case list::Align::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
        case list::Align::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// Draws a column's indent and its right border; the rest is Qt's.
class ColumnDelegate : public QStyledItemDelegate {
public:
    ColumnDelegate(const list::ListFormat& f, QObject* parent) : QStyledItemDelegate(parent), format_(f) {}
    // A cell needs its indent beside its text.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() < format_.columnCount())
            s.rwidth() += format_.columns()[static_cast<std::size_t>(index.column())].indent * kPixelsPerIndent;
        return s;
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (index.column() >= format_.columnCount()) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        const list::ListColumn& c = format_.columns()[static_cast<std::size_t>(index.column())];
        QStyleOptionViewItem o = option;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        const QVariant bg = index.data(selected ? kSelectedBackgroundRole : Qt::BackgroundRole);
        if (bg.isValid()) p->fillRect(option.rect, bg.value<QBrush>());
        if (selected) {
            if (bg.isValid()) o.palette.setBrush(QPalette::Highlight, bg.value<QBrush>());
            const QVariant fg = index.data(kSelectedForegroundRole);
            if (fg.isValid()) o.palette.setBrush(QPalette::HighlightedText, fg.value<QBrush>());
        }
        const int indent = c.indent * kPixelsPerIndent;
        if (c.align == list::Align::Right || c.align == list::Align::Decimal) o.rect.setRight(o.rect.right() - indent);
        else if (c.align == list::Align::Left) o.rect.setLeft(o.rect.left() + indent);
        QStyledItemDelegate::paint(p, o, index);
        if (c.rightBorder) {
            p->save();
            p->setPen(QColor(0x80, 0x80, 0x80));
            p->drawLine(option.rect.topRight(), option.rect.bottomRight());
            p->restore();
        }
    }

private:
    const list::ListFormat& format_;
};

bool isMovingKey(int key) {
    switch (key) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_PageUp: case Qt::Key_PageDown:
        case Qt::Key_Home: case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

// The list's own input: the moving keys reach the list's thread instead of
// moving inside the page, and the thumb follows the table's size.
class ListInput : public QObject {
public:
    ListInput(ui::Window& w, int control, QTableWidget* table, QScrollBar* bar)
        : QObject(table), window_(w), control_(control), table_(table), bar_(bar) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == table_->viewport()) {
            if (e->type() != QEvent::Wheel) return false;
            // The page holds only what is shown: the wheel moves through the view.
            const int dy = static_cast<QWheelEvent*>(e)->angleDelta().y();
            if (dy != 0)
                window_.post(WindowEvent{EventKind::ListKey, control_,
                                         ui::keyCode(dy < 0 ? Qt::Key_Down : Qt::Key_Up)});
            return true;
        }
        if (o != table_) return false;
        if (e->type() == QEvent::KeyPress) {
            auto* ke = static_cast<QKeyEvent*>(e);
            if (!isMovingKey(ke->key())) return false;
            window_.post(WindowEvent{EventKind::ListKey, control_, ui::keyCode(ke->key(), ke->modifiers())});
            return true;
        }
        if (e->type() == QEvent::KeyRelease) return isMovingKey(static_cast<QKeyEvent*>(e)->key());
        if (e->type() == QEvent::Resize || e->type() == QEvent::Show || e->type() == QEvent::LayoutRequest) {
            placeBar();
            if (e->type() == QEvent::Resize) {
                // The table places its own scroll bar after this event: the
                // thumb follows once it has.
                QTimer::singleShot(0, this, [this] { placeBar(); });
                WindowEvent ev{EventKind::User, control_};
                ev.key = BrowseList::kTagResized;
                window_.post(ev);
            }
        }
        return false;
    }
    void placeBar() {
        QWidget* holder = table_->verticalScrollBar()->parentWidget();
        QRect r = holder != nullptr && holder != table_ ? holder->geometry() : QRect();
        if (!r.isValid()) {
            const int w = table_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            const int f = table_->frameWidth();
            r = QRect(table_->width() - f - w, f, w, table_->height() - 2 * f);
        }
        bar_->setGeometry(r);
        bar_->raise();
    }

private:
    ui::Window& window_;
    int control_;
    QTableWidget* table_;
    QScrollBar* bar_;
};

std::string utf8Of(int qtKey) {
    if (qtKey < 0x20 || qtKey > 0xFF || qtKey == 0x7F) return {};
    return QString(QChar(qtKey)).toStdString();
}

}  // namespace

BrowseList::BrowseList(WindowController& controller, BrowseListSetup setup)
    : controller_(controller), setup_(std::move(setup)), search_(setup_.findColumns) {}

BrowseList::~BrowseList() = default;

data::TableGateway& BrowseList::Gateway() const { return tables_->gateway(setup_.primary); }
data::TableRelations& BrowseList::Relations() const { return tables_->relations(setup_.primary); }
Record& BrowseList::Primary() const { return tables_->buffer(setup_.primary); }

// ---------------------------------------------------------------- set-up

bool BrowseList::SetUpView(data::ThreadTableSet& tables) {
    tables_ = &tables;
    view_ = std::make_unique<view::ViewCursor>(tables.connection());
    tsv_ = std::make_unique<view::TableSetView>(*view_, tables);
    if (!tsv_->setPrimary(setup_.primary)) return false;
    for (const BrowseJoin& j : setup_.joins) tsv_->join(j.table, j.key, j.links, j.kind);

    list::ListFormatError fe;
    if (auto f = list::ListFormat::parse(setup_.format, &fe)) {
        format_ = std::move(*f);
    } else {
        ShowMessage("Error", fe.describe(), MessageIcon::None);
    }
    std::vector<list::SortColumn> sortColumns;
    columnTable_.assign(setup_.columns.size(), -1);
    columnField_.assign(setup_.columns.size(), -1);
    for (std::size_t i = 0; i < setup_.columns.size(); ++i) {
        const BrowseColumn& c = setup_.columns[i];
        list::SortColumn sc{c.field, false, false};
        if (c.compute) {
            view_->addComputed(c.field, c.compute);
        } else if (int t = -1, f = -1; view_->findField(c.field, t, f)) {
            columnTable_[i] = t;
            columnField_[i] = f;
            sc.sortable = true;
            sc.noCase = view_->buffer(t).layout().field(f).type == FieldType::String;
        }
        sortColumns.push_back(sc);
    }
    headerSort_ = list::ColumnHeaderSort(std::move(sortColumns));
    if (!setup_.filter.empty()) {
        expr::ExprError err;
        if (!view_->setFilter(setup_.filter, &err)) ShowMessage("Error", err.message, MessageIcon::None);
    }

    const data::TableDecl& d = data::decl(setup_.primary);
    for (const BrowseOrderSetup& os : setup_.orders) {
        Order o{os, view::ViewCursor::kRecordOrder, -1, false, list::TextScrollStep(), {}, {}, false};
        if (!os.key.empty()) o.key = d.keyIndex(os.key);
        if (o.key < 0) o.key = view::ViewCursor::kRecordOrder;
        o.freeField = d.fieldIndex(os.locatorField);
        o.numeric = o.freeField >= 0 && d.layout->field(o.freeField).type != FieldType::String &&
                    d.layout->field(o.freeField).type != FieldType::Memo;
        switch (os.step) {
            case ScrollStepKind::Text: o.step = list::TextScrollStep(os.descending, true); break;
            case ScrollStepKind::Integer: o.step = list::IntegerScrollStep(os.descending); break;
            case ScrollStepKind::Float: {
                const int places = o.freeField >= 0 ? d.layout->field(o.freeField).places : 2;
                o.step = list::FloatScrollStep(places, os.descending);
                break;
            }
        }
        const list::LocatorField lf{o.numeric, os.descending, true};
        o.stepLocator.setUp(lf);
        o.entryLocator.setUp(lf);
        orders_.push_back(std::move(o));
    }
    if (orders_.empty()) {
        Order o{BrowseOrderSetup{}, view::ViewCursor::kRecordOrder, -1, false, list::TextScrollStep(), {}, {}, false};
        orders_.push_back(std::move(o));
    }

    // The list's controls (insert, change and delete only outside view mode).
    const bool viewOnly = controller_.REQUEST == kView;
    if (!viewOnly) {
        INSERTCONTROL = setup_.buttons.insert;
        CHANGECONTROL = setup_.buttons.change;
        DELETECONTROL = setup_.buttons.del;
    }
    VIEWCONTROL = setup_.buttons.view;
    SELECTCONTROL = setup_.buttons.select;
    PRINTCONTROL = setup_.buttons.print;
    QUERYCONTROL = setup_.buttons.query;
    PRINTPROCEDURE = setup_.printProcedure;
    HIDESELECT = setup_.buttons.hideSelect ? 1 : 0;

    if (picking()) pick_.save(Primary());
    return true;
}

void BrowseList::SetUpControl() {
    ui::Control& c = Win().at(setup_.listControl);
    table_ = c.as<QTableWidget>();
    if (table_ == nullptr) return;
    c.setReportsKeys(true);
    const auto& cols = format_.columns();
    table_->setColumnCount(static_cast<int>(cols.size()));
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->setItemDelegate(new ColumnDelegate(format_, table_));
    QHeaderView* h = table_->horizontalHeader();
    h->setHighlightSections(false);
    h->setSectionsClickable(true);
    h->setMinimumSectionSize(4);
    std::vector<int> designed, indent;
    bool anyHeader = false;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const list::ListColumn& col = cols[i];
        std::string text = col.header;
        if (col.group >= 0) {
            const list::ListGroup& g = format_.groups()[static_cast<std::size_t>(col.group)];
            // The group's header stands over its columns' own, once: over
            // the first of them (the others keep the line, so their own
            // headers stay level).
            const bool first = i == 0 || cols[i - 1].group != col.group;
            text = (first ? g.header : std::string()) + "\n" + col.header;
            anyHeader = anyHeader || !g.header.empty();
        }
        anyHeader = anyHeader || !col.header.empty();
        auto* item = new QTableWidgetItem(QString::fromStdString(text));
        item->setTextAlignment(alignmentOf(col.headerAlign));
        table_->setHorizontalHeaderItem(static_cast<int>(i), item);
        h->setSectionResizeMode(static_cast<int>(i), col.resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
        designed.push_back(px(col.width));
        indent.push_back(col.indent * kPixelsPerIndent);
    }
    h->setVisible(anyHeader);
    // The heading row is as tall as its tallest heading (a group's line over
    // a column's own), whatever size the header last guessed for itself.
    int headingHeight = 0;
    for (int i = 0; i < table_->columnCount(); ++i) headingHeight = std::max(headingHeight, ui::headingHeightNeed(*table_, i));
    h->setMinimumHeight(headingHeight);
    // The last column runs to the list's right edge, as the list control
    // draws it: its text is not cut off beside empty space.
    fit_ = new ColumnFit(*table_, format_, designed, indent);
    fit_->fit();
    ui::Window& w = Win();
    const int num = setup_.listControl;
    QObject::connect(h, &QHeaderView::sectionClicked, table_, [&w, num](int section) {
        const Qt::KeyboardModifiers m = QApplication::keyboardModifiers();
        WindowEvent ev{EventKind::User, num};
        ev.key = kTagHeaderClick;
        ev.column = section;
        ev.value = (m & Qt::ShiftModifier) ? 1 : (m & Qt::ControlModifier) ? 2 : 0;
        w.post(ev);
    });

    // The thumb: the page holds only what is visible, so the bar is the
    // order's own (a thumb positioner), drawn over the table's.
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    bar_ = new QScrollBar(Qt::Vertical, table_);
    bar_->setRange(0, list::kThumbRange);
    bar_->setPageStep(10);
    bar_->setSingleStep(1);
    QObject::connect(bar_, &QAbstractSlider::actionTriggered, table_, [this, &w, num](int action) {
        if (action == QAbstractSlider::SliderMove) return;
        WindowEvent ev{EventKind::User, num};
        ev.key = kTagThumb;
        ev.row = action;
        ev.value = bar_->sliderPosition();
        w.post(ev);
    });
    QObject::connect(bar_, &QAbstractSlider::sliderReleased, table_, [this, &w, num] {
        WindowEvent ev{EventKind::User, num};
        ev.key = kTagThumb;
        ev.row = QAbstractSlider::SliderMove;
        ev.value = bar_->sliderPosition();
        w.post(ev);
    });
    auto* input = new ListInput(w, num, table_, bar_);
    filter_ = input;
    table_->installEventFilter(input);
    table_->viewport()->installEventFilter(input);
    input->placeBar();
    bar_->show();

    settingUp_ = true;
    ResetOrder(true);
    settingUp_ = false;
    RefreshButtons();
}

void BrowseList::FinishPick(int response) {
    // A list whose start was refused (its window open elsewhere) was never
    // set up: it has nothing to hand over and no tables to touch.
    if (tables_ == nullptr) return;
    switch (pick_.finish(Primary(), response)) {
        case list::SelectModeBuffer::Finish::RereadChosen: {
            // The caller gets the whole chosen record, read again by its key.
            if (const ListLine* l = selectedLine()) view_->reget(l->position);
            const data::TableDecl& d = data::decl(setup_.primary);
            int key = d.primaryKey();
            if (key < 0)
                for (std::size_t k = 0; k < d.keys.size(); ++k)
                    if (d.keys[k].unique) {
                        key = static_cast<int>(k);
                        break;
                    }
            if (key >= 0) Gateway().ReadByKey(key);
            break;
        }
        case list::SelectModeBuffer::Finish::Restored:
        case list::SelectModeBuffer::Finish::Nothing:
            break;
    }
}

// ---------------------------------------------------------------- pages

void BrowseList::ShowLines(int selected) {
    RefillList();
    if (table_ != nullptr) {
        QSignalBlocker quiet(table_);
        const auto& cols = format_.columns();
        const int rows = static_cast<int>(lines_.size());
        table_->setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const ListLine& l = lines_[static_cast<std::size_t>(r)];
            for (std::size_t c = 0; c < l.values.size() && c < cols.size(); ++c) {
                QTableWidgetItem* item = table_->item(r, static_cast<int>(c));
                if (item == nullptr) {
                    item = new QTableWidgetItem();
                    table_->setItem(r, static_cast<int>(c), item);
                }
                item->setText(QString::fromStdString(list::formatCell(cols[c], l.values[c])));
                item->setTextAlignment(alignmentOf(cols[c].align));
                const list::CellColours& k = l.colours[c];
                item->setBackground(k.background != ui::kNoColor ? QBrush(ui::fromBgr(k.background)) : QBrush());
                item->setForeground(k.foreground != ui::kNoColor ? QBrush(ui::fromBgr(k.foreground)) : QBrush());
                item->setData(kSelectedForegroundRole, k.selectedForeground != ui::kNoColor
                                                           ? QVariant(QBrush(ui::fromBgr(k.selectedForeground)))
                                                           : QVariant());
                item->setData(kSelectedBackgroundRole, k.selectedBackground != ui::kNoColor
                                                           ? QVariant(QBrush(ui::fromBgr(k.selectedBackground)))
                                                           : QVariant());
            }
        }
        // A unit's name, a 13-digit bar code or a code is read whole,
        // whatever its designed width, while the list has room for it.
        fit_->fit();
        if (rows > 0) table_->setCurrentCell(std::clamp(selected, 0, rows - 1), 0);
        table_->viewport()->update();
    }
    ReadSelected();
    UpdateThumb();
    ReloadDependents();
    if (!settingUp_) RefreshButtons();
    ReportReadError();
}

void BrowseList::SelectRow(int row) {
    if (table_ == nullptr || lines_.empty()) return;
    row = std::clamp(row, 0, static_cast<int>(lines_.size()) - 1);
    {
        QSignalBlocker quiet(table_);
        table_->setCurrentCell(row, 0);
    }
    ReadSelected();
    UpdateThumb();
    ReloadDependents();
}

bool BrowseList::ReadSelected() {
    const ListLine* l = selectedLine();
    if (l == nullptr) return false;
    return view_->reget(l->position).ok();
}

bool BrowseList::Move(ListMove move) {
    const int64_t before = selectedLine() != nullptr ? selectedLine()->row : 0;
    const int sel = selectedRow();
    const int n = pageSize();
    switch (move) {
        case ListMove::None: return false;
        case ListMove::First: ResetFromStart(); break;
        case ListMove::Last: ResetFromEnd(); break;
        case ListMove::NextRow: {
            if (lines_.empty()) return false;
            if (sel + 1 < static_cast<int>(lines_.size())) {
                SelectRow(sel + 1);
                break;
            }
            std::vector<ListLine> more = ReadLines(lines_.back().position, 1, true);
            if (more.empty()) return false;
            lines_.push_back(std::move(more.front()));
            if (static_cast<int>(lines_.size()) > n) lines_.erase(lines_.begin());
            ShowLines(static_cast<int>(lines_.size()) - 1);
            break;
        }
        case ListMove::PreviousRow: {
            if (lines_.empty()) return false;
            if (sel > 0) {
                SelectRow(sel - 1);
                break;
            }
            std::vector<ListLine> more = ReadLines(lines_.front().position, 1, false);
            if (more.empty()) return false;
            lines_.insert(lines_.begin(), std::move(more.front()));
            if (static_cast<int>(lines_.size()) > n) lines_.pop_back();
            ShowLines(0);
            break;
        }
        case ListMove::NextPage: {
            if (lines_.empty()) return false;
            std::vector<ListLine> more = ReadLines(lines_.back().position, n, true);
            if (more.empty()) {
                SelectRow(static_cast<int>(lines_.size()) - 1);
                break;
            }
            for (ListLine& l : more) lines_.push_back(std::move(l));
            if (static_cast<int>(lines_.size()) > n) lines_.erase(lines_.begin(), lines_.end() - n);
            ShowLines(sel);
            break;
        }
        case ListMove::PreviousPage: {
            if (lines_.empty()) return false;
            std::vector<ListLine> more = ReadLines(lines_.front().position, n, false);
            if (more.empty()) {
                SelectRow(0);
                break;
            }
            std::vector<ListLine> page;
            for (auto it = more.rbegin(); it != more.rend(); ++it) page.push_back(std::move(*it));
            for (ListLine& l : lines_) page.push_back(std::move(l));
            if (static_cast<int>(page.size()) > n) page.erase(page.begin() + n, page.end());
            lines_ = std::move(page);
            ShowLines(sel);
            break;
        }
    }
    ReportReadError();
    const int64_t after = selectedLine() != nullptr ? selectedLine()->row : 0;
    return after != before;
}

void BrowseList::UpdateThumb() {
    if (bar_ == nullptr || order_ <= 0) return;
    Order& o = orders_[static_cast<std::size_t>(order_ - 1)];
    int t = 0;
    if (!lines_.empty() && o.freeField >= 0) {
        const Value v = Primary().get(o.freeField);
        if (auto* s = std::get_if<list::TextScrollStep>(&o.step)) {
            t = s->thumbFor(v.asText());
        } else if (auto* i = std::get_if<list::IntegerScrollStep>(&o.step)) {
            t = i->thumbFor(v.asNumber().toInt64());
        } else if (auto* f = std::get_if<list::FloatScrollStep>(&o.step)) {
            t = f->thumbFor(v.asNumber());
        }
    }
    QSignalBlocker quiet(bar_);
    bar_->setValue(t);
}

void BrowseList::SetThumbLimits(Order& o) {
    if (o.freeField < 0 || std::holds_alternative<list::TextScrollStep>(o.step)) return;
    view_->reset();
    if (!view_->next().ok()) return;
    const Decimal low = Primary().number(o.freeField);
    view_->reset();
    if (!view_->previous().ok()) return;
    const Decimal high = Primary().number(o.freeField);
    if (auto* i = std::get_if<list::IntegerScrollStep>(&o.step)) i->setLimits(low.toInt64(), high.toInt64());
    else if (auto* f = std::get_if<list::FloatScrollStep>(&o.step)) f->setLimits(low, high);
    o.limitsKnown = true;
}

void BrowseList::ThumbMoved(int position) {
    if (order_ <= 0) return;
    Order& o = orders_[static_cast<std::size_t>(order_ - 1)];
    list::ThumbTarget target;
    std::visit([&](auto& s) { target = s.valueAt(position); }, o.step);
    if (target.kind == list::ThumbTarget::Kind::First || o.freeField < 0) {
        ResetFromStart();
        return;
    }
    if (target.kind == list::ThumbTarget::Kind::Last) {
        ResetFromEnd();
        return;
    }
    Primary().set(o.freeField, target.value);
    view_->setPositionFromBuffer();
    if (view_->next().ok()) ReadPageFrom(view_->position(), 0);
    else ResetFromEnd();
}

// ---------------------------------------------------------------- orders

void BrowseList::ResetOrder(bool force) {
    const int count = static_cast<int>(orders_.size());
    int order = 1;
    if (count > 1 && setup_.sheetControl != 0) {
        int tab = 0;
        if (ui::Control* sheet = Win().control(setup_.sheetControl))
            if (auto* tw = sheet->as<QTabWidget>()) tab = tw->currentIndex() + 1;
        order = list::orderForTab(tab, count);
    }
    if (force || order != order_) SelectSortOrder(order);
}

void BrowseList::ApplyRange(const Order& o) {
    view_->clearRanges();
    if (o.setup.rangeHeader) tsv_->addRangeByRelation(*o.setup.rangeHeader);
    else if (!o.setup.rangeField.empty()) tsv_->addRange(o.setup.rangeField, o.setup.rangeValue);
}

void BrowseList::SelectSortOrder(int order) {
    order = std::clamp(order, 1, static_cast<int>(orders_.size()));
    if (tracker_.select(order)) {
        // Another tab: the header sort is forgotten.
        headerSort_.clearColumnSort();
        view_->setStartOrder("");
        if (table_ != nullptr) table_->horizontalHeader()->setSortIndicatorShown(false);
    }
    const std::string keep = selectedLine() != nullptr ? selectedLine()->position : std::string();
    order_ = order;
    Order& o = orders_[static_cast<std::size_t>(order - 1)];
    view_->setOrder(o.key, o.setup.addedOrder);
    ApplyRange(o);
    o.entryLocator.reset();
    if (o.setup.locatorEntry != 0)
        if (ui::Control* e = Win().control(o.setup.locatorEntry)) e->setText({});
    SetThumbLimits(o);
    if (settingUp_ || keep.empty()) ResetFromStart();
    else LocatePosition(keep);
}

void BrowseList::HeaderClicked(int column, list::HeaderClick how) {
    if (!setup_.headerSort) return;
    std::optional<std::string> text = headerSort_.onHeaderClick(column, how);
    if (!text) return;
    // OnHeaderSorted.
    QHeaderView* h = table_ != nullptr ? table_->horizontalHeader() : nullptr;
    if (list::reactToHeaderSort(*text) == list::HeaderSortReaction::RestoreLocatorAndResetOrder) {
        view_->setStartOrder("");
        if (h != nullptr) h->setSortIndicatorShown(false);
        ResetOrder(true);
        return;
    }
    expr::ExprError err;
    if (!view_->setStartOrder(*text, &err)) {
        headerSort_.clearColumnSort();
        return;
    }
    if (h != nullptr) {
        for (int c = 0; c < format_.columnCount(); ++c)
            if (headerSort_.rank(c) == 0) {
                h->setSortIndicatorShown(true);
                h->setSortIndicator(c, headerSort_.descending(c).value_or(false) ? Qt::DescendingOrder
                                                                                  : Qt::AscendingOrder);
            }
    }
    const std::string keep = selectedLine() != nullptr ? selectedLine()->position : std::string();
    if (keep.empty()) ResetFromStart();
    else LocatePosition(keep);
}

// ---------------------------------------------------------------- locators

void BrowseList::TypeCharacter(const std::string& ch) {
    if (order_ <= 0) return;
    Order& o = orders_[static_cast<std::size_t>(order_ - 1)];
    if (o.freeField < 0 || o.setup.locator == LocatorKind::None) return;
    if (o.setup.locator == LocatorKind::Entry) {
        if (!o.entryLocator.accepts(ch)) return;
        list::LocatorDecision d = o.entryLocator.onListChar(ch);
        if (ui::Control* e = Win().control(o.setup.locatorEntry)) {
            e->setText(QString::fromStdString(d.text));
            e->focus();
        }
        return;
    }
    if (!o.stepLocator.accepts(ch)) return;
    Move(ListMove::NextRow);
    Value rowValue;
    const Value* rv = nullptr;
    if (selectedLine() != nullptr) {
        rowValue = Primary().get(o.freeField);
        rv = &rowValue;
    }
    list::LocatorDecision d = o.stepLocator.onChar(ch, rv);
    if (d.kind != list::LocatorDecision::Kind::Reposition) return;
    Primary().set(o.freeField, d.value);
    view_->setPositionFromBuffer();
    if (view_->next().ok()) ReadPageFrom(view_->position(), 0);
    else ResetFromEnd();
}

// ---------------------------------------------------------------- buttons

std::vector<int> BrowseList::OwnButtons() const {
    return {INSERTCONTROL, CHANGECONTROL, DELETECONTROL, VIEWCONTROL, SELECTCONTROL, PRINTCONTROL};
}

bool BrowseList::OwnsButton(int control) const {
    if (control == 0) return false;
    for (int b : OwnButtons())
        if (b == control) return true;
    return false;
}

bool BrowseList::ButtonActs(int control) const {
    if (control == 0) return false;
    ui::Control* b = Win().control(control);
    return b != nullptr && !b->disabled();
}

void BrowseList::PressButton(int control) {
    if (ButtonActs(control)) Win().post(WindowEvent{EventKind::Accepted, control});
}

void BrowseList::RefreshButtons() {
    list::ListControls lc;
    lc.insert = setup_.buttons.insert != 0;
    lc.change = setup_.buttons.change != 0;
    lc.del = setup_.buttons.del != 0;
    lc.view = setup_.buttons.view != 0;
    lc.select = setup_.buttons.select != 0;
    lc.print = setup_.buttons.print != 0;
    lc.query = setup_.buttons.query != 0;
    lc.hideSelect = HIDESELECT != 0;
    controls_ = lc;
    if (ui::Control* s = Win().control(SELECTCONTROL))
        selectState_ = {true, !s->disabled(), !s->hidden()};
    const list::ListButtonStates st = list::buttonStates(lc, controller_.REQUEST, !lines_.empty(), selectState_);
    auto apply = [this](int control, const list::ButtonState& s) {
        if (control == 0 || !s.connected) return;
        if (ui::Control* b = Win().control(control)) {
            b->setDisabled(!s.enabled);
            b->setHidden(!s.visible);
        }
    };
    apply(INSERTCONTROL, st.insert);
    apply(CHANGECONTROL, st.change);
    apply(DELETECONTROL, st.del);
    apply(VIEWCONTROL, st.view);
    apply(PRINTCONTROL, st.print);
    apply(SELECTCONTROL, st.select);
    if (SELECTCONTROL != 0 && picking())
        if (ui::Control* b = Win().control(SELECTCONTROL))
            if (auto* pb = b->as<QPushButton>()) pb->setDefault(st.selectIsDefault);
    // The frame's record buttons follow the list's own while its window is
    // the active one.
    if (ui::Window* w = FrameIfActiveChild(Win())) {
        auto set = [w](int control, bool enabled) {
            if (ui::Control* c = w->control(control)) c->setDisabled(!enabled);
        };
        set(list::toolbar::kInsert, st.toolbarInsert);
        set(list::toolbar::kChange, st.toolbarChange);
        set(list::toolbar::kDelete, st.toolbarDelete);
        set(list::toolbar::kSelect, st.toolbarSelect);
        for (int b = list::toolbar::kBottom; b <= list::toolbar::kUp; ++b) set(b, st.toolbarScroll);
        set(list::toolbar::kLocate, st.toolbarLocate);
        set(list::toolbar::kHistory, st.toolbarHistory);
    }
}

void BrowseList::SignalNewSelection() { Win().post(WindowEvent{EventKind::NewSelection, setup_.listControl}); }

void BrowseList::Popup(int row) {
    if (row >= 0) SelectRow(row);
    if (USEPOPUP == 0) return;
    std::vector<std::string> items = list::popupItems(controls_, controller_.REQUEST);
    QStringList shown;
    std::vector<int> targets;
    for (const std::string& it : items) {
        int control = 0;
        if (it == "&Agregar") control = INSERTCONTROL;
        else if (it == "&Cambiar") control = CHANGECONTROL;
        else if (it == "&Borrar") control = DELETECONTROL;
        else if (it == "&Ver") control = VIEWCONTROL;
        else if (it == "&Imprime") control = PRINTCONTROL;
        else if (it == "&Consulta") control = QUERYCONTROL;
        else if (it == "&Elegir") control = SELECTCONTROL;
        const bool edit = control != 0 && (control == INSERTCONTROL || control == CHANGECONTROL ||
                                           control == DELETECONTROL || control == VIEWCONTROL);
        if (edit && EDITVIAPOPUP == 0) continue;
        QString t = QString::fromStdString(it);
        if (it != "-" && !ButtonActs(control) && !(it == "&Elegir" && SELECTCONTROL == 0)) t.prepend('~');
        shown << t;
        targets.push_back(it == "&Elegir" && SELECTCONTROL == 0 ? -1 : control);
    }
    if (shown.isEmpty() || table_ == nullptr) return;
    QPoint at = table_->viewport()->rect().center();
    const int r = selectedRow();
    if (r >= 0) at = table_->visualRect(table_->model()->index(r, 0)).center();
    const int chosen = ui::popupMenu(shown, table_->viewport()->mapToGlobal(at), table_);
    if (chosen < 0 || chosen >= static_cast<int>(targets.size())) return;
    if (targets[static_cast<std::size_t>(chosen)] == -1) Pick();
    else PressButton(targets[static_cast<std::size_t>(chosen)]);
}

void BrowseList::Pick() {
    if (lines_.empty()) return;
    ReadSelected();
    controller_.CloseWithResponse(kCompleted);
}

// ---------------------------------------------------------------- ask cycle

void BrowseList::Ask(int request) {
    if (EditsInPlace(request)) return;
    ThreadState& ts = threadState();
    list::AskCycle cycle(request, INSERTCONTROL != 0);
    while (auto pass = cycle.pass()) {
        const int req = *pass;
        ts.navigationRequest = 0;
        bool prepared = true;
        if (req == list::kRequestInsert) {
            for (int t = 0; t < view_->tableCount(); ++t) view_->buffer(t).clear();
            const Order& o = orders_[static_cast<std::size_t>(std::max(order_, 1) - 1)];
            auto prime = [&](Record& r) {
                // The fields that limit a line list to its header take the range's values.
                if (o.setup.rangeHeader) {
                    for (const data::RelationDecl& rel : data::decl(*o.setup.rangeHeader).relations) {
                        if (rel.related != setup_.primary || !rel.linked) continue;
                        const Record& header = tables_->buffer(*o.setup.rangeHeader);
                        for (const data::LinkDecl& l : rel.links) r.set(l.relatedField, header.get(l.ownField));
                        break;
                    }
                } else if (!o.setup.rangeField.empty()) {
                    const int f = r.layout().indexOf(o.setup.rangeField);
                    if (f >= 0) r.set(f, o.setup.rangeValue);
                }
            };
            prepared = setup_.reserveNew ? setup_.reserveNew(prime) : Gateway().PrepareNewRecord(prime) == data::kDone;
        } else if (!ReadSelected()) {
            break;  // no row to work on
        }
        const uint8_t response =
            prepared ? controller_.CallSubProcedure(ASKPROCEDURE, static_cast<uint8_t>(req)) : static_cast<uint8_t>(kCancelled);
        const int nav = ts.navigationRequest;
        // A reservation nobody completed or gave back means no form handled it
        // (refused because it is open elsewhere, or its set-up failed).
        const bool reservationLeft = req == list::kRequestInsert && prepared && Gateway().AUTOINCDONE != 0 &&
                                     response != kCompleted;
        const bool formRan = prepared && !(reservationLeft && nav == 0);
        const int64_t savedRow = Gateway().file() != nullptr ? Gateway().file()->currentRow() : 0;
        bool stillIn = true;
        if (response == kCompleted && req == list::kRequestChange)
            stillIn = view_->setPositionRow(savedRow) && view_->next().ok() && view_->currentRow() == savedRow;
        const list::AskCycle::After after = cycle.formReturned(response, nav, formRan, stillIn);
        if (after.releaseReservation || reservationLeft) Relations().CancelPendingInsert();
        switch (after.refresh) {
            case list::ListRefresh::EmptyAndReload: {
                const int sel = std::max(0, selectedRow());
                const std::string first = lines_.empty() ? std::string() : lines_.front().position;
                lines_.clear();
                if (first.empty()) ResetFromStart();
                else ReadPageFrom(first, 0);
                if (!lines_.empty()) SelectRow(std::min(sel, static_cast<int>(lines_.size()) - 1));
                break;
            }
            case list::ListRefresh::ReloadInPlace:
                ReloadInPlace();
                break;
            case list::ListRefresh::RepositionOnRecord:
                if (!LocateRow(savedRow)) ReloadInPlace();
                break;
        }
        if (after.move != ListMove::None) cycle.moved(Move(after.move));
    }
    ts.navigationRequest = 0;
    RefreshButtons();
    SignalNewSelection();
    if (table_ != nullptr) Win().at(setup_.listControl).focus();
}

// ---------------------------------------------------------------- search

void BrowseList::ShowBox(const std::string& caption, const std::string& text, bool information) {
    ShowMessage(caption, text, information ? MessageIcon::Information : MessageIcon::None);
}

void BrowseList::SearchView(list::BrowseSearch::Start start) {
    if (start == list::BrowseSearch::Start::AfterSelected && selectedLine() != nullptr) {
        view_->setPosition(selectedLine()->position);
        view_->next();
    } else {
        view_->reset();
    }
    std::optional<expr::Program> program;
    if (!search_.expression().empty()) program = expr::Program::compile(search_.expression(), view_->names());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const list::BrowseSearch::Outcome o = search_.searchView(
        [this] {
            if (!view_->next().ok()) return false;
            threads::maybeYield();
            return true;
        },
        // An expression the evaluator cannot compute matches nothing.
        [&program] { return program.has_value() && program->test(); });
    QApplication::restoreOverrideCursor();
    switch (o.kind) {
        case list::BrowseSearch::Outcome::Kind::NoCriteria:
            ShowBox(o.caption, o.message, false);
            ReloadInPlace();
            break;
        case list::BrowseSearch::Outcome::Kind::Found:
            LocateCurrentRecord();
            SignalNewSelection();
            break;
        case list::BrowseSearch::Outcome::Kind::NoMore:
            ShowBox(o.caption, o.message, true);
            ReadSelected();
            break;
    }
    if (table_ != nullptr) Win().at(setup_.listControl).focus();
}

void BrowseList::ApplyFilterText() {
    expr::ExprError err;
    if (!view_->setNamedFilter(list::kFindFilterName, search_.filterText(), &err)) {
        ErrorReporter::instance().setErrorText(0, err.message);
        ErrorReporter::instance().raise(43);
    }
    // The list shows what the filter leaves at once.
    ResetFromStart();
    if (table_ != nullptr) Win().at(setup_.listControl).focus();
}

void BrowseList::HandleSearchKey(int key) {
    switch (list::BrowseSearch::onKey(key)) {
        case list::BrowseSearch::Plan::NotMine:
            return;
        case list::BrowseSearch::Plan::AskThenSearch: {
            search_.beginAsk();
            list::FindCriteria& c = search_.criteria();
            bool refused = false;
            const std::string e = vsFind(search_.columnList(), c.lastColumn, c.lastValue, c.findNext, &refused);
            const list::BrowseSearch::Start start = search_.askAnswered(e, refused);
            if (start == list::BrowseSearch::Start::Nothing) return;
            SearchView(start);
            return;
        }
        case list::BrowseSearch::Plan::Search:
            SearchView(list::BrowseSearch::startForNext());
            return;
        case list::BrowseSearch::Plan::AskThenFilter: {
            search_.beginAsk();
            list::FindCriteria& c = search_.criteria();
            bool refused = false;
            const std::string e = vsFind(search_.columnList(), c.lastColumn, c.lastValue, c.findNext, &refused);
            if (!search_.filterAnswered(e, refused)) return;
            ApplyFilterText();
            return;
        }
    }
}

// ---------------------------------------------------------------- events

int BrowseList::KeyToSearch(int key) const {
    switch (QKeyCombination::fromCombined(key).key()) {
        case Qt::Key_F3: return list::kKeyF3;
        case Qt::Key_F4: return list::kKeyF4;
        case Qt::Key_F6: return list::kKeyF6;
        default: return 0;
    }
}

void BrowseList::RegisterAlertKeys(ui::Window& w) {
    w.alertKey(ui::keyCode(Qt::Key_F3), setup_.listControl);
    w.alertKey(ui::keyCode(Qt::Key_F6), setup_.listControl);
    w.alertKey(ui::keyCode(Qt::Key_F4), setup_.listControl);
}

void BrowseList::HandleListKey(int code) {
    const QKeyCombination kc = QKeyCombination::fromCombined(code);
    const int key = kc.key();
    const Qt::KeyboardModifiers mods = kc.keyboardModifiers();
    const bool ctrl = (mods & Qt::ControlModifier) != 0;
    const bool shift = (mods & Qt::ShiftModifier) != 0;
    if (int s = KeyToSearch(code); s != 0 && !ctrl) {
        HandleSearchKey(s);
        return;
    }
    switch (key) {
        case Qt::Key_Insert: PressButton(INSERTCONTROL); return;
        case Qt::Key_Delete: PressButton(DELETECONTROL); return;
        case Qt::Key_Return:
            if (ctrl) PressButton(CHANGECONTROL);
            else if (shift) PressButton(VIEWCONTROL);
            return;
        case Qt::Key_Down: Move(ListMove::NextRow); return;
        case Qt::Key_Up: Move(ListMove::PreviousRow); return;
        case Qt::Key_PageDown: Move(ListMove::NextPage); return;
        case Qt::Key_PageUp: Move(ListMove::PreviousPage); return;
        case Qt::Key_Home: Move(ListMove::First); return;
        case Qt::Key_End: Move(ListMove::Last); return;
        default: break;
    }
    if (ctrl || (mods & Qt::AltModifier)) return;
    const std::string ch = utf8Of(key);
    if (!ch.empty()) TypeCharacter(ch);
}

void BrowseList::HandleMouse(const WindowEvent& e) {
    if (e.button == Qt::RightButton) {
        if (e.row >= 0) Popup(e.row);
        return;
    }
    if (e.button != Qt::LeftButton || e.clicks != 2 || e.row < 0) return;
    if (picking()) {
        if (SELECTCONTROL != 0) PressButton(SELECTCONTROL);
        else Pick();
    } else {
        PressButton(CHANGECONTROL);
    }
}

void BrowseList::HandleToolbar(int button) {
    namespace tb = list::toolbar;
    switch (button) {
        case tb::kInsert: PressButton(INSERTCONTROL); break;
        case tb::kChange: PressButton(CHANGECONTROL); break;
        case tb::kDelete: PressButton(DELETECONTROL); break;
        case tb::kSelect: Pick(); break;
        case tb::kLocate: {
            const Order* o = order_ > 0 ? &orders_[static_cast<std::size_t>(order_ - 1)] : nullptr;
            if (o != nullptr && o->setup.locator == LocatorKind::Entry && o->setup.locatorEntry != 0)
                Win().at(o->setup.locatorEntry).focus();
            else if (table_ != nullptr)
                Win().at(setup_.listControl).focus();
            break;
        }
        case tb::kHistory: break;
        case tb::kHelp: Win().pressKey(ui::keyCode(Qt::Key_F1)); break;
        default:
            Move(list::moveFor(button));
            break;
    }
}

bool BrowseList::TakeEvent(WindowController&, const WindowEvent& e) {
    if (table_ == nullptr) return false;
    const int me = setup_.listControl;
    if (Editing()) {
        if (e.kind == EventKind::CellLeft && e.control == me) {
            CellLeft(e.key);
            return true;
        }
        // Whatever else happens in the window finds the row written.
        if (EndsEdit(e)) EndEdit(true);
    }
    if (e.control == me) {
        switch (e.kind) {
            case EventKind::AlertKey:
                if (int s = KeyToSearch(e.key); s != 0) {
                    HandleSearchKey(s);
                    return true;
                }
                return false;
            case EventKind::ListKey:
                HandleListKey(e.key);
                return true;
            case EventKind::ListMouse:
                HandleMouse(e);
                return true;
            case EventKind::NewSelection:
                // A click moved the selection inside the page. Another
                // component may have read the record already (the document
                // list its supplier); the thumb and the lines follow all the same.
                if (const ListLine* l = selectedLine()) {
                    if (l->row != view_->currentRow()) ReadSelected();
                    UpdateThumb();
                    ReloadDependents();
                }
                return false;
            case EventKind::User:
                if (e.key == kTagHeaderClick) {
                    HeaderClicked(e.column, e.value == 1   ? list::HeaderClick::Shift
                                            : e.value == 2 ? list::HeaderClick::Ctrl
                                                           : list::HeaderClick::Plain);
                    return true;
                }
                if (e.key == kTagThumb) {
                    switch (e.row) {
                        case QAbstractSlider::SliderSingleStepAdd: Move(ListMove::NextRow); break;
                        case QAbstractSlider::SliderSingleStepSub: Move(ListMove::PreviousRow); break;
                        case QAbstractSlider::SliderPageStepAdd: Move(ListMove::NextPage); break;
                        case QAbstractSlider::SliderPageStepSub: Move(ListMove::PreviousPage); break;
                        case QAbstractSlider::SliderToMinimum: Move(ListMove::First); break;
                        case QAbstractSlider::SliderToMaximum: Move(ListMove::Last); break;
                        default: ThumbMoved(e.value); break;
                    }
                    return true;
                }
                if (e.key == kTagResized) {
                    const int n = pageSize();
                    if (n != static_cast<int>(lines_.size())) ReloadInPlace();
                    return true;
                }
                return false;
            default:
                return false;
        }
    }
    if (e.kind == EventKind::NewSelection && setup_.sheetControl != 0 && e.control == setup_.sheetControl) {
        ResetOrder();
        return false;
    }
    // Enter is the window's alert key, so the entry itself never sees it:
    // Return in the locator entry is taken here as accepting the entry.
    const bool locate = e.kind == EventKind::Accepted || (e.kind == EventKind::AlertKey && e.key == ui::kEnterKey);
    if (locate && e.control != 0 && order_ > 0) {
        Order& o = orders_[static_cast<std::size_t>(order_ - 1)];
        if (o.setup.locator == LocatorKind::Entry && e.control == o.setup.locatorEntry) {
            o.entryLocator.setText(Win().at(e.control).text().toStdString());
            list::LocatorDecision d = o.entryLocator.accept();
            if (d.kind == list::LocatorDecision::Kind::Reposition && o.freeField >= 0) {
                Primary().set(o.freeField, d.value);
                view_->setPositionFromBuffer();
                if (view_->next().ok()) ReadPageFrom(view_->position(), 0);
                else ResetFromEnd();
            } else if (d.kind == list::LocatorDecision::Kind::Refused) {
                ShowBox("Error", d.message, false);
                // Cleared, so that the message does not come back on every
                // later click or Enter.
                o.entryLocator.reset();
                Win().at(e.control).setText({});
            }
            return true;
        }
    }
    if (e.kind == EventKind::Accepted && e.control != 0) {
        if (!OwnsButton(e.control) || !ButtonActs(e.control)) return false;
        const int c = e.control;
        if (c == INSERTCONTROL) Ask(list::kRequestInsert);
        else if (c == CHANGECONTROL) Ask(list::kRequestChange);
        else if (c == DELETECONTROL) Ask(list::kRequestDelete);
        else if (c == VIEWCONTROL) Ask(list::kRequestView);
        else if (c == SELECTCONTROL) {
            // A list that is not picking just closes.
            if (picking()) Pick();
            else controller_.CloseWithResponse(kCompleted);
        } else if (c == PRINTCONTROL) {
            if (ReadSelected()) {
                const std::string keep = selectedLine()->position;
                controller_.CallSubProcedure(PRINTPROCEDURE, list::kRequestPrint);
                LocatePosition(keep);
            }
        }
        return true;
    }
    return false;
}

void BrowseList::ReloadDependents() {
    // The lines follow the selected header record; the same record keeps
    // its lines where they were.
    const int64_t row = selectedLine() != nullptr ? selectedLine()->row : 0;
    if (row == dependentsRow_) return;
    dependentsRow_ = row;
    for (BrowseList* d : setup_.dependents)
        if (d != nullptr && d->table_ != nullptr) d->ResetFromStart();
}

// ---------------------------------------------------------------- toolbar

bool ListToolbarBinding::TakeEvent(WindowController&, const WindowEvent& e) {
    if (e.kind == EventKind::GainFocus) {
        UpdateFrameButtons();
        return false;
    }
    if (e.kind != EventKind::Accepted || e.control < list::toolbar::kInsert || e.control > list::toolbar::kHelp)
        return false;
    list_.HandleToolbar(e.control);
    return true;
}

void ListToolbarBinding::UpdateFrameButtons() { list_.RefreshButtons(); }

}  // namespace tv::app
