// Benchmark: full upgrades against qvlink-sim (as fast as the line goes, and paced at 921600
// baud next to the time the bytes alone take on such a wire), and qvlink-cli next to lrzsz's
// `sx -k` sending the same megabyte to `rx -c`. Five runs each; prints the medians of wall time
// and of the sender's CPU time (user + sys). Also counts how often the flasher wakes while it
// waits for a receiver that never speaks, and how long a pseudo-terminal takes to answer a sender
// that has slept as long as a block is on the wire (this machine's floor for the block protocol's
// overhead). Figures, not a pass/fail test.
//
// usage: upgrade_bench BUILD_TOOLS_DIR [rx]   (rx: only the comparison with sx -k)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "answer_paced_relay.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int RUNS = 5;
constexpr double BITS_PER_BYTE = 10.0;

struct Measure {
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

struct ChildIo {
    int input = -1;   // becomes the child's stdin when >= 0
    int output = -1;  // becomes the child's stdout when >= 0
    std::string directory;
};

pid_t Spawn(const std::vector<std::string>& args, const ChildIo& io) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (io.input >= 0) posix_spawn_file_actions_adddup2(&actions, io.input, STDIN_FILENO);
    if (io.output >= 0) posix_spawn_file_actions_adddup2(&actions, io.output, STDOUT_FILENO);
    if (!io.directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, io.directory.c_str());
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + args[0]);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for `pid`; returns its CPU time in seconds, and throws when it failed.
double Reap(pid_t pid, const char* what) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(std::string(what) + " failed");
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Starts qvlink-sim and returns its pid, with the device it serves in `device`.
pid_t StartSim(const std::string& tools, const std::vector<std::string>& options,
               const std::string& firmware, std::string& device) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> args{tools + "/qvlink-sim"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(firmware);
    const pid_t pid = Spawn(args, {-1, pipeFds[1], {}});
    close(pipeFds[1]);
    char line[256] = {};
    std::size_t used = 0;
    while (used < sizeof line - 1 && read(pipeFds[0], line + used, 1) == 1 && line[used] != '\n')
        ++used;
    line[used] = '\0';
    close(pipeFds[0]);
    device = line;
    return pid;
}

Measure FlashAgainstSim(const std::string& tools, const std::vector<std::string>& simOptions,
                        const std::string& firmware) {
    std::string device;
    const pid_t sim = StartSim(tools, simOptions, firmware, device);
    const int quiet = open("/dev/null", O_WRONLY);
    const auto start = Clock::now();
    const pid_t cli = Spawn({tools + "/qvlink-cli", "--port", device, firmware}, {-1, quiet, {}});
    Measure m;
    m.cpuSeconds = Reap(cli, "qvlink-cli");
    m.wallSeconds = Seconds(start);
    close(quiet);
    Reap(sim, "qvlink-sim (the receiver did not get exactly the image)");
    return m;
}

