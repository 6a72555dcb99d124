#include "platform/errors/error_reporter.h"

#include <cstdio>
#include <cstdlib>

#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"

namespace tv {
namespace {

// The names of the procedures open on one logical thread, innermost last.
struct ProcedureStack {
    std::vector<std::string> names;
};

constexpr std::string_view kFatalSuffix = "  Press OK to end this application";

void defaultFatal(int) { std::exit(1); }

// Replaces the placeholders in one left-to-right pass, so a value that itself
// contains "%File" (a file name, a user's text) is not expanded again.
std::string substituteWith(std::string_view text, const ThreadErrorStatus& st, const std::string& procedure) {
    struct Placeholder {
        std::string_view name;
        const std::string* value;
    };
    const Placeholder names[] = {
        {"%File", &st.file},           {"%Field", &st.field},         {"%Message", &st.message},
        {"%ErrorText", &st.errorText}, {"%Procedure", &procedure},
    };
    std::string out;
    out.reserve(text.size() + 32);
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '%') {
            const Placeholder* best = nullptr;
            for (const Placeholder& p : names)
                if (text.substr(i, p.name.size()) == p.name && (best == nullptr || p.name.size() > best->name.size()))
                    best = &p;
            if (best != nullptr) {
                out += *best->value;
                i += best->name.size();
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

}  // namespace

ErrorReporter& ErrorReporter::instance() {
    // Never destroyed: logical threads may still report while the process ends.
    static ErrorReporter* r = new ErrorReporter();
    return *r;
}

void ErrorReporter::setUp() {
    std::lock_guard g(lock_);
    if (setUp_) return;
    messages_ = standardMessageTable();
    setUp_ = true;
    threads::setUnexpectedErrorHandler(
        [](threads::ThreadNo t, const std::string& what) { ErrorReporter::instance().reportUnexpected(t, what); });
}

bool ErrorReporter::isSetUp() const {
    std::lock_guard g(lock_);
    return setUp_;
}

void ErrorReporter::setPresenter(MessagePresenter* p) {
    std::lock_guard g(lock_);
    presenter_ = p;
}

MessagePresenter* ErrorReporter::presenter() const {
    std::lock_guard g(lock_);
    return presenter_;
}

void ErrorReporter::setFatalHandler(std::function<void(int number)> h) {
    std::lock_guard g(lock_);
    fatal_ = std::move(h);
}

const MessageDef* ErrorReporter::find(int number) const {
    std::lock_guard g(lock_);
    for (const MessageDef& m : messages_)
        if (m.number == number) return &m;
    return nullptr;
}

const std::vector<MessageDef>& ErrorReporter::messages() const {
    std::lock_guard g(lock_);
    return messages_;
}

void ErrorReporter::setFile(std::string_view file) {
    std::lock_guard g(lock_);
    threadState().errorStatus.file = std::string(file);
}

void ErrorReporter::setField(std::string_view field) {
    std::lock_guard g(lock_);
    threadState().errorStatus.field = std::string(field);
}

void ErrorReporter::setMessage(std::string_view message) {
    std::lock_guard g(lock_);
    threadState().errorStatus.message = std::string(message);
}

void ErrorReporter::setErrorText(int code, std::string_view text) {
    std::lock_guard g(lock_);
    ThreadErrorStatus& st = threadState().errorStatus;
    st.code = code;
    st.errorText = std::string(text);
}

std::string ErrorReporter::formatText(int number) const {
    std::lock_guard g(lock_);
    const MessageDef* m = find(number);
    if (m == nullptr) return "Error número " + std::to_string(number);
    return substitute(m->text);
}

std::string ErrorReporter::substitute(std::string_view text) const {
    std::lock_guard g(lock_);
    return substituteWith(text, threadState().errorStatus, currentProcedure());
}

Answer ErrorReporter::raise(int number) {
    MessageBox box;
    MessagePresenter* presenter = nullptr;
    std::function<void(int)> fatal;
    bool isFatal = false;
    {
        // The lock guards the table and the settings only: showing the box
        // suspends this logical thread, and the others (on the same OS
        // thread) must still be able to report meanwhile.
        std::lock_guard g(lock_);
        if (!setUp_) setUp();
        const MessageDef* m = find(number);
        box.text = formatText(number);
        if (m == nullptr) {
            box.caption = "Error";
            box.buttons = MessageBox::Buttons::Ok;
            box.preset = Answer::Ok;
            box.icon = MessageBox::Icon::Warning;
        } else {
            box.caption = m->title;
            switch (m->level) {
                case 1:
                    box.buttons = m->buttons == MessageBox::Buttons::Ok ? MessageBox::Buttons::YesNo : m->buttons;
                    box.preset = m->preset == Answer::Ok ? Answer::Yes : m->preset;
                    box.icon = MessageBox::Icon::Question;
                    break;
                case 2:
                case 3:
                    isFatal = true;
                    box.text += kFatalSuffix;
                    box.buttons = MessageBox::Buttons::Ok;
                    box.preset = Answer::Ok;
                    box.icon = MessageBox::Icon::Error;
                    break;
                default:
                    box.buttons = MessageBox::Buttons::Ok;
                    box.preset = Answer::Ok;
                    box.icon = MessageBox::Icon::Information;
                    break;
            }
        }
        presenter = presenter_;
        fatal = fatal_ ? fatal_ : std::function<void(int)>(defaultFatal);
    }

    Answer answer = box.preset;
    if (presenter != nullptr) {
        answer = presenter->show(box);
    } else {
        std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
    }
    if (isFatal) {
        fatal(number);
        return Answer::Ok;
    }
    // A box can only answer with its own buttons.
    switch (box.buttons) {
        case MessageBox::Buttons::Ok:
            return Answer::Ok;
        case MessageBox::Buttons::YesNo:
            return answer == Answer::Yes || answer == Answer::No ? answer : Answer::No;
        case MessageBox::Buttons::YesNoCancel:
            return answer == Answer::Ok ? box.preset : answer;
    }
    return answer;
}

Answer ErrorReporter::raise(int number, std::string_view message) {
    setMessage(message);
    return raise(number);
}

void ErrorReporter::reportUnexpected(int thread, std::string_view what) {
    std::fprintf(stderr, "talvor: unexpected error on logical thread %d: %.*s\n", thread, static_cast<int>(what.size()),
                 what.data());
    MessagePresenter* presenter = this->presenter();
    if (presenter == nullptr) return;
    MessageBox box;
    box.caption = "Error inesperado";
    box.text = "Error inesperado en el hilo " + std::to_string(thread) + ": " + std::string(what);
    box.buttons = MessageBox::Buttons::Ok;
    box.preset = Answer::Ok;
    box.icon = MessageBox::Icon::Error;
    presenter->show(box);
}

void ErrorReporter::enterProcedure(std::string_view name) {
    std::lock_guard g(lock_);
    threads::perThread<ProcedureStack>().names.emplace_back(name);
}

void ErrorReporter::leaveProcedure() {
    std::lock_guard g(lock_);
    auto& names = threads::perThread<ProcedureStack>().names;
    if (!names.empty()) names.pop_back();
}

std::string ErrorReporter::currentProcedure() const {
    std::lock_guard g(lock_);
    const auto& names = threads::perThread<ProcedureStack>().names;
    return names.empty() ? std::string() : names.back();
}

}  // namespace tv
