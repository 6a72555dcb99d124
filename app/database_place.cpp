#include "app/database_place.h"

#include "platform/errors/error_reporter.h"
#include "platform/ini/ini_store.h"
#include "platform/storage/server/store_setting.h"
#include "platform/storage/storage.h"

namespace tv::app {

namespace {
constexpr int kMsgAccessError = 26;
}

std::optional<std::string> databasePlaceRefusal(const std::filesystem::path& db, bool serverSet,
                                                const FileSystemProbe& probe) {
    if (serverSet || !probe) return std::nullopt;
    const std::optional<std::string> kind = probe(db);
    if (!kind) return std::nullopt;
    return storage::server::networkShareText(db, *kind, kServerSettingName);
}

bool checkDatabasePlace(const std::filesystem::path& db, bool serverSet, const FileSystemProbe& probe) {
    const std::optional<std::string> why = databasePlaceRefusal(db, serverSet, probe);
    if (!why) return true;
    // The message puts its own full stop after the words.
    std::string words = *why;
    while (!words.empty() && words.back() == '.') words.pop_back();
    ErrorReporter& er = ErrorReporter::instance();
    er.setFile(db.filename().string());
    er.setErrorText(storage::kFileSystemError, words);
    er.raise(kMsgAccessError);
    return false;
}

}  // namespace tv::app
