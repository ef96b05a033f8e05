#include "link_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "firmware_fixtures.h"

namespace qvlink {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

struct StoredCase {
    const char* name;
    std::optional<Bytes> stored;  // nullopt: no settings file
    int loaded;
};

class SettingsFile : public ::testing::TestWithParam<StoredCase> {};

TEST_P(SettingsFile, LoadsThePortAndSavesExactlyFourBytes) {
    test::ScratchDir dir;
    if (GetParam().stored) dir.Write(SETTINGS_FILE_NAME, *GetParam().stored);
    LinkSettings settings;
    settings.selectedPort = 99;
    settings.UseDirectory(dir.Path());
    settings.Load();
    EXPECT_EQ(settings.selectedPort, GetParam().loaded);

    settings.selectedPort = 2;  // the operator picks COM3
    EXPECT_TRUE(settings.Save().ok());
    EXPECT_EQ(FileBytes(dir.Path() / SETTINGS_FILE_NAME), (Bytes{2, 0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsFile,
    ::testing::Values(StoredCase{"None", std::nullopt, 0}, StoredCase{"Empty", Bytes{}, 0},
                      StoredCase{"ThreeBytes", Bytes{5, 0, 0}, 0},
                      StoredCase{"Com8WithExtraBytes", Bytes{7, 0, 0, 0, 9, 9}, 7},
                      StoredCase{"OutOfRangeKeptAsIs", Bytes{10, 0, 0, 0}, 10},
                      StoredCase{"Negative", Bytes{0xFF, 0xFF, 0xFF, 0xFF}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsSave, ValuesAreStoredLittleEndianAndReadBackUnchanged) {
    for (const auto& [value, bytes] : {std::pair{-2, Bytes{0xFE, 0xFF, 0xFF, 0xFF}},
                                       std::pair{0x12345678, Bytes{0x78, 0x56, 0x34, 0x12}}}) {
        test::ScratchDir dir;
        LinkSettings settings;
        settings.UseDirectory(dir.Path());
        settings.selectedPort = value;
        EXPECT_TRUE(settings.Save().ok());
        EXPECT_EQ(FileBytes(dir.Path() / SETTINGS_FILE_NAME), bytes);
        settings.selectedPort = 0;
        settings.Load();
        EXPECT_EQ(settings.selectedPort, value);
    }
}

TEST(SettingsSave, DirectoryWhereNothingCanBeWrittenIsReported) {
    if (!std::filesystem::is_directory("/proc/self")) GTEST_SKIP() << "no /proc here";
    LinkSettings settings;
    settings.UseDirectory("/proc");  // not even root can create a file here
    settings.Load();
    EXPECT_EQ(settings.selectedPort, 0);
    EXPECT_EQ(SaveFailureBox(settings.Save()),
              (SaveFailure{"save config info error\xEF\xBC\x81", "Quorvane Link 1.1"}));
}

TEST(SettingsSave, FailureWhileTheBytesAreFlushedIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    test::ScratchDir dir;
    std::filesystem::create_symlink("/dev/full", dir.Path() / SETTINGS_FILE_NAME);
    LinkSettings settings;
    settings.UseDirectory(dir.Path());
    const Status saved = settings.Save();
    EXPECT_EQ(SaveFailureBox(saved), (SaveFailure{"save data error\xEF\xBC\x81", "error"}));
    EXPECT_EQ(saved.kind(), StatusKind::Exhausted) << "the device is full";
}

TEST(SettingsSave, WithoutACurrentDirectoryNothingIsReadOrWritten) {
    LinkSettings settings;
    settings.UseDirectory(std::nullopt);
    settings.selectedPort = 4;
    settings.Load();
    EXPECT_EQ(settings.selectedPort, 4);
    EXPECT_TRUE(settings.Save().ok());
    EXPECT_FALSE(settings.ConfigPath().has_value());
}

TEST(SettingsPath, FileLiesInTheGivenDirectoryEvenAtTheRoot) {
    LinkSettings settings;
    const std::filesystem::path root = std::filesystem::current_path().root_path();
    settings.UseDirectory(root);
    EXPECT_EQ(*settings.ConfigPath(), root / "QVLink.cfg");
    EXPECT_EQ(settings.ConfigPath()->parent_path(), root) << "one separator before the name";
    settings.UseDirectory(root / "bench");
    EXPECT_EQ(*settings.ConfigPath(), root / "bench" / "QVLink.cfg");
}

}  // namespace
}  // namespace qvlink
