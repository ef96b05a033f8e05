#include "port_run.h"

#include <cstdio>
#include <filesystem>

#include "port_names.h"
#include "status_texts.h"
#include "stop_signals.h"

namespace qvlink::cli {

int PortEnd::ExitStatus() const {
    if (recordLost) return EXIT_USAGE;
    if (startFailed) return EXIT_DEVICE_FAILURE;
    if (stopped) return EXIT_STOPPED;
    if (lineLost) return EXIT_NO_PORT;
    return tally.failed > 0 ? EXIT_DEVICE_FAILURE : 0;
}

void ReportOpenFailure(const PortOpening& opening) {
    std::fprintf(stderr, "%s\nqvlink-cli: %s\n", opening.message.c_str(), opening.cause.c_str());
}

PortRun::PortRun(std::string name, ProgressDisplay& display, LineOpener opener, RecordFile* record)
    : name_(std::move(name)),
      display_(display),
      host_(display),
      session_(host_, std::move(opener)),
      record_(record) {}

LoadResult PortRun::LoadFirmware(const std::string& path) {
    const LoadResult loaded = session_.LoadFirmware(path);
    if (loaded.ok)
        firmware_ =
            DescribeFirmware(session_.Image(), std::filesystem::path(path).filename().string());
    return loaded;
}

void PortRun::Announce(UpgradeResult result) {
    display_.Announce(result == USER_ABORT ? "Stopped" : ResultText(result, true));
}

bool PortRun::Record(UpgradeResult result) {
    if (record_ == nullptr || result == USER_ABORT) return true;
    const std::string line =
        RecordLine(name_, DeviceForName(name_), firmware_, result, host_.Facts());
    std::string why;
    if (record_->Append(line, why)) return true;
    std::fprintf(stderr, "qvlink-cli: %s: cannot write the record: %s; this port stops here\n",
                 name_.c_str(), why.c_str());
    return false;
}

PortEnd PortRun::Run(bool continuous, int count) {
    PortEnd end;
    session_.SetContinuous(continuous);
    session_.SetReceiverLimit(count);
    display_.Show({STATUS_WAITING}, -1);
    if (!session_.Start()) {
        std::fprintf(stderr, "qvlink-cli: %s: cannot start the upgrade thread\n", name_.c_str());
        end.startFailed = true;
        return end;
    }
    // A stop that came before the session was reachable must still end it.
    if (StopSignalled()) session_.RequestStop();

    RunOutcome outcome;
    do {
        std::optional<UpgradeResult> result;
        while (!(result = host_.AwaitResult(std::chrono::seconds(1)))) {
        }
        // The record is on disk before the session can start the next receiver.
        if (!Record(*result)) {
            end.recordLost = true;
            session_.RequestStop();
        }
        if (!Succeeded(*result) && *result != RECEIVER_ABORT && *result != USER_ABORT)
            ++end.failures[*result];
        outcome = session_.Finish(*result, [&](const RunOutcome&) {
            Announce(*result);
            display_.ShowTally(session_.Tally());
            host_.BeginRun();
            display_.Show({STATUS_WAITING}, -1);
        });
        if (!outcome.restarted) Announce(*result);
    } while (outcome.restarted);
    if (outcome.stopped && outcome.result != USER_ABORT) Announce(USER_ABORT);
    end.stopped = outcome.stopped && !end.recordLost;
    end.lineLost = outcome.result == PORT_LOST;
    end.tally = session_.Tally();
    display_.ShowTally(end.tally);
    return end;
}

}  // namespace qvlink::cli
