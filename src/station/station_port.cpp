#include "station_port.h"

#include <algorithm>
#include <system_error>

#include "port_names.h"
#include "port_words.h"

namespace qvlink::station {

StationPort::StationPort(std::size_t index, std::string name, const StationShared& shared,
                         LineOpener opener)
    : index_(index),
      name_(std::move(name)),
      device_(DeviceForName(name_)),
      shared_(shared),
      watch_(*shared.clock, *this),
      session_(watch_, std::move(opener)) {
    state_.snapshot.port = name_;
    state_.snapshot.device = device_;
}

StationPort::~StationPort() {
    RequestStop();
    Join();
}

Status StationPort::Open() {
    Status opened = session_.OpenNamedPort(name_);
    Change(port_event::Opened{opened});
    return opened;
}

Status StationPort::Start(const StationOptions& options, bool reopen) {
    if (thread_.joinable()) return Status::Error(StatusKind::InUse, name_ + " serves already");
    if (!session_.PortIsOpen()) {
        if (!reopen) return Status::Error(StatusKind::Usage, name_ + " is not open");
        if (Status opened = Open(); !opened.ok()) return opened;
    }
    TakeFirmware();
    retiring_.store(false);
    Change(port_event::Started{});
    MarkBusy();
    running_.store(true);
    try {
        thread_ = std::thread([this, options] { Serve(options); });
    } catch (const std::system_error& error) {
        Note({PortNote::Kind::NoPortThread});
        End(PortEnd::StartFailed);
        // It never ran: not counted as started.
        return Status::Error(StatusKind::Exhausted, "cannot start the thread of " + name_,
                             error.what());
    }
    return Status::Ok();
}

void StationPort::Retire() {
    retiring_.store(true);
    if (running_.load() && watch_.ElapsedSeconds() < 0) session_.RequestStop();
}

void StationPort::TakeFirmwareWhenIdle() {
    if (!running_.load()) TakeFirmware();
}

void StationPort::TakeFirmware() {
    auto current = shared_.firmware.Current();
    if (current == firmware_) return;
    previous_ = std::move(firmware_);
    firmware_ = std::move(current);
    if (firmware_)
        session_.ShareImage(std::shared_ptr<const FirmwareImage>(firmware_, &firmware_->image));
}

namespace {

std::int64_t SteadyNow() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

}  // namespace

void StationPort::MarkBusy() {
    busySince_.store(std::max<std::int64_t>(SteadyNow(), 1));
}

bool StationPort::BusyLongerThan(std::chrono::milliseconds limit) const {
    const std::int64_t since = busySince_.load();
    if (since == 0 || !running_.load()) return false;
    return std::chrono::steady_clock::duration(SteadyNow() - since) > limit;
}

void StationPort::Join() {
    if (thread_.joinable()) thread_.join();
}

PortSnapshot StationPort::Snapshot() const {
    MutexLock lock(mutex_);
    return state_.snapshot;
}

int StationPort::Receiver() const {
    MutexLock lock(mutex_);
    return state_.snapshot.receiver;
}

namespace {

// What the observer hears of each event, told after the state has changed.
struct Tell {
    StationObserver& observer;
    std::size_t port;

