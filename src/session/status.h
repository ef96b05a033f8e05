// The outcome of an operation at a seam between the libraries and their front ends (opening a
// port, loading the firmware for a station, opening and writing a record, reading a port list):
// ok, or the operator's text and, apart from it, the cause in words for a log or a command line.
// A small value, cheap to copy; the same shape wherever such an outcome crosses a seam.
#pragma once

#include <string>
#include <utility>

namespace qvlink {

class Status {
  public:
    Status() = default;  // ok
    static Status Ok() { return {}; }
    // `message` is what the operator is shown; `cause` says why (may be empty).
    static Status Error(std::string message, std::string cause = {}) {
        Status status;
        status.failed_ = true;
        status.message_ = std::move(message);
        status.cause_ = std::move(cause);
        return status;
    }

    bool ok() const { return !failed_; }
    const std::string& message() const { return message_; }
    const std::string& cause() const { return cause_; }
    // "message: cause", or the message alone when there is no cause; empty when ok.
    std::string ToString() const { return cause_.empty() ? message_ : message_ + ": " + cause_; }

  private:
    bool failed_ = false;
    std::string message_;
    std::string cause_;
};

}  // namespace qvlink
