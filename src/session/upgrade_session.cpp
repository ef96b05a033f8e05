#include "upgrade_session.h"

#include <chrono>
#include <thread>

#include "firmware_loader.h"
#include "port_names.h"
#include "status_texts.h"

namespace qvlink {

bool RestartsAfter(UpgradeResult result, bool continuousMode) {
    if (result == RECEIVER_ABORT) return true;
    return continuousMode && result != USER_ABORT && result != UPGRADE_ERROR && result != PORT_LOST;
}

std::string OpenPortErrorText(std::int64_t portNumber) {
    return "open port" + std::to_string(portNumber) + " error!";
}

std::string OpenPortErrorText(const std::string& portName) {
    const int number = PortNumberOfName(portName);
    return number > 0 ? OpenPortErrorText(number) : "open " + portName + " error!";
}

UpgradeSession::UpgradeSession(UpgradeHost& host, LineOpener opener)
    : host_(host), opener_(std::move(opener)) {}

UpgradeSession::~UpgradeSession() {
    Shutdown();
}

Status UpgradeSession::LoadFirmware(const std::filesystem::path& path) {
    shared_.reset();
    return LoadFirmwareFile(path, image_);
}

void UpgradeSession::ShareImage(std::shared_ptr<const FirmwareImage> image) {
    shared_ = std::move(image);
}

Status UpgradeSession::OpenPort(std::int64_t portNumber) {
    return OpenDevice(DeviceForPortNumber(portNumber), OpenPortErrorText(portNumber));
}

Status UpgradeSession::OpenNamedPort(const std::string& name) {
    return OpenDevice(DeviceForName(name), OpenPortErrorText(name));
}

Status UpgradeSession::OpenDevice(const std::string& device, std::string errorText) {
    line_.reset();
    const Status opened = opener_(device, &line_);
    if (opened.ok() && line_) return Status::Ok();
    line_.reset();
    return Status::Error(opened.kind(), std::move(errorText), opened.ToString());
}

Status UpgradeSession::Start() {
    Status started;
    if (Image().state != ImageState::ValidPayload)
        started = Status::Error(StatusKind::Usage, "no checked firmware image");
    else if (!line_)
        started = Status::Error(StatusKind::Usage, "no open port");
    else
        started = StartWorker();
    active_ = started.ok();
    if (!active_) GoIdle();
    return started;
}

Status UpgradeSession::StartWorker() {
    const FirmwareImage& image = Image();
    const RunInputs inputs{image.bytes.get(), image.size, line_.get(), &flags_};
    if (Status started = worker_.Start(inputs, host_); !started.ok()) return started;
    // Starting a run clears the stop flag; a stop the operator asked for meanwhile still holds.
    if (stopRequested_.load()) flags_.RequestStop();
    return Status::Ok();
}

void UpgradeSession::RequestStop() {
    stopRequested_.store(true);
    flags_.RequestStop();
}

void UpgradeSession::WaitUntilRunEnds(int stepMs) const {
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    } while (RunInProgress());
}

RunOutcome UpgradeSession::Finish(UpgradeResult result, const NextRunHook& beforeNextRun,
                                  bool noMoreWanted) {
    ++runsFinished_;
    const bool continuous = Continuous();
    RunOutcome outcome{result, ResultText(result, continuous), RunNext::Idle, Status::Ok()};
    const bool wouldRestart = !noMoreWanted && RestartsAfter(result, continuous);
    if (result == USER_ABORT || (wouldRestart && stopRequested_.load())) {
        outcome.next = RunNext::Stopped;
    } else if (wouldRestart) {
        outcome.next = RunNext::NextRun;
        if (beforeNextRun) beforeNextRun(outcome);
        if (Status started = StartWorker(); !started.ok()) {
            outcome.next = RunNext::StartFailed;
            outcome.startFailure = std::move(started);
        }
    }
    if (!outcome.Restarted()) GoIdle();
    return outcome;
}

void UpgradeSession::GoIdle() {
    worker_.Join();
    line_.reset();
    active_ = false;
    stopRequested_.store(false);
}

void UpgradeSession::Shutdown() {
    if (RunInProgress()) flags_.RequestStop();
    worker_.Join();
}

}  // namespace qvlink
