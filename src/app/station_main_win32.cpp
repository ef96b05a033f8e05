// qvlink-station.exe: the station window on Windows. --help and --version are answered on
// stdout before any window is made; --install-service and --remove-service register or remove
// the service, --service is the service as its control manager runs it, and --headless the
// station without a window, on the console it was started from. Otherwise the kept setup is
// read, the command line put in its place, and the window and its panel are made and live until
// the window has closed; the setup the operator ended with is then kept for the next start.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "headless_station.h"
#include "host_name.h"
#include "program_version.h"
#include "station_clock.h"
#include "station_panel.h"
#include "station_service.h"
#include "station_startup.h"
#include "utf8_arguments.h"
#include "wide_text.h"
#include "win32_station_window.h"

namespace {

constexpr wchar_t CAPTION[] = L"Quorvane Link Station";

// A window program has no console of its own. Its stdout and stderr reach a file or a pipe it
// was started with; otherwise the text goes to the console of the command prompt that started
// it. A station without a window (`always`) takes that console even when both are given, for its
// Ctrl+C and Ctrl+Break.
void ReachParentConsole(bool always) {
    const auto given = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    };
    const bool out = given(STD_OUTPUT_HANDLE), err = given(STD_ERROR_HANDLE);
    if ((out && err && !always) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!out) (void)std::freopen("CONOUT$", "w", stdout);
    if (!err) (void)std::freopen("CONOUT$", "w", stderr);
}

bool Given(const std::vector<std::string>& arguments, const char* flag) {
    return std::find(arguments.begin() + 1, arguments.end(), flag) != arguments.end();
}

void PlainBox(const std::string& text) {
    MessageBoxW(nullptr, qvlink::WideFromUtf8(text).c_str(), CAPTION, MB_OK);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*arguments*/, int show) {
    using namespace qvlink;
    // The command line in UTF-8, the program's name first, so that a firmware or record path is
    // taken as written whatever the system's code page.
    std::vector<std::string> arguments = Utf8Arguments(__argc, __argv).Texts();
    if (arguments.empty()) arguments.emplace_back("qvlink-station");
    if (arguments.size() > 1) {
        ReachParentConsole(Given(arguments, "--headless"));
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        if (const auto status = AnswerStationArguments(static_cast<int>(argv.size()), argv.data()))
            return *status;
    }
    const std::vector<std::string> given(arguments.begin() + 1, arguments.end());
    // The service's and the console's start say what is wrong on stderr, never in a box that
    // nobody may be there to close.
    if (Given(arguments, "--install-service")) return InstallStationService();
    if (Given(arguments, "--remove-service")) return RemoveStationService();
    if (Given(arguments, "--service")) return RunStationService(given);
    const bool headless = Given(arguments, "--headless");
    StationStart start;
    if (const Status usage = BeginStation(given, &start); !usage.ok()) {
        const std::string said = usage.kind() == StatusKind::Usage
                                     ? usage.ToString() + "\n\n" + StationUsage()
                                     : usage.ToString();
        if (!headless) {
            PlainBox(said);
        } else {
            std::fprintf(stderr, "qvlink-station: %s\n", said.c_str());
            std::fflush(stderr);
        }
        return STATION_EXIT_USAGE;
    }
    if (start.arguments.headless) {
        cli::StdioSink sink;
        return RunHeadlessStation(start, ServiceManager::FromEnvironment(), sink);
    }

    Win32StationWindow window(instance);
    if (!window.Created()) {
        PlainBox("The station window could not be made.");
        return 1;
    }
    const station::SystemClock clock;
    StationPanel panel(window, clock,
                       {"qvlink-station", ProgramVersion(), station::HostName(), {}});
    window.Attach(panel);
    window.ShowNotice(start.notice);
    panel.Open(start.setup);
    window.Show(show);
    if (start.arguments.start) panel.StartAll();
    window.RunMessageLoop();

    if (const Status saved = EndStation(start, panel.Setup()); !saved.ok())
        PlainBox(saved.ToString());
    return 0;
}
