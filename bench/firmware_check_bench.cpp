// Benchmark: loading and checking a standard 1 MiB firmware file (open, one read, descramble,
// inner checks, CRC), and the CRC alone. Prints medians of wall and CPU time per load, the page
// faults a load takes to map its two fresh buffers (the kernel's share of its CPU), and the CRC's
// throughput. Figures, not a pass/fail test.
//
// usage: firmware_check_bench [RUNS]   (default 51)
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "crc32_mpeg2.h"
#include "firmware_format.h"
#include "firmware_loader.h"
#include "firmware_packer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int CRC_PASSES_PER_RUN = 32;

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<std::uint8_t> SampleData() {
    std::vector<std::uint8_t> data(qvlink::STANDARD_DATA_SIZE);
    std::uint32_t state = 0x2545F491u;
    for (auto& byte : data) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state);
    }
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 51;
    const auto payload = qvlink::BuildPayload(SampleData());
    const auto file = qvlink::ScramblePayload(payload);
    const auto path = std::filesystem::temp_directory_path() / "qvlink-firmware-check-bench.bin";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
            return 1;
        }
    }

    std::vector<double> wall, cpu, faults, crcSeconds;
    for (int run = 0; run < runs; ++run) {
        qvlink::FirmwareImage image;
        const long faultsStart = MinorFaults();
        const double cpuStart = CpuSeconds();
        const auto start = Clock::now();
        const qvlink::Status result = qvlink::LoadFirmwareFile(path, image);
        wall.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        cpu.push_back(CpuSeconds() - cpuStart);
        faults.push_back(static_cast<double>(MinorFaults() - faultsStart));
        if (!result.ok()) {
            std::fprintf(stderr, "load refused: %s\n", result.message().c_str());
            return 1;
        }
    }
    std::uint32_t crcSink = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        for (int pass = 0; pass < CRC_PASSES_PER_RUN; ++pass)
            crcSink += qvlink::FirmwareCrc32(payload.data(),
                                             static_cast<std::int64_t>(payload.size() - pass));
        crcSeconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::filesystem::remove(path);

    const double crcMegabytes = static_cast<double>(payload.size()) * CRC_PASSES_PER_RUN / 1e6;
    std::printf(
        "firmware load+check, %zu-byte file, median of %d: wall %.3f ms, cpu %.3f ms "
        "(%.0f page faults for its fresh buffers)\n",
        file.size(), runs, Median(wall) * 1e3, Median(cpu) * 1e3, Median(faults));
    std::printf("CRC-32/MPEG-2 throughput, median of %d: %.0f MB/s (checksum %08x)\n", runs,
                crcMegabytes / Median(crcSeconds), crcSink);
    return 0;
}
