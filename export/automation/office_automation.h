#pragma once
// OfficeAutomation: the office automation component's base layer. It binds
// to the container of a window, and turns every operation into a member
// path read or written through three primitives (SetServerProperty,
// GetServerProperty, EvaluateCommand), each put after the command prefix.
// SpreadsheetAutomation (spreadsheet_automation.h) builds the spreadsheet's
// operations on it; only that class is instantiated.
//
// Every operation reports its outcome: a Status, or a Result holding the
// value read. A composite operation stops at the first step that fails, so
// a failed selection never lets a value land in another cell.
#include <cstdint>
#include <string>
#include <string_view>

#include "export/automation/container.h"
#include "export/automation/status.h"

namespace tv::automation {

class OfficeAutomation {
public:
    OfficeAutomation() = default;
    virtual ~OfficeAutomation() = default;
    OfficeAutomation(const OfficeAutomation&) = delete;
    OfficeAutomation& operator=(const OfficeAutomation&) = delete;

    // The container bound by Attach (it stands for the window and its control).
    AutomationContainer* CONTAINER = nullptr;
    // Reply of the last selection, at most 19 characters.
    std::string OBJECT;
    // The command prefix put before every property and command, at most 255 characters.
    std::string SWITH;

    virtual Status ActivateServer();                          // Application.Activate
    virtual Status CopySelection();                           // Selection.Copy (refused: no clipboard)
    virtual Status CutSelection();                            // Selection.Cut (refused)
    virtual void ClearCommandPrefix();
    virtual Result<int32_t> GetAlignmentOfSelection();        // answered by the spreadsheet layer
    virtual Result<int32_t> GetFontBold();
    virtual Result<int32_t> GetDisplayAlerts();
    virtual Result<std::string> GetFontName();
    virtual Result<int32_t> GetFontColorIndex();
    virtual Result<int32_t> GetFontSize();
    virtual Result<int32_t> GetFontItalic();
    virtual Result<std::string> GetServerProperty(std::string_view name);
    virtual Result<int32_t> GetFontUnderline();
    virtual Result<int32_t> GetServerVersion();
    virtual Result<int32_t> GetVisible();
    // Binds to the container; creates the application in it when asked and
    // it holds none that answers, brings it to the front when asked, and
    // sets its visibility either way.
    virtual Status Attach(AutomationContainer* container, uint8_t create, uint8_t activate, uint8_t visible);
    virtual uint8_t IsServerRunning();
    virtual Status SetWindowStateOne();                       // refused: no window
    virtual Status SetWindowStateTwo();                       // refused: no window
    virtual Status PasteSelection();                          // refused: no clipboard
    virtual Status QuitServer();
    virtual Status RunMacro(std::string_view name);           // refused: no macros
    virtual Status EvaluateCommand(std::string_view command);
    virtual Status SetAlignmentOfSelection(uint8_t value);    // answered by the spreadsheet layer
    virtual Status SetFontBold(uint8_t flag);
    virtual Status SetDisplayAlerts(uint8_t flag);
    virtual Status SetFontName(std::string_view name);
    virtual Status SetFontColor(int32_t bgr);                 // Selection.Font.Color
    virtual Status SetFontSize(int16_t size);
    virtual Status SetFont(std::string_view name, int16_t size, int32_t bgr, uint8_t bold, uint8_t italic,
                           uint8_t alignment);
    virtual Status SetFontItalic(uint8_t flag);
    virtual Status SetServerProperty(std::string_view name, const Variant& value);
    virtual void SetControlFlag(uint8_t flag);                // the container's own error box
    virtual Status SetScreenUpdating(uint8_t flag);           // refused: no screen
    virtual Status SetFontUnderline(uint8_t flag);
    virtual Status SetVisible(uint8_t flag);
    virtual Status CreateServer();                            // answered by the spreadsheet layer
    virtual void SetCommandPrefix(std::string_view prefix);

    Status SetLanguageId();                                   // the container's language := 1033

protected:
    Result<int32_t> GetLong(std::string_view name);
    static std::string Flag(uint8_t flag) { return flag != 0 ? "1" : "0"; }
    Status Unbound() const;
};

}  // namespace tv::automation
