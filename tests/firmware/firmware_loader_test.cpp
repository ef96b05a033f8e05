#include "firmware_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>

#include "byte_order.h"
#include "firmware_fixtures.h"
#include "firmware_format.h"
#include "firmware_packer.h"
#include "upgrade_dialog.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qvlink {
namespace {

using test::CutTail;
using test::FlipByte;
using test::PatternData;
using test::PatternFirmwareFile;
using test::ResealCrc;
using test::ScratchDir;
using test::SwapRanges;
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

// Each refusal's text, kind and the box the dialog shows it in: the product puts "File Data
// Error [1]" and "[2]" and the two "Alloc" texts in the application's box, the rest in the
// dialog's.
struct Refusal {
    const char* name;
    std::function<Bytes()> makeFile;
    std::string message;
    StatusKind kind;
    BoxKind box;
    ImageState slotAfter;
    bool slotUntouched;
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class FirmwareRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(FirmwareRefusal, GivesTheExactMessageKindBoxAndSlotState) {
    const Refusal& c = GetParam();
    ScratchDir dir;
    const auto path = dir.Write("fw.bin", c.makeFile());
    FirmwareImage slot = PreviouslyLoaded();

    const Status result = LoadFirmwareFile(path, slot);

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.message(), c.message);
    EXPECT_EQ(result.kind(), c.kind);
    EXPECT_EQ(BoxForRefusal(result.kind()), c.box);
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
        Refusal{"Empty", [] { return Bytes{}; }, "file size error [1]", StatusKind::Invalid,
                BoxKind::Dialog, ImageState::ValidPayload, true},
        Refusal{"ThirtyEightBytes", [] { return RawFileOf(38); }, "file size error [1]",
                StatusKind::Invalid, BoxKind::Dialog, ImageState::ValidPayload, true},
        Refusal{"OuterMagicCase",
                [] {
                    Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
                    file[0] = 'q';
                    return file;
                },
                "File Data Error [1]", StatusKind::Foreign, BoxKind::Application,
                ImageState::RawFile, false},
        Refusal{"OuterMagicLastHash",
                [] {
                    Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
                    file[21] = '$';
                    return file;
                },
                "File Data Error [1]", StatusKind::Foreign, BoxKind::Application,
                ImageState::RawFile, false},
        Refusal{"PayloadNotMasked",
                [] {
                    Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
                    for (std::size_t i = OUTER_MAGIC.size(); i < file.size(); ++i)
                        file[i] ^= SCRAMBLE_MASK;
                    return file;
                },
                "File Data Error [2]", StatusKind::Foreign, BoxKind::Application,
                ImageState::RejectedPayload, false},
        Refusal{"DeclaredLengthCountsOnlyData",
                [] {
                    Bytes payload = ValidPayload();
                    StoreBigEndian32(payload.data() + 8,
                                     static_cast<std::uint32_t>(payload.size() - 16));
                    return ScramblePayload(ResealCrc(payload));
                },
                "File Data Error [3]", StatusKind::Invalid, BoxKind::Dialog,
                ImageState::RejectedPayload, false},
        Refusal{"OneDataBitFlipped",
                [] {
                    Bytes payload = ValidPayload();
                    payload[12 + 777] ^= 0x10;
                    return ScramblePayload(payload);
                },
                "File Data Error [4]", StatusKind::Invalid, BoxKind::Dialog,
                ImageState::RejectedPayload, false},
        Refusal{"CrcByteFlipped",
                [] {
                    Bytes payload = ValidPayload();
                    payload.back() ^= 0x01;
                    return ScramblePayload(payload);
                },
                "File Data Error [4]", StatusKind::Invalid, BoxKind::Dialog,
                ImageState::RejectedPayload, false},
        Refusal{"MinimalFileIsTooShortToSend",
                [] { return ScramblePayload(BuildPayload(Bytes{0xAB})); }, "file size error [2]",
                StatusKind::Invalid, BoxKind::Dialog, ImageState::RejectedPayload, false},
        Refusal{"OneByteShortOfAMegabyte",
                [] { return PatternFirmwareFile(STANDARD_DATA_SIZE - 1); }, "file size error [2]",
                StatusKind::Invalid, BoxKind::Dialog, ImageState::RejectedPayload, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareLoad, StandardImageHasTheStandardSizes) {
    ScratchDir dir;
    const Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
    ASSERT_EQ(file.size(), 1048614u);
    FirmwareImage slot;

    const Status result = LoadFirmwareFile(dir.Write("quorvane.bin", file), slot);

    ASSERT_TRUE(result.ok()) << result.message();
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
    const Status result = LoadFirmwareFile(
        dir.Write("big.bin", PatternFirmwareFile(STANDARD_DATA_SIZE + 4096)), slot);
    EXPECT_TRUE(result.ok()) << result.message();
    EXPECT_EQ(slot.size, STANDARD_PAYLOAD_SIZE + 4096);
}

TEST(FirmwareLoad, APathOutsideAsciiGivenAsUtf8Opens) {
    test::ScratchDir dir;
    const std::filesystem::path path =
        dir.Path() / std::filesystem::path(std::u8string(u8"固件 ü.bin"));
    const Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    FirmwareImage slot;
    const Status result = LoadFirmwareFile(path, slot);
    EXPECT_TRUE(result.ok()) << result.message();
}

TEST(FirmwareLoad, SmallestFileHasASeventeenBytePayloadValidOnlyWithDeclaredLengthFive) {
    const Bytes file = ScramblePayload(BuildPayload(Bytes{0x42}));
    ASSERT_EQ(file.size(), MIN_FILE_SIZE);
    FirmwareImage slot;
    slot.Take(std::make_unique<std::uint8_t[]>(file.size()), file.size(), ImageState::RawFile);
    std::copy(file.begin(), file.end(), slot.bytes.get());

    EXPECT_TRUE(UnpackFirmware(slot, file.size()).ok());
    ASSERT_EQ(slot.size, 17u);
    EXPECT_EQ(slot.bytes[11], 5);
}

TEST(FirmwareLoad, MissingFileNamesItsFullPath) {
    ScratchDir dir;
    FirmwareImage slot = PreviouslyLoaded();
    const auto path = dir.Path() / "absent.bin";
    const Status result = LoadFirmwareFile(path, slot);
    EXPECT_EQ(result.message(), "Open file<" + path.string() + "> error" + BANG);
    EXPECT_EQ(result.kind(), StatusKind::NotFound);
    EXPECT_EQ(BoxForRefusal(result.kind()), BoxKind::Dialog);
    EXPECT_EQ(slot.size, 3u);
}

TEST(FirmwareLoad, DirectoryCannotBeOpenedAsAFile) {
    ScratchDir dir;
    FirmwareImage slot;
    const Status result = LoadFirmwareFile(dir.Path(), slot);
    EXPECT_EQ(result.message(), "Open file<" + dir.Path().string() + "> error" + BANG);
}

TEST(FirmwareLoad, FileLongerThanFourGibibytesIsRefusedNotTruncated) {
    ScratchDir dir;
    const auto path = dir.Write("huge.bin", PatternFirmwareFile(STANDARD_DATA_SIZE));
    // 4 GiB + the real file length: truncated to 32 bits it would look like the valid file.
    std::filesystem::resize_file(path, (std::uint64_t{1} << 32) + 1048614u);
    FirmwareImage slot = PreviouslyLoaded();
    const Status result = LoadFirmwareFile(path, slot);
    EXPECT_EQ(result.message(), "file size error [1]");
    EXPECT_EQ(slot.size, 3u);
}

TEST(FirmwareLoad, ReadThatDeliversLessThanTheSizeIsAReadError) {
    // Files under /sys report a length of a page but deliver only their few bytes of text.
    const std::filesystem::path shortReader = "/sys/devices/system/cpu/online";
    std::error_code error;
    if (std::filesystem::file_size(shortReader, error) < MIN_FILE_SIZE)
        GTEST_SKIP() << "no such file here";
    FirmwareImage slot;
    const Status result = LoadFirmwareFile(shortReader, slot);
    EXPECT_EQ(result.message(), "read file data error" + BANG);
    EXPECT_EQ(result.kind(), StatusKind::Io);
    EXPECT_EQ(BoxForRefusal(result.kind()), BoxKind::Dialog);
    EXPECT_EQ(slot.state, ImageState::RawFile);
}

TEST(FirmwareLoad, PackThenLoadGivesBackTheSameData) {
    ScratchDir dir;
    const Bytes data = PatternData(STANDARD_DATA_SIZE);
    FirmwareImage slot;
    ASSERT_TRUE(
        LoadFirmwareFile(dir.Write("rt.bin", ScramblePayload(BuildPayload(data))), slot).ok());
    EXPECT_EQ(Bytes(slot.bytes.get() + 12, slot.bytes.get() + 12 + data.size()), data);
}

#ifndef _WIN32
TEST(FirmwareLoad, FifoAndDeviceAreRefusedAsUnopenableWithoutBlocking) {
    ScratchDir dir;
    const auto fifo = dir.Path() / "pipe.bin";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::filesystem::path& path : {fifo, std::filesystem::path("/dev/null")}) {
        FirmwareImage slot = PreviouslyLoaded();
        auto load = std::async(std::launch::async, [&] { return LoadFirmwareFile(path, slot); });
        if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "loading " << path << " blocked";
            // A writer lets a reader blocked in open go on, so the test fails instead of hanging.
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
        }
        const Status result = load.get();
        EXPECT_EQ(result.message(), "Open file<" + path.string() + "> error" + BANG);
        EXPECT_EQ(result.kind(), StatusKind::NotFound) << "no regular file of that name";
        EXPECT_EQ(BoxForRefusal(result.kind()), BoxKind::Dialog);
        EXPECT_EQ(slot.size, 3u);
    }
}
#endif

