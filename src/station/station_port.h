// One port of a station: its upgrade session and the thread that serves receiver after receiver
// on it. For each result it does what FollowUpOf decides (record, count), stops the port when a
// record cannot be written or its receivers keep failing, and lets the session decide whether
// the next receiver is awaited. In continuous serving a line that goes away (and a device missing
// at the start) is waited for: the port sleeps until the station's DeviceWatch says the device
// is back, opens it again and serves on; the wait is no failure and no step towards out of
// service. Owned by Station.
// Its state moves only through Change: one event, one step (Advance) under the station ledger's
// lock and mutex_, then the observer is told outside the locks.
// Threading: Open, Start and Join on the station's owner thread; RequestStop from any thread or
// a signal handler; Snapshot from any thread (the state is guarded by mutex_).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "annotated_mutex.h"
#include "device_watch.h"
#include "line_opener.h"
#include "port_snapshot.h"
#include "port_state.h"
#include "receiver_watch.h"
#include "record_file.h"
#include "record_line.h"
#include "station_firmware.h"
#include "station_ledger.h"
#include "station_observer.h"
#include "upgrade_session.h"

namespace qvlink::station {

struct StationOptions {
    // After each receiver, await the next one; a line that goes away (or a device missing at the
    // start) is waited for, and the port serves on once its device is back.
    bool continuous = false;
    int count = 0;              // per port, go idle after this many finished receivers; 0: no limit
    int outOfServiceAfter = 0;  // stop a port after this many failures in a row; 0: never
    std::chrono::milliseconds tick{1000};  // how often the time since contact moves on
};

// What every port of a station shares, read-only while ports run.
struct StationShared {
    const StationClock* clock = nullptr;
    StationLedger* ledger = nullptr;      // every state change passes through it
    StationObserver* observer = nullptr;  // may be null
    // Called on a port's thread after each line written to the record; may be empty.
    std::function<void()> recorded;
    // Called on a port's thread when what the port's live state gives (its class, word or
    // counts) changed; may be empty.
    std::function<void()> liveChanged;
    RecordFile* record = nullptr;  // may be null: no record
    // Wakes ports whose devices went away; null: a lost line ends the port, even when continuous.
    DeviceWatch* devices = nullptr;
    RecordSource source;
    FirmwareSlot firmware;  // the file loaded last, which each port takes for its next receiver
};

// Whether a port whose open came to `opened` waits for its device instead: in continuous
// serving, when the device is not there (NotFound).
bool AwaitsItsDevice(const Status& opened, const StationOptions& options);

class StationPort final : private WatchListener {
  public:
    // `shared` must outlive the port. `name` is what opens it, `slot` what it is shown and
    // recorded as (SlotNames).
    StationPort(std::size_t index, std::string name, std::string slot, const StationShared& shared,
                LineOpener opener);
    ~StationPort();
    StationPort(const StationPort&) = delete;
    StationPort& operator=(const StationPort&) = delete;

    const std::string& Name() const { return name_; }
    UpgradeSession& Session() { return session_; }

    Status Open();
    // Starts serving receivers on a thread of its own. Not ok when it runs already (InUse), when
    // it is not open (Usage) or, with `reopen`, cannot be opened again (a port that ended is
    // closed; the open's status), or when its thread cannot be made (Exhausted; the port then
    // ends, StartFailed, saying so): a port that never ran is not counted as started. A port
    // whose device was not there (AwaitsItsDevice) starts by waiting for it.
    Status Start(const StationOptions& options, bool reopen);
    // The operator's stop for this port while it runs (a port that does not run is left as it
    // is). Only atomic loads, stores and a wake: a signal handler may call it.
    void RequestStop() {
        if (!running_.load()) return;
        stopRequested_.store(true);
        stopWake_.Raise();
        session_.RequestStop();
    }
    // Ends the port after the receiver in contact, at once when none is (a receiver that makes
    // contact at that very moment is stopped with the port). Until the next Start.
    void Retire();
    // Takes the station's firmware now when the port does not serve (it will at its next
    // receiver otherwise). On the owner thread.
    void TakeFirmwareWhenIdle();
    // Whether the port's thread has been busy, not asleep in one of its waits, for longer than
    // `limit`: it no longer answers. False for a port that does not run.
    bool BusyLongerThan(std::chrono::milliseconds limit) const;
    // Waits until the port's thread has ended.
    void Join();
    PortSnapshot Snapshot() const;

  private:
    void OnReport(const StatusReport& report, int elapsedSeconds) override;
    void Serve(StationOptions options, bool awaitFirst);
    // Serves the open line until the port ends or the line goes away; the end it comes to.
    PortEnd ServeLine(const StationOptions& options);
    // Waits for the device and opens it again; false when the operator's stop came first.
    bool AwaitDevice(bool nextReceiver);
    UpgradeResult AwaitResult(std::chrono::milliseconds tick);
    // Records and counts one result; the end it calls for (RecordLost, OutOfService) or None.
    PortEnd TakeResult(UpgradeResult result, const StationOptions& options);
    int Receiver() const;              // the current receiver's number
    std::string OpenedDevice() const;  // the device the port opened last
    // The one place the port's state changes.
    PortEnd Change(const PortEvent& event);
    void PublishResult(UpgradeResult result);
    void BeginReceiver();
    void Note(PortNote note);
    void End(PortEnd end);
    // Takes the station's firmware for the next run when it changed; the one it replaces is
    // kept for one more receiver, while the run that sent it may still be ending.
    void TakeFirmware();
    void MarkAsleep() { busySince_.store(0); }
    void MarkBusy();

    const std::size_t index_;
    const std::string name_;
    const std::string slot_;
    const std::string device_;  // the device the name opens (a link, maybe)
    const StationShared& shared_;
    ReceiverWatch watch_;
    UpgradeSession session_;
    std::thread thread_;
    std::atomic<bool> running_{false};   // from Start until the port's thread has ended
    std::atomic<bool> retiring_{false};  // no next receiver: set by Retire, cleared by Start
    // Steady-clock nanoseconds since the port's thread last woke to work; 0 while it sleeps in
    // a wait or does not run.
    std::atomic<std::int64_t> busySince_{0};
    // The firmware the port sends and names, and the one before it; the owner thread's while
    // the port does not run, its own thread's while it does.
    std::shared_ptr<const LoadedFirmware> firmware_;
    std::shared_ptr<const LoadedFirmware> previous_;
    // The operator's stop since Start, for the wait for a device; the wake rouses that wait.
    std::atomic<bool> stopRequested_{false};
    StopWake stopWake_;
    Status lastOpen_;  // the owner thread's last Open
    mutable Mutex mutex_;
    PortState state_ QV_GUARDED_BY(mutex_);  // changed only by Change
};

}  // namespace qvlink::station
