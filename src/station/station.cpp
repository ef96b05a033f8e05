#include "station.h"

#include "firmware_loader.h"
#include "port_names.h"

namespace qvlink::station {

Station::Station(const std::vector<std::string>& ports, const StationClock& clock,
                 RecordSource source, LineOpener opener)
    : ledger_(clock) {
    shared_.clock = &clock;
    shared_.ledger = &ledger_;
    shared_.source = std::move(source);
    shared_.devices = &devices_;
    const std::vector<std::string> slots = SlotNames(ports);
    for (std::size_t i = 0; i < ports.size(); ++i)
        ports_.push_back(std::make_unique<StationPort>(i, ports[i], slots[i], shared_, opener));
}

Station::~Station() {
    StopAll();
    WaitAll();
}

Status Station::LoadFirmware(const std::filesystem::path& path) {
    auto image = std::make_shared<FirmwareImage>();
    Sha256Digest digest{};
    const Status loaded = LoadFirmwareFile(path, *image, &digest);
    if (!loaded.ok()) return Status::Error(loaded.kind(), loaded.message(), path.string());
    image_ = std::move(image);
    shared_.firmware = DescribeFirmware(*image_, path.filename().string(), digest);
    for (auto& port : ports_) port->Session().ShareImage(image_);
    return Status::Ok();
}

Status Station::OpenRecord(const std::string& path) {
    CloseRecord();
    if (path.empty()) return Status::Ok();
    std::unique_ptr<RecordFile> record;
    if (Status opened = RecordFile::Open(path, &record); !opened.ok()) return opened;
    record_ = std::move(record);
    shared_.record = record_.get();
    return Status::Ok();
}

void Station::CloseRecord() {
    shared_.record = nullptr;
    record_.reset();
}

Status Station::OpenPort(std::size_t index) {
    return ports_[index]->Open();
}

std::size_t Station::StartAll(const StationOptions& options) {
    stopAll_.store(false);
    std::size_t started = 0;
    for (auto& port : ports_) {
        const PortSnapshot now = port->Snapshot();
        const bool missing = now.activity == PortActivity::Closed && now.end == PortEnd::NotOpened;
        if ((now.activity == PortActivity::Ready || missing) && port->Start(options, false).ok()) {
            ++started;
            if (stopAll_.load()) port->RequestStop();
        }
    }
    return started;
}

std::size_t Station::StartPorts(const StationOptions& options, const std::vector<bool>& enabled) {
    stopAll_.store(false);
    std::size_t started = 0;
    for (std::size_t i = 0; i < ports_.size() && i < enabled.size(); ++i)
        if (enabled[i] && StartPort(i, options).ok()) ++started;
    return started;
}

Status Station::StartPort(std::size_t index, const StationOptions& options) {
    StationPort& port = *ports_[index];
    if (port.Snapshot().activity == PortActivity::Ended) port.Join();
    if (Status started = port.Start(options, true); !started.ok()) return started;
    // A stop that came while the port was being started still ends it.
    if (stopAll_.load()) port.RequestStop();
    return Status::Ok();
}

void Station::StopAll() {
    stopAll_.store(true);
    for (auto& port : ports_) port->RequestStop();
}

void Station::WaitAll() {
    for (auto& port : ports_) port->Join();
}

Station::View Station::Look() const {
    View view;
    view.ports = ledger_.View(
        ports_.size(), [&](std::size_t i) { return ports_[i]->Snapshot(); }, &view.totals);
    return view;
}

std::vector<PortSummary> Station::Summary() const {
    std::vector<PortSummary> summary;
    for (const auto& port : ports_) {
        const PortSnapshot snapshot = port->Snapshot();
        summary.push_back(
            {snapshot.port, snapshot.device, snapshot.counts, snapshot.end, snapshot.unrecorded});
    }
    return summary;
}

}  // namespace qvlink::station
