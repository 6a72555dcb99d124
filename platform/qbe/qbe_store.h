#pragma once
// What the query-by-example window keeps in the settings file, in the section
// "QBE-" plus the list procedure's name ("QBE-BrowseArticulo"):
//
//   XPos, YPos, Width, Height   the window's last position and size
//   tsMRU                       the name of the query last saved or run
//   Consultas                   how many queries are saved (written for
//                               other readers; the Nombre<n> keys present
//                               are what counts)
//   Nombre<n>, Consulta<n>      query n (1-based): its name, its conditions
//                               (encodeQuery)
//
// Names are free text, so they are kept as values, never as keys. Names
// are taken without edge blanks and match without regard to letter case;
// saving under a name already there replaces that query.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini/ini_store.h"
#include "platform/qbe/qbe_model.h"

namespace tv::qbe {

struct WindowPosition {
    int x = 0, y = 0, width = 0, height = 0;
};

class SavedQueries {
public:
    SavedQueries(IniStore& ini, std::string procedure);

    const std::string& section() const { return section_; }

    // Saved names, in the order they were first saved.
    std::vector<std::string> names() const;
    std::optional<Query> load(std::string_view name) const;
    // False with error() set when the name is blank or the file cannot be written.
    bool save(std::string_view name, const Query& q);
    // False when there is no such query or the file cannot be written.
    bool remove(std::string_view name);

    std::string lastUsed() const;            // "" when none
    bool setLastUsed(std::string_view name);

    std::optional<WindowPosition> position() const;
    bool setPosition(const WindowPosition& p);

    const std::string& error() const { return error_; }

    static constexpr const char* kMruKey = "tsMRU";

private:
    struct Entry {
        std::string name;
        std::string conditions;
    };
    std::vector<Entry> entries() const;
    std::vector<std::size_t> numbersPresent() const;
    bool writeEntries(const std::vector<Entry>& entries);
    bool fail(std::string why);

    IniStore& ini_;
    std::string section_;
    std::string error_;
};

}  // namespace tv::qbe
