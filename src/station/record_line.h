// The record of a production line: one JSON object per line for every receiver (RecordFile
// keeps the lines), telling when, where, how far and with which firmware it went. What a station
// saw of a receiver becomes the record's fields here; their names, order and form are the
// record format's (record_fields.h, record_json.h).
#pragma once

#include <cstdint>
#include <string>

#include "firmware_image.h"
#include "receiver_facts.h"
#include "sha256.h"
#include "upgrade_types.h"
#include "utc_time.h"

namespace qvlink::station {

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

// The station's name in its record and its live state: `station`, else the host's name.
std::string StationName(const RecordSource& source);

// Whether `name` (UTF-8) may name a station: 1 to 64 characters, not spaces alone, none of them
// a control character.
bool IsStationName(const std::string& name);
inline constexpr const char* STATION_NAME_RULE =
    "a station's name is 1 to 64 characters, not spaces alone, none of them a control character";

// One receiver: the port it was on, the device that port opened, its number on that port
// (1 for the first), its result and what was seen of it.
struct ReceiverRecord {
    std::string port;
    std::string device;
    int receiver = 0;
    UpgradeResult result = USER_ABORT;
    ReceiverFacts facts;
};

// One receiver's record line (without the newline), of the schema this program writes, with
// a new random record id.
std::string RecordLine(const RecordSource& source, const FirmwareFacts& firmware,
                       const ReceiverRecord& receiver);

// UTC with milliseconds, "2025-03-01T12:34:56.789Z", as the record writes its times.
using record::IsoTime;

}  // namespace qvlink::station
