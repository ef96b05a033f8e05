// Replacing a small file whole: whatever is planted where a temporary would go is neither
// written through nor in the way, and a replacement that fails leaves no temporary behind.
#include "durable_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "firmware_fixtures.h"

namespace qvlink {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(DurableFile, WhatIsPlantedWhereATemporaryGoesIsNeitherWrittenThroughNorInTheWay) {
    enum class Planted { LinkToAFile, LinkToNothing, StaleFile, Folder };
    for (const Planted planted :
         {Planted::LinkToAFile, Planted::LinkToNothing, Planted::StaleFile, Planted::Folder}) {
        SCOPED_TRACE(static_cast<int>(planted));
        test::ScratchDir dir;
        const fs::path path = dir.Path() / "line.jsonl.sent";
        const fs::path victim = dir.Path() / "victim";
        const fs::path plant = dir.Path() / "line.jsonl.sent.new";
        std::ofstream(victim) << "not yours";
        switch (planted) {
            case Planted::LinkToAFile:
                fs::create_symlink(victim, plant);
                break;
            case Planted::LinkToNothing:
                fs::create_symlink(dir.Path() / "made-by-the-link", plant);
                break;
            case Planted::StaleFile:
                std::ofstream(plant) << "left by a crash";
                break;
            case Planted::Folder:
                fs::create_directory(plant);
                break;
        }
        const Status saved = ReplaceFileDurably(path.string(), "{\"offset\":10}\n");
        ASSERT_TRUE(saved.ok()) << saved.ToString();
        EXPECT_EQ(Read(path), "{\"offset\":10}\n");
        EXPECT_EQ(Read(victim), "not yours");
        EXPECT_FALSE(fs::exists(dir.Path() / "made-by-the-link"));
        EXPECT_EQ(Names(dir.Path()),
                  (std::set<std::string>{"line.jsonl.sent", "line.jsonl.sent.new", "victim"}));
    }
}

TEST(DurableFile, AReplacementThatFailsLeavesNoTemporaryBehind) {
    test::ScratchDir dir;
    // A folder with something in it cannot be renamed over: the last step fails.
    const fs::path path = dir.Path() / "line.jsonl.sent";
    fs::create_directories(path / "inside");
    const Status saved = ReplaceFileDurably(path.string(), "{\"offset\":10}\n");
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(saved.message().find("cannot save " + path.string()), std::string::npos)
        << saved.ToString();
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"line.jsonl.sent"});
}

}  // namespace
}  // namespace qvlink
