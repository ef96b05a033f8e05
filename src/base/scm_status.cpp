#include "scm_status.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace qvlink {
namespace {

// The value of `key` among the lines of `state`; nullopt when no line sets it.
std::optional<std::string_view> ValueOf(std::string_view state, std::string_view key) {
    while (!state.empty()) {
        const std::size_t end = state.find('\n');
        const std::string_view line = state.substr(0, end);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=')
            return line.substr(key.size() + 1);
        if (end == std::string_view::npos) break;
        state.remove_prefix(end + 1);
    }
    return std::nullopt;
}

// EXTEND_TIMEOUT_USEC's microseconds as a wait hint; nullopt when it is not a number.
std::optional<std::uint32_t> HintOf(std::string_view usec) {
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(usec.data(), usec.data() + usec.size(), value);
    if (error != std::errc() || end != usec.data() + usec.size()) return std::nullopt;
    const unsigned long long ms = value / 1000;
    return ms > std::numeric_limits<std::uint32_t>::max()
               ? std::numeric_limits<std::uint32_t>::max()
               : static_cast<std::uint32_t>(ms);
}

}  // namespace

ScmReport ScmProgress::Pending(ScmState state, std::uint32_t waitHintMs) {
    if (state != state_) checkpoint_ = 0;
    state_ = state;
    ScmReport report;
    report.state = state;
    report.checkpoint = ++checkpoint_;
    report.waitHintMs = waitHintMs;
    return report;
}

ScmReport ScmProgress::Starting() {
    return Pending(ScmState::StartPending, SCM_DEFAULT_WAIT_HINT_MS);
}

std::optional<ScmReport> ScmProgress::Take(const std::string& state) {
    if (state_ == ScmState::Stopped) return std::nullopt;
    if (ValueOf(state, "STOPPING") == "1") {
        std::uint32_t hint = SCM_DEFAULT_WAIT_HINT_MS;
        if (const auto extend = ValueOf(state, "EXTEND_TIMEOUT_USEC"))
            hint = HintOf(*extend).value_or(hint);
        return Pending(ScmState::StopPending, hint);
    }
    if (ValueOf(state, "READY") == "1" && state_ == ScmState::StartPending) {
        state_ = ScmState::Running;
        checkpoint_ = 0;
        ScmReport report;
        report.state = ScmState::Running;
        report.acceptsControls = true;
        return report;
    }
    if (const auto extend = ValueOf(state, "EXTEND_TIMEOUT_USEC");
        extend && state_ != ScmState::Running)
        if (const auto hint = HintOf(*extend)) return Pending(state_, *hint);
    return std::nullopt;
}

ScmReport ScmProgress::Stopped(int exitStatus) {
    ScmReport report;
    report.state = ScmState::Stopped;
    if (exitStatus != 0) {
        report.win32ExitCode = SCM_SERVICE_SPECIFIC_ERROR;
        report.serviceExitCode = static_cast<std::uint32_t>(exitStatus);
    }
    return report;
}

}  // namespace qvlink
