// What the station window's behaviour (StationPanel) needs of a window: a header, one tile per
// port, a notice line, boxes and choosers. The Qt and the Win32 station windows implement it;
// tests record it. Every method is called on the window's thread and returns at once, except
// the boxes and choosers, which return when the operator has answered.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "port_words.h"

namespace qvlink {

// The colour of a tile's word, as the station decides it.
using Tone = station::Tone;

// One tile, as texts ready to paint. A window repaints a tile only when ShowTile is called.
struct TileView {
    std::string name;          // "COM3", "/dev/serial/by-path/…"
    std::string device;        // the device it opens, when that is not the name
    std::string phase;         // the status line's words ("waiting for connection .....")
    int percent = 0;           // 0..100 for the progress bar
    std::string sinceContact;  // "01 : 05", empty before contact
    std::string result;  // large: "Upgrade Completed", "Out of service", "Upgrading", "Waiting"
    Tone tone = Tone::Idle;
    std::string counts;  // "completed 3   failed 1"
    std::string note;    // why the port stopped or cannot run; empty when nothing to say
    bool enabled = true;

    friend bool operator==(const TileView&, const TileView&) = default;
};

struct HeaderView {
    std::string title;     // the window's: "Quorvane Link Station - 12 completed, 1 failed"
    std::string firmware;  // "quorvane.bin  1048614 bytes  CRC-32 …  SHA-256 …", or why none
    std::string record;    // the record file, or "no record"
    std::string database;  // "all sent", the backlog or the trouble; empty: no database
    std::string completed, failed, perHour, meanTime, p95Time;
    bool running = false;   // Stop all is offered; firmware, record and ports are fixed
    bool canStart = false;  // Start all is offered

    friend bool operator==(const HeaderView&, const HeaderView&) = default;
};

class StationView {
  public:
    virtual ~StationView() = default;

    virtual void ShowHeader(const HeaderView& header) = 0;
    // Makes `count` tiles (each shown empty until ShowTile), dropping the ones there were.
    virtual void SetTileCount(std::size_t count) = 0;
    virtual void ShowTile(std::size_t index, const TileView& tile) = 0;
    // One line the operator reads without answering it (a settings file that was not used).
    virtual void ShowNotice(const std::string& text) = 0;
    // A modal box with one OK button.
    virtual void ShowMessage(const std::string& text) = 0;

    // The firmware chooser, as the dialog's; the full path, or nullopt when not confirmed.
    virtual std::optional<std::string> ChooseFirmwareFile() = 0;
    // A record file to append to (it may not exist yet); nullopt when not confirmed.
    virtual std::optional<std::string> ChooseRecordFile() = 0;
    // The ports to serve: `current` as the operator named them, `offered` the serial ports the
    // system has. What the operator chose, each item a port name or a list of them; nullopt
    // when cancelled.
    virtual std::optional<std::vector<std::string>> ChoosePorts(
        const std::vector<std::string>& current, const std::vector<std::string>& offered) = 0;

    // StationPanel::Refresh is called every `periodMs` on the window's thread from then on.
    virtual void StartRefreshTimer(int periodMs) = 0;
    // Ends the window (and the program's event loop).
    virtual void Close() = 0;
};

}  // namespace qvlink
