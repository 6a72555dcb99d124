#pragma once
// The container a window keeps for the spreadsheet application (where a
// window of the first platform held its automation control): it creates the
// application from its class name, passes it reads and writes of member
// paths, and ends it on Deactivate. The application lives as long as the
// container, so it goes with the window that owns it.
//
// Without an application every read answers kNoObjectReply and every write
// does nothing; both come back as failures that say so.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "export/automation/spreadsheet_server.h"
#include "export/automation/status.h"

namespace tv::automation {

class AutomationContainer {
public:
    static constexpr const char* kNoObjectReply = "No ole automation interface";
    static constexpr const char* kSpreadsheetClass = "Excel.Application";

    AutomationContainer();
    ~AutomationContainer();
    AutomationContainer(const AutomationContainer&) = delete;
    AutomationContainer& operator=(const AutomationContainer&) = delete;

    // The container's own properties.
    Status Create(std::string_view className);   // replaces the object it held
    void SetLanguage(int32_t id);
    int32_t Language() const { return language_; }
    void SetReportException(bool on) { reportException_ = on; }
    bool ReportException() const { return reportException_; }
    void Deactivate();                           // ends the object it holds

    // Properties of the object it holds, by member path.
    Result<std::string> Get(std::string_view path);
    Status Set(std::string_view path, const Variant& value);

    SpreadsheetApplication* Object() const { return object_.get(); }
    int CreatedCount() const { return created_; }

    // Every call that reaches the container, for tests: "Create", "Language"
    // and the object's paths, with the value written.
    struct Call {
        enum class Kind { Read, Write, Create, Language, Deactivate } kind = Kind::Read;
        std::string name;
        std::string value;
        bool number = false;  // a write of a number (else of a text)
    };
    void SetRecorder(std::function<void(const Call&)> recorder) { recorder_ = std::move(recorder); }

private:
    Status Report(Status st) const;  // the container's own error box, when switched on
    void Record(Call::Kind k, std::string_view name, std::string value = {}, bool number = false) const;

    std::unique_ptr<SpreadsheetApplication> object_;
    int32_t language_ = 0;
    bool reportException_ = false;
    int created_ = 0;
    std::function<void(const Call&)> recorder_;
};

}  // namespace tv::automation
