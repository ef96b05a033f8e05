#include "station_panel.h"

#include <chrono>
#include <cstdio>

#include "port_list.h"
#include "system_ports.h"
#include "tile_text.h"

namespace qvlink {
namespace {

using station::PortActivity;
using station::PortSnapshot;

std::string FirmwareLine(const station::FirmwareFacts& firmware) {
    return firmware.fileName + "   " + std::to_string(firmware.fileSize) + " bytes   CRC-32 " +
           station::Hex32(firmware.crc32) + "   SHA-256 " + firmware.sha256.substr(0, 12);
}

}  // namespace

StationPanel::StationPanel(StationView& view, const station::StationClock& clock,
                           station::RecordSource source, LineOpener opener)
    : view_(view), clock_(clock), source_(std::move(source)), opener_(std::move(opener)) {}

StationPanel::~StationPanel() {
    if (database_) database_->SetLiveSource(nullptr);  // no longer asks the station below
    station_.reset();   // stops and joins the ports, then lets the record go
    database_.reset();  // stops the forwarder without waiting for the server
}

void StationPanel::Open(const StationSetup& setup) {
    setup_ = setup;
    std::vector<std::string> ports;
    if (const Status expanded = station::ExpandPortArguments(setup.ports, &ports); !expanded.ok()) {
        view_.ShowNotice("The ports were not used: " + expanded.ToString());
        setup_.ports.clear();
        ports.clear();
    }
    Rebuild(ports);
    if (!firmwareTrouble_.empty()) view_.ShowNotice(firmwareTrouble_);
    FollowDatabase();
    if (!databaseTrouble_.empty()) view_.ShowNotice(databaseTrouble_);
    ShowHeader();
    view_.StartRefreshTimer(1000 / REFRESH_PER_SECOND);
}

void StationPanel::Rebuild(const std::vector<std::string>& ports) {
    if (database_) database_->SetLiveSource(nullptr);
    station_.reset();
    portNames_ = ports;
    station::RecordSource source = source_;
    source.station = setup_.station;
    station_ = std::make_unique<station::Station>(portNames_, clock_, source, opener_);
    firmwareTrouble_.clear();
    if (!setup_.firmwarePath.empty()) {
        if (const Status loaded = station_->LoadFirmware(setup_.firmwarePath); !loaded.ok())
            firmwareTrouble_ = "The firmware was not loaded: " + loaded.ToString();
    }
    // A line more in the record: the forwarder looks at once. On a port's thread; the link is
    // replaced only while no port runs.
    station_->SetRecordListener([this] {
        if (database_) database_->Nudge();
    });
    station_->SetLiveListener([this] {
        if (database_) database_->LiveChanged();
    });
    FollowLive();
    enabled_.assign(portNames_.size(), true);
    untickedOut_.assign(portNames_.size(), false);
    totals_ = {};
    shown_.assign(portNames_.size(), TileView{});
    view_.SetTileCount(portNames_.size());
    PollPorts(true);
    ShowHeader();
}

station::StationOptions StationPanel::Options() const {
    station::StationOptions options;
    options.continuous = true;
    options.outOfServiceAfter = setup_.outOfServiceAfter;
    return options;
}

void StationPanel::StartAll() {
    if (running_ || closing_) return;
    if (station_->Image() == nullptr) {
        view_.ShowMessage("Choose the firmware first.");
        return;
    }
    if (portNames_.empty()) {
        view_.ShowMessage("Add the ports first.");
        return;
    }
    if (const Status opened = station_->OpenRecord(setup_.recordPath); !opened.ok()) {
        view_.ShowMessage(opened.ToString() + "\nNothing was started.");
        ShowHeader();
        return;
    }
    for (std::size_t i = 0; i < enabled_.size(); ++i)
        if (enabled_[i]) untickedOut_[i] = false;
    if (station_->StartPorts(Options(), enabled_) > 0) running_ = true;
    PollPorts(true);
    ShowHeader();
}

void StationPanel::StopAll() {
    station_->StopAll();
}

void StationPanel::ChooseFirmware() {
    if (running_) return;
    const auto path = view_.ChooseFirmwareFile();
    if (!path) return;
    if (const Status loaded = station_->LoadFirmware(*path); !loaded.ok()) {
        view_.ShowMessage(loaded.message());
        return;
    }
    setup_.firmwarePath = *path;
    firmwareTrouble_.clear();
    ShowHeader();
}

void StationPanel::ChooseRecord() {
    if (running_) return;
    const auto path = view_.ChooseRecordFile();
    if (!path) return;
    setup_.recordPath = *path;
    FollowDatabase();
    ShowHeader();
}

void StationPanel::FollowDatabase() {
    const std::string path = setup_.database.empty() ? std::string() : setup_.recordPath;
    if (database_ && databaseFor_ == path) return;
    database_.reset();
    databaseFor_.clear();
    databaseTrouble_.clear();
    if (setup_.database.empty()) return;
    if (setup_.recordPath.empty()) {
        databaseTrouble_ = "The record is not sent to the database: there is no record file.";
        return;
    }
    if (const Status usable = records::CheckDatabaseSetting(setup_.database); !usable.ok()) {
        databaseTrouble_ = "The record is not sent to the database: " + usable.ToString();
        return;
    }
    database_ = std::make_unique<records::RecordLink>(setup_.database, path);
    databaseFor_ = path;
    FollowLive();
}

void StationPanel::FollowLive() {
    if (database_ && station_)
        database_->SetLiveSource([station = station_.get()] { return station->Live(); });
}

void StationPanel::ChoosePorts() {
    if (running_) return;
    const auto chosen = view_.ChoosePorts(setup_.ports, SystemSerialPorts());
    if (!chosen) return;
    std::vector<std::string> ports;
    if (const Status expanded = station::ExpandPortArguments(*chosen, &ports); !expanded.ok()) {
        view_.ShowMessage(expanded.message());
        return;
    }
    setup_.ports = *chosen;
    Rebuild(ports);
}

void StationPanel::SetPortEnabled(std::size_t index, bool enabled) {
    if (index >= enabled_.size() || enabled_[index] == enabled) return;
    enabled_[index] = enabled;
    if (!enabled) {
        station_->StopPort(index);
    } else if (running_ && !closing_ && station_->StartPort(index, Options()).ok()) {
        untickedOut_[index] = false;
    }
    PollPorts(false);
}

void StationPanel::Refresh() {
    PollPorts(false);
    if (database_) {
        if (const std::string notice = database_->TakeNotice(); !notice.empty())
            view_.ShowNotice("Database: " + notice);
    }
    ShowHeader();
    if (closing_ && (!running_ || clock_.Steady() >= closeBy_)) {
        closing_ = false;
        view_.Close();
    }
}

void StationPanel::RequestClose() {
    if (closing_) return;
    closing_ = true;
    closeBy_ = clock_.Steady() + std::chrono::milliseconds(CLOSE_LIMIT_MS);
    station_->StopAll();
    Refresh();
}

void StationPanel::PollPorts(bool all) {
    bool anyRunning = false;
    station::Station::View view = station_->Look();
    for (std::size_t i = 0; i < view.ports.size(); ++i) {
        const PortSnapshot& port = view.ports[i];
        // A port waiting for its device still serves: the record stays open for it.
        anyRunning = anyRunning || port.activity == PortActivity::Running ||
                     port.activity == PortActivity::AwaitingPort;
        // A port out of service is unticked once; it stays out until the operator ticks it.
        if (port.activity == PortActivity::Ended && port.end == station::PortEnd::OutOfService &&
            !untickedOut_[i]) {
            enabled_[i] = false;
            untickedOut_[i] = true;
        }
        TileView tile = TileOf(port, enabled_[i]);
        if (all || !(tile == shown_[i])) {
            view_.ShowTile(i, tile);
            shown_[i] = std::move(tile);
        }
    }
    // The header shows the totals of the moment the tiles were drawn from.
    totals_ = std::move(view.totals);
    if (running_ && !anyRunning) EndServing();
}

void StationPanel::EndServing() {
    running_ = false;
    // No port writes any more: the file is let go, so that the operator may move it away
    // between runs (Windows keeps an open file where it is). Start all opens it again.
    station_->CloseRecord();
}

void StationPanel::ShowHeader() {
    HeaderView header;
    header.firmware = station_->Image() != nullptr ? FirmwareLine(station_->Firmware())
                      : firmwareTrouble_.empty()   ? "no firmware chosen"
                                                   : firmwareTrouble_;
    header.record = setup_.recordPath.empty() ? "no record" : setup_.recordPath;
    header.database = database_ ? database_->StateText() : databaseTrouble_;
    const station::TotalsText totals = totals_.Text();
    header.completed = totals.completed;
    header.failed = totals.failed;
    header.perHour = totals.perHour;
    header.meanTime = totals.meanTime;
    header.p95Time = totals.p95Time;
    header.title = STATION_TITLE;
    if (totals_.Completed() + totals_.Failed() > 0)
        header.title += " - " + header.completed + " completed, " + header.failed + " failed";
    header.running = running_;
    header.canStart = !running_ && !closing_ && station_->Image() != nullptr && !portNames_.empty();
    if (shownHeader_ && *shownHeader_ == header) return;
    view_.ShowHeader(header);
    shownHeader_ = header;
}

}  // namespace qvlink
