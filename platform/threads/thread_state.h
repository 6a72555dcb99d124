#pragma once
// The per-thread values every procedure shares with the procedures it calls.
#include <cstdint>
#include <string>

#include "platform/threads/logical_thread.h"

namespace tv {

struct ThreadErrorStatus {
    int code = 0;             // last runtime error code
    std::string errorText;    // its text ("File Not Found", ...)
    std::string file;         // %File
    std::string field;        // %Field
    std::string message;      // %Message
};

struct ThreadState {
    uint8_t callRequest = 0;      // 1 insert, 2 change, 3 delete, 4 select, 5 print, 6 view
    uint8_t callResponse = 0;     // 1 completed, 2 cancelled
    int32_t navigationRequest = 0;
    ThreadErrorStatus errorStatus;
};

inline ThreadState& threadState() { return threads::perThread<ThreadState>(); }

enum CallRequestCode : uint8_t { kInsert = 1, kChange = 2, kDelete = 3, kSelect = 4, kPrint = 5, kView = 6 };
enum CallResponseCode : uint8_t { kCompleted = 1, kCancelled = 2 };

}  // namespace tv
