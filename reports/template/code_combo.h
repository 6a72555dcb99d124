#pragma once
// A drop combo of a report filter window: its list shows the code and the
// name of every row of a catalogue in code order (two columns, as its list
// format says), its entry the code chosen or typed. Choosing a row puts the
// row's code in the entry.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/tables.h"
#include "platform/types/decimal.h"

namespace tv::ui {
class Window;
}

namespace tv::reports {

class CodeDropCombo {
public:
    struct Config {
        int control = 0;
        data::TableId table{};     // marcasa1, catega2, ... (each list its own buffer)
        std::string codeField;     // "A1M:Codigo"
        std::string nameField;     // "A1M:Marca"
        std::string format;        // "25R(2)|M~Código~@n_4@160L(2)|M~Marca~@s40@"
    };
    CodeDropCombo(ui::Window& window, Config config);

    // Reads the catalogue on the current thread into the list.
    void Load();
    const std::vector<std::pair<long long, std::string>>& Entries() const { return entries_; }
    // The code in the entry; an empty entry is 0. nullopt, with the reason
    // in *error, when the text is not a number.
    std::optional<Decimal> Code(std::string* error) const;
    int Control() const { return config_.control; }

private:
    ui::Window& window_;
    Config config_;
    std::vector<std::pair<long long, std::string>> entries_;
};

}  // namespace tv::reports