// The parts of a firmware file of `length` bytes in the order they are checked, each with the
// refusal that damage to it gives. The payload is stored back to front behind the 22-byte outer
// magic, so the file holds the CRC first and the inner magic last.
struct FilePart {
    std::size_t begin;
    std::size_t end;
    const char* refusal;
};

std::vector<FilePart> PartsInCheckOrder(std::size_t length) {
    return {{0, 22, "File Data Error [1]"},                    // outer magic
            {length - 8, length, "File Data Error [2]"},       // inner magic
            {length - 12, length - 8, "File Data Error [3]"},  // declared length
            {22, length - 12, "File Data Error [4]"}};         // CRC and image data
}

// The refusal for damage to bytes [begin, end): that of the first part in check order it reaches.
std::string RefusalForDamage(std::size_t length, std::size_t begin, std::size_t end) {
    for (const FilePart& part : PartsInCheckOrder(length))
        if (begin < part.end && part.begin < end) return part.refusal;
    return "";
}

// A file cut to `kept` bytes: under the outer magic and a 17-byte payload it is too small, else
// the cut tail counts as damage.
std::string RefusalForCut(std::size_t length, std::size_t kept) {
    return kept < 22 + 17 ? "file size error [1]" : RefusalForDamage(length, kept, length);
}

