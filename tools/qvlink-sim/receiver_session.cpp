#include "receiver_session.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "check_codes.h"
#include "protocol_bytes.h"

namespace qvlink::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

class ReceiverSession {
  public:
    ReceiverSession(DeviceLine& line, const SimOptions& options, const Bytes& payload, int device,
                    const std::string& label)
        : line_(line),
          options_(options),
          payload_(payload),
          device_(device),
          label_(label),
          timeout_(std::chrono::seconds(options.timeoutSeconds)) {}

    SessionOutcome Play();

  private:
    SessionOutcome BlockPath(bool crcMode);
    SessionOutcome BulkPath();
    SessionOutcome Burn(const std::string& transferDone);
    // Goes silent and records what the flasher does: nothing until it closes, or CAN CAN.
    SessionOutcome Stall(const std::string& where);
    std::string ExpectByte(std::uint8_t wanted, const char* name);
    // Waits for the flasher's answer to the announcement.
    std::optional<SessionOutcome> ExpectAccept(std::uint8_t wanted, const char* name);
    std::string ReadBlock(Bytes& block, int number, bool crcMode);
    Bytes ExpectedBlock(int number, bool crcMode) const;
    void SendNoise();

    static SessionOutcome Fail(std::string why) { return {false, "FAILED: " + std::move(why)}; }
    static std::string Describe(ReadStatus status) {
        return status == ReadStatus::Hangup ? "the flasher closed the line"
                                            : "nothing came in time";
    }

    DeviceLine& line_;
    const SimOptions& options_;
    const Bytes& payload_;
    const int device_;
    const std::string& label_;
    const std::chrono::milliseconds timeout_;
};

void ReceiverSession::SendNoise() {
    static const std::string chatter = "Booting receiver ... loader 2.3 ... flash ok ... ";
    Bytes noise(static_cast<std::size_t>(options_.noiseBytes));
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(chatter[i % chatter.size()]);
    line_.Send(noise);
}

// Names what is wrong with a byte read while `wanted` was awaited; empty when it is right.
std::string Judge(ReadStatus status, std::uint8_t got, std::uint8_t wanted, const char* name) {
    if (status == ReadStatus::Hangup)
        return std::string("waiting for ") + name + ": the flasher closed the line";
    if (status == ReadStatus::Timeout)
        return std::string("waiting for ") + name + ": nothing came in time";
    if (got != wanted)
        return std::string("expected ") + name + " (" + Hex(wanted) + "), got " + Hex(got);
    return {};
}

std::string ReceiverSession::ExpectByte(std::uint8_t wanted, const char* name) {
    std::uint8_t got = 0;
    const ReadStatus status = line_.ReadByte(got, timeout_);
    return Judge(status, got, wanted, name);
}

std::optional<SessionOutcome> ReceiverSession::ExpectAccept(std::uint8_t wanted, const char* name) {
    std::uint8_t got = 0;
    const ReadStatus status = line_.ReadByte(got, timeout_);
    if (status == ReadStatus::Hangup)
        return SessionOutcome{false, "the flasher left before it answered", true};
    if (auto error = Judge(status, got, wanted, name); !error.empty()) return Fail(error);
    return std::nullopt;
}

SessionOutcome ReceiverSession::Stall(const std::string& where) {
    std::printf("%sdevice %d: stalling %s\n", label_.c_str(), device_, where.c_str());
    std::fflush(stdout);
    Bytes heard;
    std::uint8_t byte = 0;
    ReadStatus status;
    while ((status = line_.ReadByte(byte, timeout_)) == ReadStatus::Ok) {
        heard.push_back(byte);
        if (heard.size() >= 2 && heard[heard.size() - 2] == CAN && byte == CAN) break;
    }
    std::string text = "stalled " + where + "; the flasher then sent";
    if (heard.empty()) text += " nothing";
    for (std::uint8_t b : heard) text.append(" ").append(Hex(b));
    text += status == ReadStatus::Ok       ? ""
            : status == ReadStatus::Hangup ? " and closed the line"
                                           : " and nothing more";
    return {false, "STOPPED: " + text};
}

