#pragma once
// The form template: one record of the primary table shown for insert,
// change or view, or deleted after a question without a window.
//
// A form instance builds its window (prompts, entries, "Aceptar",
// "Cancelar"), then configures the controller before running it:
//
//     ui::Window w(QStringLiteral("Marca"), QSize(300, 140), ui::Window::Placement::FrameChild);
//     ... w.add(...) for the tab, prompts, code, name, OK and Cancel ...
//     FormController form("UpdateMarcas", w, data::TableId::Marcas);
//     form.SetOkCancel(kOk, kCancel);
//     form.SetFirstField(kCodePrompt);
//     form.Show(kCode, "MAR:Codigo", "n9");                  // display string
//     form.Bind(kName, "MAR:Marca", "s40", {.required = true});
//     RunProcedure(form);                                     // CallResponse 1 or 2
//
// The caller leaves the request in CallRequest and the record in the
// primary table's buffer of the thread (for an insert: prepared with
// PrepareNewRecord, the auto-number reserved). The buffer holds the record
// as saved when the form returns.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/window/window_controller.h"
#include "data/thread_table_set.h"
#include "platform/types/picture.h"
#include "platform/types/record.h"

namespace tv::app {

class LookupDropCombo;
class FormToolbarBinding;

// Ctrl+H: repeat the previous value.
inline const int kHistoryKey = ui::keyCode(Qt::Key_H, Qt::ControlModifier);

// Captions by request.
inline constexpr const char* kCaptionInsert = "Altas";
inline constexpr const char* kCaptionChange = "Modificaciones";
inline constexpr const char* kCaptionView = "Consulta";

struct BindOptions {
    bool required = false;          // may not be blank (a number: not zero) on "Aceptar"
    bool ditto = true;              // Ctrl+H brings back the last saved value
    bool readOnlyOnChange = false;  // a typed key that an existing record keeps
};

class FormController : public WindowController {
public:
    FormController(std::string procedureName, ui::Window& window, data::TableId primary);
    ~FormController() override;

    // ----- configuration (before the form runs)
    void SetOkCancel(int ok, int cancel);
    // The prompt of the first field: the focus goes to the first control
    // after it that takes input, at the start and after a failed save.
    void SetFirstField(int control) { FIRSTFIELD = control; }
    // An entry (or multi-line text, spin box) bound to a field of the
    // primary record, shown and read with the picture. Throws
    // std::invalid_argument for an unknown field or picture.
    void Bind(int control, std::string_view field, std::string_view picture, BindOptions options = {});
    // A display string showing a field (the code): never read back.
    void Show(int control, std::string_view field, std::string_view picture);
    // A look-up drop combo (added as a component; it outlives the run).
    void AddLookup(LookupDropCombo& combo);
    // Add form n of the look-ups: run by CallSubProcedure(n, request).
    void SetSubProcedure(int n, std::function<void()> procedure);

    // ----- the template's fields
    int32_t HISTORYKEY = 0;
    uint8_t INSERTACTION = 2;
    uint8_t CHANGEACTION = 2;
    uint8_t DELETEACTION = 2;
    uint8_t CANCELACTION = 2;
    data::TableRelations* PRIMARY = nullptr;

    // ----- what instances and components use
    data::TableId PrimaryId() const { return primary_; }
    // The record buffer and table objects of the form's thread.
    data::ThreadTableSet& Tables() const { return *set_; }
    Record& Buffer() const;
    data::TableGateway& Gateway() const;
    data::TableRelations& Relations() const;
    bool ViewMode() const { return REQUEST == kView; }
    // Reads one bound control into the buffer; a text that cannot be read
    // is refused with a message and the focus stays there (false).
    bool TakeControl(int control);
    // Says why a control's text is refused ("Dato no válido") and puts the
    // focus back there (its tab in front).
    void RefuseInput(ui::Control& c, const std::string& error);
    // Refuses a typed text longer than `most` characters (true: it fits).
    bool FitsOrRefuse(ui::Control& c, std::size_t most);
    // Whether the record now differs from the copy taken when the request
    // was prepared (the controls' texts taken in first).
    bool RecordChanged();
    // Shows the buffer in every bound control and component.
    void ShowRecord();
    // Shows the buffer in one bound control; the others keep what is typed.
    void ShowBound(int control);
    // Puts the focus on the first control after FIRSTFIELD that takes input.
    void FocusFirstField();
    // "Aceptar" as the user presses it, or as a toolbar button completes
    // the form (NavigationRequest already set).
    void Accept();
    // The field a control is bound to (-1: none).
    int FieldOf(int control) const;
    FormToolbarBinding& Toolbar() const { return *toolbar_; }

    // ----- operations
    int SetUp() override;
    int TearDown() override;
    uint8_t RunWindow() override;
    int RunEventLoop() override;
    int PrepareRequest() override;
    void RefreshWindow() override;
    void RestoreFromHistory() override;
    uint8_t CallSubProcedure(int number, uint8_t request) override;
    void RegisterAlertKeys() override;
    int OnAccepted(int control) override;
    int OnCompleted() override;
    int OnCloseRequest() override;
    int OnWindowEvent(const ui::WindowEvent& e) override;
    int OnControlSelected(int control) override;
    int DispatchEvent(const ui::WindowEvent& e) override;
    void OpenWindowStructure() override;

protected:
    void AttachToolbar() override;
    void OpenTables() override;
    void CloseTables() override;
    int SetUpBeforeOpen() override;
    void SetUpAfterOpen() override;
    bool AcceptControl(ui::Control& c) override;

private:
    struct Binding {
        int control = 0;
        int field = -1;
        Picture picture;
        BindOptions options;
        bool display = false;   // shown only
    };
    const Binding* bindingOf(int control) const;
    bool takeQuietly();         // false when some control's text cannot be read
    void showBinding(const Binding& b);
    void completeInsert();
    void completeChange();
    void stayOpen();
    void WatchRecord();

    data::TableId primary_;
    data::ThreadTableSet* set_;    // of the thread the form runs on
    std::vector<Binding> bindings_;
    std::vector<LookupDropCombo*> lookups_;
    std::map<int, std::function<void()>> subProcedures_;
    std::unique_ptr<FormToolbarBinding> toolbar_;
    std::optional<Record> copy_;   // the record as the request was prepared
    int guardHandle_ = -1;         // the guarded table's saved buffer
    int lastSelected_ = 0;
    struct Refusal {
        int control = 0;
        QString text;
        long long event = -10;
    } refused_;
    long long eventSerial_ = 0;
    bool opened_ = false;          // the primary table was opened by this form
    bool formTornDown_ = false;
};

}  // namespace tv::app
