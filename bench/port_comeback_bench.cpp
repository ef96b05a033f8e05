// How soon a port whose device went away serves again once the device is back: a station port
// named by a link (as a rack names its slots by /dev/serial/by-path) to a pseudo-terminal; each
// try removes the link and closes the pseudo-terminal (the adapter pulled), waits until the
// port waits for its port, then makes the link again to a new pseudo-terminal (plugged in again)
// and times how long until the port serves again (waits for a receiver).
// usage: port_comeback_bench [TRIES]   (20 unless told)
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

#include "firmware_fixtures.h"
#include "pty_pair.h"
#include "station.h"

namespace {

using namespace qvlink;
using Clock = std::chrono::steady_clock;

// Hears when the port waits for its device, and when it serves again after that.
class Follower final : public station::StationObserver {
  public:
    void OnAwaitingPort(std::size_t) override {
        std::lock_guard lock(mutex_);
        awaiting_ = true;
        served_.reset();
        changed_.notify_all();
    }
    void OnReport(std::size_t, const StatusReport& report, int) override {
        std::lock_guard lock(mutex_);
        if (awaiting_ && report.kind == STATUS_WAITING) {
            awaiting_ = false;
            served_ = Clock::now();
            changed_.notify_all();
        }
    }
    bool AwaitAwaiting() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return awaiting_; });
    }
    std::optional<Clock::time_point> AwaitServed() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(30), [this] { return served_.has_value(); });
        return served_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool awaiting_ = false;
    std::optional<Clock::time_point> served_;
};

}  // namespace

int main(int argc, char** argv) {
    const int tries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    test::ScratchDir dir;
    std::filesystem::create_directory(dir.Path() / "by-path");
    const std::filesystem::path slot =
        dir.Path() / "by-path" / "pci-0000:00:14.0-usb-0:1.4:1.0-port0";
    auto pty = std::make_unique<test::PtyPair>();
    std::filesystem::create_symlink(pty->PeerPath(), slot);

    const station::SystemClock clock;
    station::Station line({slot.string()}, clock, {"port_comeback_bench", "-", "bench", {}});
    Follower follower;
    line.SetObserver(&follower);
    if (!line.LoadFirmware(dir.Write("fw.bin", test::PatternFirmwareFile(0x100000))).ok() ||
        !line.OpenPort(0).ok()) {
        std::fprintf(stderr, "port_comeback_bench: cannot set up the port\n");
        return 1;
    }
    station::StationOptions options;
    options.continuous = true;
    line.StartAll(options);

    std::vector<double> ms;
    for (int i = 0; i < tries; ++i) {
        std::filesystem::remove(slot);  // pulled: the link goes, then the device
        pty.reset();
        if (!follower.AwaitAwaiting()) {
            std::fprintf(stderr, "port_comeback_bench: the port never waited for its port\n");
            return 1;
        }
        pty = std::make_unique<test::PtyPair>();
        const Clock::time_point back = Clock::now();
        std::filesystem::create_symlink(pty->PeerPath(), slot);
        const auto served = follower.AwaitServed();
        if (!served) {
            std::fprintf(stderr, "port_comeback_bench: the port did not serve again\n");
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(*served - back).count());
    }
    line.StopAll();
    line.WaitAll();

    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (const double m : ms) sum += m;
    std::printf(
        "port back to serving (%s), %d tries: min %.0f ms, median %.0f ms, mean %.0f ms, "
        "max %.0f ms\n",
        line.FollowsDeviceEvents() ? "udev events" : "a look every second", tries, ms.front(),
        ms[ms.size() / 2], sum / static_cast<double>(ms.size()), ms.back());
    return 0;
}
