#include "firmware_argument.h"

namespace qvlink::tools {

Status TakeFirmwareArgument(const std::string& arg, std::string* firmwarePath) {
    if (!arg.empty() && arg[0] == '-')
        return Status::Error(StatusKind::Usage, "unknown option or missing value: " + arg);
    if (!firmwarePath->empty()) return Status::Error(StatusKind::Usage, "only one firmware file");
    *firmwarePath = arg;
    return Status::Ok();
}

}  // namespace qvlink::tools
