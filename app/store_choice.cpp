#include "app/store_choice.h"

#include "platform/storage/server/store_setting.h"
#include "platform/types/text.h"

namespace tv::app {

StoreChoice ChooseStore(const std::optional<std::string>& setting, const char* variable,
                        const std::filesystem::path& iniFile) {
    StoreChoice c;
    if (variable != nullptr && !trim(variable).empty()) {
        // The variable lives in the environment of this run, no file.
        c.server = std::string(trim(variable));
        return c;
    }
    if (!setting || trim(*setting).empty()) return c;
    c.server = std::string(trim(*setting));
    c.refusal = storage::server::passwordExposure(
        c.server, iniFile, "[" + std::string(kServerSection) + "] " + std::string(kServerKey));
    return c;
}

}  // namespace tv::app