Status LoadBytes(const ScratchDir& dir, const Bytes& file) {
    FirmwareImage slot;
    return LoadFirmwareFile(dir.Write("fw.bin", file), slot);
}

TEST(FirmwareCorruption, EveryCutOfASmallFileIsRefusedForWhatTheCutDestroyed) {
    ScratchDir dir;
    const Bytes file = PatternFirmwareFile(64);
    for (std::size_t kept = 0; kept < file.size(); ++kept) {
        SCOPED_TRACE(kept);
        EXPECT_EQ(LoadBytes(dir, CutTail(file, file.size() - kept)).message(),
                  RefusalForCut(file.size(), kept));
    }
}

TEST(FirmwareCorruption, CutsOfAFullSizeFileAreRefusedForWhatTheCutDestroyed) {
    ScratchDir dir;
    const Bytes file = PatternFirmwareFile(STANDARD_DATA_SIZE);
    const std::size_t size = file.size();
    for (std::size_t kept :
         std::vector<std::size_t>{0, 1, 22, 38, 39, 40, 4096, size / 2, size - 13, size - 12,
                                  size - 9, size - 8, size - 1}) {
        SCOPED_TRACE(kept);
        EXPECT_EQ(LoadBytes(dir, CutTail(file, size - kept)).message(), RefusalForCut(size, kept));
    }
}

TEST(FirmwareCorruption, EveryByteFlippedInASmallFileIsRefusedForThePartItIsIn) {
    ScratchDir dir;
    const Bytes file = PatternFirmwareFile(64);
    for (std::size_t at = 0; at < file.size(); ++at) {
        SCOPED_TRACE(at);
        EXPECT_EQ(LoadBytes(dir, FlipByte(file, at)).message(),
                  RefusalForDamage(file.size(), at, at + 1));
    }
}

TEST(FirmwareCorruption, DeclaredLengthOffByOneEitherWayIsALengthError) {
    ScratchDir dir;
    const struct {
        int offBy;
        std::string refusal;
    } cases[] = {{-1, "File Data Error [3]"}, {0, ""}, {+1, "File Data Error [3]"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offBy);
        Bytes payload = ValidPayload();
        StoreBigEndian32(payload.data() + 8,
                         static_cast<std::uint32_t>(payload.size() - 12 + c.offBy));
        const Status result = LoadBytes(dir, ScramblePayload(ResealCrc(payload)));
        EXPECT_EQ(result.message(), c.refusal);
        EXPECT_EQ(result.ok(), c.refusal.empty());
    }
}

TEST(FirmwareCorruption, TwoSwappedRangesOfDataUnderTheOldCrcAreAChecksumError) {
    ScratchDir dir;
    const Bytes payload = ValidPayload();
    const std::size_t lastData = STANDARD_PAYLOAD_SIZE - 4;
    const struct {
        std::size_t first, second, length;
    } swaps[] = {{12, 12 + 1024, 1024}, {12 + 500, 12 + 501, 1}, {12, lastData - 64, 64}};
    for (const auto& swap : swaps) {
        SCOPED_TRACE(swap.first);
        const Bytes swapped = SwapRanges(payload, swap.first, swap.second, swap.length);
        ASSERT_NE(swapped, payload) << "the ranges hold the same bytes";
        EXPECT_EQ(LoadBytes(dir, ScramblePayload(swapped)).message(), "File Data Error [4]");
    }
}

TEST(VerifyFirmware, PayloadTooShortForAHeaderIsRefusedWithoutReadingPastIt) {
    const Bytes payload{'Q', 'u', 'o', 'r'};
    EXPECT_FALSE(VerifyFirmware(payload.data(), payload.size()).ok());
}

}  // namespace
}  // namespace qvlink
