// One port of a station: its upgrade session and the thread that serves receiver after receiver
// on it. For each result it does what FollowUpOf decides (record, count), stops the port when a
// record cannot be written or its receivers keep failing, and lets the session decide whether
// the next receiver is awaited. Owned by Station.
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
    bool continuous = false;    // after each receiver, await the next one
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
    RecordFile* record = nullptr;  // may be null: no record
    RecordSource source;
    FirmwareSlot firmware;  // the file loaded last, which each port takes for its next receiver
};

class StationPort final : private WatchListener {
  public:
    // `shared` must outlive the port.
    StationPort(std::size_t index, std::string name, const StationShared& shared,
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
    // ends, StartFailed, saying so): a port that never ran is not counted as started.
    Status Start(const StationOptions& options, bool reopen);
    // The operator's stop for this port while it runs (a port that does not run is left as it
    // is). Only atomic loads, stores and a wake: a signal handler may call it.
    void RequestStop() {
        if (running_.load()) session_.RequestStop();
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
    void Serve(StationOptions options);
    UpgradeResult AwaitResult(std::chrono::milliseconds tick);
    // Records and counts one result; the end it calls for (RecordLost, OutOfService) or None.
    PortEnd TakeResult(UpgradeResult result, const StationOptions& options);
    int Receiver() const;  // the current receiver's number
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
    const std::string device_;  // the device the name opens
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
    mutable Mutex mutex_;
    PortState state_ QV_GUARDED_BY(mutex_);  // changed only by Change
};

}  // namespace qvlink::station
