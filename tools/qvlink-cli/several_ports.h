// qvlink-cli over several ports at once: one session per port, each on a thread of its own with
// its own continuous loop, a shared display drawn off the transfers' path, and a closing
// summary. A port that cannot be opened is reported and left out; the others run.
#pragma once

#include "cli_options.h"
#include "record_file.h"

namespace qvlink::cli {

// Runs every port of `options` to its end and returns the flasher's exit status. `record`
// (null: none) is shared by every port.
int RunSeveralPorts(const CliOptions& options, RecordFile* record);

}  // namespace qvlink::cli
