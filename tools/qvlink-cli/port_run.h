// One port's upgrades in qvlink-cli, from its first receiver to its end: starts the session,
// waits for each result on the port's own thread, records the receiver, lets the session decide
// what follows, and shows each result. The same loop serves one port on the main thread and
// each of several ports on a thread of its own.
#pragma once

#include <map>
#include <string>

#include "cli_host.h"
#include "progress_display.h"
#include "record_file.h"
#include "run_record.h"
#include "upgrade_session.h"

namespace qvlink::cli {

// How a port's upgrades ended.
struct PortEnd {
    bool stopped = false;      // the operator's stop
    bool lineLost = false;     // the last run ended with "Port Lost"
    bool startFailed = false;  // no upgrade thread could be started
    bool recordLost = false;   // a record could not be written; the port stopped there
    SessionTally tally;
    std::map<UpgradeResult, int> failures;  // results of the receivers that failed

    // The flasher's exit status had this been its only port.
    int ExitStatus() const;
};

inline constexpr int EXIT_DEVICE_FAILURE = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_REFUSED = 3;
inline constexpr int EXIT_NO_PORT = 4;
inline constexpr int EXIT_STOPPED = 130;

// Tells the operator on stderr that a port could not be opened, and why.
void ReportOpenFailure(const PortOpening& opening);

class PortRun {
  public:
    // `display` and `record` (null: no record) must outlive the run.
    PortRun(std::string name, ProgressDisplay& display, LineOpener opener, RecordFile* record);
    PortRun(const PortRun&) = delete;
    PortRun& operator=(const PortRun&) = delete;

    const std::string& Name() const { return name_; }
    UpgradeSession& Session() { return session_; }

    // Loads and checks the firmware file; on a refusal, the operator's text.
    LoadResult LoadFirmware(const std::string& path);
    // Opens the port; on a failure the operator's text and the cause.
    PortOpening Open() { return session_.OpenNamedPort(name_); }

    // Runs the port's upgrades until the session goes idle. On the thread that owns the run.
    PortEnd Run(bool continuous, int count);

  private:
    void Announce(UpgradeResult result);
    // Writes the record of a finished receiver; false when it could not be written.
    bool Record(UpgradeResult result);

    std::string name_;
    ProgressDisplay& display_;
    CliHost host_;
    UpgradeSession session_;
    RecordFile* record_;
    FirmwareFacts firmware_;
};

}  // namespace qvlink::cli
