#include "firmware_argument.h"

namespace qvlink::tools {

std::string TakeFirmwareArgument(const std::string& arg, std::string& firmwarePath) {
    if (!arg.empty() && arg[0] == '-') return "unknown option or missing value: " + arg;
    if (!firmwarePath.empty()) return "only one firmware file";
    firmwarePath = arg;
    return {};
}

}  // namespace qvlink::tools
