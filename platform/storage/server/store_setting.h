#pragma once
// Choosing where the tables live: talvor.db in the working folder, or a
// PostgreSQL server named by a libpq connection string. What is checked
// before either is used.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tv::storage::server {

// The kind of network file system `path` (or its folder, when it does not
// exist yet) lies on: "NFS", "SMB/CIFS", ...; nullopt for a local disk.
std::optional<std::string> networkFileSystemOf(const std::filesystem::path& path);
// The same for a statfs() f_type.
std::optional<std::string> networkFileSystemName(long fsType);

// Why talvor.db must not be used where it lies, naming the setting that
// points the stations at a server instead.
std::string networkShareText(const std::filesystem::path& db, const std::string& kind,
                             std::string_view settingName);

// Whether the connection string carries a password.
bool conninfoHasPassword(const std::string& conninfo);
// A connection string with a password kept in `file` that others than its
// owner may read: the words that refuse it (nullopt when it is safe).
std::optional<std::string> passwordExposure(const std::string& conninfo, const std::filesystem::path& file,
                                            std::string_view settingName);

}  // namespace tv::storage::server
