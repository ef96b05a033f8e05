// The one positional argument the command-line programs take: the firmware file.
#pragma once

#include <string>

namespace qvlink::tools {

// Takes `arg`, which matched no option, as the firmware file. Returns what is wrong with it (an
// unknown option, or a second file), or an empty text when it was taken.
std::string TakeFirmwareArgument(const std::string& arg, std::string& firmwarePath);

}  // namespace qvlink::tools
