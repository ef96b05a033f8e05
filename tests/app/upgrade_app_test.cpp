#include "upgrade_app.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "firmware_fixtures.h"

namespace qvlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Box = std::pair<std::string, std::string>;  // text, caption

Bytes FileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Runs the start-up sequence in `directory` as the current one, with a window that records the
// port it was shown with, then picks `pickedPort` and leaves `leaveIn` current (as the file
// chooser may).
struct StartUp {
    int shownPort = -1;
    std::vector<Box> plainBoxes;
    int result = -1;

    StartUp(const std::filesystem::path& directory, int pickedPort,
            const std::filesystem::path& leaveIn) {
        const std::filesystem::path before = std::filesystem::current_path();
        std::filesystem::current_path(directory);
        LinkSettings settings;
        UpgradeDialog dialog(settings.selectedPort);
        UpgradeApp app(
            [&](UpgradeDialog& shown) {
                shownPort = settings.selectedPort;
                shown.OnPortRadio(pickedPort);
                std::filesystem::current_path(leaveIn);
            },
            [&](const std::string& text, const std::string& caption) {
                plainBoxes.emplace_back(text, caption);
            });
        result = app.InitInstance(settings, dialog);
        std::filesystem::current_path(before);
    }
};

TEST(UpgradeApp, ShowsTheStoredPortAndSavesTheChosenOneWhereItStarted) {
    test::ScratchDir start, elsewhere;
    start.Write(SETTINGS_FILE_NAME, {6, 0, 0, 0});
    const StartUp run(start.Path(), 2, elsewhere.Path());
    EXPECT_EQ(run.shownPort, 6);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.plainBoxes.empty());
    EXPECT_EQ(FileBytes(start.Path() / SETTINGS_FILE_NAME), (Bytes{2, 0, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists(elsewhere.Path() / SETTINGS_FILE_NAME));
}

TEST(UpgradeApp, ASaveThatFailsIsReportedOnceInAPlainBox) {
    test::ScratchDir start;
    std::filesystem::create_directory(start.Path() / SETTINGS_FILE_NAME);
    const StartUp run(start.Path(), 3, start.Path());
    EXPECT_EQ(run.shownPort, 0);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.plainBoxes,
              (std::vector<Box>{{"save config info error\xEF\xBC\x81", "Quorvane Link 1.1"}}));
}

}  // namespace
}  // namespace qvlink
