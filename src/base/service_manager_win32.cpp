#include <windows.h>

#include <utility>

#include "os_error.h"
#include "service_manager.h"

namespace qvlink {
namespace {

static_assert(SCM_SERVICE_SPECIFIC_ERROR == ERROR_SERVICE_SPECIFIC_ERROR);

DWORD StateOf(ScmState state) {
    switch (state) {
        case ScmState::StartPending:
            return SERVICE_START_PENDING;
        case ScmState::Running:
            return SERVICE_RUNNING;
        case ScmState::StopPending:
            return SERVICE_STOP_PENDING;
        case ScmState::Stopped:
            return SERVICE_STOPPED;
    }
    return SERVICE_STOPPED;
}

Status Report(void* handle, const ScmReport& report) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = StateOf(report.state);
    status.dwControlsAccepted =
        report.acceptsControls
            ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN | SERVICE_ACCEPT_PARAMCHANGE
            : 0;
    status.dwWin32ExitCode = report.win32ExitCode;
    status.dwServiceSpecificExitCode = report.serviceExitCode;
    status.dwCheckPoint = report.checkpoint;
    status.dwWaitHint = report.waitHintMs;
    if (SetServiceStatus(static_cast<SERVICE_STATUS_HANDLE>(handle), &status)) return Status::Ok();
    const DWORD error = GetLastError();
    return Status::Error(KindOfLastError(error), "cannot tell the service control manager",
                         LastErrorText(error));
}

}  // namespace

ServiceManager::ServiceManager(std::string socket, std::chrono::microseconds watchdog)
    : socket_(std::move(socket)), watchdog_(watchdog) {}

ServiceManager ServiceManager::FromEnvironment() {
    return {};
}

ServiceManager ServiceManager::ForService(std::string name, void* statusHandle) {
    ServiceManager manager(std::move(name), std::chrono::microseconds(0));
    manager.statusHandle_ = statusHandle;
    // Nothing to do about a manager that does not hear this: it says so when it gives up.
    (void)Report(statusHandle, manager.progress_.Starting());
    return manager;
}

void ServiceManager::TellStopped(void* statusHandle, int exitStatus) {
    (void)Report(statusHandle, ScmProgress::Stopped(exitStatus));
}

ServiceManager::~ServiceManager() = default;
ServiceManager::ServiceManager(ServiceManager&& other) noexcept = default;
ServiceManager& ServiceManager::operator=(ServiceManager&& other) noexcept = default;

Status ServiceManager::Tell(const std::string& state) {
    if (!Present()) return Status::Ok();
    if (statusHandle_ == nullptr)
        return Status::Error(StatusKind::Usage, "cannot tell the service manager",
                             "there is no notify socket on Windows");
    if (const std::optional<ScmReport> report = progress_.Take(state))
        return Report(statusHandle_, *report);
    return Status::Ok();
}

}  // namespace qvlink
