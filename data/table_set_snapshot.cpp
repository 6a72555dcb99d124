#include "data/table_set_snapshot.h"

namespace tv::data {

TableSetSnapshot::TableSetSnapshot(ThreadTableSet& tables) : tables_(tables), log_(tables.SaveCreationLog()) {
    for (int i = 0; i < kTableCount; ++i) {
        TableGateway& g = tables.gateway(static_cast<TableId>(i));
        Slot& s = slots_[static_cast<std::size_t>(i)];
        s.buffer = g.BUFFER;
        s.autoIncDone = g.AUTOINCDONE;
        if (g.file() != nullptr) s.handle = g.file()->handleState();
    }
}

void TableSetSnapshot::restore() {
    for (int i = 0; i < kTableCount; ++i) {
        TableGateway& g = tables_.gateway(static_cast<TableId>(i));
        Slot& s = slots_[static_cast<std::size_t>(i)];
        g.BUFFER = *s.buffer;
        g.AUTOINCDONE = s.autoIncDone;
        if (g.file() == nullptr) continue;
        // A handle first opened inside the unit knew nothing before it.
        g.file()->restoreHandleState(s.handle.value_or(storage::Table::HandleState{}));
    }
    tables_.RestoreCreationLog(log_);
}

}  // namespace tv::data
