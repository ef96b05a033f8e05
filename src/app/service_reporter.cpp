#include "service_reporter.h"

#include <algorithm>

namespace qvlink {
namespace {

constexpr auto STATUS_EVERY = std::chrono::seconds(1);

}  // namespace

ServiceReporter::ServiceReporter(ServiceManager manager,
                                 std::function<void(const std::string&)> say)
    : manager_(std::move(manager)), say_(std::move(say)), pingEvery_(manager_.Watchdog() / 2) {}

std::chrono::milliseconds ServiceReporter::WatchdogLimit() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(manager_.Watchdog());
}

void ServiceReporter::Tell(const std::string& state) {
    const Status told = manager_.Tell(state);
    if (told.ok()) {
        unreached_ = false;
        return;
    }
    if (!unreached_) say_(told.ToString() + "; the station serves on");
    unreached_ = true;
}

void ServiceReporter::Ready(const std::string& status, Clock::time_point now) {
    if (!Present()) return;
    Tell("READY=1\nSTATUS=" + status);
    statusSent_ = status;
    statusAt_ = now;
    if (pingEvery_.count() > 0) {
        Tell("WATCHDOG=1");
        pingDue_ = now + pingEvery_;
    }
}

void ServiceReporter::Stopping() {
    if (Present()) Tell("STOPPING=1\nSTATUS=stopping: every port stops");
}

void ServiceReporter::Draining(std::chrono::milliseconds wait) {
    if (Present())
        Tell("EXTEND_TIMEOUT_USEC=" +
             std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(wait).count()) +
             "\nSTATUS=stopping: sending what is left to the database");
}

std::optional<ServiceReporter::Clock::time_point> ServiceReporter::Tend(
    Clock::time_point now, const std::string& status, const std::vector<std::string>& unanswering) {
    if (!Present()) return std::nullopt;
    std::optional<Clock::time_point> next;
    if (status != statusSent_) {
        if (now >= statusAt_ + STATUS_EVERY) {
            Tell("STATUS=" + status);
            statusSent_ = status;
            statusAt_ = now;
        } else {
            next = statusAt_ + STATUS_EVERY;
        }
    }
    if (pingEvery_.count() > 0) {
        if (now >= pingDue_) {
            if (unanswering.empty()) {
                Tell("WATCHDOG=1");
                hungSaid_ = false;
            } else if (!hungSaid_) {
                std::string names;
                for (const std::string& name : unanswering)
                    names += (names.empty() ? "" : ", ") + name;
                say_("the port thread of " + names +
                     " does not answer: the service manager's watchdog is no longer told");
                hungSaid_ = true;
            }
            pingDue_ = now + pingEvery_;
        }
        next = next ? std::min(*next, pingDue_) : pingDue_;
    }
    return next;
}

}  // namespace qvlink
