#include <gtest/gtest.h>

#include <string_view>

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

}  // namespace
}  // namespace qvlink
