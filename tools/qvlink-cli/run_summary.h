// The closing summary of a run over several ports: per port and in total, the receivers that
// completed, those that failed (by result) and the receivers' own cancels.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "port_run.h"

namespace qvlink::cli {

struct PortSummary {
    std::string port;
    std::optional<PortEnd> end;  // none: the port could not be opened
};

// The summary's lines, each ending in a newline.
std::string SummaryText(const std::vector<PortSummary>& ports);

// The flasher's exit status over several ports: a lost record, then the operator's stop, then a
// receiver's failure, then a port that could not be opened or was lost, each outranks the next.
int CombinedExitStatus(const std::vector<PortSummary>& ports);

}  // namespace qvlink::cli
