#pragma once
// The program's settings file (print preview placement, query-by-example
// settings), with the behaviour of the classic private-profile functions:
// sections and keys match without regard to case, a read gives a default
// when the entry is missing, a write creates the section and the key, and
// the file itself appears at the first write. Values are kept as text.
//
// Every change is a locked read-modify-write: an advisory lock on a side
// file serialises running copies of the program, the file is re-read under
// the lock, and the new contents go to a temporary file in the same folder
// that is flushed to disk and renamed over the old one. A reader therefore
// always sees a whole file, and two copies writing at once keep each
// other's keys.
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

namespace detail {
struct IniEdit;
}

class IniStore {
public:
    // "talvor.INI" in the user's configuration folder: $XDG_CONFIG_HOME/talvor,
    // else ~/.config/talvor, whatever the working folder is.
    static std::filesystem::path defaultPath();
    // The process-wide store on defaultPath() (resolved at first use).
    static IniStore& instance();

    explicit IniStore(std::filesystem::path file);
    IniStore(const IniStore&) = delete;
    IniStore& operator=(const IniStore&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Program start: removes what interrupted writes left behind and reads
    // the store's bookkeeping entry.
    void setUp();
    // Removes the temporary files of interrupted writes (unless another copy
    // is writing now); how many.
    std::size_t removeLeftovers();
    // After the frame has closed: nothing to do, kept for the start and stop order.
    void endOfRun();
    // Program end: writes the bookkeeping entry back. True when it was stored.
    bool shutDown();
    bool isSetUp() const;

    // The value of `key` in `section`, or `defaultValue` when either is missing.
    std::string read(std::string_view section, std::string_view key,
                     std::string_view defaultValue = {}) const;
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    // Writes the value, creating the file, the folder, the section and the key
    // as needed. False (with lastError()) when the file could not be written
    // or when a name or value cannot be kept in the file (empty name, a line
    // break, '=' in a key, ']' in a section name): nothing is changed then.
    bool write(std::string_view section, std::string_view key, std::string_view value);
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

    // Names as written in the file, in file order.
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

    std::string lastError() const;

    static constexpr const char* kBookkeepingSection = "Sectors";
    static constexpr const char* kBookkeepingKey = "__Dont_Touch_Me__";

private:
    bool change(const detail::IniEdit& edit);
    void setError(std::string text) const;

    std::filesystem::path path_;
    mutable std::mutex mutex_;
    mutable std::string lastError_;
    bool setUp_ = false;
    std::optional<std::string> bookkeeping_;
};

}  // namespace tv
