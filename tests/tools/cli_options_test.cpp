// qvlink-cli's command line: what it takes, and what it refuses in words.
#include "cli_options.h"

#include <gtest/gtest.h>

namespace qvlink::cli {
namespace {

Status Parse(std::vector<std::string> arguments, CliOptions* options) {
    arguments.insert(arguments.begin(), "qvlink-cli");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    bool help = false;
    return ParseCliOptions(static_cast<int>(argv.size()), argv.data(), options, &help);
}

TEST(CliOptions, OutOfServiceAfterTakesZeroForNeverUpTo1000) {
    const std::pair<const char*, int> cases[] = {{"0", 0},     {"1", 1},   {"1000", 1000},
                                                 {"1001", -1}, {"-1", -1}, {"x", -1}};
    for (const auto& [given, taken] : cases) {
        CliOptions options;
        const Status status =
            Parse({"--port", "COM1", "--out-of-service-after", given, "fw.bin"}, &options);
        EXPECT_EQ(status.ok(), taken >= 0) << given << ": " << status.ToString();
        if (taken >= 0) {
            EXPECT_EQ(options.outOfServiceAfter, taken) << given;
        }
    }
    CliOptions options;
    ASSERT_TRUE(Parse({"--port", "COM1", "fw.bin"}, &options).ok());
    EXPECT_EQ(options.outOfServiceAfter, 3) << "the default";
}

TEST(CliOptions, AStationNameAndADatabaseSettingAreCheckedByTheirRules) {
    std::string cjk22;
    for (int i = 0; i < 22; ++i) cjk22 += "线";
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--station", cjk22}, ""},
        {{"--station", " "}, "--station: a station's name is"},
        {{"--record", "r.jsonl", "--database", ""}, "--database: the database setting is empty"},
    };
    for (const auto& [given, refusal] : cases) {
        std::vector<std::string> arguments = {"--port", "COM1"};
        arguments.insert(arguments.end(), given.begin(), given.end());
        arguments.push_back("fw.bin");
        CliOptions options;
        const Status status = Parse(arguments, &options);
        EXPECT_EQ(status.ok(), *refusal == '\0') << given.back();
        EXPECT_EQ(status.ToString().rfind(refusal, 0), 0u) << status.ToString();
    }
}

}  // namespace
}  // namespace qvlink::cli
