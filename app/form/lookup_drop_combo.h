#pragma once
// A drop combo over a catalogue table: its list shows the records' codes
// and names in code order, a choice stores the record's code in a field of the form's record. A
// typed name that no record has runs the combo's add form (request insert)
// with the name already typed in; the new record becomes the choice, or,
// when no record was added, the text is blanked and the combo keeps the
// focus.
//
//     LookupDropCombo marca(form, {.control = kMarca, .table = data::TableId::Marcas,
//                                  .codeField = "MAR:Codigo", .nameField = "MAR:Marca",
//                                  .targetField = "ART:Marca", .addForm = 1});
//     form.AddLookup(marca);
//     form.SetSubProcedure(1, [] { UpdateMarcas(); });
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/window/window_controller.h"
#include "data/tables.h"

namespace tv::app {

class FormController;

struct LookupConfig {
    int control = 0;              // the drop combo
    data::TableId table{};        // the catalogue
    std::string codeField{};      // its code ("MAR:Codigo")
    std::string nameField{};      // the name its list shows ("MAR:Marca")
    std::string targetField{};    // the form's field that stores the code ("ART:Marca")
    int addForm = 0;              // sub-procedure number of the add form; 0: none
    std::string prefillField{};   // field the typed text goes into; empty: nameField
    std::string keyOrder{};       // a key of the table: entries in its order (empty: by code)
};

class LookupDropCombo : public WindowComponent {
public:
    // Throws std::invalid_argument for a field the tables do not have.
    LookupDropCombo(FormController& form, LookupConfig config);

    int Control() const { return config_.control; }
    const LookupConfig& Config() const { return config_; }
    // Reads the catalogue into the combo's list.
    void Load();
    // The accepted handling of the typed or chosen text; false when the text
    // was refused (blanked, the focus back on the combo).
    bool Accept();
    // The text of an entry in the list: "code - name"; just the code where the code is what the list names
    // (an order by its folio).
    std::string EntryText(long long code, const std::string& name) const;
    // The code a typed text names: an entry's text, a code (listed, or the
    // one the record already holds), or a name (the first of that name in
    // code order); nullopt when none.
    std::optional<long long> Match(const std::string& typed) const;
    // The entries listed, in code order: code and name.
    const std::vector<std::pair<long long, std::string>>& Entries() const { return entries_; }

    // Connects the combo's own editing (once the window has its control).
    void Attach();
    bool TakeEvent(WindowController& c, const ui::WindowEvent& e) override;
    void UpdateBuffers() override;
    void UpdateWindow() override;

private:
    void select(long long code);
    void refuse();

    FormController& form_;
    LookupConfig config_;
    int codeField_ = -1;
    int nameField_ = -1;
    int prefillField_ = -1;
    int targetField_ = -1;
    std::vector<std::pair<long long, std::string>> entries_;
    bool attached_ = false;
};

}  // namespace tv::app
