#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "os_error.h"
#include "station_service.h"
#include "status.h"
#include "wide_text.h"

namespace qvlink {
namespace {

constexpr wchar_t DISPLAY_NAME[] = L"Quorvane Link Station";
constexpr wchar_t DESCRIPTION[] =
    L"Firmware upgrades on every serial port of a production line, receiver after receiver, "
    L"with the settings in %ProgramData%\\Quorvane Link\\station.json.";
// A shutdown waits this long for every port to stop (a receiver in transfer told to cancel,
// a second or two) and what is unsent to reach the database (10 s at most).
constexpr DWORD PRESHUTDOWN_MS = 60000;
// A crashed service is started again after this, each time; a day without a crash forgets
// the count.
constexpr DWORD RESTART_AFTER_MS = 5000;
constexpr DWORD FAILURES_RESET_S = 24 * 60 * 60;
constexpr auto STOP_WAIT = std::chrono::seconds(60);

void SayError(const Status& status) {
    std::fprintf(stderr, "qvlink-station: %s\n", status.ToString().c_str());
}

Status Failed(const std::string& what) {
    const DWORD error = GetLastError();
    return Status::Error(KindOfLastError(error), what, LastErrorText(error));
}

struct ServiceHandle {
    SC_HANDLE handle = nullptr;
    explicit ServiceHandle(SC_HANDLE opened) : handle(opened) {}
    ~ServiceHandle() {
        if (handle != nullptr) CloseServiceHandle(handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
};

std::wstring ImagePath() {
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    return L"\"" + program + L"\" --service";
}

// Description, recovery (restart after a crash; a stop with an exit status is the station's
// own word and is left as it is) and the time a shutdown gives.
Status Configure(SC_HANDLE service) {
    std::wstring description = DESCRIPTION;
    SERVICE_DESCRIPTIONW said{description.data()};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &said))
        return Failed("cannot describe the service");
    SC_ACTION actions[3] = {{SC_ACTION_RESTART, RESTART_AFTER_MS},
                            {SC_ACTION_RESTART, RESTART_AFTER_MS},
                            {SC_ACTION_RESTART, RESTART_AFTER_MS}};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = FAILURES_RESET_S;
    failure.cActions = 3;
    failure.lpsaActions = actions;
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))
        return Failed("cannot set the service's recovery");
    SERVICE_PRESHUTDOWN_INFO preshutdown{PRESHUTDOWN_MS};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown))
        return Failed("cannot set the service's time at a shutdown");
    return Status::Ok();
}

std::string JsonText(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// The folder, and settings to fill in when there are none: no ports, so that a start before
// they are filled in stops with why (never on defaults nobody chose).
Status MakeFolder(std::filesystem::path* settings, bool* made) {
    std::filesystem::path folder;
    if (const Status found = StationServiceFolder(&folder); !found.ok()) return found;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return Status::Error(KindOfError(error), "cannot make " + Utf8FromWide(folder.wstring()),
                             error.message());
    *settings = folder / L"station.json";
    const HANDLE file = CreateFileW(settings->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    *made = file != INVALID_HANDLE_VALUE;
    if (!*made) {
        if (GetLastError() == ERROR_FILE_EXISTS) return Status::Ok();
        return Failed("cannot make " + Utf8FromWide(settings->wstring()));
    }
    const std::string sample =
        "{\r\n"
        "  \"ports\": [],\r\n"
        "  \"firmware\": \"\",\r\n"
        "  \"record\": " +
        JsonText(Utf8FromWide((folder / L"record.jsonl").wstring())) +
        ",\r\n"
        "  \"out_of_service_after\": 3\r\n"
        "}\r\n";
    DWORD written = 0;
    const bool ok =
        WriteFile(file, sample.data(), static_cast<DWORD>(sample.size()), &written, nullptr) &&
        written == sample.size();
    const Status wrote =
        ok ? Status::Ok() : Failed("cannot write " + Utf8FromWide(settings->wstring()));
    CloseHandle(file);
    return wrote;
}

Status Install() {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (manager.handle == nullptr) return Failed("cannot reach the service control manager");
    const std::wstring image = ImagePath();
    // LocalSystem (no account named): see the README on why not LocalService.
    ServiceHandle service(CreateServiceW(manager.handle, STATION_SERVICE, DISPLAY_NAME,
                                         SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                         SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(),
                                         nullptr, nullptr, nullptr, nullptr, nullptr));
    if (service.handle == nullptr) {
        if (GetLastError() != ERROR_SERVICE_EXISTS) return Failed("cannot register the service");
        // Installed again (another version, another folder): the registration follows this
        // program, and keeps how the operator has it start.
        service.handle = OpenServiceW(manager.handle, STATION_SERVICE, SERVICE_ALL_ACCESS);
        if (service.handle == nullptr) return Failed("cannot open the service");
        if (!ChangeServiceConfigW(service.handle, SERVICE_WIN32_OWN_PROCESS, SERVICE_NO_CHANGE,
                                  SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr, DISPLAY_NAME))
            return Failed("cannot update the service");
    }
    return Configure(service.handle);
}

// Waits for the service to have stopped, at most STOP_WAIT: the system gives no event for it,
// so it is looked at as often as the service's own wait hint says, once a second at most.
Status AwaitStopped(SC_HANDLE service) {
    const auto until = std::chrono::steady_clock::now() + STOP_WAIT;
    for (;;) {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                  sizeof status, &needed))
            return Failed("cannot ask the service's state");
        if (status.dwCurrentState == SERVICE_STOPPED) return Status::Ok();
        if (std::chrono::steady_clock::now() >= until)
            return Status::Error(StatusKind::Io, "the service did not stop",
                                 "still running after a minute; it is removed once it stops");
        Sleep(std::clamp<DWORD>(status.dwWaitHint / 10, 100, 1000));
    }
}

Status Remove(bool* wasThere) {
    *wasThere = false;
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.handle == nullptr) return Failed("cannot reach the service control manager");
    const ServiceHandle service(OpenServiceW(manager.handle, STATION_SERVICE,
                                             SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (service.handle == nullptr) {
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return Status::Ok();
        return Failed("cannot open the service");
    }
    *wasThere = true;
    SERVICE_STATUS status{};
    if (!ControlService(service.handle, SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE && error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
            return Failed("cannot stop the service");
    }
    // Removed even when it would not stop: it goes when it ends, and starts no more.
    const Status stopped = AwaitStopped(service.handle);
    if (!DeleteService(service.handle) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        return Failed("cannot remove the service");
    return stopped;
}

}  // namespace

int InstallStationService() {
    std::filesystem::path settings;
    bool made = false;
    if (const Status folder = MakeFolder(&settings, &made); !folder.ok()) {
        SayError(folder);
        return 1;
    }
    if (const Status installed = Install(); !installed.ok()) {
        SayError(installed);
        return 1;
    }
    std::printf("the service QVLinkStation is registered (not started); its settings: %s%s\n",
                Utf8FromWide(settings.wstring()).c_str(),
                made ? " (a sample: name the ports and the firmware)" : "");
    return 0;
}

int RemoveStationService() {
    bool wasThere = false;
    if (const Status removed = Remove(&wasThere); !removed.ok()) {
        SayError(removed);
        return 1;
    }
    std::printf("%s\n", wasThere
                            ? "the service QVLinkStation is removed"
                            : "the service QVLinkStation is not registered: nothing to remove");
    return 0;
}

}  // namespace qvlink
