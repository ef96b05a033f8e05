#include "stop_signals.h"

#include <atomic>
#include <csignal>

namespace qvlink::cli {
namespace {

std::atomic<int> stopSignalled{0};
std::atomic<station::Station*> watched{nullptr};

static_assert(std::atomic<station::Station*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    stopSignalled.store(1);
    if (station::Station* station = watched.load()) station->StopAll();
}

}  // namespace

void WatchForStop(station::Station* station) {
    watched.store(station);
    if (station != nullptr && stopSignalled.load()) station->StopAll();
}

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

bool StopSignalled() {
    return stopSignalled.load() != 0;
}

}  // namespace qvlink::cli
