#include "movements/common/unit_of_work.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "data/table_set_snapshot.h"
#include "data/transaction.h"
#include "platform/errors/error_reporter.h"

namespace tv::movements {

namespace {

constexpr int kMsgTransaction = 24;

PostingProbe& probe() {
    static PostingProbe p;
    return p;
}

}  // namespace

void SetPostingProbe(PostingProbe p) { probe() = std::move(p); }

int Posting::Field(data::TableId t, std::string_view name) {
    const int f = data::decl(t).fieldIndex(name);
    if (f < 0) throw std::invalid_argument("no field " + std::string(name) + " in " + data::decl(t).label);
    return f;
}

bool Posting::Refuse(int message, std::string_view messageText) {
    if (Failed()) return false;
    kind_ = Kind::Message;
    message_ = message;
    text_ = std::string(messageText);
    return false;
}

bool Posting::RefuseWith(std::string caption, std::string text) {
    if (Failed()) return false;
    kind_ = Kind::Box;
    caption_ = std::move(caption);
    text_ = std::move(text);
    return false;
}

bool Posting::TableFailed(data::TableGateway& g) {
    if (Failed()) return false;
    kind_ = Kind::Table;
    failed_ = &g;
    return false;
}

void Posting::ShowRefusal() const {
    switch (kind_) {
        case Kind::None: return;
        case Kind::Message: ErrorReporter::instance().raise(message_, text_); return;
        case Kind::Table: failed_->ShowLastError(); return;
        case Kind::Box: {
            MessageBox box;
            box.caption = caption_;
            box.text = text_;
            box.icon = MessageBox::Icon::Warning;
            if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
            else std::fprintf(stderr, "%s: %s\n", caption_.c_str(), text_.c_str());
            return;
        }
    }
}

std::string Posting::RefusalText() const {
    switch (kind_) {
        case Kind::None: return {};
        case Kind::Message: {
            ErrorReporter& er = ErrorReporter::instance();
            er.setMessage(text_);
            return er.formatText(message_);
        }
        case Kind::Table: return "table " + failed_->FILENAMEVALUE + " message " + std::to_string(failed_->LASTERROR);
        case Kind::Box: return caption_ + ": " + text_;
    }
    return {};
}

bool Posting::Step(std::string_view step, long long n) {
    if (Failed()) return false;
    if (!probe() || probe()(step, n)) return true;
    return RefuseWith("Error al registrar", "El registro se interrumpió (" + std::string(step) + " " +
                                                std::to_string(n) + "); no se guardó nada.");
}

bool Posting::Find(data::TableId t, std::string_view keyName) { return FindReading(t, keyName, nullptr); }

bool Posting::Find(data::TableId t, std::string_view keyName, const std::vector<int>& fields) {
    return FindReading(t, keyName, &fields);
}

bool Posting::FindReading(data::TableId t, std::string_view keyName, const std::vector<int>* fields) {
    if (Failed()) return false;
    data::TableGateway& g = Gateway(t);
    const int key = g.declaration().keyIndex(keyName);
    if (key < 0) throw std::invalid_argument("no key " + std::string(keyName));
    if (g.UseOnDemand() != data::kDone) return TableFailed(g);
    stored_[static_cast<std::size_t>(t)].clear();
    const storage::Status st = fields ? g.file()->readByKey(key, g.BUFFER, *fields) : g.file()->readByKey(key, g.BUFFER);
    if (st.ok()) {
        if (fields) readInPart_[static_cast<std::size_t>(t)] = true;
        return true;
    }
    if (st.code == storage::kRecordNotAvailable) return false;
    g.recordError(1, st);
    return TableFailed(g);
}

bool Posting::ReadWholeWhatWasReadInPart() {
    for (std::size_t i = 0; i < readInPart_.size(); ++i) {
        if (!readInPart_[i] || Failed()) continue;
        readInPart_[i] = false;
        data::TableGateway& g = Gateway(static_cast<data::TableId>(i));
        storage::Table* file = g.file();
        if (file == nullptr || !file->currentPartial()) continue;
        const storage::Status st = file->readByRow(file->currentRow(), g.BUFFER);
        if (!st.ok()) {
            g.recordError(1, st);
            return TableFailed(g);
        }
    }
    return !Failed();
}

bool Posting::Insert(data::TableId t) {
    if (Failed()) return false;
    stored_[static_cast<std::size_t>(t)].clear();
    data::TableGateway& g = Gateway(t);
    return g.InsertRecordQuiet() == data::kDone || TableFailed(g);
}

bool Posting::Update(data::TableId t) {
    if (Failed()) return false;
    stored_[static_cast<std::size_t>(t)].clear();
    data::TableGateway& g = Gateway(t);
    return g.UpdateRecordQuiet() == data::kDone || TableFailed(g);
}

bool Posting::Update(data::TableId t, const std::vector<int>& fields) {
    if (Failed()) return false;
    data::TableGateway& g = Gateway(t);
    return g.UpdateFieldsQuiet(fields) == data::kDone || TableFailed(g);
}

bool Posting::UpdateStored(data::TableId t) {
    if (Failed()) return false;
    std::vector<int>& fields = stored_[static_cast<std::size_t>(t)];
    if (fields.empty()) return true;
    const bool ok = Update(t, fields);
    fields.clear();
    return ok;
}

bool Posting::Store(data::TableId t, int field, const Value& v) {
    if (Failed()) return false;
    if (Buffer(t).setChecked(field, v) == StoreStatus::Ok) {
        std::vector<int>& fields = stored_[static_cast<std::size_t>(t)];
        if (std::find(fields.begin(), fields.end(), field) == fields.end()) fields.push_back(field);
        return true;
    }
    const std::string shown = v.isText() ? v.asText() : v.asNumber().toText();
    return RefuseWith("Valor demasiado grande", "El valor " + shown + " no cabe en " +
                                                    data::decl(t).layout->field(field).name +
                                                    "; no se guardó nada.");
}

bool RunAsOneUnit(data::ThreadTableSet& tables, const UnitOptions& options,
                  const std::function<bool(Posting&)>& work) {
    Posting p(tables);
    // Every table exists before the unit begins: a table created inside a
    // unit that is rolled back would be gone again.
    for (int i = 0; i < data::kTableCount; ++i) {
        data::TableGateway& g = tables.gateway(static_cast<data::TableId>(i));
        if (g.UseOnDemand() != data::kDone) {
            p.TableFailed(g);
            p.ShowRefusal();
            return false;
        }
    }
    data::TableSetSnapshot before(tables);
    bool committed = false;
    {
        data::DataTransaction tx(tables, options.lockTimeout);
        if (!tx.ok()) {
            data::TableGateway& g = tables.gateway(options.primary);
            g.recordError(kMsgTransaction, tx.status());
            p.TableFailed(g);
            tx.rollback();
        } else {
            bool ok = false;
            try {
                ok = p.Step("begin") && work(p) && !p.Failed() && p.ReadWholeWhatWasReadInPart() && p.Step("commit");
            } catch (...) {
                tx.rollback();
                before.restore();
                throw;
            }
            if (ok) {
                committed = tx.commit();
                if (!committed) {
                    // Why the commit failed (a full disk, a damaged file, ...)
                    // is what the user can act on.
                    data::TableGateway& g = tables.gateway(options.primary);
                    g.recordError(kMsgTransaction, tx.status());
                    p.TableFailed(g);
                }
            } else {
                // A step that failed without saying why is still a failure.
                if (!p.Failed()) p.RefuseWith("Error al registrar", "No se guardó nada.");
                tx.rollback();
            }
        }
    }
    if (committed) {
        if (probe()) probe()("committed", 0);
        return true;
    }
    before.restore();
    if (!options.quiet) p.ShowRefusal();
    return false;
}

}  // namespace tv::movements
