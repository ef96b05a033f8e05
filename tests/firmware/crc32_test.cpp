#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>

#include "crc32_mpeg2.h"

namespace qvlink {
namespace {

TEST(FirmwareCrc32, TableEntriesAreThePolynomialSteps) {
    EXPECT_EQ(CRC_TABLE[0], 0x00000000u);
    EXPECT_EQ(CRC_TABLE[1], 0x04C11DB7u);
    EXPECT_EQ(CRC_TABLE[2], 0x09823B6Eu);
    EXPECT_EQ(CRC_TABLE[255], 0xB1F740B4u);
}

TEST(FirmwareCrc32, CheckValueOverTheNineDigits) {
    constexpr std::string_view digits = "123456789";
    EXPECT_EQ(FirmwareCrc32(reinterpret_cast<const std::uint8_t*>(digits.data()), 9), 0x0376E6E7u);
}

TEST(FirmwareCrc32, EmptyOrNegativeCountGivesTheInitialRegister) {
    const std::uint8_t byte = 0x42;
    EXPECT_EQ(FirmwareCrc32(&byte, 0), 0xFFFFFFFFu);
    EXPECT_EQ(FirmwareCrc32(&byte, -5), 0xFFFFFFFFu);
}

// The definition itself: one bit at a time, most significant first.
std::uint32_t BitwiseCrc(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= std::uint32_t{bytes[i]} << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

TEST(FirmwareCrc32, AgreesWithTheBitwiseDefinitionAtEveryAlignmentAndLength) {
    std::mt19937 random(20240611);
    std::vector<std::uint8_t> bytes(5000);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    std::vector<std::size_t> lengths(40);
    for (std::size_t i = 0; i < lengths.size(); ++i) lengths[i] = i;
    for (int i = 0; i < 24; ++i) lengths.push_back(40 + random() % 4900);
    for (std::size_t offset = 0; offset < 8; ++offset)
        for (std::size_t length : lengths) {
            const std::uint8_t* start = bytes.data() + offset;
            ASSERT_EQ(FirmwareCrc32(start, static_cast<std::int64_t>(length)),
                      BitwiseCrc(start, length))
                << "offset " << offset << ", length " << length;
        }
}

}  // namespace
}  // namespace qvlink
