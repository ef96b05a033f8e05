// The outcome of an operation at a seam between the libraries and their front ends (opening a
// port, loading a firmware file, reading the settings, opening and writing a record, reading a
// port list): ok, or a kind, the operator's text and, apart from it, the cause in words for a log
// or a command line. A caller that acts on why something failed asks the kind, never the texts
// and never the file or the device again. A small value, cheap to copy; the same shape wherever
// such an outcome crosses a seam.
#pragma once

#include <string>
#include <utility>

namespace qvlink {

enum class StatusKind {
    Ok,         // nothing failed
    NotFound,   // no such file, port or device
    InUse,      // another program (or another holder in this one) has it
    Denied,     // the system refuses this user access
    Invalid,    // the content breaks a rule: a damaged or hostile file, a value out of range
    Foreign,    // not what it should be at all: not a firmware file, not a serial line
    Io,         // a read or write failed
    Exhausted,  // no memory, no thread, no buffer, no room left on the disk
    Usage,      // the operator's request or command line is wrong
    Lost,       // the line or the server went away
};

class [[nodiscard]] Status {
  public:
    Status() = default;  // ok
    static Status Ok() { return {}; }
    // `message` is what the operator is shown; `cause` says why (may be empty). An error is never
    // ok: given StatusKind::Ok it counts as Io.
    static Status Error(StatusKind kind, std::string message, std::string cause = {}) {
        Status status;
        status.kind_ = kind == StatusKind::Ok ? StatusKind::Io : kind;
        status.message_ = std::move(message);
        status.cause_ = std::move(cause);
        return status;
    }

    bool ok() const { return kind_ == StatusKind::Ok; }
    StatusKind kind() const { return kind_; }
    const std::string& message() const { return message_; }
    const std::string& cause() const { return cause_; }
    // "message: cause", or the message alone when there is no cause; empty when ok.
    std::string ToString() const { return cause_.empty() ? message_ : message_ + ": " + cause_; }

  private:
    StatusKind kind_ = StatusKind::Ok;
    std::string message_;
    std::string cause_;
};

}  // namespace qvlink