// Waits until the file at `path` has something in it.
void AwaitOutput(const std::filesystem::path& path) {
    std::error_code error;
    while (std::filesystem::file_size(path, error) == 0 || error) usleep(10'000);
}

// One sender on the peer side of a pseudo-terminal, rx -c on a terminal of its own, the relay
// between them. A sender that opens the device itself (our flasher) is started first, since
// bytes sent to a pseudo-terminal that nobody holds open are lost.
Measure SendToRx(const std::vector<std::string>& sender, bool senderOpensDevice,
                 const std::string& directory) {
    const qvlink::test::PtyPair line;
    const qvlink::test::PtyPair rxTerminal;
    qvlink::test::AnswerPacedRelay relay(line.MasterFd(), rxTerminal.MasterFd());
    const auto senderLog = std::filesystem::path(directory) / "sender.out";
    std::vector<std::string> args = sender;
    pid_t child = -1;
    int peerFd = -1;
    const int log = open(senderLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (senderOpensDevice) {
        args.insert(args.begin() + 1, {"--port", line.PeerPath()});
        child = Spawn(args, {-1, log, directory});
        AwaitOutput(senderLog);
    }
    if (!senderOpensDevice) peerFd = open(line.PeerPath().c_str(), O_RDWR | O_NOCTTY);
    const int rxFd = open(rxTerminal.PeerPath().c_str(), O_RDWR | O_NOCTTY);
    const auto start = Clock::now();
    const pid_t rx = Spawn({"rx", "-c", "-q", "received.img"}, {rxFd, rxFd, directory});
    close(rxFd);
    relay.Start();
    if (!senderOpensDevice) child = Spawn(args, {peerFd, peerFd, directory});
    Reap(rx, "rx");
    relay.Join();
    const double rxWall = Seconds(start);
    // rx empties its output as it ends, which may take its last ACK back off the line; our
    // flasher then also waits for the receiver's burn.
    const unsigned char ackThenBurnDone[2] = {0x06, 0xA0};
    const std::size_t feed = senderOpensDevice ? 2 : 1;
    if (write(line.MasterFd(), ackThenBurnDone, feed) != static_cast<ssize_t>(feed))
        throw std::runtime_error("pty write");
    Measure m;
    m.cpuSeconds = Reap(child, args[0].c_str());
    m.wallSeconds = rxWall;
    close(log);
    if (peerFd >= 0) close(peerFd);
    std::filesystem::remove(std::filesystem::path(directory) / "received.img");
    return m;
}

template <typename Run>
Measure Median(Run run) {
    std::vector<Measure> runs;
    for (int i = 0; i < RUNS; ++i) runs.push_back(run());
    auto median = [&](auto field) {
        std::vector<double> values;
        for (const auto& m : runs) values.push_back(m.*field);
        std::sort(values.begin(), values.end());
        return values[RUNS / 2];
    };
    return {median(&Measure::wallSeconds), median(&Measure::cpuSeconds)};
}

void Print(const char* name, const Measure& m, double wireSeconds = 0) {
    std::printf("%-44s wall %8.3f s   cpu %7.3f s (%5.2f%% of wall)", name, m.wallSeconds,
                m.cpuSeconds, 100.0 * m.cpuSeconds / m.wallSeconds);
    if (wireSeconds > 0)
        std::printf("   wire %7.3f s (+%.2f%%)", wireSeconds,
                    100.0 * (m.wallSeconds / wireSeconds - 1.0));
    std::printf("\n");
    std::fflush(stdout);
}

// The voluntary context switches of all of a process's threads so far: each is one wake-up
// after a sleep.
long VoluntarySwitches(pid_t pid) {
    long total = 0;
    const auto tasks = std::filesystem::path("/proc") / std::to_string(pid) / "task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stol(line.substr(24));
    }
    return total;
}

// qvlink-cli waiting on a receiver that never announces itself: wake-ups per second.
double IdleWakeupsPerSecond(const std::string& tools, const std::string& firmware) {
    constexpr int SECONDS = 10;
    std::string device;
    const pid_t sim =
        StartSim(tools, {"--protocol", "silent", "--timeout", "60"}, firmware, device);
    const int quiet = open("/dev/null", O_WRONLY);
    const pid_t cli = Spawn({tools + "/qvlink-cli", "--port", device, firmware}, {-1, quiet, {}});
    sleep(1);  // past loading the file and starting the run
    const long before = VoluntarySwitches(cli);
    sleep(SECONDS);
    const long after = VoluntarySwitches(cli);
    kill(cli, SIGINT);
    waitpid(cli, nullptr, 0);
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    close(quiet);
    return static_cast<double>(after - before) / SECONDS;
}

// The machine's own floor for the block protocol's per-block overhead: a second process on a
// pseudo-terminal answers one byte with a block, asked after a sleep as long as a block takes on
// the wire at 921600 baud. On a virtual machine a processor that has gone idle wakes slowly, and
// every sender that sleeps while a block is on the wire pays that on each answer.
void PrintIdleRoundTrip() {
    constexpr int ROUNDS = 300;
    constexpr auto BLOCK_ON_THE_WIRE = std::chrono::microseconds(11'165);
    const qvlink::test::PtyPair line;
    const int peer = open(line.PeerPath().c_str(), O_RDWR | O_NOCTTY);
    const pid_t echo = fork();
    if (echo == 0) {
        static std::uint8_t block[1029];
        std::uint8_t ask = 0;
        while (read(peer, &ask, 1) == 1 && ask != 'q') {
            if (write(peer, block, sizeof block) != static_cast<ssize_t>(sizeof block)) _exit(1);
        }
        _exit(0);
    }
    std::vector<double> micros;
    std::uint8_t buffer[2048];
    for (int round = 0; round < ROUNDS; ++round) {
        std::this_thread::sleep_for(BLOCK_ON_THE_WIRE);
        const auto start = Clock::now();
        const std::uint8_t ask = 'a';
        if (write(line.MasterFd(), &ask, 1) != 1) throw std::runtime_error("pty write");
        for (std::size_t got = 0; got < 1029;) {
            const ssize_t n = read(line.MasterFd(), buffer, sizeof buffer);
            if (n <= 0) throw std::runtime_error("pty read");
            got += static_cast<std::size_t>(n);
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    const std::uint8_t quit = 'q';
    if (write(line.MasterFd(), &quit, 1) != 1) throw std::runtime_error("pty write");
    waitpid(echo, nullptr, 0);
    close(peer);
    double total = 0;
    for (double m : micros) total += m;
    std::sort(micros.begin(), micros.end());
    std::printf("%-48s median %4.0f us, mean %4.0f us (+%.2f%% of a block's wire time)\n",
                "pty answer to a sender that slept 11 ms", micros[ROUNDS / 2], total / ROUNDS,
                100.0 * total / ROUNDS /
                    std::chrono::duration<double, std::micro>(BLOCK_ON_THE_WIRE).count());
    std::fflush(stdout);
}

void RunSimScenarios(const std::string& tools, const std::string& firmware) {
    std::printf("%-48s %6.1f per second (over 10 s)\n", "wake-ups waiting for a silent receiver",
                IdleWakeupsPerSecond(tools, firmware));
    PrintIdleRoundTrip();
    Print("block ('C') vs qvlink-sim, unlimited", Median([&] {
              return FlashAgainstSim(tools, {"--protocol", "block-crc"}, firmware);
          }));
    Print("bulk vs qvlink-sim, unlimited", Median([&] {
              return FlashAgainstSim(tools, {"--protocol", "bulk"}, firmware);
          }));
    // Bytes each way on the wire: handshake, blocks or chunks, answers, EOT or checksum, burn.
    const double blockBytes = 1 + 1 + 1025.0 * 1029 + 1025 + 1 + 1 + 17;
    const double bulkBytes = 1 + 1 + 1 + 1 + 1 + 256.0 * 4096 + 256 + 1 + 1 + 1 + 17;
    Print("block ('C') vs qvlink-sim at 921600 baud", Median([&] {
              return FlashAgainstSim(tools, {"--protocol", "block-crc", "--baud", "921600"},
                                     firmware);
          }),
          blockBytes * BITS_PER_BYTE / 921600);
    Print("bulk vs qvlink-sim at 921600 baud", Median([&] {
              return FlashAgainstSim(tools, {"--protocol", "bulk", "--baud", "921600"}, firmware);
          }),
          bulkBytes * BITS_PER_BYTE / 921600);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::string(argv[2]) != "rx")) {
        std::fprintf(stderr, "usage: upgrade_bench BUILD_TOOLS_DIR [rx]\n");
        return 2;
    }
    const bool onlyRx = argc == 3;
    const std::string tools = std::filesystem::absolute(argv[1]).string();
    const auto work =
        std::filesystem::temp_directory_path() / ("qvlink-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(work);
    const std::string firmware = (work / "fw.bin").string();
    const std::string raw = (work / "image.raw").string();
    const std::string pack = "head -c 1048576 /dev/urandom > " + raw + " && " + tools +
                             "/qvlink-pack pack " + raw + " " + firmware + " > /dev/null";
    if (std::system(pack.c_str()) != 0) {
        std::fprintf(stderr, "upgrade_bench: could not make the firmware file %s\n",
                     firmware.c_str());
        std::filesystem::remove_all(work);
        return 1;
    }
    try {
        std::printf("median of %d runs each\n", RUNS);
        if (!onlyRx) RunSimScenarios(tools, firmware);
        Print("qvlink-cli -> rx -c", Median([&] {
                  return SendToRx({tools + "/qvlink-cli", firmware}, true, work.string());
              }));
        Print("sx -k -> rx -c", Median([&] {
                  return SendToRx({"sx", "-k", "-q", raw}, false, work.string());
              }));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "upgrade_bench: %s\n", e.what());
        std::filesystem::remove_all(work);
        return 1;
    }
    std::filesystem::remove_all(work);
    return 0;
}
