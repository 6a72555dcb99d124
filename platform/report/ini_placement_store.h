#pragma once
// Window placements kept in the program's INI store.
#include "platform/ini/ini_store.h"
#include "platform/report/preview_logic.h"

namespace tv::report {

class IniPlacementStore : public PlacementStore {
public:
    explicit IniPlacementStore(IniStore& ini) : ini_(ini) {}
    std::optional<std::string> read(std::string_view section, std::string_view key) const override {
        return ini_.find(section, key);
    }
    bool write(std::string_view section, std::string_view key, std::string_view value) override {
        return ini_.write(section, key, value);
    }

private:
    IniStore& ini_;
};

}  // namespace tv::report
