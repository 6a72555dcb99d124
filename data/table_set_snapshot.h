#pragma once
// What a logical thread knows of its records, taken before a unit of work
// and put back when the unit is rolled back: every record buffer, every
// gateway's reservation flag, every table handle's current record and
// reservation, and the thread's log of records added under a reservation.
// So after a rollback the thread agrees with the records again (a
// reservation given back or completed inside the unit is pending again) and
// what failed can be done once more.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "data/thread_table_set.h"
#include "platform/storage/storage.h"
#include "platform/types/record.h"

namespace tv::data {

class TableSetSnapshot {
public:
    explicit TableSetSnapshot(ThreadTableSet& tables);
    ~TableSetSnapshot();
    TableSetSnapshot(const TableSetSnapshot&) = delete;
    TableSetSnapshot& operator=(const TableSetSnapshot&) = delete;
    void restore();

private:
    struct Slot {
        uint8_t autoIncDone = 0;
        std::optional<storage::Table::HandleState> handle;
    };
    ThreadTableSet& tables_;
    // The buffers' copies, in room the table set keeps between units.
    std::unique_ptr<ThreadTableSet::BufferCopies> copies_;
    std::array<Slot, kTableCount> slots_;
    ThreadTableSet::CreationLog log_;
};

}  // namespace tv::data
