#pragma once
// The outcome of an operation of the spreadsheet component: done, or failed
// with a message for the user (Spanish). Nothing the component does fails
// without one.
#include <cstdint>
#include <string>
#include <utility>

namespace tv::automation {

class Status {
public:
    Status() = default;
    static Status Ok() { return {}; }
    static Status Fail(std::string message) {
        Status s;
        s.ok_ = false;
        s.message_ = std::move(message);
        return s;
    }
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& message() const { return message_; }

private:
    bool ok_ = true;
    std::string message_;
};

// A value read back, with the status of the read (the value is 0 or "0"
// when the read failed, as the reply of a spreadsheet without an answer).
template <class T>
struct Result {
    T value{};
    Status status;
    bool ok() const { return status.ok(); }
};

}  // namespace tv::automation
