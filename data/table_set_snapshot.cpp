#include "data/table_set_snapshot.h"

namespace tv::data {

TableSetSnapshot::TableSetSnapshot(ThreadTableSet& tables)
    : tables_(tables), copies_(tables.TakeBufferCopies()), log_(tables.SaveCreationLog()) {
    for (int i = 0; i < kTableCount; ++i) {
        TableGateway& g = tables.gateway(static_cast<TableId>(i));
        const auto k = static_cast<std::size_t>(i);
        Slot& s = slots_[k];
        // Assigned over the last unit's copy: its texts' room is reused.
        std::optional<Record>& copy = copies_->buffers[k];
        if (copy) *copy = g.BUFFER;
        else copy.emplace(g.BUFFER);
        s.autoIncDone = g.AUTOINCDONE;
        if (g.file() != nullptr) s.handle = g.file()->handleState();
    }
}

TableSetSnapshot::~TableSetSnapshot() { tables_.GiveBackBufferCopies(std::move(copies_)); }

void TableSetSnapshot::restore() {
    for (int i = 0; i < kTableCount; ++i) {
        TableGateway& g = tables_.gateway(static_cast<TableId>(i));
        const auto k = static_cast<std::size_t>(i);
        Slot& s = slots_[k];
        g.BUFFER = *copies_->buffers[k];
        g.AUTOINCDONE = s.autoIncDone;
        if (g.file() == nullptr) continue;
        // A handle first opened inside the unit knew nothing before it.
        g.file()->restoreHandleState(s.handle.value_or(storage::Table::HandleState{}));
    }
    tables_.RestoreCreationLog(log_);
}

}  // namespace tv::data
