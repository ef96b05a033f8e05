#include "record_line.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>

#include "byte_order.h"
#include "firmware_format.h"
#include "follow_up.h"

namespace qvlink::station {
namespace {

using json = nlohmann::ordered_json;

// Seconds from the receiver's contact to `moment`, to the millisecond; null without contact.
json SecondsSinceContact(const ReceiverFacts& facts, Moment moment) {
    if (!facts.contact) return nullptr;
    const double seconds = std::chrono::duration<double>(moment - *facts.contact).count();
    return std::round(seconds * 1000) / 1000;
}

// The results a burn ends with: the run lasted until the receiver's burn was over.
bool EndsABurn(UpgradeResult result) {
    return Succeeded(result) || result == BLOCK_BURN_ERROR || result == BULK_BURN_ERROR;
}

const char* PhaseName(Phase phase) {
    switch (phase) {
        case Phase::Handshake:
            return "handshake";
        case Phase::Transfer:
            return "transfer";
        case Phase::Burn:
            return "burn";
        case Phase::Done:
            return "done";
    }
    return "handshake";
}

json ProtocolName(const std::optional<TransferProtocol>& protocol) {
    if (!protocol) return nullptr;
    switch (*protocol) {
        case TransferProtocol::BlockCrc:
            return "block-crc";
        case TransferProtocol::BlockSum:
            return "block-sum";
        case TransferProtocol::Bulk:
            return "bulk";
    }
    return nullptr;
}

}  // namespace

std::string IsoTime(WallTime time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[40];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::string Hex32(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

FirmwareFacts DescribeFirmware(const FirmwareImage& image, const std::string& fileName,
                               const Sha256Digest& fileDigest) {
    FirmwareFacts facts{fileName, OUTER_MAGIC.size() + image.size, 0, HexDigest(fileDigest)};
    if (image.size >= 4) facts.crc32 = ReadBigEndian32(image.bytes.get() + image.size - 4);
    return facts;
}

bool IsStationName(const std::string& name) {
    std::size_t characters = 0;  // UTF-8: every byte but a continuation byte begins one
    bool blank = true;
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return false;
        if ((c & 0xC0) != 0x80) ++characters;
        if (c != ' ') blank = false;
    }
    return characters >= 1 && characters <= 64 && !blank;
}

std::string NewRecordId() {
    // Every bit from the system's own source of randomness: ids from stations that started at
    // the same moment never meet.
    std::random_device source;
    std::array<std::uint8_t, 16> bytes;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t word = source();
        for (std::size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<std::uint8_t>(word >> 8 * k);
    }
    return UuidText(bytes, 4);
}

std::string UuidText(std::array<std::uint8_t, 16> bytes, int version) {
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | (version << 4));
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string id;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) id += '-';
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        id += hex;
    }
    return id;
}

std::string RecordLine(const RecordSource& source, const FirmwareFacts& firmware,
                       const ReceiverRecord& receiver) {
    const ReceiverFacts& facts = receiver.facts;
    const json record = {
        {"schema", RECORD_SCHEMA},
        {"record_id", NewRecordId()},
        {"station", source.station.empty() ? source.host : source.station},
        {"start", IsoTime(facts.start)},
        {"end", IsoTime(facts.end)},
        {"port", receiver.port},
        {"device", receiver.device},
        {"protocol", ProtocolName(facts.protocol)},
        {"result", static_cast<int>(receiver.result)},
        {"result_text", ResultLabel(receiver.result)},
        {"transfer_seconds",
         facts.transferEnd ? SecondsSinceContact(facts, *facts.transferEnd) : nullptr},
        {"burn_seconds",
         EndsABurn(receiver.result) ? SecondsSinceContact(facts, facts.resultTime) : nullptr},
        {"resent", facts.resent},
        {"firmware", firmware.fileName},
        {"firmware_size", firmware.fileSize},
        {"firmware_crc32", Hex32(firmware.crc32)},
        {"firmware_sha256", firmware.sha256},
        {"receiver", receiver.receiver},
        {"phase", PhaseName(facts.phase)},
        {"host", source.host},
        {"program", source.program},
        {"version", source.version},
    };
    // A name that is not UTF-8 (a device path, a file name) is written with replacements.
    return record.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace qvlink::station
