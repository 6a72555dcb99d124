#pragma once
// The tables on a PostgreSQL server: the driver over one libpq connection.
// Internal to the storage.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/storage/driver.h"

namespace tv::storage::detail {

// Connects to the server `conninfo` names and makes what every station
// needs there (the functions, the side table of numbers) when it may
// write. `status`: kOk; kAccessDenied when the role may only read (the
// driver is usable read-only); anything else with a null driver.
// `mayYield` says whether a wait may give the turn away.
std::unique_ptr<Driver> openServerDriver(const std::string& conninfo, std::chrono::milliseconds lockTimeout,
                                         std::function<bool()> mayYield, Status& status);

// The server as messages name it ("«host:port/database»"), never the
// password: of an open driver, or of a connection string.
std::string serverLabelOf(const Driver& d);
std::string conninfoLabel(const std::string& conninfo);

}  // namespace tv::storage::detail
