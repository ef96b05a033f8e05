#include "station_port.h"

#include <system_error>

#include "port_names.h"

namespace qvlink::station {

StationPort::StationPort(std::size_t index, std::string name, const StationShared& shared,
                         LineOpener opener)
    : index_(index),
      name_(std::move(name)),
      device_(DeviceForName(name_)),
      shared_(shared),
      watch_(*shared.clock, *this),
      session_(watch_, std::move(opener)) {
    state_.port = name_;
    state_.device = device_;
}

StationPort::~StationPort() {
    RequestStop();
    Join();
}

Status StationPort::Open() {
    Status opened = session_.OpenNamedPort(name_);
    std::lock_guard lock(mutex_);
    state_.activity = opened.ok() ? PortActivity::Ready : PortActivity::Closed;
    state_.end.opened = opened.ok();
    state_.message = opened.ok() ? "" : opened.ToString();
    return opened;
}

bool StationPort::Start(const StationOptions& options, bool reopen) {
    if (thread_.joinable()) return false;
    if (!session_.PortIsOpen() && !(reopen && Open().ok())) return false;
    {
        std::lock_guard lock(mutex_);
        state_.activity = PortActivity::Running;
        state_.status = {STATUS_WAITING};
        state_.elapsedSeconds = -1;
        state_.end = {};
        state_.receiver = 1;
        state_.counts.consecutiveFailures = 0;  // started again: a new run of chances
    }
    running_.store(true);
    try {
        thread_ = std::thread([this, options] { Serve(options); });
    } catch (const std::system_error&) {
        running_.store(false);
        PortEnd end;
        end.startFailed = true;
        Message("cannot start the port's thread");
        End(end);
        return false;  // it never ran: not counted as started
    }
    return true;
}

void StationPort::Join() {
    if (thread_.joinable()) thread_.join();
}

PortSnapshot StationPort::Snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::vector<double> StationPort::CompletedSeconds(std::size_t from) const {
    std::lock_guard lock(mutex_);
    if (from >= completedSeconds_.size()) return {};
    return {completedSeconds_.begin() + static_cast<std::ptrdiff_t>(from), completedSeconds_.end()};
}

void StationPort::OnReport(const StatusReport& report, int elapsedSeconds) {
    {
        std::lock_guard lock(mutex_);
        state_.status = report;
        state_.elapsedSeconds = elapsedSeconds;
    }
    if (shared_.observer) shared_.observer->OnReport(index_, report, elapsedSeconds);
}

void StationPort::Serve(StationOptions options) {
    watch_.BeginRun();
    session_.SetContinuous(options.continuous);
    session_.SetReceiverLimit(options.count);
    if (shared_.observer) shared_.observer->OnReport(index_, {STATUS_WAITING}, -1);
    if (!session_.Start()) {
        PortEnd end;
        end.startFailed = true;
        Message("cannot start the upgrade thread");
        End(end);
        return;
    }
    PortEnd end;
    RunOutcome outcome;
    do {
        const UpgradeResult result = AwaitResult(options.tick);
        const bool goOn = TakeResult(result, options);
        if (!goOn) session_.RequestStop();
        bool published = false;
        outcome = session_.Finish(result, [&](const RunOutcome&) {
            PublishResult(result);
            published = true;
            BeginReceiver();
        });
        if (!published) PublishResult(result);
        const PortSnapshot now = Snapshot();
        end.recordLost = now.end.recordLost;
        end.outOfService = now.end.outOfService;
        // A run that could not get what it needs never reached a receiver: the port cannot run.
        if (result == UPGRADE_ERROR && !watch_.Facts().present) end.startFailed = true;
    } while (outcome.restarted);
    if (outcome.startFailed) {
        end.startFailed = true;
        Message("cannot start the upgrade thread");
    }
    const bool endedByPort = end.recordLost || end.outOfService;
    if (outcome.stopped && outcome.result != USER_ABORT && !endedByPort) PublishResult(USER_ABORT);
    end.stopped = outcome.stopped && !endedByPort;
    end.lineLost = outcome.result == PORT_LOST;
    End(end);
}

UpgradeResult StationPort::AwaitResult(std::chrono::milliseconds tick) {
    for (;;) {
        if (const auto result = watch_.AwaitResult(tick)) return *result;
        const int elapsed = watch_.ElapsedSeconds();
        {
            std::lock_guard lock(mutex_);
            state_.elapsedSeconds = elapsed;
        }
        if (shared_.observer) shared_.observer->OnTick(index_, elapsed);
    }
}

namespace {

// How a receiver's end reads after its number: "completed", "failed (Checksum Error)".
std::string EndedAs(Counted counted, UpgradeResult result) {
    switch (counted) {
        case Counted::Completed:
            return "completed";
        case Counted::ReceiverAbort:
            return "cancelled";
        case Counted::Stopped:
            return "was stopped";
        case Counted::Failed:
        case Counted::Nothing:
            break;
    }
    return "failed (" + ResultLabel(result) + ")";
}

}  // namespace

bool StationPort::TakeResult(UpgradeResult result, const StationOptions& options) {
    const ReceiverFacts facts = watch_.Facts();
    const FollowUp followUp = FollowUpOf(result, facts);
    bool goOn = true;
    std::string unrecorded;  // the receiver served without its line, named
    int receiver;
    {
        std::lock_guard lock(mutex_);
        receiver = state_.receiver;
    }
    if (followUp.record && shared_.record != nullptr) {
        const std::string line =
            RecordLine(shared_.source, shared_.firmware, {name_, device_, receiver, result, facts});
        // The record is on disk before the session can start the next receiver.
        std::string notice;
        const Status written = shared_.record->Append(line, &notice);
        if (!notice.empty()) Message(notice);
        if (!written.ok()) {
            // The receiver was served all the same: it is named, as it has no line.
            unrecorded = "receiver " + std::to_string(receiver) + " " +
                         EndedAs(followUp.counted, result) +
                         ", its record line could not be written";
            Message(unrecorded + " (" + written.ToString() + "); this port stops here");
            goOn = false;
        }
    }
    int inARow;
    {
        std::lock_guard lock(mutex_);
        if (!unrecorded.empty()) {
            state_.unrecorded = unrecorded;
            state_.end.recordLost = true;
        }
        state_.counts.Add(followUp.counted, result);
        if (followUp.counted == Counted::Completed)
            completedSeconds_.push_back(
                std::chrono::duration<double>(facts.end - facts.start).count());
        inARow = state_.counts.consecutiveFailures;
        if (options.outOfServiceAfter > 0 && inARow >= options.outOfServiceAfter)
            state_.end.outOfService = true;
        else
            inARow = 0;
    }
    if (inARow > 0) {
        Message("out of service: " + std::to_string(inARow) +
                " receivers in a row failed or cancelled");
        goOn = false;
    }
    return goOn;
}

void StationPort::PublishResult(UpgradeResult result) {
    const std::string label = ResultLabel(result);
    {
        std::lock_guard lock(mutex_);
        state_.lastResult = result;
        state_.lastResultText = label;
    }
    if (shared_.observer) shared_.observer->OnResult(index_, result, label);
}

void StationPort::BeginReceiver() {
    watch_.BeginRun();
    {
        std::lock_guard lock(mutex_);
        ++state_.receiver;
        state_.status = {STATUS_WAITING};
        state_.elapsedSeconds = -1;
    }
    if (shared_.observer) shared_.observer->OnReport(index_, {STATUS_WAITING}, -1);
}

void StationPort::Message(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        state_.message = text;
    }
    if (shared_.observer) shared_.observer->OnMessage(index_, text);
}

void StationPort::End(PortEnd end) {
    running_.store(false);
    {
        std::lock_guard lock(mutex_);
        state_.activity = PortActivity::Ended;
        state_.end = end;
        state_.status = {STATUS_READY};
        state_.elapsedSeconds = -1;
    }
    if (shared_.observer) shared_.observer->OnPortEnded(index_);
}

}  // namespace qvlink::station
