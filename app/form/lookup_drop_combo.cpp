#include "app/form/lookup_drop_combo.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include <QComboBox>
#include <QLineEdit>

#include "app/form/form_controller.h"
#include "data/thread_table_set.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"

namespace tv::app {

namespace {

int fieldOf(data::TableId t, const std::string& name) {
    const int f = data::decl(t).fieldIndex(name);
    if (f < 0) throw std::invalid_argument("no field " + name + " in " + data::decl(t).label);
    return f;
}

}  // namespace

LookupDropCombo::LookupDropCombo(FormController& form, LookupConfig config)
    : form_(form), config_(std::move(config)) {
    codeField_ = fieldOf(config_.table, config_.codeField);
    nameField_ = fieldOf(config_.table, config_.nameField);
    prefillField_ = config_.prefillField.empty() ? nameField_ : fieldOf(config_.table, config_.prefillField);
    targetField_ = fieldOf(form.PrimaryId(), config_.targetField);
}

void LookupDropCombo::Attach() {
    if (attached_) return;
    ui::Control* c = form_.Win().control(config_.control);
    auto* combo = c != nullptr ? c->as<QComboBox>() : nullptr;
    if (combo == nullptr) return;
    attached_ = true;
    combo->setInsertPolicy(QComboBox::NoInsert);
    if (QLineEdit* edit = combo->lineEdit()) {
        // Leaving the combo after typing accepts the text, as an entry does.
        ui::Window* w = &form_.Win();
        const int n = config_.control;
        QObject::connect(edit, &QLineEdit::editingFinished, combo,
                         [w, n] { w->post(ui::WindowEvent{ui::EventKind::Accepted, n}); });
    }
}

void LookupDropCombo::Load() {
    data::TableGateway& g = form_.Tables().gateway(config_.table);
    entries_.clear();
    const int saved = g.SaveBuffer();
    const int key = config_.keyOrder.empty() ? storage::Table::kRecordOrder
                                             : data::decl(config_.table).keyIndex(config_.keyOrder);
    if (g.SetPositionToStart(key) == data::kDone) {
        while (g.ReadNextQuiet() == data::kDone) {
            const Record& r = g.BUFFER;
            entries_.emplace_back(r.number(codeField_).toInt64(), std::string(rtrim(r.get(nameField_).asText())));
        }
    }
    g.RestoreBuffer(saved);
    // Without a key, in code order, each shown with its code: two entries of
    // one name can each be told apart and picked.
    if (config_.keyOrder.empty())
        std::stable_sort(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    ui::Control* c = form_.Win().control(config_.control);
    auto* combo = c != nullptr ? c->as<QComboBox>() : nullptr;
    if (combo == nullptr) return;
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const auto& [code, name] : entries_)
        combo->addItem(QString::fromStdString(EntryText(code, name)), QVariant::fromValue(code));
    UpdateWindow();
}

std::string LookupDropCombo::EntryText(long long code, const std::string& name) const {
    if (codeField_ == nameField_) return std::to_string(code);
    return std::to_string(code) + " - " + name;
}

std::optional<long long> LookupDropCombo::Match(const std::string& typed) const {
    for (const auto& [code, name] : entries_)
        if (compareNoCase(EntryText(code, name), typed) == 0) return code;
    // A code typed alone: listed, or the one the record holds already (its
    // entry may have been deleted; the record keeps it).
    long long n = 0;
    auto [p, ec] = std::from_chars(typed.data(), typed.data() + typed.size(), n);
    if (ec == std::errc() && p == typed.data() + typed.size()) {
        for (const auto& [code, name] : entries_)
            if (code == n) return code;
        if (n != 0 && n == form_.Buffer().number(targetField_).toInt64()) return n;
    }
    // A name: the first entry of that name in code order.
    for (const auto& [code, name] : entries_)
        if (compareNoCase(name, typed) == 0) return code;
    return std::nullopt;
}

void LookupDropCombo::select(long long code) {
    ui::Control* c = form_.Win().control(config_.control);
    auto* combo = c != nullptr ? c->as<QComboBox>() : nullptr;
    if (combo == nullptr) return;
    const QSignalBlocker quiet(combo);
    const int i = code == 0 ? -1 : combo->findData(QVariant::fromValue(code));
    combo->setCurrentIndex(i);
    // A code whose entry is gone is shown as the code alone.
    if (i < 0) combo->setEditText(code == 0 ? QString() : QString::number(code));
}

void LookupDropCombo::UpdateWindow() {
    select(form_.Buffer().number(targetField_).toInt64());
}

void LookupDropCombo::UpdateBuffers() {
    ui::Control* c = form_.Win().control(config_.control);
    if (c == nullptr) return;
    const std::string typed(trim(c->text().toStdString()));
    if (typed.empty()) {
        form_.Buffer().set(targetField_, Value(0));
        return;
    }
    if (std::optional<long long> code = Match(typed)) form_.Buffer().set(targetField_, Value(*code));
}

void LookupDropCombo::refuse() {
    form_.Buffer().set(targetField_, Value(0));
    select(0);
    if (ui::Control* c = form_.Win().control(config_.control)) c->focus();
}

bool LookupDropCombo::Accept() {
    ui::Control* c = form_.Win().control(config_.control);
    if (c == nullptr || form_.ViewMode()) return true;
    const std::string typed(trim(c->text().toStdString()));
    if (typed.empty()) {
        form_.Buffer().set(targetField_, Value(0));
        return true;
    }
    if (std::optional<long long> code = Match(typed)) {
        form_.Buffer().set(targetField_, Value(*code));
        select(*code);
        return true;
    }
    if (config_.addForm == 0) {
        ui::beep();
        refuse();
        return false;
    }
    // The name goes to the new record whole, or not at all.
    const FieldSpec& name = form_.Tables().buffer(config_.table).layout().field(prefillField_);
    if (name.type == FieldType::String && !form_.FitsOrRefuse(*c, static_cast<std::size_t>(name.size))) return false;
    // A new catalogue record, prepared as a list prepares an insert, with
    // the typed text already in it.
    data::TableGateway& g = form_.Tables().gateway(config_.table);
    data::TableRelations& rel = form_.Tables().relations(config_.table);
    if (g.PrepareNewRecord() != data::kDone) {
        refuse();
        return false;
    }
    g.BUFFER.set(prefillField_, Value(typed));
    const uint8_t response = form_.CallSubProcedure(config_.addForm, kInsert);
    if (response == kCompleted) {
        const long long code = g.BUFFER.number(codeField_).toInt64();
        form_.Buffer().set(targetField_, Value(code));
        Load();
        select(code);
        return true;
    }
    // No record was added: whatever was reserved for it goes back.
    if (g.AUTOINCDONE != 0) rel.CancelPendingInsert();
    refuse();
    return false;
}

bool LookupDropCombo::TakeEvent(WindowController&, const ui::WindowEvent& e) {
    if (e.kind != ui::EventKind::Accepted || e.control != config_.control) return false;
    if (!form_.Closed()) Accept();
    return true;
}

}  // namespace tv::app
