#include "stop_signals.h"

#include <atomic>
#include <csignal>

namespace qvlink::cli {
namespace {

std::atomic<int> stopSignalled{0};
std::atomic<station::Station*> watched{nullptr};
std::atomic<const StopWake*> watchedWake{nullptr};

static_assert(std::atomic<station::Station*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    stopSignalled.store(1);
    if (station::Station* station = watched.load()) station->StopAll();
    if (const StopWake* wake = watchedWake.load()) wake->Raise();
}

}  // namespace

void WatchForStop(station::Station* station) {
    watched.store(station);
    if (station != nullptr && stopSignalled.load()) station->StopAll();
}

void WatchForStopWake(const StopWake* wake) {
    watchedWake.store(wake);
}

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

bool StopSignalled() {
    return stopSignalled.load() != 0;
}

}  // namespace qvlink::cli
