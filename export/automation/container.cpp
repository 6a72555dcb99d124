#include "export/automation/container.h"

#include "platform/errors/error_reporter.h"
#include "platform/types/text.h"

namespace tv::automation {

namespace {
std::string noObject() {
    return "No hay una hoja de cálculo en el componente: todavía no se creó o ya se cerró.";
}
}  // namespace

AutomationContainer::AutomationContainer() = default;
AutomationContainer::~AutomationContainer() = default;

void AutomationContainer::Record(Call::Kind k, std::string_view name, std::string value, bool number) const {
    if (recorder_) recorder_(Call{k, std::string(name), std::move(value), number});
}

Status AutomationContainer::Report(Status st) const {
    if (!st && reportException_) {
        MessageBox box;
        box.caption = "Hoja de cálculo";
        box.text = st.message();
        box.icon = MessageBox::Icon::Error;
        if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
    }
    return st;
}

Status AutomationContainer::Create(std::string_view className) {
    Record(Call::Kind::Create, className);
    if (toUpper(trim(className)) != toUpper(kSpreadsheetClass))
        return Report(Status::Fail("No se conoce la aplicación \"" + std::string(className) + "\"."));
    object_ = std::make_unique<SpreadsheetApplication>();
    object_->SetLanguage(language_);
    ++created_;
    return Status::Ok();
}

void AutomationContainer::SetLanguage(int32_t id) {
    Record(Call::Kind::Language, "Language", std::to_string(id));
    language_ = id;
    if (object_) object_->SetLanguage(id);
}

void AutomationContainer::Deactivate() {
    Record(Call::Kind::Deactivate, "Deactivate");
    object_.reset();
}

Result<std::string> AutomationContainer::Get(std::string_view path) {
    Record(Call::Kind::Read, path);
    if (!object_) {
        Result<std::string> r{kNoObjectReply, Report(Status::Fail(noObject()))};
        return r;
    }
    Result<std::string> r = object_->Read(path);
    r.status = Report(r.status);
    return r;
}

Status AutomationContainer::Set(std::string_view path, const Variant& value) {
    const bool number = value.kind == Variant::Kind::Number;
    Record(Call::Kind::Write, path, number ? NumberText(value.number) : value.text, number);
    if (!object_) return Report(Status::Fail(noObject()));
    return Report(object_->Write(path, value));
}

}  // namespace tv::automation
