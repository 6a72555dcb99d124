#pragma once
// A message presenter for tests: records every box it is shown and answers
// from a queue of scripted answers, or with the box's preset when the queue
// is empty.
#include <deque>
#include <string>
#include <vector>

#include "platform/errors/error_reporter.h"
#include "platform/threads/logical_thread.h"

namespace tv {

// The number of the table message a box shows (its title and the fixed start
// of its text), or -1 for a box that is not one of them.
inline int messageNumber(const MessageBox& box) {
    for (const MessageDef& m : ErrorReporter::instance().messages()) {
        if (m.title != box.caption) continue;
        const std::string fixed = m.text.substr(0, m.text.find('%'));
        if (box.text.compare(0, fixed.size(), fixed) == 0) return m.number;
    }
    return -1;
}

class ScriptedPresenter : public MessagePresenter {
public:
    struct Shown {
        MessageBox box;
        threads::ThreadNo thread = 0;  // the logical thread that asked
        Answer answer = Answer::Ok;
    };

    // Answers the next boxes, in order.
    void answer(Answer a) { answers_.push_back(a); }
    void answer(std::initializer_list<Answer> as) { answers_.insert(answers_.end(), as); }

    Answer show(const MessageBox& box) override {
        Answer a = box.preset;
        if (!answers_.empty()) {
            a = answers_.front();
            answers_.pop_front();
        }
        shown_.push_back({box, threads::current(), a});
        return a;
    }

    const std::vector<Shown>& shown() const { return shown_; }
    std::size_t count() const { return shown_.size(); }
    bool empty() const { return shown_.empty(); }
    const MessageBox& last() const { return shown_.back().box; }
    std::size_t pendingAnswers() const { return answers_.size(); }
    void clear() {
        shown_.clear();
        answers_.clear();
    }

private:
    std::deque<Answer> answers_;
    std::vector<Shown> shown_;
};

// Installs a presenter (and optionally a fatal handler that only counts) on
// the process-wide reporter for a scope, and puts the previous state back.
class ScopedPresenter {
public:
    explicit ScopedPresenter(MessagePresenter& p) {
        ErrorReporter& r = ErrorReporter::instance();
        r.setUp();
        previous_ = r.presenter();
        r.setPresenter(&p);
    }
    ~ScopedPresenter() { ErrorReporter::instance().setPresenter(previous_); }
    ScopedPresenter(const ScopedPresenter&) = delete;
    ScopedPresenter& operator=(const ScopedPresenter&) = delete;

private:
    MessagePresenter* previous_ = nullptr;
};

}  // namespace tv
