// The station window's behaviour, free of any toolkit: what Start all, Stop all, the firmware
// and record choosers, the port list and each tile's enable box do, and what the header and the
// tiles show. The Qt and the Win32 station windows only turn clicks into these calls and the
// views into pixels. It owns the station (rebuilt when the ports change), which holds the record
// file open while it serves.
// Threading: every method on the window's thread. It never waits on a port: it polls the ports'
// snapshots on the refresh timer and repaints a tile only when what it shows has changed, so a
// window repaints at most REFRESH_PER_SECOND times a second whatever the ports do. With a
// database, the record file is sent there by a forwarder of its own thread, and the station's
// live state (every port's state, word and counts) kept there; the header shows its state.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "line_opener.h"
#include "record_file.h"
#include "record_link.h"
#include "station.h"
#include "station_setup.h"
#include "station_totals.h"
#include "station_view.h"

namespace qvlink {

inline constexpr int REFRESH_PER_SECOND = 5;
inline constexpr const char* STATION_TITLE = "Quorvane Link Station";
// Closing the window waits this long at most for the ports to end.
inline constexpr int CLOSE_LIMIT_MS = 5000;

class StationPanel {
  public:
    // `view` and `clock` must outlive the panel.
    StationPanel(StationView& view, const station::StationClock& clock,
                 station::RecordSource source, LineOpener opener = OpenSerialPort);
    ~StationPanel();  // stops every port and waits for it
    StationPanel(const StationPanel&) = delete;
    StationPanel& operator=(const StationPanel&) = delete;

    // Shows `setup`. Ports or a firmware that cannot be used are left out, each with a notice;
    // nothing here opens a box, so that a station PC that starts unattended is not held up.
    void Open(const StationSetup& setup);
    // Opens the record, then every enabled port, and starts them. A record that cannot be
    // opened is said in a box and nothing starts; a port that cannot be opened says so on its
    // tile and the others start.
    void StartAll();
    // The operator's stop for every port: within a second every tile shows a stopped port.
    void StopAll();
    void ChooseFirmware();  // a refused file is said in a box with the dialog's words
    void ChooseRecord();
    void ChoosePorts();
    // The tile's enable box. Unticked, a running port stops; ticked again while the station
    // runs (after a port went out of service too), the port starts again.
    void SetPortEnabled(std::size_t index, bool enabled);
    // The refresh timer's tick: polls the ports and repaints what changed.
    void Refresh();
    // Closing the window: stops every port; the view is closed once no port runs, or after
    // CLOSE_LIMIT_MS.
    void RequestClose();

    bool Running() const { return running_; }
    const StationSetup& Setup() const { return setup_; }

  private:
    void Rebuild(const std::vector<std::string>& ports);
    station::StationOptions Options() const;
    void ShowHeader();
    // Sends the record to the database while the window is open, serving or not; follows a
    // change of record file.
    void FollowDatabase();
    // Keeps the station's live state in the database while both are there.
    void FollowLive();
    // Takes the station's view (every port and the totals at one moment): repaints the tiles
    // that changed (all of them with `all`), unticks a port gone out of service, sees the station
    // stop serving.
    void PollPorts(bool all);
    void EndServing();

    StationView& view_;
    const station::StationClock& clock_;
    station::RecordSource source_;
    LineOpener opener_;
    StationSetup setup_;
    std::vector<std::string> portNames_;  // setup_.ports expanded, one per tile
    std::unique_ptr<station::Station> station_;
    std::unique_ptr<records::RecordLink> database_;  // sending record_ to the database
    std::string databaseFor_;                        // the record path database_ sends
    std::string databaseTrouble_;                    // why the database setting is not used
    std::string firmwareTrouble_;                    // why no firmware is loaded
    std::vector<bool> enabled_;
    std::vector<bool> untickedOut_;  // out of service and unticked since it last started
    std::vector<TileView> shown_;
    station::StationTotals totals_;  // the station's, as of the last tiles drawn
    std::optional<HeaderView> shownHeader_;
    bool running_ = false;
    bool closing_ = false;
    station::Moment closeBy_{};
};

}  // namespace qvlink
