#pragma once
// Where the working folder's talvor.db may be used. On a network file
// system (NFS, SMB/CIFS) its locks and its log do not hold between
// machines, so stations there would damage it: the program says so at
// start and points at the server setting, before it opens the file.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tv {
class IniStore;
}

namespace tv::app {

// How the messages name the setting that points the stations at a server.
inline constexpr const char* kServerSettingName =
    "Servidor de la sección [Datos] de talvor.INI (o la variable TALVOR_SERVER)";

// The kind of network file system a path lies on ("NFS", "SMB/CIFS"), or
// nullopt for a disk of this machine.
using FileSystemProbe = std::function<std::optional<std::string>(const std::filesystem::path&)>;

// Why talvor.db at `db` must not be used (nullopt when it may): it lies on
// a network file system and no server is set.
std::optional<std::string> databasePlaceRefusal(const std::filesystem::path& db, bool serverSet,
                                                const FileSystemProbe& probe);

// At start: false after saying why (message 26, which ends the program);
// true when the database may be opened.
bool checkDatabasePlace(const std::filesystem::path& db, bool serverSet, const FileSystemProbe& probe);

}  // namespace tv::app
