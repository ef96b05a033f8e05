#include "block_transfer.h"

#include <algorithm>
#include <cstring>

#include "burn_phase.h"
#include "check_codes.h"
#include "protocol_bytes.h"

namespace qvlink {
namespace {

// Transfer progress is reported whenever the next block number reaches a multiple of this.
constexpr int PROGRESS_EVERY = 5;

std::uint16_t BlockLength(CheckMode mode) {
    return static_cast<std::uint16_t>(mode == CheckMode::Crc16 ? BLOCK_SIZE_CRC : BLOCK_SIZE_SUM);
}

}  // namespace

std::uint16_t CopyImageSlice(const std::uint8_t* image, std::size_t position,
                             std::uint8_t* destination, std::uint16_t length) {
    const std::size_t remaining = position < TRANSFER_SIZE ? TRANSFER_SIZE - position : 0;
    const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(length, remaining));
    if (count > 0) std::memcpy(destination, image + position, count);
    return count;
}

int BuildBlock(const std::uint8_t* image, std::size_t position, std::uint8_t number,
               std::uint8_t* buffer, CheckMode mode) {
    buffer[0] = STX;
    buffer[1] = number;
    buffer[2] = static_cast<std::uint8_t>(255 - number);
    std::uint8_t* data = buffer + BLOCK_HEADER_SIZE;
    const std::uint16_t count = CopyImageSlice(image, position, data, BLOCK_DATA_SIZE);
    if (count == 0) return 0;
    std::memset(data + count, SUB, BLOCK_DATA_SIZE - count);
    if (mode == CheckMode::Crc16) {
        const std::uint16_t crc = Crc16Xmodem(data, BLOCK_DATA_SIZE);
        buffer[1027] = static_cast<std::uint8_t>(crc >> 8);
        buffer[1028] = static_cast<std::uint8_t>(crc & 0xFF);
    } else {
        buffer[1027] = Sum8(data, BLOCK_DATA_SIZE);
    }
    return count;
}

SendOutcome WaitBlockResponse(RunContext& context, std::uint8_t& answer) {
    int cancels = 0;
    for (;;) {
        if (context.StopRequested()) {
            static constexpr std::uint8_t cancelTwice[2] = {CAN, CAN};
            if (!context.lineLost) SendBytes(context, cancelTwice, 2);
            return SendOutcome::Stopped;
        }
        std::uint8_t byte = 0;
        if (!PollByte(context, byte)) continue;
        if (byte == ACK || byte == NAK || byte == START_CRC) {
            answer = byte;
            return SendOutcome::Done;
        }
        if (byte != CAN) {
            cancels = 0;
        } else if (++cancels == 2) {
            answer = CAN;
            return SendOutcome::Cancelled;
        }
    }
}

SendOutcome SendImageBlocks(RunContext& context, std::uint8_t startByte) {
    const CheckMode mode = startByte == START_CRC ? CheckMode::Crc16 : CheckMode::Sum8;
    const std::uint16_t length = BlockLength(mode);
    std::uint8_t* buffers[2] = {context.blockBufferA.get(), context.blockBufferB.get()};

    std::size_t position = BuildBlock(context.image, 0, 1, buffers[0], mode);
    context.host->NotifyConnected();
    SendBytes(context, buffers[0], length);
    int advance = 1;  // the buffer holding the block built in advance; the other was sent last
    int advanceCount = BuildBlock(context.image, position, 2, buffers[advance], mode);
    position += advanceCount;
    std::uint8_t nextNumber = 3;
    bool acknowledged = false;

    for (;;) {
        std::uint8_t answer = 0;
        if (const auto outcome = WaitBlockResponse(context, answer); outcome != SendOutcome::Done)
            return outcome;
        if (answer == NAK || (answer == START_CRC && !acknowledged)) {
            context.host->NotifyResend();
            SendBytes(context, buffers[1 - advance], length);
            continue;
        }
        if (answer != ACK) continue;  // 'C' after the first ACK changes nothing
        acknowledged = true;
        if (position - advanceCount == TRANSFER_SIZE) break;
        SendBytes(context, buffers[advance], length);
        advance = 1 - advance;
        advanceCount = BuildBlock(context.image, position, nextNumber, buffers[advance], mode);
        nextNumber = static_cast<std::uint8_t>(nextNumber + 1);
        position += advanceCount;
        if (nextNumber % PROGRESS_EVERY == 0) {
            const auto percentage =
                static_cast<int>(std::min<std::size_t>(100, position * 100 / TRANSFER_SIZE));
            context.host->ReportStatus({STATUS_TRANSFER, percentage, -1, -1});
        }
    }

    for (;;) {
        SendBytes(context, &EOT, 1);
        std::uint8_t answer = 0;
        if (const auto outcome = WaitBlockResponse(context, answer); outcome != SendOutcome::Done)
            return outcome;
        if (answer == ACK) return SendOutcome::Done;
    }
}

UpgradeResult RunBlockTransfer(RunContext& context, std::uint8_t startByte) {
    const SendOutcome sent = SendImageBlocks(context, startByte);
    if (sent == SendOutcome::Stopped) return context.StopResult();
    if (sent == SendOutcome::Cancelled) return RECEIVER_ABORT;
    context.host->ReportStatus({STATUS_TRANSFER, 100, -1, -1});
    context.host->ReportStatus({STATUS_BURN, 0, -1, -1});
    return FollowBurn(context, BLOCK_COMPLETED, BLOCK_BURN_ERROR);
}

}  // namespace qvlink
