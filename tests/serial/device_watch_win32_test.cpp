// The device watch on Windows: it follows the configuration manager's notices where the system
// sends them (Windows 8 on, never under Wine, whose COM ports are its host's devices), and else
// looks once a second: a file that appears wakes its waiter, a slot's location where no port is
// plugged in does not, and a stop wakes a waiter at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "device_waiting.h"
#include "device_watch.h"

namespace qvlink {
namespace {

namespace fs = std::filesystem;
using Wait = DeviceWatch::Wait;

using Waiting = test::DeviceWaiting;

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool SystemSendsNotices() {
    const HMODULE cfgmgr = LoadLibraryW(L"cfgmgr32.dll");
    return cfgmgr != nullptr && GetProcAddress(cfgmgr, "CM_Register_Notification") != nullptr;
}

TEST(DeviceWatchWin32, FollowsNoticesWhereTheSystemSendsThemElseLooksEverySecond) {
    const fs::path dir =
        fs::temp_directory_path() / ("qvlink-watch-" + std::to_string(GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(dir, ignored);  // a run that failed may have left it
    fs::create_directories(dir);
    const std::string file = (dir / "COM-to-be").string();
    DeviceWatch watch;
    Waiting coming(watch, file);
    Waiting slot(watch, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(9)#USB(9)");
    EXPECT_TRUE(slot.StillWaitsAfter(100)) << "no port is plugged in at that location";
    const bool events = watch.FollowsEvents();
    std::printf("device watch: %s\n",
                events ? "the configuration manager's notices" : "a look every second");
    EXPECT_EQ(events, SystemSendsNotices() && !UnderWine());
    if (events) {
        // Files send no notices: only a stop ends this wait.
        coming.Stop();
        EXPECT_EQ(coming.Outcome(), Wait::Stopped);
    } else {
        EXPECT_TRUE(coming.StillWaitsAfter(1500)) << "nothing there: no wake after a look";
        std::ofstream(file).put('x');
        EXPECT_EQ(coming.Outcome(), Wait::Back);
        EXPECT_TRUE(slot.StillWaitsAfter(1500)) << "still no port at that location";
    }
    slot.Stop();
    EXPECT_EQ(slot.Outcome(), Wait::Stopped);
    fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace qvlink
