#include "reports/template/code_combo.h"

#include <algorithm>

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>

#include "app/list/list_format.h"
#include "data/thread_table_set.h"
#include "platform/types/picture.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::reports {

CodeDropCombo::CodeDropCombo(ui::Window& window, Config config) : window_(window), config_(std::move(config)) {}

void CodeDropCombo::Load() {
    const data::TableDecl& d = data::decl(config_.table);
    const int code = d.fieldIndex(config_.codeField);
    const int name = d.fieldIndex(config_.nameField);
    data::TableGateway& g = data::tables().gateway(config_.table);
    entries_.clear();
    if (code >= 0 && name >= 0 && g.OpenTable() == data::kDone) {
        int key = -1;
        for (std::size_t k = 0; k < d.keys.size(); ++k)
            if (d.keys[k].components.size() == 1 && d.keys[k].components[0] == code) key = static_cast<int>(k);
        const int saved = g.SaveBuffer();
        if (g.SetPositionToStart(key >= 0 ? key : storage::Table::kRecordOrder) == data::kDone) {
            while (g.ReadNextQuiet() == data::kDone)
                entries_.emplace_back(g.BUFFER.number(code).toInt64(),
                                      std::string(rtrim(g.BUFFER.get(name).asText())));
        }
        g.RestoreBuffer(saved);
        g.CloseTable();
    }

    auto* combo = window_.at(config_.control).as<QComboBox>();
    if (combo == nullptr) return;
    const std::optional<list::ListFormat> format = list::ListFormat::parse(config_.format);
    auto* model = new QStandardItemModel(static_cast<int>(entries_.size()), 2, combo);
    for (int c = 0; c < 2; ++c) {
        QString header;
        if (format && c < format->columnCount())
            header = QString::fromStdString(format->columns()[static_cast<std::size_t>(c)].header);
        model->setHorizontalHeaderItem(c, new QStandardItem(header));
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        auto* codeItem = new QStandardItem(QString::number(entries_[i].first));
        codeItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        model->setItem(static_cast<int>(i), 0, codeItem);
        model->setItem(static_cast<int>(i), 1, new QStandardItem(QString::fromStdString(entries_[i].second)));
    }
    const QSignalBlocker quiet(combo);
    const QString typed = combo->currentText();
    auto* view = new QTableView(combo);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->hide();
    view->setShowGrid(false);
    combo->setModel(model);
    combo->setView(view);
    combo->setModelColumn(0);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    if (format && format->columnCount() >= 2) {
        // The list format's widths are in dialog units: about 1.5 pixels
        // each; a heading is never cut.
        int total = 24;
        for (int c = 0; c < 2; ++c) {
            const auto& col = format->columns()[static_cast<std::size_t>(c)];
            const int w = std::max(col.width * 3 / 2,
                                   view->fontMetrics().horizontalAdvance(QString::fromStdString(col.header)) + 16);
            view->setColumnWidth(c, w);
            total += w;
        }
        view->setMinimumWidth(total);
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(typed);
}

std::optional<Decimal> CodeDropCombo::Code(std::string* error) const {
    auto* combo = window_.at(config_.control).as<QComboBox>();
    const std::string text = combo != nullptr ? combo->currentText().toStdString() : std::string();
    static const Picture entry = *Picture::parse("n_5");
    std::optional<Value> v = entry.read(text, error);
    if (!v) return std::nullopt;
    return v->asNumber();
}

}  // namespace tv::reports