SessionOutcome ReceiverSession::Play() {
    SendNoise();
    const auto& list = options_.announcements;
    switch (list[static_cast<std::size_t>(device_ - 1) % list.size()]) {
        case Announce::BlockCrc:
            return BlockPath(true);
        case Announce::BlockSum:
            return BlockPath(false);
        case Announce::Bulk:
            return BulkPath();
        case Announce::Cancel: {
            line_.Send(CAN);
            std::uint8_t byte = 0;
            if (line_.ReadByte(byte, std::chrono::milliseconds(300)) == ReadStatus::Ok)
                return Fail("sent CAN, but the flasher answered " + Hex(byte));
            return {true, "OK: cancelled at once as asked"};
        }
        case Announce::Silent:
            return Stall("without announcing");
    }
    return Fail("unknown announcement");
}

Bytes ReceiverSession::ExpectedBlock(int number, bool crcMode) const {
    Bytes block(crcMode ? BLOCK_SIZE_CRC : BLOCK_SIZE_SUM, SUB);
    block[0] = STX;
    block[1] = static_cast<std::uint8_t>(number);
    block[2] = static_cast<std::uint8_t>(255 - block[1]);
    const std::size_t start = static_cast<std::size_t>(number - 1) * BLOCK_DATA_SIZE;
    const std::size_t count = std::min(BLOCK_DATA_SIZE, TRANSFER_SIZE - start);
    std::copy_n(payload_.begin() + static_cast<std::ptrdiff_t>(start), count,
                block.begin() + BLOCK_HEADER_SIZE);
    const std::uint8_t* data = block.data() + BLOCK_HEADER_SIZE;
    if (crcMode) {
        const std::uint16_t crc = Crc16Xmodem(data, BLOCK_DATA_SIZE);
        block[1027] = static_cast<std::uint8_t>(crc >> 8);
        block[1028] = static_cast<std::uint8_t>(crc);
    } else {
        block[1027] = Sum8(data, BLOCK_DATA_SIZE);
    }
    return block;
}

// Reads one block and names the first thing wrong with it; empty when it is block `number`.
std::string ReceiverSession::ReadBlock(Bytes& block, int number, bool crcMode) {
    block.assign(crcMode ? BLOCK_SIZE_CRC : BLOCK_SIZE_SUM, 0);
    const std::string where = "block " + std::to_string(number) + ": ";
    ReadStatus status = line_.ReadByte(block[0], timeout_);
    if (status != ReadStatus::Ok) return where + Describe(status);
    if (block[0] == CAN) {
        std::uint8_t second = 0;
        if (line_.ReadByte(second, timeout_) == ReadStatus::Ok && second == CAN)
            return where + "the flasher cancelled (CAN CAN)";
    }
    if (block[0] != STX) return where + "expected STX, got " + Hex(block[0]);
    status = line_.Read(block.data() + 1, block.size() - 1, timeout_);
    if (status != ReadStatus::Ok) return where + "incomplete: " + Describe(status);
    const Bytes expected = ExpectedBlock(number, crcMode);
    if (block[1] != expected[1]) return where + "wrong block number " + std::to_string(block[1]);
    if (block[2] != expected[2]) return where + "block number complement wrong";
    if (!std::equal(block.begin() + 3, block.begin() + 3 + BLOCK_DATA_SIZE, expected.begin() + 3))
        return where + "data differs from the firmware";
    if (!std::equal(block.begin() + 3 + BLOCK_DATA_SIZE, block.end(),
                    expected.begin() + 3 + BLOCK_DATA_SIZE))
        return where + (crcMode ? "CRC-16 wrong" : "checksum wrong");
    return {};
}

