// What a Windows service tells the service control manager, decided from the same states a
// station tells a Linux service manager by its notify protocol, so that both managers hear one
// behaviour: "READY=1" is RUNNING (stop, pre-shutdown and a reread accepted), "STOPPING=1" is
// STOP_PENDING, "EXTEND_TIMEOUT_USEC=N" is the next checkpoint of the pending state with N as
// its wait hint; "STATUS=" and "WATCHDOG=1" have nothing to say to it. A service starts
// START_PENDING and ends STOPPED with the program's exit status: 0 is a clean stop, anything
// else a service-specific error, so that recovery (restart on failure, which takes only a crash
// or a process ended without a word) leaves a station whose settings cannot serve (2) stopped.
// Free of the system's headers so that the rules are tested on every platform. Threading: one
// owner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qvlink {

enum class ScmState { StartPending, Running, StopPending, Stopped };

// ERROR_SERVICE_SPECIFIC_ERROR: the exit code that says dwServiceSpecificExitCode holds the
// program's own status.
inline constexpr std::uint32_t SCM_SERVICE_SPECIFIC_ERROR = 1066;
// How long a pending state may go without its next checkpoint unless a state says otherwise.
inline constexpr std::uint32_t SCM_DEFAULT_WAIT_HINT_MS = 30000;

// One SERVICE_STATUS, in the system's words but plain types.
struct ScmReport {
    ScmState state{ScmState::StartPending};
    bool acceptsControls{false};  // stop, pre-shutdown and parameter change, while RUNNING
    std::uint32_t checkpoint{0};  // counts up while a state is pending; 0 otherwise
    std::uint32_t waitHintMs{0};
    std::uint32_t win32ExitCode{0};
    std::uint32_t serviceExitCode{0};
};

class ScmProgress {
  public:
    // The first report: START_PENDING, checkpoint 1.
    ScmReport Starting();
    // The report that `state` (notify lines, "KEY=value" each) makes; nullopt when it changes
    // nothing the manager sees.
    std::optional<ScmReport> Take(const std::string& state);
    // The last report: STOPPED with the program's exit status.
    static ScmReport Stopped(int exitStatus);

  private:
    ScmReport Pending(ScmState state, std::uint32_t waitHintMs);

    ScmState state_ = ScmState::StartPending;
    std::uint32_t checkpoint_ = 0;
};

}  // namespace qvlink
