#include "station.h"

#include "file_path.h"
#include "firmware_loader.h"
#include "port_names.h"
#include "station_live.h"

namespace qvlink::station {

Station::Station(const std::vector<std::string>& ports, const StationClock& clock,
                 RecordSource source, LineOpener opener)
    : ledger_(clock),
      opener_(std::move(opener)),
      capacity_(ports.size() + MAX_ADDED_PORTS),
      ports_(std::make_unique<std::unique_ptr<StationPort>[]>(capacity_)) {
    shared_.clock = &clock;
    shared_.ledger = &ledger_;
    shared_.source = std::move(source);
    shared_.devices = &devices_;
    for (const std::string& name : ports) (void)AddPort(name);
}

Status Station::AddPort(const std::string& name) {
    const std::size_t index = PortCount();
    if (index == capacity_)
        return Status::Error(StatusKind::Exhausted, "cannot add " + name,
                             "a station takes at most " + std::to_string(capacity_) + " ports");
    // Its slot name among every port's, the ones before it kept as they are shown.
    std::vector<std::string> names;
    for (std::size_t i = 0; i < index; ++i) names.push_back(ports_[i]->Name());
    names.push_back(name);
    const std::string slot = SlotNames(names).back();
    ports_[index] = std::make_unique<StationPort>(index, name, slot, shared_, opener_);
    portCount_.store(index + 1, std::memory_order_release);
    return Status::Ok();
}

void Station::RetirePort(std::size_t index) {
    ports_[index]->Retire();
}

std::vector<std::size_t> Station::Unanswering(std::chrono::milliseconds limit) const {
    std::vector<std::size_t> hung;
    for (std::size_t i = 0; i < PortCount(); ++i)
        if (ports_[i]->BusyLongerThan(limit)) hung.push_back(i);
    return hung;
}

FirmwareFacts Station::Firmware() const {
    const auto firmware = shared_.firmware.Current();
    return firmware ? firmware->facts : FirmwareFacts{};
}

std::shared_ptr<const FirmwareImage> Station::Image() const {
    const auto firmware = shared_.firmware.Current();
    return firmware ? std::shared_ptr<const FirmwareImage>(firmware, &firmware->image) : nullptr;
}

Station::~Station() {
    StopAll();
    WaitAll();
}

Status Station::LoadFirmware(const std::filesystem::path& path) {
    auto firmware = std::make_shared<LoadedFirmware>();
    Sha256Digest digest{};
    const Status loaded = LoadFirmwareFile(path, firmware->image, &digest);
    if (!loaded.ok()) return Status::Error(loaded.kind(), loaded.message(), Utf8FromPath(path));
    firmware->facts = DescribeFirmware(firmware->image, Utf8FromPath(path.filename()), digest);
    shared_.firmware.Replace(std::move(firmware));
    // Ports that do not serve take it now; the others at their next receiver.
    for (std::size_t i = 0; i < PortCount(); ++i) ports_[i]->TakeFirmwareWhenIdle();
    if (shared_.liveChanged) shared_.liveChanged();
    return Status::Ok();
}

Status Station::LoadFirmware(const std::string& utf8Path) {
    return LoadFirmware(PathFromUtf8(utf8Path));
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
    for (std::size_t i = 0; i < PortCount(); ++i) {
        StationPort* port = ports_[i].get();
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
    for (std::size_t i = 0; i < PortCount() && i < enabled.size(); ++i)
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
    for (std::size_t i = 0; i < PortCount(); ++i) ports_[i]->RequestStop();
}

void Station::WaitAll() {
    for (std::size_t i = 0; i < PortCount(); ++i) ports_[i]->Join();
}

Station::View Station::Look() const {
    View view;
    view.ports = ledger_.View(
        PortCount(), [&](std::size_t i) { return ports_[i]->Snapshot(); }, &view.totals);
    return view;
}

record::StationLive Station::Live() const {
    return StationLiveOf(shared_.source, Firmware().sha256, Look().ports);
}

std::vector<PortSummary> Station::Summary() const {
    std::vector<PortSummary> summary;
    for (std::size_t i = 0; i < PortCount(); ++i) {
        const PortSnapshot snapshot = ports_[i]->Snapshot();
        summary.push_back(
            {snapshot.port, snapshot.device, snapshot.counts, snapshot.end, snapshot.unrecorded});
    }
    return summary;
}

}  // namespace qvlink::station
