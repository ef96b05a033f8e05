// Benchmark: a factory's stations against one server with fewer connections than stations. Each
// station is a forwarder (a thread of this program) on a record file of its own that starts with
// `first` lines; more arrive meanwhile, one line to a station chosen at random every `every` ms
// for `arriving` s. Connections of the stations' role are counted from pg_stat_activity 10 times
// a second. Prints when every line was a row, and the most connections seen open at once.
// Figures, not a pass/fail test (exit 1 only when the lines did not all arrive in `limit` s).
//
// usage: forwarder_fleet_bench ADMIN_CONNINFO STATION_CONNINFO DIR LINES_FILE STATIONS FIRST
//            ARRIVING_S EVERY_MS LIMIT_S
// LINES_FILE holds the record lines to hand out, at least STATIONS * FIRST + the arriving ones.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "forwarder.h"
#include "pg_connection.h"

namespace {

using namespace qvlink::records;
using qvlink::Status;
using Clock = std::chrono::steady_clock;

long long Count(PgConnection& admin, const std::string& sql) {
    PgResult result;
    if (!admin.Exec(sql, {}, nullptr, std::chrono::seconds(30), &result).ok() || result.rows() != 1)
        return -1;
    return std::stoll(result.Value(0, 0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 10) {
        std::fprintf(stderr,
                     "usage: forwarder_fleet_bench ADMIN STATION DIR LINES_FILE STATIONS FIRST "
                     "ARRIVING_S EVERY_MS LIMIT_S\n");
        return 2;
    }
    const std::string admin = argv[1], station = argv[2], dir = argv[3];
    const int stations = std::atoi(argv[5]), first = std::atoi(argv[6]);
    const auto arriving = std::chrono::seconds(std::atoi(argv[7]));
    const auto every = std::chrono::milliseconds(std::atoi(argv[8]));
    const auto limit = std::chrono::seconds(std::atoi(argv[9]));
    std::vector<std::string> pool;
    {
        std::ifstream file(argv[4]);
        for (std::string line; std::getline(file, line);) pool.push_back(line + "\n");
    }
    std::size_t next = 0;
    const auto pathOf = [&](int i) { return dir + "/station" + std::to_string(i) + ".jsonl"; };
    const auto append = [&](int i, int lines) {
        std::ofstream file(pathOf(i), std::ios::app | std::ios::binary);
        for (int k = 0; k < lines && next < pool.size(); ++k) file << pool[next++];
    };
    for (int i = 0; i < stations; ++i) append(i, first);

    PgConnection sampler;
    if (Status opened = sampler.Open(admin, nullptr, std::chrono::seconds(30)); !opened.ok()) {
        std::fprintf(stderr, "forwarder_fleet_bench: %s\n", opened.ToString().c_str());
        return 2;
    }
    const auto start = Clock::now();
    std::vector<std::unique_ptr<Forwarder>> forwarders;
    for (int i = 0; i < stations; ++i) {
        ForwarderSettings settings;
        settings.conninfo = station;
        settings.recordPath = pathOf(i);
        forwarders.push_back(std::make_unique<Forwarder>(settings));
        forwarders.back()->Start();
    }
    // Lines are appended by this thread alone until it is joined.
    std::atomic<bool> writing{true};
    bool joined = false;
    std::thread writer([&] {
        std::mt19937 random(7);
        const auto end = Clock::now() + arriving;
        while (writing && Clock::now() < end) {
            const int i = static_cast<int>(random() % static_cast<unsigned>(stations));
            append(i, 1);
            forwarders[static_cast<std::size_t>(i)]->Nudge();
            std::this_thread::sleep_for(every);
        }
    });
    long long peak = 0, rows = 0, turnedAway = 0;
    double allIn = -1;
    while (Clock::now() - start < limit) {
        const long long open = Count(sampler,
                                     "SELECT count(*) FROM pg_stat_activity WHERE backend_type = "
                                     "'client backend' AND usename <> 'postgres'");
        peak = std::max(peak, open);
        for (const auto& forwarder : forwarders)
            if (forwarder->State().error.kind() == qvlink::StatusKind::Exhausted) ++turnedAway;
        if (!joined && Clock::now() - start > arriving) {
            writer.join();
            joined = true;
        }
        rows = Count(sampler, "SELECT count(*) FROM records");
        if (joined && rows == static_cast<long long>(next)) {
            allIn = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    writing = false;
    if (!joined) writer.join();
    const auto total = static_cast<long long>(next);
    forwarders.clear();
    std::printf(
        "fleet: %d stations, %lld lines (%d each at the start, %lld arriving over %lld s)\n",
        stations, total, first, total - static_cast<long long>(stations) * first,
        static_cast<long long>(arriving.count()));
    std::printf(
        "fleet: connections open at once, at most %lld (sampled 10 times a second); "
        "station states seen saying 'no connection free': %lld\n",
        peak, turnedAway);
    if (allIn < 0) {
        std::printf("fleet: NOT every line arrived within %lld s: %lld rows of %lld\n",
                    static_cast<long long>(limit.count()), rows, total);
        return 1;
    }
    std::printf("fleet: every line a row after %.1f s\n", allIn);
    return 0;
}
