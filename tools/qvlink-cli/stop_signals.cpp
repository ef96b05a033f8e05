#include "stop_signals.h"

#include <array>
#include <atomic>
#include <csignal>

namespace qvlink::cli {
namespace {

std::atomic<int> stopSignalled{0};
std::array<std::atomic<UpgradeSession*>, MAX_PORTS> watched{};

static_assert(std::atomic<UpgradeSession*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
    stopSignalled.store(1);
    for (auto& slot : watched) {
        if (UpgradeSession* session = slot.load()) session->RequestStop();
    }
}

}  // namespace

void WatchForStop(std::size_t slot, UpgradeSession* session) {
    watched[slot].store(session);
    if (session != nullptr && stopSignalled.load()) session->RequestStop();
}

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

bool StopSignalled() {
    return stopSignalled.load() != 0;
}

}  // namespace qvlink::cli
