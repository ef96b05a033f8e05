// The record of a production run: one JSON object per line for every receiver that finished
// (RecordFile keeps the lines), telling when, where, how and with which firmware it went.
#pragma once

#include <cstdint>
#include <string>

#include "firmware_image.h"
#include "run_facts.h"
#include "upgrade_types.h"

namespace qvlink::cli {

// Which firmware went out: the file's name and size, and the CRC-32 the file carries.
struct FirmwareFacts {
    std::string fileName;
    std::uint64_t fileSize = 0;
    std::uint32_t crc32 = 0;
};
// The facts of the checked payload in `image`, loaded from a file called `fileName`.
FirmwareFacts DescribeFirmware(const FirmwareImage& image, const std::string& fileName);

// One receiver's record line (without the newline).
std::string RecordLine(const std::string& port, const std::string& device,
                       const FirmwareFacts& firmware, UpgradeResult result, const RunFacts& facts);

}  // namespace qvlink::cli
