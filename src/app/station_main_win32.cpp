// qvlink-station.exe: the station window on Windows. --help and --version are answered on
// stdout before any window is made. Otherwise the kept setup is read, the command line put in
// its place, and the window and its panel are made and live until the window has closed; the
// setup the operator ended with is then kept for the next start.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_name.h"
#include "program_version.h"
#include "station_clock.h"
#include "station_panel.h"
#include "station_startup.h"
#include "wide_text.h"
#include "win32_station_window.h"

namespace {

constexpr wchar_t CAPTION[] = L"Quorvane Link Station";

// A window program has no console of its own. Its stdout reaches a file or a pipe it was
// started with; otherwise the text goes to the console of the command prompt that started it.
void ReachParentConsole() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) std::freopen("CONOUT$", "w", stdout);
}

// The command line in UTF-8, the program's name first, so that a firmware or record path is
// taken as written whatever the system's code page.
std::vector<std::string> CommandLine() {
    std::vector<std::string> arguments;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) arguments.push_back(qvlink::Utf8FromWide(wide[i]));
        LocalFree(wide);
    }
    if (arguments.empty()) arguments.emplace_back("qvlink-station");
    return arguments;
}

void PlainBox(const std::string& text) {
    MessageBoxW(nullptr, qvlink::WideFromUtf8(text).c_str(), CAPTION, MB_OK);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*arguments*/, int show) {
    using namespace qvlink;
    std::vector<std::string> arguments = CommandLine();
    if (arguments.size() > 1) {
        ReachParentConsole();
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        if (const auto status = AnswerStationArguments(static_cast<int>(argv.size()), argv.data()))
            return *status;
    }
    StationStart start;
    if (const Status usage =
            BeginStation(std::vector<std::string>(arguments.begin() + 1, arguments.end()), &start);
        !usage.ok()) {
        PlainBox(usage.kind() == StatusKind::Usage ? usage.ToString() + "\n\n" + StationUsage()
                                                   : usage.ToString());
        return STATION_EXIT_USAGE;
    }
    if (start.arguments.headless) {
        PlainBox(
            "--headless: a station without a window runs on Linux; on Windows the station is "
            "this window.");
        return STATION_EXIT_USAGE;
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
