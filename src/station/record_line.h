// The record of a production line: one JSON object per line for every receiver (RecordFile
// keeps the lines), telling when, where, how far and with which firmware it went. Versioned by
// "schema"; fields keep their names and meanings from one version to the next.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "firmware_image.h"
#include "receiver_facts.h"
#include "sha256.h"
#include "upgrade_types.h"

namespace qvlink::station {

// 2: every line has its own "record_id" (a random UUID) and the "station" that wrote it, so
// that one receiver's line is one row wherever it is gathered, however often it is sent.
inline constexpr int RECORD_SCHEMA = 2;

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

// Who writes the record: the program, its version, the machine it runs on and the station's
// name (empty: the machine's name).
struct RecordSource {
    std::string program;
    std::string version;
    std::string host;
    std::string station;
};

// Whether `name` (UTF-8) may name a station: 1 to 64 characters, not spaces alone, none of them
// a control character.
bool IsStationName(const std::string& name);
inline constexpr const char* STATION_NAME_RULE =
    "a station's name is 1 to 64 characters, not spaces alone, none of them a control character";

// A new random (version 4) UUID, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx" in lower case.
std::string NewRecordId();
// `bytes` as a UUID of `version` (its version and variant bits set), written as above.
std::string UuidText(std::array<std::uint8_t, 16> bytes, int version);

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
