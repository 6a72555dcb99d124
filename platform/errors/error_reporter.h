#pragma once
// The process-wide message service: numbered Spanish messages with a level,
// a title and a text with substitutions, and procedure tracking per thread.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

enum class Answer { Ok, Yes, No, Cancel };

// What a message box needs; the window layer shows it, tests answer it.
struct MessageBox {
    enum class Buttons { Ok, YesNo, YesNoCancel };
    enum class Icon { None, Information, Question, Warning, Error };
    std::string caption;
    std::string text;
    Buttons buttons = Buttons::Ok;
    Answer preset = Answer::Ok;
    Icon icon = Icon::None;
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows the box and returns the user's answer. Called on the asking
    // logical thread; an implementation suspends that thread, never nests a
    // Qt event loop.
    virtual Answer show(const MessageBox& box) = 0;
};

struct MessageDef {
    int number = 0;
    int level = 5;             // 1 question, 5 notice, 2 and 3 fatal
    std::string title;
    std::string text;
    MessageBox::Buttons buttons = MessageBox::Buttons::Ok;  // questions: YesNo or YesNoCancel
    Answer preset = Answer::Ok;
};

class ErrorReporter {
public:
    static ErrorReporter& instance();

    void setUp();                        // loads the message table
    bool isSetUp() const;
    void setPresenter(MessagePresenter* p);   // nullptr: a fallback writes to stderr and answers the preset
    MessagePresenter* presenter() const;
    // What a fatal message does after it was shown; default std::exit(1).
    void setFatalHandler(std::function<void(int number)> h);  // nullptr: the default again

    const MessageDef* find(int number) const;
    const std::vector<MessageDef>& messages() const;

    // Substitution values, kept in the current thread's error status.
    void setFile(std::string_view file);
    void setField(std::string_view field);
    void setMessage(std::string_view message);
    void setErrorText(int code, std::string_view text);

    // Text with %File, %Field, %Message, %ErrorText, %Procedure substituted.
    std::string formatText(int number) const;
    // The same substitution on any text (values are not expanded again).
    std::string substitute(std::string_view text) const;
    // Shows message `number`. Questions return Yes/No (or Cancel); notices Ok;
    // fatal ones show the text with "  Press OK to end this application"
    // appended and call the fatal handler.
    Answer raise(int number);
    Answer raise(int number, std::string_view message);  // sets %Message first

    // An exception that escaped a logical thread's procedure (installed as
    // the threads' handler by setUp): written to stderr and shown as an error.
    void reportUnexpected(int thread, std::string_view what);

    // Procedure tracking (per logical thread).
    void enterProcedure(std::string_view name);
    void leaveProcedure();
    std::string currentProcedure() const;

private:
    ErrorReporter() = default;
    mutable std::recursive_mutex lock_;
    std::vector<MessageDef> messages_;
    MessagePresenter* presenter_ = nullptr;
    std::function<void(int)> fatal_;
    bool setUp_ = false;
};

// The system's numbered messages, as setUp() loads them.
std::vector<MessageDef> standardMessageTable();

// RAII procedure registration.
class ProcedureScope {
public:
    explicit ProcedureScope(std::string_view name) { ErrorReporter::instance().enterProcedure(name); }
    ~ProcedureScope() { ErrorReporter::instance().leaveProcedure(); }
    ProcedureScope(const ProcedureScope&) = delete;
    ProcedureScope& operator=(const ProcedureScope&) = delete;
};

}  // namespace tv
