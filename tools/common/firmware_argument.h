// The one positional argument the command-line programs take: the firmware file.
#pragma once

#include <string>

#include "status.h"

namespace qvlink::tools {

// Takes `arg`, which matched no option, as the firmware file into `*firmwarePath`. Usage, saying
// what is wrong, for an unknown option or a second file.
Status TakeFirmwareArgument(const std::string& arg, std::string* firmwarePath);

}  // namespace qvlink::tools