SessionOutcome ReceiverSession::BlockPath(bool crcMode) {
    line_.Send(crcMode ? START_CRC : NAK);
    if (auto refused = ExpectAccept(BLOCK_ACCEPT, "BLOCK_ACCEPT")) return *refused;
    Bytes block, again;
    for (int number = 1; number <= BLOCK_COUNT; ++number) {
        if (auto error = ReadBlock(block, number, crcMode); !error.empty()) return Fail(error);
        const bool resend = (options_.earlyC && number == 1) || options_.nakBlock == number;
        if (resend) {
            line_.Send(number == 1 && options_.earlyC ? START_CRC : NAK);
            if (auto error = ReadBlock(again, number, crcMode); !error.empty())
                return Fail("resent " + error);
            if (again != block) return Fail("resent block " + std::to_string(number) + " differs");
        }
        if (options_.stallAt == number) return Stall("at block " + std::to_string(number));
        if (options_.cancelAt == number) {
            line_.Send(Bytes{CAN, CAN});
            std::uint8_t byte = 0;
            if (line_.ReadByte(byte, std::chrono::milliseconds(300)) == ReadStatus::Ok)
                return Fail("cancelled at block " + std::to_string(number) +
                            ", but the flasher sent " + Hex(byte));
            return {true, "OK: cancelled at block " + std::to_string(number) + " as asked"};
        }
        line_.Send(ACK);
    }
    if (auto error = ExpectByte(EOT, "EOT"); !error.empty()) return Fail(error);
    if (options_.stallAt == BLOCK_COUNT + 1) return Stall("at EOT");
    if (options_.nakEot) {
        line_.Send(NAK);
        if (auto error = ExpectByte(EOT, "EOT again"); !error.empty()) return Fail(error);
    }
    line_.Send(ACK);
    return Burn(std::string(crcMode ? "block-crc" : "block-sum") + ", 1025 blocks");
}

SessionOutcome ReceiverSession::BulkPath() {
    line_.Send(BULK_REQUEST);
    if (auto refused = ExpectAccept(BULK_ACCEPT, "BULK_ACCEPT")) return *refused;
    if (options_.stallAt == 0) return Stall("before BULK_READY");
    line_.Send(BULK_READY);
    if (auto error = ExpectByte(BULK_GO, "BULK_GO"); !error.empty()) return Fail(error);
    line_.Send(CHUNK_ACK);
    Bytes chunk(CHUNK_SIZE);
    for (int k = 0; k < CHUNK_COUNT; ++k) {
        const std::string where = "chunk " + std::to_string(k + 1) + ": ";
        const ReadStatus status = line_.Read(chunk.data(), chunk.size(), timeout_);
        if (status != ReadStatus::Ok) return Fail(where + Describe(status));
        const auto expected =
            payload_.begin() + static_cast<std::ptrdiff_t>(BULK_DATA_OFFSET + k * CHUNK_SIZE);
        if (!std::equal(chunk.begin(), chunk.end(), expected))
            return Fail(where + "data differs from the firmware");
        if (options_.stallAt == k + 1) return Stall("at chunk " + std::to_string(k + 1));
        line_.Send(CHUNK_ACK);
    }
    const std::uint8_t checksum = BulkChecksum(payload_.data() + BULK_DATA_OFFSET);
    std::uint8_t got = 0;
    const ReadStatus status = line_.ReadByte(got, timeout_);
    if (status != ReadStatus::Ok) return Fail("checksum: " + Describe(status));
    if (got != checksum) return Fail("checksum byte " + Hex(got) + ", expected " + Hex(checksum));
    if (options_.stallAt == CHUNK_COUNT + 1) return Stall("at the checksum");
    line_.Send(CHUNK_ACK);
    if (options_.stallVerdict) return Stall("before the verdict");
    line_.Send(static_cast<std::uint8_t>(options_.verdict));
    if (options_.verdict >= 3 && options_.verdict <= 5)
        return {true, "OK: bulk, 256 chunks; refused with verdict " +
                          std::to_string(options_.verdict) + " as asked"};
    return Burn("bulk, 256 chunks");
}

SessionOutcome ReceiverSession::Burn(const std::string& transferDone) {
    if (options_.stallBurn) return Stall("in the burn after " + transferDone);
    for (std::uint8_t step = BURN_PROGRESS_FIRST; step <= BURN_PROGRESS_LAST; ++step)
        line_.Send(step);
    line_.Send(options_.burnFails ? BURN_FAILED : BURN_DONE);
    return {true, "OK: " + transferDone +
                      (options_.burnFails ? ", burn failed as asked" : ", burn done")};
}

}  // namespace

SessionOutcome PlayReceiver(DeviceLine& line, const SimOptions& options, const Bytes& payload,
                            int device, const std::string& label) {
    return ReceiverSession(line, options, payload, device, label).Play();
}

}  // namespace qvlink::sim
