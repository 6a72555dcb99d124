#include "export/automation/office_automation.h"

#include <cmath>
#include <cstdlib>

#include "platform/types/text.h"

namespace tv::automation {

namespace {
constexpr std::size_t kPrefixSize = 255;
}

Status OfficeAutomation::Unbound() const {
    return Status::Fail("El componente de hoja de cálculo no está enlazado a ninguna ventana.");
}

// ---------------------------------------------------------------- primitives

Status OfficeAutomation::SetServerProperty(std::string_view name, const Variant& value) {
    if (CONTAINER == nullptr) return Unbound();
    return CONTAINER->Set(SWITH + std::string(name), value);
}

Result<std::string> OfficeAutomation::GetServerProperty(std::string_view name) {
    if (CONTAINER == nullptr) return {"0", Unbound()};
    Result<std::string> r = CONTAINER->Get(SWITH + std::string(name));
    if (toUpper(rtrim(r.value)) == toUpper(AutomationContainer::kNoObjectReply)) r.value = "0";
    return r;
}

Status OfficeAutomation::EvaluateCommand(std::string_view command) { return GetServerProperty(command).status; }

Result<int32_t> OfficeAutomation::GetLong(std::string_view name) {
    Result<std::string> r = GetServerProperty(name);
    if (!r.ok()) return {0, r.status};
    const std::string t(trim(r.value));
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (t.empty() || end != t.c_str() + t.size() || !std::isfinite(d))
        return {0, Status::Fail("La hoja de cálculo respondió \"" + t + "\" donde se esperaba un número.")};
    if (d <= -2147483649.0 || d >= 2147483648.0)
        return {0, Status::Fail("La hoja de cálculo respondió un número demasiado grande: " + t + ".")};
    return {static_cast<int32_t>(std::trunc(d)), Status::Ok()};
}

// ---------------------------------------------------------------- operations

Status OfficeAutomation::ActivateServer() { return EvaluateCommand("Application.Activate"); }
Status OfficeAutomation::CopySelection() { return EvaluateCommand("Selection.Copy"); }
Status OfficeAutomation::CutSelection() { return EvaluateCommand("Selection.Cut"); }
void OfficeAutomation::ClearCommandPrefix() { SWITH.clear(); }

Result<int32_t> OfficeAutomation::GetAlignmentOfSelection() {
    return {0, Status::Fail("Esta aplicación no tiene alineación de la selección.")};
}

Result<int32_t> OfficeAutomation::GetFontBold() { return GetLong("Selection.Font.Bold"); }
Result<int32_t> OfficeAutomation::GetDisplayAlerts() { return GetLong("DisplayAlerts"); }
Result<std::string> OfficeAutomation::GetFontName() { return GetServerProperty("Selection.Font.Name"); }
Result<int32_t> OfficeAutomation::GetFontColorIndex() { return GetLong("Selection.Font.ColorIndex"); }
Result<int32_t> OfficeAutomation::GetFontSize() { return GetLong("Selection.Font.Size"); }
Result<int32_t> OfficeAutomation::GetFontItalic() { return GetLong("Selection.Font.Italic"); }
Result<int32_t> OfficeAutomation::GetFontUnderline() { return GetLong("Selection.Font.Underline"); }
Result<int32_t> OfficeAutomation::GetServerVersion() { return GetLong("Application.Version"); }
Result<int32_t> OfficeAutomation::GetVisible() { return GetLong("Visible"); }

Status OfficeAutomation::Attach(AutomationContainer* container, uint8_t create, uint8_t activate, uint8_t visible) {
    if (container == nullptr) return Unbound();
    CONTAINER = container;
    if (create != 0 && IsServerRunning() == 0)
        if (Status st = CreateServer(); !st) return st;
    if (activate != 0)
        if (Status st = ActivateServer(); !st) return st;
    return SetVisible(visible);
}

uint8_t OfficeAutomation::IsServerRunning() {
    Result<int32_t> v = GetServerVersion();
    return v.ok() && v.value != 0 ? 1 : 0;
}

Status OfficeAutomation::SetWindowStateOne() { return SetServerProperty("Application.WindowState", "1"); }
Status OfficeAutomation::SetWindowStateTwo() { return SetServerProperty("Application.WindowState", "2"); }
Status OfficeAutomation::PasteSelection() { return EvaluateCommand("Selection.Paste"); }

Status OfficeAutomation::QuitServer() {
    Status st = EvaluateCommand("Quit");
    if (CONTAINER != nullptr) CONTAINER->Deactivate();
    return st;
}

Status OfficeAutomation::RunMacro(std::string_view name) {
    return EvaluateCommand("Application.Run(" + std::string(name) + ")");
}

Status OfficeAutomation::SetAlignmentOfSelection(uint8_t) {
    return Status::Fail("Esta aplicación no tiene alineación de la selección.");
}

Status OfficeAutomation::SetFontBold(uint8_t flag) { return SetServerProperty("Selection.Font.Bold", Flag(flag)); }
Status OfficeAutomation::SetDisplayAlerts(uint8_t flag) { return SetServerProperty("DisplayAlerts", Flag(flag)); }
Status OfficeAutomation::SetFontName(std::string_view name) { return SetServerProperty("Selection.Font.Name", name); }
Status OfficeAutomation::SetFontColor(int32_t bgr) {
    return SetServerProperty("Selection.Font.Color", std::to_string(bgr));
}
Status OfficeAutomation::SetFontSize(int16_t size) {
    return SetServerProperty("Selection.Font.Size", std::to_string(size));
}

Status OfficeAutomation::SetFont(std::string_view name, int16_t size, int32_t bgr, uint8_t bold, uint8_t italic,
                                 uint8_t alignment) {
    if (!trim(name).empty())
        if (Status st = SetFontName(name); !st) return st;
    if (Status st = SetFontSize(size); !st) return st;
    if (Status st = SetFontBold(bold); !st) return st;
    if (Status st = SetFontItalic(italic); !st) return st;
    if (Status st = SetFontColor(bgr); !st) return st;
    if (alignment != 0) return SetAlignmentOfSelection(alignment);
    return Status::Ok();
}

Status OfficeAutomation::SetFontItalic(uint8_t flag) { return SetServerProperty("Selection.Font.Italic", Flag(flag)); }

void OfficeAutomation::SetControlFlag(uint8_t flag) {
    if (CONTAINER != nullptr) CONTAINER->SetReportException(flag != 0);
}

Status OfficeAutomation::SetScreenUpdating(uint8_t flag) { return SetServerProperty("ScreenUpdating", Flag(flag)); }
Status OfficeAutomation::SetFontUnderline(uint8_t flag) {
    return SetServerProperty("Selection.Font.Underline", Flag(flag));
}
Status OfficeAutomation::SetVisible(uint8_t flag) { return SetServerProperty("Visible", Flag(flag)); }

Status OfficeAutomation::CreateServer() { return Status::Fail("Esta aplicación no sabe crear su programa."); }

void OfficeAutomation::SetCommandPrefix(std::string_view prefix) {
    SWITH = cutText(rtrim(prefix), kPrefixSize);
}

Status OfficeAutomation::SetLanguageId() {
    if (CONTAINER == nullptr) return Unbound();
    CONTAINER->SetLanguage(1033);
    return Status::Ok();
}

}  // namespace tv::automation
