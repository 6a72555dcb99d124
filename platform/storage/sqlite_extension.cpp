// A loadable SQLite extension with the TVNOCASE collation of the no-case
// keys, so the sqlite3 tool can query, check and change talvor.db as the
// program does:  sqlite3 talvor.db -cmd ".load <build>/platform/storage/libtvcollate"
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include <string_view>

#include "platform/types/text.h"

namespace {

int noCaseCompare(void*, int na, const void* pa, int nb, const void* pb) {
    return tv::compareNoCase(std::string_view(static_cast<const char*>(pa), static_cast<size_t>(na)),
                             std::string_view(static_cast<const char*>(pb), static_cast<size_t>(nb)));
}

int install(sqlite3* db, const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    return sqlite3_create_collation_v2(db, "TVNOCASE", SQLITE_UTF8, nullptr, noCaseCompare, nullptr);
}

}  // namespace

extern "C" {

// The entry point SQLite derives from the file name "libtvcollate".
__attribute__((visibility("default"))) int sqlite3_tvcollate_init(sqlite3* db, char**,
                                                                  const sqlite3_api_routines* api) {
    return install(db, api);
}

__attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char**,
                                                                  const sqlite3_api_routines* api) {
    return install(db, api);
}

}  // extern "C"
