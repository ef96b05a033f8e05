#include "record_line.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "byte_order.h"
#include "firmware_format.h"
#include "follow_up.h"
#include "record_id.h"
#include "record_json.h"

namespace qvlink::station {
namespace {

// Seconds from the receiver's contact to `moment`, to the millisecond; none without contact.
std::optional<double> SecondsSinceContact(const ReceiverFacts& facts, Moment moment) {
    if (!facts.contact) return std::nullopt;
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

std::optional<std::string> ProtocolName(const std::optional<TransferProtocol>& protocol) {
    if (!protocol) return std::nullopt;
    switch (*protocol) {
        case TransferProtocol::BlockCrc:
            return "block-crc";
        case TransferProtocol::BlockSum:
            return "block-sum";
        case TransferProtocol::Bulk:
            return "bulk";
    }
    return std::nullopt;
}

}  // namespace

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

std::string StationName(const RecordSource& source) {
    return source.station.empty() ? source.host : source.station;
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

std::string RecordLine(const RecordSource& source, const FirmwareFacts& firmware,
                       const ReceiverRecord& receiver) {
    const ReceiverFacts& facts = receiver.facts;
    record::RecordRow row;
    row.recordId = record::NewRecordId();
    row.schema = record::RECORD_SCHEMA;
    row.station = StationName(source);
    row.start = IsoTime(facts.start);
    row.end = IsoTime(facts.end);
    row.port = receiver.port;
    row.device = receiver.device;
    row.protocol = ProtocolName(facts.protocol);
    row.result = static_cast<int>(receiver.result);
    row.resultText = ResultLabel(receiver.result);
    if (facts.transferEnd) row.transferSeconds = SecondsSinceContact(facts, *facts.transferEnd);
    if (EndsABurn(receiver.result)) row.burnSeconds = SecondsSinceContact(facts, facts.resultTime);
    row.resent = facts.resent;
    row.firmware = firmware.fileName;
    row.firmwareSize = static_cast<std::int64_t>(firmware.fileSize);
    row.firmwareCrc32 = Hex32(firmware.crc32);
    row.firmwareSha256 = firmware.sha256;
    row.receiver = receiver.receiver;
    row.phase = PhaseName(facts.phase);
    row.host = source.host;
    row.program = source.program;
    row.version = source.version;
    return record::RecordLineText(row);
}

}  // namespace qvlink::station
