#pragma once
// A database in a scratch folder, a table set on its own connection, and a
// presenter that records every message (by number) and whether the write
// lock was held while it was shown.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "tests/support/scratch_dir.h"

namespace tv::data::test {

class RecordingPresenter : public MessagePresenter {
public:
    struct Shown {
        int number;
        std::string text;
        int depth;  // transaction depth of the watched connection when shown
    };
    Answer show(const MessageBox& box) override {
        int n = messageNumber(box);
        shown.push_back({n, box.text, watched ? watched->transactionDepth() : 0});
        if (onShow) {
            std::optional<Answer> a = onShow(n);
            if (a) return *a;
        }
        if (box.buttons != MessageBox::Buttons::Ok && !answers.empty()) {
            Answer a = answers.front();
            answers.erase(answers.begin());
            return a;
        }
        return box.preset;
    }
    std::vector<int> numbers() const {
        std::vector<int> v;
        for (const Shown& s : shown) v.push_back(s.number);
        return v;
    }
    std::vector<Shown> shown;
    std::vector<Answer> answers;  // for the questions, in order; then each box's preset
    std::function<std::optional<Answer>(int)> onShow;
    storage::Connection* watched = nullptr;
};

class DataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        ErrorReporter::instance().setFatalHandler([this](int n) { fatals.push_back(n); });
        conn = storage::Connection::open(dir.file("talvor.db"));
        presenter.watched = conn.get();
        set = std::make_unique<ThreadTableSet>(*conn);
    }
    void TearDown() override {
        set.reset();
        presenter.watched = nullptr;
        conn.reset();
        ErrorReporter::instance().setFatalHandler(nullptr);
        scope_.reset();
    }

    // A second station: its own connection and table set on the same database.
    struct Station {
        std::unique_ptr<storage::Connection> conn;
        std::unique_ptr<ThreadTableSet> set;
    };
    Station station() {
        Station s;
        s.conn = storage::Connection::open(dir.file("talvor.db"));
        s.set = std::make_unique<ThreadTableSet>(*s.conn);
        return s;
    }

    void setText(TableId t, const char* field, const std::string& v) {
        Record& r = set->buffer(t);
        r.set(r.layout().indexOf(field), Value(v));
    }
    void setNum(TableId t, const char* field, long long v) {
        Record& r = set->buffer(t);
        r.set(r.layout().indexOf(field), Value(v));
    }
    long long num(TableId t, const char* field) {
        Record& r = set->buffer(t);
        return r.number(r.layout().indexOf(field)).toInt64();
    }
    std::string text(TableId t, const char* field) {
        Record& r = set->buffer(t);
        return std::string(rtrimmed(r.text(r.layout().indexOf(field))));
    }
    static std::string rtrimmed(const std::string& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }

    tv::test::ScratchDir dir;
    tv::test::WorkingDir wd{dir.path()};
    RecordingPresenter presenter;
    std::vector<int> fatals;
    std::unique_ptr<storage::Connection> conn;
    std::unique_ptr<ThreadTableSet> set;

private:
    std::optional<ScopedPresenter> scope_;
};

}  // namespace tv::data::test
