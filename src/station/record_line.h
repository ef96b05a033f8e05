// The record of a production line: one JSON object per line for every receiver (RecordFile
// keeps the lines), telling when, where, how far and with which firmware it went. Versioned by
// "schema"; fields keep their names and meanings from one version to the next.
#pragma once

#include <cstdint>
#include <string>

#include "firmware_image.h"
#include "receiver_facts.h"
#include "sha256.h"
#include "upgrade_types.h"

namespace qvlink::station {

inline constexpr int RECORD_SCHEMA = 1;

// Which firmware went out: the file's name, size and SHA-256, and the CRC-32 the file carries.
struct FirmwareFacts {
    std::string fileName;
    std::uint64_t fileSize = 0;
    std::uint32_t crc32 = 0;
    std::string sha256;  // of the file, 64 lower-case hex digits
};
// The facts of the checked payload in `image`, loaded from a file called `fileName` whose bytes
// had the SHA-256 `fileDigest`.
FirmwareFacts DescribeFirmware(const FirmwareImage& image, const std::string& fileName,
                               const Sha256Digest& fileDigest);
// "0A1B2C3D", as the record writes a CRC-32.
std::string Hex32(std::uint32_t value);

// Who writes the record: the program, its version and the machine it runs on.
struct RecordSource {
    std::string program;
    std::string version;
    std::string host;
};

// One receiver: the port it was on, the device that port opened, its number on that port
// (1 for the first), its result and what was seen of it.
struct ReceiverRecord {
    std::string port;
    std::string device;
    int receiver = 0;
    UpgradeResult result = USER_ABORT;
    ReceiverFacts facts;
};

// One receiver's record line (without the newline).
std::string RecordLine(const RecordSource& source, const FirmwareFacts& firmware,
                       const ReceiverRecord& receiver);

// UTC with milliseconds: "2025-03-01T12:34:56.789Z".
std::string IsoTime(WallTime time);

}  // namespace qvlink::station
