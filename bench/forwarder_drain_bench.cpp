// Benchmark: the forwarder draining a station's backlog. Starts a forwarder on a record file of
// which nothing was sent yet, waits until the database has every line, and prints lines per
// second and the CPU seconds this process used (reading, checking and sending; the server's are
// its own). Figures, not a pass/fail test.
//
// usage: forwarder_drain_bench CONNINFO RECORD_FILE
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "forwarder.h"

namespace {

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qvlink::records;
    if (argc != 3) {
        std::fprintf(stderr, "usage: forwarder_drain_bench CONNINFO RECORD_FILE\n");
        return 2;
    }
    ForwarderSettings settings;
    settings.conninfo = argv[1];
    settings.recordPath = argv[2];
    settings.cursorPath = settings.recordPath + ".bench-sent";
    std::filesystem::remove(settings.cursorPath);  // all of it is the backlog

    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Forwarder forwarder(settings);
    forwarder.Start();
    const bool drained = forwarder.Drain(std::chrono::minutes(10));
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const ForwarderState state = forwarder.State();
    forwarder.Stop();
    const double cpu = CpuSeconds() - cpuBefore;
    std::filesystem::remove(settings.cursorPath);
    if (!drained) {
        std::fprintf(stderr, "forwarder_drain_bench: not drained: %s\n",
                     ForwarderStateText(state).c_str());
        return 1;
    }
    const auto lines = static_cast<double>(state.sent + state.alreadyThere + state.skipped);
    std::printf(
        "forwarder drain: %.0f lines in %.2f s: %.0f lines/s, %.2f s CPU in the station's "
        "process (%.1f us a line)\n",
        lines, wall.count(), lines / wall.count(), cpu, cpu * 1e6 / lines);
    return 0;
}
