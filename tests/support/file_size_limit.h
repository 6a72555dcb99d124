#pragma once
// A disk that fills up, for a child process: from LimitFileSize() on, none of
// the process's files may grow past a few kilobytes (as on a small file
// system that has just filled up), until RoomAgain().
#include <signal.h>
#include <sys/resource.h>

#include "platform/storage/storage.h"

namespace tv::test {

// The database's log is emptied first, so that the next commit is what
// meets the limit. The process is not ended by the limit: its writes fail.
inline bool LimitFileSize(storage::Connection& c, rlim_t bytes = 4096) {
    signal(SIGXFSZ, SIG_IGN);
    if (!c.exec("PRAGMA wal_checkpoint(TRUNCATE)").ok()) return false;
    rlimit r{};
    if (getrlimit(RLIMIT_FSIZE, &r) != 0) return false;
    r.rlim_cur = bytes;
    return setrlimit(RLIMIT_FSIZE, &r) == 0;
}

inline bool RoomAgain() {
    rlimit r{};
    if (getrlimit(RLIMIT_FSIZE, &r) != 0) return false;
    r.rlim_cur = r.rlim_max;
    return setrlimit(RLIMIT_FSIZE, &r) == 0;
}

}  // namespace tv::test
