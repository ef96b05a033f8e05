#include "device_watch.h"

#include <algorithm>
#include <system_error>

namespace qvlink {

DeviceWatch::DeviceWatch() = default;

DeviceWatch::~DeviceWatch() {
    {
        MutexLock lock(mutex_);
        ending_ = true;
    }
    changed_.Raise();
    if (thread_.joinable()) thread_.join();
}

bool DeviceWatch::StartLocked() {
    if (started_) return true;
    events_ = OpenEvents();
    followsEvents_.store(events_ != nullptr);
    try {
        thread_ = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
        events_.reset();
        followsEvents_.store(false);
        return false;
    }
    started_ = true;
    return true;
}

DeviceWatch::Wait DeviceWatch::AwaitDevice(const std::string& path, const StopWake& stop,
                                           const std::atomic<bool>& stopped) {
    Waiter waiter;
    waiter.path = path;
    bool watched;
    {
        MutexLock lock(mutex_);
        watched = StartLocked();
        if (watched) {
            waiter.timed = !followsEvents_.load() || DevicePresent(path);
            waiters_.push_back(&waiter);
        }
    }
    if (watched) changed_.Raise();
    for (;;) {
        if (stopped.load()) break;
        // Without a watcher (no thread could be made) this waiter looks for itself.
        const Woken woken = AwaitWakes(stop, waiter.back, watched ? -1 : LOOK_EVERY.count());
        if (woken == Woken::Stop || stopped.load()) break;
        if (!watched) {
            if (woken == Woken::Time && DevicePresent(path)) return Wait::Back;
            continue;
        }
        MutexLock lock(mutex_);
        if (waiter.isBack) return Wait::Back;  // the watcher took it off the list
    }
    if (watched) {
        MutexLock lock(mutex_);
        waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), &waiter), waiters_.end());
    }
    return Wait::Stopped;
}

void DeviceWatch::Loop() {
    auto nextLook = std::chrono::steady_clock::now() + LOOK_EVERY;
    for (;;) {
        int timeoutMs = -1;
        bool timed = false;
        {
            MutexLock lock(mutex_);
            if (ending_) return;
            timed = std::any_of(waiters_.begin(), waiters_.end(),
                                [](const Waiter* waiter) { return waiter->timed; });
            if (timed) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    nextLook - std::chrono::steady_clock::now());
                timeoutMs = static_cast<int>(std::max<long long>(left.count(), 0));
            }
        }
        const bool event = AwaitEvent(events_.get(), changed_, timeoutMs);
        // Cleared before the list is read: a waiter that comes after is seen on the next turn.
        changed_.Clear();
        const auto now = std::chrono::steady_clock::now();
        // The looks keep their pace from the first timed waiter on: one that comes is first
        // looked at a second later, or with the others.
        const bool lookDue = timed && now >= nextLook;
        if (lookDue || !timed) nextLook = now + LOOK_EVERY;
        MutexLock lock(mutex_);
        if (ending_) return;
        if (!event && !lookDue) continue;
        for (auto it = waiters_.begin(); it != waiters_.end();) {
            Waiter& waiter = **it;
            if ((event || waiter.timed) && DevicePresent(waiter.path)) {
                waiter.isBack = true;
                waiter.back.Raise();
                it = waiters_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

}  // namespace qvlink