    void operator()(const port_event::Reported& event) {
        observer.OnReport(port, event.report, event.elapsedSeconds);
    }
    void operator()(const port_event::Ticked& event) {
        observer.OnTick(port, event.elapsedSeconds);
    }
    void operator()(const port_event::Published& event) { observer.OnResult(port, event.result); }
    void operator()(const port_event::NextReceiver&) {
        observer.OnReport(port, {STATUS_WAITING}, -1);
    }
    void operator()(const port_event::Said& event) { observer.OnNote(port, event.note); }
    void operator()(const port_event::Ended& event) { observer.OnPortEnded(port, event.end); }
    void operator()(const auto&) {}  // the rest is seen in snapshots
};

}  // namespace

PortEnd StationPort::Change(const PortEvent& event) {
    const PortEnd calledFor = shared_.ledger->Apply(event, [&] {
        MutexLock lock(mutex_);
        return Advance(state_, event);
    });
    if (shared_.observer) std::visit(Tell{*shared_.observer, index_}, event);
    return calledFor;
}

void StationPort::OnReport(const StatusReport& report, int elapsedSeconds) {
    Change(port_event::Reported{report, elapsedSeconds});
}

void StationPort::Serve(StationOptions options) {
    watch_.BeginRun();
    session_.SetContinuous(options.continuous);
    Change(port_event::Reported{{STATUS_WAITING}, -1});
    if (const Status started = session_.Start(); !started.ok()) {
        Note({PortNote::Kind::RunNotStarted, started.message()});
        End(PortEnd::StartFailed);
        return;
    }
    PortEnd end = PortEnd::None;
    RunOutcome outcome;
    do {
        const UpgradeResult result = AwaitResult(options.tick);
        end = TakeResult(result, options);
        if (end == PortEnd::RecordLost || end == PortEnd::OutOfService) session_.RequestStop();
        // A run that could not get what it needs never reached a receiver: the port cannot run.
        if (end == PortEnd::None && result == UPGRADE_ERROR && !watch_.Facts().present)
            end = PortEnd::StartFailed;
        bool published = false;
        outcome = session_.Finish(
            result,
            [&](const RunOutcome&) {
                PublishResult(result);
                published = true;
                BeginReceiver();
            },
            end == PortEnd::Finished || retiring_.load());
        if (!published) PublishResult(result);
    } while (outcome.Restarted());
    // How the port ended, decided here once: its own reasons first, then the session's.
    if (end == PortEnd::None || end == PortEnd::Finished) {
        switch (outcome.next) {
            case RunNext::StartFailed:
                Note({PortNote::Kind::RunNotStarted, outcome.startFailure.message()});
                end = PortEnd::StartFailed;
                break;
            case RunNext::Stopped:
                end = PortEnd::Stopped;
                // A stop between receivers ends no receiver's run: the tile still says so.
                if (outcome.result != USER_ABORT) PublishResult(USER_ABORT);
                break;
            case RunNext::NextRun:
            case RunNext::Idle:
                end = outcome.result == PORT_LOST ? PortEnd::LineLost : PortEnd::Finished;
                break;
        }
    }
    End(end);
}

UpgradeResult StationPort::AwaitResult(std::chrono::milliseconds tick) {
    for (;;) {
        MarkAsleep();
        const auto result = watch_.AwaitResult(tick);
        MarkBusy();
        if (result) return *result;
        Change(port_event::Ticked{watch_.ElapsedSeconds()});
    }
}

PortEnd StationPort::TakeResult(UpgradeResult result, const StationOptions& options) {
    const ReceiverFacts facts = watch_.Facts();
    const FollowUp followUp = FollowUpOf(result, facts);
    port_event::Taken taken{followUp.counted,
                            result,
                            std::chrono::duration<double>(facts.end - facts.start).count(),
                            "",
                            options.outOfServiceAfter,
                            options.count};
    if (followUp.record && shared_.record != nullptr) {
        const int receiver = Receiver();
        const std::string line =
            RecordLine(shared_.source, firmware_ ? firmware_->facts : FirmwareFacts{},
                       {name_, device_, receiver, result, facts});
        // The record is on disk before the session can start the next receiver.
        std::string notice;
        const Status written = shared_.record->Append(line, &notice);
        if (!notice.empty()) Note({PortNote::Kind::RecordNotice, notice});
        if (!written.ok()) {
            // The receiver was served all the same: it is named, as it has no line.
            taken.unrecorded = ReceiverEndText(receiver, followUp.counted, result) +
                               ", its record line could not be written";
            Note({PortNote::Kind::LineNotWritten, written.ToString(), receiver, followUp.counted,
                  result});
        } else if (shared_.recorded) {
            shared_.recorded();
        }
    }
    const PortEnd end = Change(taken);
    if (end == PortEnd::OutOfService) {
        PortNote note{PortNote::Kind::OutOfService};
        note.count = options.outOfServiceAfter;
        Note(note);
    }
    return end;
}

void StationPort::PublishResult(UpgradeResult result) {
    Change(port_event::Published{result});
}

void StationPort::BeginReceiver() {
    // The session's run has posted its result and the next has not begun: the image may change.
    TakeFirmware();
    watch_.BeginRun();
    Change(port_event::NextReceiver{});
}

void StationPort::Note(PortNote note) {
    Change(port_event::Said{std::move(note)});
}

void StationPort::End(PortEnd end) {
    MarkAsleep();
    running_.store(false);
    Change(port_event::Ended{end});
}

}  // namespace qvlink::station
