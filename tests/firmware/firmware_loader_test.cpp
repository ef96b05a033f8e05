#include "firmware_loader.h"

#include <gtest/gtest.h>

#include <functional>

#include "crc32_mpeg2.h"
#include "firmware_fixtures.h"
#include "firmware_format.h"
#include "firmware_packer.h"

namespace qvlink {
namespace {

using test::PatternData;
using test::PatternFirmwareFile;
using test::ScratchDir;
using Bytes = std::vector<std::uint8_t>;

const std::string BANG = "\xEF\xBC\x81";

// A slot that already holds an image, so that "untouched" can be told from "emptied".
FirmwareImage PreviouslyLoaded() {
    FirmwareImage slot;
    slot.Take(std::make_unique<std::uint8_t[]>(3), 3, ImageState::ValidPayload);
    slot.bytes[0] = 0xEE;
    return slot;
}

Bytes ValidPayload() {
    return BuildPayload(PatternData(STANDARD_DATA_SIZE));
}

void StoreBigEndian32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Recomputes the trailing CRC after a payload was edited, so that only the edit is wrong.
void ResealCrc(Bytes& payload) {
    payload.resize(payload.size() - 4);
    const auto crc = FirmwareCrc32(payload.data(), static_cast<std::int64_t>(payload.size()));
    payload.resize(payload.size() + 4);
    StoreBigEndian32(payload, payload.size() - 4, crc);
}

struct Refusal {
    const char* name;
    std::function<Bytes()> makeFile;
    std::string message;
    MessageChannel channel;
    ImageState slotAfter;
    bool slotUntouched;
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class FirmwareRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(FirmwareRefusal, GivesTheExactMessageChannelAndSlotState) {
    const Refusal& c = GetParam();
    ScratchDir dir;
    const auto path = dir.Write("fw.bin", c.makeFile());
    FirmwareImage slot = PreviouslyLoaded();

    const LoadResult result = LoadFirmwareFile(path, slot);

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(result.channel, c.channel);
    EXPECT_EQ(slot.state, c.slotAfter);
    if (c.slotUntouched) {
        ASSERT_EQ(slot.size, 3u);
        EXPECT_EQ(slot.bytes[0], 0xEE);
    }
}

Bytes RawFileOf(std::size_t size) {
    return Bytes(size, 0x55);
}

INSTANTIATE_TEST_SUITE_P(
    LoadTable, FirmwareRefusal,
    ::testing::Values(
        Refusal{"Empty", [] { return Bytes{}; }, "file size error [1]", MessageChannel::Dialog,
                ImageState::ValidPayload, true},
        Refusal{"ThirtyEightBytes", [] { return RawFileOf(38); }, "file size error [1]",
                MessageChannel::Dialog, ImageState::ValidPayload, true},
        Refusal{"OuterMagicCase",
                [] {
                    Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
                    file[0] = 'q';
                    return file;
                },
                "File Data Error [1]", MessageChannel::Application, ImageState::RawFile, false},
        Refusal{"OuterMagicLastHash",
                [] {
                    Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
                    file[21] = '$';
                    return file;
                },
                "File Data Error [1]", MessageChannel::Application, ImageState::RawFile, false},
        Refusal{"PayloadNotMasked",
                [] {
                    Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
                    for (std::size_t i = OUTER_MAGIC.size(); i < file.size(); ++i)
                        file[i] ^= SCRAMBLE_MASK;
                    return file;
                },
                "File Data Error [2]", MessageChannel::Application, ImageState::RejectedPayload,
                false},
        Refusal{"DeclaredLengthCountsOnlyData",
                [] {
                    Bytes payload = ValidPayload();
                    StoreBigEndian32(payload, 8, static_cast<std::uint32_t>(payload.size() - 16));
                    ResealCrc(payload);
                    return ScramblePayload(payload);
                },
                "File Data Error [3]", MessageChannel::Dialog, ImageState::RejectedPayload, false},
        Refusal{"OneDataBitFlipped",
                [] {
                    Bytes payload = ValidPayload();
                    payload[12 + 777] ^= 0x10;
                    return ScramblePayload(payload);
                },
                "File Data Error [4]", MessageChannel::Dialog, ImageState::RejectedPayload, false},
        Refusal{"CrcByteFlipped",
                [] {
                    Bytes payload = ValidPayload();
                    payload.back() ^= 0x01;
                    return ScramblePayload(payload);
                },
                "File Data Error [4]", MessageChannel::Dialog, ImageState::RejectedPayload, false},
        Refusal{"MinimalFileIsTooShortToSend",
                [] { return ScramblePayload(BuildPayload(Bytes{0xAB})); }, "file size error [2]",
                MessageChannel::Dialog, ImageState::RejectedPayload, false},
        Refusal{"OneByteShortOfAMegabyte",
                [] { return PatternFirmwareFile(STANDARD_DATA_SIZE - 1); }, "file size error [2]",
                MessageChannel::Dialog, ImageState::RejectedPayload, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareLoad, StandardImageHasTheStandardSizes) {
    ScratchDir dir;
    const Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
    ASSERT_EQ(file.size(), 1048614u);
    FirmwareImage slot;

    const LoadResult result = LoadFirmwareFile(dir.Write("quorvane.bin", file), slot);

    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(slot.state, ImageState::ValidPayload);
    ASSERT_EQ(slot.size, 1048592u);
    const std::uint32_t declared =
        (slot.bytes[8] << 24) | (slot.bytes[9] << 16) | (slot.bytes[10] << 8) | slot.bytes[11];
    EXPECT_EQ(declared, 0x100004u);
    const Bytes data = PatternData(STANDARD_DATA_SIZE);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), slot.bytes.get() + 12));
}

TEST(FirmwareLoad, LongerPayloadIsAcceptedWhenLengthAndCrcAgree) {
    ScratchDir dir;
    FirmwareImage slot;
    const LoadResult result = LoadFirmwareFile(
        dir.Write("big.bin", PatternFirmwareFile(STANDARD_DATA_SIZE + 4096)), slot);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(slot.size, STANDARD_PAYLOAD_SIZE + 4096);
}

TEST(FirmwareLoad, SmallestFileHasASeventeenBytePayloadValidOnlyWithDeclaredLengthFive) {
    const Bytes file = ScramblePayload(BuildPayload(Bytes{0x42}));
    ASSERT_EQ(file.size(), MIN_FILE_SIZE);
    FirmwareImage slot;
    slot.Take(std::make_unique<std::uint8_t[]>(file.size()), file.size(), ImageState::RawFile);
    std::copy(file.begin(), file.end(), slot.bytes.get());

    EXPECT_TRUE(UnpackFirmware(slot, file.size()).ok);
    ASSERT_EQ(slot.size, 17u);
    EXPECT_EQ(slot.bytes[11], 5);
}

TEST(FirmwareLoad, MissingFileNamesItsFullPath) {
    ScratchDir dir;
    FirmwareImage slot = PreviouslyLoaded();
    const auto path = dir.Path() / "absent.bin";
    const LoadResult result = LoadFirmwareFile(path, slot);
    EXPECT_EQ(result.message, "Open file<" + path.string() + "> error" + BANG);
    EXPECT_EQ(result.channel, MessageChannel::Dialog);
    EXPECT_EQ(slot.size, 3u);
}

TEST(FirmwareLoad, DirectoryCannotBeOpenedAsAFile) {
    ScratchDir dir;
    FirmwareImage slot;
    const LoadResult result = LoadFirmwareFile(dir.Path(), slot);
    EXPECT_EQ(result.message, "Open file<" + dir.Path().string() + "> error" + BANG);
}

TEST(FirmwareLoad, FileLongerThanFourGibibytesIsRefusedNotTruncated) {
    ScratchDir dir;
    const auto path = dir.Write("huge.bin", PatternFirmwareFile(STANDARD_DATA_SIZE));
    // 4 GiB + the real file length: truncated to 32 bits it would look like the valid file.
    std::filesystem::resize_file(path, (std::uint64_t{1} << 32) + 1048614u);
    FirmwareImage slot = PreviouslyLoaded();
    const LoadResult result = LoadFirmwareFile(path, slot);
    EXPECT_EQ(result.message, "file size error [1]");
    EXPECT_EQ(slot.size, 3u);
}

TEST(FirmwareLoad, ReadThatDeliversLessThanTheSizeIsAReadError) {
    // Files under /sys report a length of a page but deliver only their few bytes of text.
    const std::filesystem::path shortReader = "/sys/devices/system/cpu/online";
    std::error_code error;
    if (std::filesystem::file_size(shortReader, error) < MIN_FILE_SIZE)
        GTEST_SKIP() << "no such file here";
    FirmwareImage slot;
    const LoadResult result = LoadFirmwareFile(shortReader, slot);
    EXPECT_EQ(result.message, "read file data error" + BANG);
    EXPECT_EQ(result.channel, MessageChannel::Dialog);
    EXPECT_EQ(slot.state, ImageState::RawFile);
}

TEST(FirmwareLoad, PackThenLoadGivesBackTheSameData) {
    ScratchDir dir;
    const Bytes data = PatternData(STANDARD_DATA_SIZE);
    FirmwareImage slot;
    ASSERT_TRUE(
        LoadFirmwareFile(dir.Write("rt.bin", ScramblePayload(BuildPayload(data))), slot).ok);
    EXPECT_EQ(Bytes(slot.bytes.get() + 12, slot.bytes.get() + 12 + data.size()), data);
}

TEST(VerifyFirmware, PayloadTooShortForAHeaderIsRefusedWithoutReadingPastIt) {
    const Bytes payload{'Q', 'u', 'o', 'r'};
    EXPECT_FALSE(VerifyFirmware(payload.data(), payload.size()).ok);
}

}  // namespace
}  // namespace qvlink
