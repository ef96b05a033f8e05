// A production line: N ports, each serving receiver after receiver with one firmware image that
// is loaded and checked once and shared read-only by every port. It records every receiver,
// counts them, stops a port whose record cannot be written or (when asked) whose receivers keep
// failing, and sums up the run. In continuous serving a port whose line goes away waits for
// its device and serves on (one DeviceWatch for every port). Ports are shown and recorded by
// their slot names (SlotNames: a by-path name made short). Ports may be added while others
// serve (up to MAX_ADDED_PORTS beyond those it was made with; a port's index never changes), and
// a new firmware file takes over between receivers. Toolkit-free and silent: front ends are told
// through a StationObserver and read views (every port and the totals at one moment); they
// present, the station decides and keeps its own outcome.
// Threading: construct, load, open, add, start, retire and wait on one owner thread; StopAll
// from any thread or a signal handler; PortCount, Snapshot, Look, Live, Totals, Summary,
// Firmware and Unanswering from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "annotated_mutex.h"
#include "line_opener.h"
#include "live_state.h"
#include "station_port.h"

namespace qvlink::station {

class Station {
  public:
    // `clock` must outlive the station. The ports keep the order given.
    Station(const std::vector<std::string>& ports, const StationClock& clock, RecordSource source,
            LineOpener opener = OpenSerialPort);
    ~Station();  // stops every port and waits for it
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Before StartAll. `observer` (may be null) must outlive the station.
    void SetObserver(StationObserver* observer) { shared_.observer = observer; }
    // Opens the record every receiver is written to, before any port starts, so that no
    // receiver is upgraded without its line; an empty path: no record. Only while no port runs.
    Status OpenRecord(const std::string& path);
    // Lets the record file go (Windows keeps an open file where it is); only while no port runs.
    void CloseRecord();

    // Reads and checks the firmware file once for every port; on a refusal the operator's text
    // (the dialog's) and nothing changes. While ports serve, each takes the new file for its
    // next receiver: a receiver in progress ends with the file it began with, and its record
    // line names that one.
    Status LoadFirmware(const std::filesystem::path& path);
    // The same for a path as the settings, a chooser and the command line hold it: UTF-8.
    Status LoadFirmware(const std::string& utf8Path);
    // The facts of the file loaded last (empty before one was).
    FirmwareFacts Firmware() const;
    // Shared by every port's session; null before a file was loaded.
    std::shared_ptr<const FirmwareImage> Image() const;

    std::size_t PortCount() const { return portCount_.load(std::memory_order_acquire); }
    // Adds a closed port named `name` at index PortCount(); Exhausted past MAX_ADDED_PORTS added.
    Status AddPort(const std::string& name);
    // Ends port `index` after the receiver in contact with it, at once when none is: no next
    // receiver is awaited. A port that does not run is left as it is.
    void RetirePort(std::size_t index);
    // The ports whose thread has been busy (not asleep in one of its waits) for longer than
    // `limit`: a port thread that no longer answers. Empty when every port answers.
    std::vector<std::size_t> Unanswering(std::chrono::milliseconds limit) const;
    // Opens port `index`; a port that cannot be opened stays closed and says why.
    Status OpenPort(std::size_t index);
    // Starts every open port that does not run yet, and every port whose device was missing
    // when it was opened, which then waits for it (AwaitsItsDevice); the number started.
    std::size_t StartAll(const StationOptions& options);
    // Starts the ports `enabled` marks (a port beyond its end is not) that do not run, opening
    // each that is closed or has ended first; a port that cannot be opened stays closed and its
    // snapshot says why. Clears an earlier StopAll. The number started.
    std::size_t StartPorts(const StationOptions& options, const std::vector<bool>& enabled);
    // Starts one port that does not run (again, after it ended, opening it first); not ok, with
    // the kind and why, when it cannot (StationPort::Start).
    Status StartPort(std::size_t index, const StationOptions& options);
    // The operator's stop for every port. Only atomic stores and wakes: a signal handler may
    // call it. A port started later is stopped at once, until the next StartAll.
    void StopAll();
    void StopPort(std::size_t index) { ports_[index]->RequestStop(); }
    const std::string& PortName(std::size_t index) const { return ports_[index]->Name(); }
    // Waits until every started port has ended.
    void WaitAll();

    PortSnapshot Snapshot(std::size_t index) const { return ports_[index]->Snapshot(); }
    // Every port and the totals at one moment: what a board or a header draws at once.
    struct View {
        std::vector<PortSnapshot> ports;
        StationTotals totals;
    };
    View Look() const;
    // The totals as they stand: the counts, each completed receiver's time and the time served
    // so far (from the first port's start to the last port's end, over every run).
    StationTotals Totals() const { return ledger_.Totals(); }
    std::vector<PortSummary> Summary() const;
    // Whether the ports that wait for their devices learn of them from device events (udev),
    // rather than from a look every second; known once a port has waited.
    bool FollowsDeviceEvents() const { return devices_.FollowsEvents(); }

    // Called on a port's thread each time a line was written to the record (the record link's
    // nudge): it must return at once. Only while no port runs.
    void SetRecordListener(std::function<void()> listener) {
        shared_.recorded = std::move(listener);
    }

    // The station's live state now (every port's class, word and counts; the firmware loaded):
    // what the record database keeps of it. Any thread.
    record::StationLive Live() const;
    // Called when Live() would give something new: on a port's thread when a port's class, word
    // or counts changed (not for every progress report), on the owner's thread when another
    // firmware was loaded. It must return at once. Only while no port runs.
    void SetLiveListener(std::function<void()> listener) {
        shared_.liveChanged = std::move(listener);
    }

    static constexpr std::size_t MAX_ADDED_PORTS = 256;

  private:
    StationLedger ledger_;
    DeviceWatch devices_;  // outlives the ports, which wait on it
    StationShared shared_;
    LineOpener opener_;
    std::unique_ptr<RecordFile> record_;  // shared_.record while open
    // Slots made once, so that a port added never moves another: [0, portCount_) are ports,
    // written only by the owner thread before the count that shows them is published.
    const std::size_t capacity_;
    std::unique_ptr<std::unique_ptr<StationPort>[]> ports_;
    std::atomic<std::size_t> portCount_{0};
    std::atomic<bool> stopAll_{false};
};

}  // namespace qvlink::station
