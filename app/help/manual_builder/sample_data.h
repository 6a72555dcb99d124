#pragma once
// A few rows of every kind, for the manual's pictures of the windows: a
// small hardware store's warehouse with its catalogues, an order, a receipt
// against it, an issue and a physical count not yet applied.
#include "data/thread_table_set.h"

namespace tv::app::manual {

// Stores them on the current logical thread's tables; false (with the
// reason on stderr) when something could not be stored.
bool SeedSampleData(data::ThreadTableSet& tables);

}  // namespace tv::app::manual
