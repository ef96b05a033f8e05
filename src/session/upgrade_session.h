// One port's upgrades, shared by every front end: the firmware image, the line to the receiver,
// the run flags and the worker thread. A front end turns the operator's actions into calls and
// shows what the session reports; the session decides what follows each run's result.
// Every method runs on the front end's thread, except RequestStop, which any thread (and a
// signal handler) may call.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "firmware_image.h"
#include "line_opener.h"
#include "status.h"
#include "upgrade_host.h"
#include "upgrade_worker.h"

namespace qvlink {

// Whether the next run starts by itself after `result`: after a receiver's cancel always; in
// continuous mode after every result but a stop, a run that could not get what it needs and a
// lost line (the port is gone), each of which would only end the next run the same way.
bool RestartsAfter(UpgradeResult result, bool continuousMode);

// The operator's text for a port that could not be opened: "open port3 error!" for a COM
// number, "open /dev/ttyUSB0 error!" for any other name.
std::string OpenPortErrorText(std::int64_t portNumber);
std::string OpenPortErrorText(const std::string& portName);

// What follows a run's result.
enum class RunNext {
    NextRun,      // a new run waits for the next receiver
    Idle,         // the session is idle: the result ends it, or no more receivers are wanted
    Stopped,      // the operator's stop ended the session here; it is idle
    StartFailed,  // a next run was due but its thread could not start; it is idle
};

struct RunOutcome {
    UpgradeResult result = USER_ABORT;
    std::string text;  // the result's text in the session's mode; may be empty
    RunNext next = RunNext::Idle;
    Status startFailure;  // with StartFailed: why the next run did not start
    bool Restarted() const { return next == RunNext::NextRun; }
};

class UpgradeSession {
  public:
    // `host` gets every run's reports and result and must outlive the session.
    explicit UpgradeSession(UpgradeHost& host, LineOpener opener = OpenSerialPort);
    ~UpgradeSession();
    UpgradeSession(const UpgradeSession&) = delete;
    UpgradeSession& operator=(const UpgradeSession&) = delete;

    // Reads and checks a firmware file into the session's own image; only while idle.
    Status LoadFirmware(const std::filesystem::path& path);
    // Sends `image` from now on instead of an image of the session's own: a checked payload
    // that several sessions share read-only (it must not change while any of them runs).
    // Only while idle, or in Finish's beforeNextRun (the run that sent the old image has posted
    // its result; the caller keeps that image alive until the next run has started); a later
    // LoadFirmware goes back to the session's own image.
    void ShareImage(std::shared_ptr<const FirmwareImage> image);
    const FirmwareImage& Image() const { return shared_ ? *shared_ : image_; }

    // Opens port COM<portNumber> (one-based, any value: a stored index of 0x7FFFFFFF is tried,
    // and named, as 2147483648), closing an open one first; only while idle.
    // On a failure the operator's text ("open port3 error!"), the kind the opener gave and the
    // system's cause.
    Status OpenPort(std::int64_t portNumber);
    // Opens the port a command line names: "COM<n>" or a device.
    Status OpenNamedPort(const std::string& name);
    bool PortIsOpen() const { return line_ != nullptr; }

    void SetContinuous(bool on) { continuous_.store(on); }
    bool Continuous() const { return continuous_.load(); }

    // Starts the first run on the open port with the loaded image. When it cannot, the port is
    // closed, the session idle and the status says why: Usage for no checked image or no open
    // port, Exhausted when the run's thread could not be started.
    Status Start();
    // From Start until the session goes idle, including while a run's result is on its way.
    bool Active() const { return active_; }
    // While a run's worker has not yet posted its result and marked itself idle.
    bool RunInProgress() const { return flags_.workerIdle.load() == 0; }
    // The operator's stop: the current run ends at its next wait, and the session goes idle
    // after the next result it is given. Only atomic stores, so a signal handler may call it.
    void RequestStop();
    // Holds the calling thread, sleeping in steps of `stepMs`, until no run is in progress.
    void WaitUntilRunEnds(int stepMs) const;
    // Takes a run's posted result: restarts for the next receiver, or goes idle (the worker
    // joined, the port closed, a pending stop cleared). A front end whose reports do not pass
    // through its own thread gives `beforeNextRun`, which is called with the decision just
    // before the next run starts, so that nothing of that run comes before it. Should that run's
    // thread not start, the outcome says so (StartFailed) and the session is idle. With
    // `noMoreWanted` (the caller has served all the receivers it wants) the session goes idle
    // instead of restarting.
    using NextRunHook = std::function<void(const RunOutcome&)>;
    RunOutcome Finish(UpgradeResult result, const NextRunHook& beforeNextRun = {},
                      bool noMoreWanted = false);
    // Stops a run in progress and waits for its thread; the host hears no more after it.
    void Shutdown();

    RunFlags& Flags() { return flags_; }
    // How many runs' results Finish has taken since the session was made.
    int RunsFinished() const { return runsFinished_; }

  private:
    Status OpenDevice(const std::string& device, std::string errorText);
    Status StartWorker();
    void GoIdle();

    UpgradeHost& host_;
    LineOpener opener_;
    FirmwareImage image_;
    std::shared_ptr<const FirmwareImage> shared_;
    std::unique_ptr<SerialLine> line_;
    RunFlags flags_;
    WorkerThread worker_;
    std::atomic<bool> continuous_{false};
    std::atomic<bool> stopRequested_{false};
    bool active_ = false;
    int runsFinished_ = 0;
};

}  // namespace qvlink
