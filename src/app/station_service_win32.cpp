#include <windows.h>
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <optional>

#include "headless_station.h"
#include "os_error.h"
#include "program_version.h"
#include "service_log.h"
#include "service_signals.h"
#include "station_service.h"
#include "station_startup.h"
#include "wide_text.h"

namespace qvlink {
namespace {

// What the service's thread needs from the main thread: the arguments, and the exit status
// back. Written before the dispatcher starts the service's thread and read after it returns.
std::vector<std::string> givenArguments;
int exitStatus = 0;

void Say(ServiceLog& log, const std::string& text) {
    log.Err("qvlink-station: " + text + "\n");
}

DWORD WINAPI OnControl(DWORD control, DWORD /*type*/, void* /*data*/, void* /*context*/) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_PRESHUTDOWN:
            ServiceSignals::Deliver(ServiceSignals::Event::Stop);
            return NO_ERROR;
        case SERVICE_CONTROL_PARAMCHANGE:
            ServiceSignals::Deliver(ServiceSignals::Event::Reload);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// The station's run once the log takes what it prints: the headless station's arguments, with
// the service's settings file unless another is named.
int Serve(const std::filesystem::path& folder, ServiceManager manager, ServiceLog& log) {
    std::vector<std::string> arguments{"--headless"};
    bool named = false;
    for (const std::string& argument : givenArguments) {
        if (argument == "--service") continue;
        named = named || argument == "--settings" || argument.rfind("--settings=", 0) == 0;
        arguments.push_back(argument);
    }
    if (!named) {
        arguments.push_back("--settings");
        arguments.push_back(Utf8FromWide((folder / L"station.json").wstring()));
    }
    StationStart start;
    if (const Status refused = BeginStation(arguments, &start); !refused.ok()) {
        Say(log, refused.ToString());
        return STATION_EXIT_USAGE;
    }
    return RunHeadlessStation(start, std::move(manager), log);
}

void WINAPI ServiceMain(DWORD /*argc*/, wchar_t** /*argv*/) {
    const SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerExW(STATION_SERVICE, OnControl, nullptr);
    if (handle == nullptr) {
        exitStatus = 1;
        return;
    }
    ServiceManager manager = ServiceManager::ForService(Utf8FromWide(STATION_SERVICE), handle);
    // Kept for the process's life when the file does not take the last words in time.
    auto* log = new ServiceLog;
    std::filesystem::path folder;
    Status ready = StationServiceFolder(&folder);
    if (ready.ok()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        // A record named without a folder in the settings lies beside them.
        std::filesystem::current_path(folder, error);
        ready = log->Open(folder / L"station.log");
    }
    if (!ready.ok()) {
        // Without its folder or log the service says nothing anyone reads: its exit status
        // (sc query) is all there is.
        exitStatus = STATION_EXIT_USAGE;
    } else {
        Say(*log, ProgramVersion() + ": the service starts");
        exitStatus = Serve(folder, std::move(manager), *log);
        Say(*log, "the service ends with status " + std::to_string(exitStatus));
    }
    if (log->Close()) delete log;
    ServiceManager::TellStopped(handle, exitStatus);
}

}  // namespace

Status StationServiceFolder(std::filesystem::path* folder) {
    wchar_t* data = nullptr;
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &data);
    if (FAILED(found)) {
        CoTaskMemFree(data);
        return Status::Error(StatusKind::NotFound, "cannot find the ProgramData folder",
                             LastErrorText(static_cast<unsigned long>(found)));
    }
    *folder = std::filesystem::path(data) / L"Quorvane Link";
    CoTaskMemFree(data);
    return Status::Ok();
}

int RunStationService(const std::vector<std::string>& arguments) {
    givenArguments = arguments;
    wchar_t name[std::size(STATION_SERVICE)];
    std::copy(std::begin(STATION_SERVICE), std::end(STATION_SERVICE), name);
    const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        const DWORD error = GetLastError();
        std::fprintf(stderr, "qvlink-station: --service: %s\n",
                     error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                         ? "only the service control manager starts the service (net start "
                           "QVLinkStation); --headless runs the station here"
                         : LastErrorText(error).c_str());
        return STATION_EXIT_USAGE;
    }
    return exitStatus;
}

}  // namespace qvlink
