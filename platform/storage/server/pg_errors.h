#pragma once
// What a failure on the server means to the table layer: the server's
// SQLSTATE mapped onto the storage's codes, so that every message the
// program shows is the same on either store.
#include <string>
#include <string_view>

#include "platform/storage/storage.h"

namespace tv::storage::server {

// A failed statement's SQLSTATE and words as a storage status:
//   23505 unique_violation                        kCreatesDuplicateKey (detail: the index)
//   55P03 lock_not_available, 40001, 40P01,
//   57014 query_canceled (a statement time-out)   kLockTimeout
//   53100 disk_full                               kDiskFull
//   25006 read_only_sql_transaction, 42501        kAccessDenied
//   XX001, XX002 (damaged data or index)          kKeyFileMustBeRebuilt
//   08xxx, 57P01..57P03 (the connection went)     kFileSystemError, lost-connection text
//   anything else                                 kFileSystemError with the server's words
// `constraint` is the violated constraint's name when the server gives one.
Status statusForSqlState(std::string_view sqlstate, std::string_view message, std::string_view constraint,
                         const std::string& server);

// The SQLSTATEs after which the connection is gone.
bool isConnectionLoss(std::string_view sqlstate);

// The index a unique violation names, as the layer names its keys'
// indexes ("tv_<table>_<k>"): k, or -1 when the name is not one of them.
int keyIndexFromIndexName(std::string_view indexName, std::string_view table);

// The Spanish words for a server that cannot be reached or was lost,
// naming it; `detail` is libpq's own explanation.
std::string unreachableText(const std::string& server, std::string_view detail);
std::string lostText(const std::string& server, std::string_view detail);

}  // namespace tv::storage::server
