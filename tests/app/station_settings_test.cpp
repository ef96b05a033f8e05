// What the station window keeps between starts, and what its command line puts in its place:
// a settings file that cannot be trusted is never used in part.
#include "station_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "firmware_fixtures.h"
#include "station_arguments.h"
#include "station_startup.h"

namespace qvlink {
namespace {

std::filesystem::path WriteNamed(const test::ScratchDir& dir, const std::string& name,
                                 const std::string& text) {
    const auto path = dir.Path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::filesystem::path WriteText(const test::ScratchDir& dir, const std::string& text) {
    const auto path = dir.Path() / STATION_SETTINGS_FILE;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(StationSettings, WhatWasSavedIsWhatIsLoaded) {
    test::ScratchDir dir;
    StationSetup setup;
    setup.ports = {"COM1-COM4", "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};
    setup.firmwarePath = "/fw/quorvane.bin";
    setup.recordPath = "line 3.jsonl";
    setup.outOfServiceAfter = 5;
    setup.station = "Line 3, station B";
    setup.database = "host=db.factory dbname=qvlink user=line3";
    const auto path = dir.Path() / STATION_SETTINGS_FILE;
    ASSERT_TRUE(SaveStationSetup(path, setup).ok());
    StationSetup loaded;
    const Status status = LoadStationSetup(path, &loaded);
    EXPECT_TRUE(status.ok()) << status.ToString();
    EXPECT_EQ(loaded.ports, setup.ports);
    EXPECT_EQ(loaded.firmwarePath, setup.firmwarePath);
    EXPECT_EQ(loaded.recordPath, setup.recordPath);
    EXPECT_EQ(loaded.outOfServiceAfter, 5);
    EXPECT_EQ(loaded.station, setup.station);
    EXPECT_EQ(loaded.database, setup.database);
}

TEST(StationSettings, AFileThatCannotBeTrustedGivesTheDefaultsAndOneNotice) {
    const std::vector<std::string> files = {
        "",
        "{\"ports\": [\"COM1\"",
        "[1, 2]",
        "{\"ports\": \"COM1\"}",
        "{\"ports\": [\"COM1\", 7]}",
        "{\"ports\": [\"COM1\\u001b[2J\"]}",
        "{\"firmware\": {\"path\": \"x\"}}",
        "{\"ports\": [\"COM1\"], \"out_of_service_after\": 5000}",
        "{\"out_of_service_after\": 1001}",
        "{\"station\": \"\"}",
        "{\"station\": \"a\\u0007b\"}",
        "{\"database\": [\"host=db\"]}",
        "{\"ports\": [\"COM1\", \"COM01\", \"COM1-COM3\"]}",
        "{\"out_of_service_after\": -1}",
        "{\"out_of_service_after\": 2.5}",
        "{\"record\": \"" + std::string(5000, 'r') + "\"}",
        "{\"ports\": [" + std::string(70000, ' ') + "]}",
    };
    for (const std::string& text : files) {
        SCOPED_TRACE(text.substr(0, 60));
        test::ScratchDir dir;
        StationSetup loaded;
        loaded.ports = {"COM9"};
        const Status status = LoadStationSetup(WriteText(dir, text), &loaded);
        const std::string& notice = status.message();
        EXPECT_EQ(status.kind(), StatusKind::Invalid);
        EXPECT_NE(notice.find("QVLinkStation.json"), std::string::npos) << notice;
        EXPECT_EQ(notice.find('\n'), std::string::npos);
        EXPECT_TRUE(loaded.ports.empty());
        EXPECT_EQ(loaded.outOfServiceAfter, 3);
    }
    test::ScratchDir dir;
    StationSetup missing;
    const Status notThere = LoadStationSetup(dir.Path() / STATION_SETTINGS_FILE, &missing);
    EXPECT_EQ(notThere.kind(), StatusKind::NotFound);
    EXPECT_EQ(notThere.message(), "QVLinkStation.json not found: starting with no ports");
    std::string notice = "left from before";
    StationArguments named;
    StartingSetup(dir.Path() / STATION_SETTINGS_FILE, named, &notice);
    EXPECT_EQ(notice, "QVLinkStation.json not found: starting with no ports");
    named.ports = {"COM1"};
    EXPECT_EQ(StartingSetup(dir.Path() / STATION_SETTINGS_FILE, named, &notice).ports, named.ports);
    EXPECT_EQ(notice, "") << "the first start names its ports: nothing was missed";
    WriteText(dir, "{\"ports\": 7}");
    EXPECT_EQ(StartingSetup(dir.Path() / STATION_SETTINGS_FILE, named, &notice).ports, named.ports);
    EXPECT_NE(notice.find("was not used"), std::string::npos) << "a damaged file is no first start";
}

TEST(StationSettings, TheLimitsThemselvesAreKept) {
    test::ScratchDir dir;
    StationSetup loaded;
    const Status status = LoadStationSetup(
        WriteText(dir, "{\"ports\": [\"COM1-COM8\"], \"out_of_service_after\": 1000}"), &loaded);
    EXPECT_TRUE(status.ok()) << status.ToString();
    EXPECT_EQ(loaded.outOfServiceAfter, 1000);
    EXPECT_EQ(loaded.ports, std::vector<std::string>{"COM1-COM8"});
}

TEST(StationSettings, AFileThatCouldNotBeUsedIsKeptBesideWhenTheSettingsAreSaved) {
    test::ScratchDir dir;
    const std::string damaged = "{\"ports\":[\"COM1\",\"COM01\"]}";
    const auto path = WriteText(dir, damaged);
    StationSetup loaded;
    const std::string notice = LoadStationSetup(path, &loaded).message();
    EXPECT_NE(notice.find("QVLinkStation.json.damaged"), std::string::npos) << notice;
    StationSetup setup;
    setup.ports = {"COM2"};
    ASSERT_TRUE(SaveStationSetup(path, setup).ok());
    std::ifstream kept(path.string() + ".damaged");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
    EXPECT_TRUE(LoadStationSetup(path, &loaded).ok());
    EXPECT_EQ(loaded.ports, setup.ports);
}

TEST(StationSettings, ALinkIsWrittenThroughAndNeverOverSomethingElse) {
    test::ScratchDir dir;
    const auto path = dir.Path() / STATION_SETTINGS_FILE;
    StationSetup setup;
    setup.ports = {"COM3"};

    std::filesystem::create_symlink("/dev/zero", path);
    StationSetup loaded;
    const Status device = LoadStationSetup(path, &loaded);
    EXPECT_TRUE(loaded.ports.empty());
    EXPECT_EQ(device.kind(), StatusKind::Foreign);
    EXPECT_NE(device.message().find("not a regular file"), std::string::npos) << device.message();
    EXPECT_FALSE(SaveStationSetup(path, setup).ok());
    EXPECT_EQ(std::filesystem::read_symlink(path), "/dev/zero") << "the link is left as it is";

    std::filesystem::remove(path);
    const auto kept = dir.Path() / "kept.json";
    std::ofstream(kept) << "{}";
    std::filesystem::create_symlink(kept, path);
    ASSERT_TRUE(SaveStationSetup(path, setup).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    const Status throughTheLink = LoadStationSetup(kept, &loaded);
    EXPECT_TRUE(throughTheLink.ok()) << throughTheLink.ToString();
    EXPECT_EQ(loaded.ports, setup.ports);
}

TEST(StationSettings, EveryFileThatCouldNotBeUsedIsKeptNoneReplacesAnother) {
    test::ScratchDir dir;
    const std::vector<std::string> damaged = {"{\"ports\": 1}", "[2]", "not JSON"};
    const std::vector<std::string> kept = {".damaged", ".damaged.1", ".damaged.2"};
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        const auto path = WriteText(dir, damaged[i]);
        StationSetup loaded;
        const std::string notice = LoadStationSetup(path, &loaded).message();
        EXPECT_NE(notice.find("kept as " + std::string(STATION_SETTINGS_FILE) + kept[i]),
                  std::string::npos)
            << notice;
        ASSERT_TRUE(SaveStationSetup(path, StationSetup{}).ok());
    }
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        std::ifstream in(dir.Path() / (std::string(STATION_SETTINGS_FILE) + kept[i]));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), damaged[i]) << kept[i];
    }
}

TEST(StationSettings, ALinkPlantedWhereTheTemporaryGoesIsNotWrittenThrough) {
    test::ScratchDir dir;
    const auto path = dir.Path() / STATION_SETTINGS_FILE;
    const auto victim = dir.Path() / "victim";
    std::ofstream(victim) << "not yours";
    std::filesystem::create_symlink(victim, path.string() + ".new");
    StationSetup setup;
    setup.ports = {"COM3"};
    for (int save = 0; save < 2; ++save) {  // a planted name never blocks a save either
        const Status saved = SaveStationSetup(path, setup);
        ASSERT_TRUE(saved.ok()) << saved.ToString();
    }
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not yours");
    StationSetup loaded;
    EXPECT_TRUE(LoadStationSetup(path, &loaded).ok());
    EXPECT_EQ(loaded.ports, setup.ports);
}

TEST(StationArguments, WhatTheCommandLineNamesReplacesWhatWasKept) {
    StationArguments parsed;
    bool help = false;
    ASSERT_TRUE(
        ParseStationArguments({"--port", "COM1,COM2", "--port", "/dev/ttyUSB0", "--record",
                               "r.jsonl", "--station", "line 3", "--start", "/fw/quorvane.bin"},
                              &parsed, &help)
            .ok());
    StationSetup kept;
    kept.ports = {"COM7"};
    kept.recordPath = "old.jsonl";
    kept.firmwarePath = "old.bin";
    kept.outOfServiceAfter = 4;
    const StationSetup setup = ApplyArguments(kept, parsed);
    EXPECT_EQ(setup.ports, (std::vector<std::string>{"COM1,COM2", "/dev/ttyUSB0"}));
    EXPECT_EQ(setup.recordPath, "r.jsonl");
    EXPECT_EQ(setup.firmwarePath, "/fw/quorvane.bin") << "a path is never a Windows-style option";
    EXPECT_EQ(setup.outOfServiceAfter, 4);
    EXPECT_EQ(setup.station, "line 3");
    EXPECT_TRUE(parsed.start);

    StationArguments none;
    ASSERT_TRUE(ParseStationArguments({}, &none, &help).ok());
    EXPECT_EQ(ApplyArguments(kept, none).ports, kept.ports) << "nothing named: what was kept";
    EXPECT_FALSE(ParseStationArguments({"--speed", "9"}, &none, &help).ok());
    EXPECT_FALSE(ParseStationArguments({"a.bin", "b.bin"}, &none, &help).ok());
    EXPECT_FALSE(ParseStationArguments({"--station", std::string(65, 's')}, &none, &help).ok());
    // A password never goes on a command line (where any process can read it).
    const Status password =
        ParseStationArguments({"--database", "host=db password=secret"}, &none, &help);
    EXPECT_FALSE(password.ok());
    EXPECT_EQ(password.message().rfind("--database: ", 0), 0u) << password.message();
    EXPECT_EQ(ParseStationArguments({"--port", "COM1,COM01"}, &none, &help).message(),
              "COM1 and COM01 are the same device");
}

// Whether help was asked is the command-line parser's to say, wherever --help or -h stands;
// it is answered on stdout before any window.
TEST(StationArguments, HelpIsAnsweredWhereverItStands) {
    const struct {
        std::vector<const char*> argv;
        bool answered;
    } cases[] = {
        {{"qvlink-station", "--help"}, true},
        {{"qvlink-station", "-h"}, true},
        {{"qvlink-station", "--port", "COM1", "--start", "--help"}, true},
        {{"qvlink-station", "--speed", "9", "-h"}, true},
        {{"qvlink-station", "--port", "COM1", "fw.bin"}, false},
        {{"qvlink-station", "--port", "COM3-COM1"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv.back());
        std::vector<char*> argv;
        for (const char* argument : c.argv) argv.push_back(const_cast<char*>(argument));
        testing::internal::CaptureStdout();
        const std::optional<int> status =
            AnswerStationArguments(static_cast<int>(argv.size()), argv.data());
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, c.answered ? std::optional<int>(0) : std::nullopt);
        EXPECT_EQ(printed, c.answered ? StationUsage() : "");
    }
}

// Both windows start alike: the settings file is fixed to the start folder as an absolute path,
// so that a chooser that moves the current folder cannot move where the settings are kept.
TEST(StationStart, TheSettingsStayWithTheStartFolder) {
    StationStart start;
    ASSERT_TRUE(BeginStation({"--port", "COM3", "--station", "line 3"}, &start).ok());
    EXPECT_TRUE(start.settingsFile.is_absolute()) << start.settingsFile;
    EXPECT_EQ(start.settingsFile, std::filesystem::current_path() / STATION_SETTINGS_FILE);
    EXPECT_EQ(start.setup.ports, std::vector<std::string>{"COM3"});
    EXPECT_EQ(start.setup.station, "line 3");
    EXPECT_FALSE(BeginStation({"--speed", "9"}, &start).ok());
}

// Settings a start must not go without: a file --settings names, and any file of a station
// without a window. A window without --settings still starts on the defaults with a notice.
TEST(StationStart, SettingsThatMustBeUsableEndTheStartWhenTheyAreNot) {
    test::ScratchDir dir;
    const std::string good = WriteNamed(dir, "good.json", "{\"ports\": [\"COM2\"]}").string();
    const std::string damaged = WriteNamed(dir, "damaged.json", "{\"ports\": ").string();
    const std::string missing = (dir.Path() / "missing.json").string();
    struct Case {
        std::vector<std::string> arguments;
        StatusKind refused;  // Usage for "not refused"
        std::vector<std::string> ports;
    };
    const std::vector<Case> cases{
        {{"--settings", good}, StatusKind::Usage, {"COM2"}},
        {{"--headless", "--settings", good, "--port", "COM5"}, StatusKind::Usage, {"COM5"}},
        {{"--settings", damaged}, StatusKind::Invalid, {}},
        {{"--headless", "--settings", damaged, "--port", "COM5"}, StatusKind::Invalid, {}},
        {{"--headless", "--settings", missing}, StatusKind::NotFound, {}},
        // A first start that names its ports has missed nothing.
        {{"--headless", "--settings", missing, "--port", "COM4"}, StatusKind::Usage, {"COM4"}},
    };
    for (const Case& c : cases) {
        StationStart start;
        const Status begun = BeginStation(c.arguments, &start);
        const std::string named = c.arguments.back();
        if (c.refused == StatusKind::Usage) {
            EXPECT_TRUE(begun.ok()) << named << ": " << begun.ToString();
            EXPECT_EQ(start.setup.ports, c.ports) << named;
            EXPECT_TRUE(start.settingsFile.is_absolute());
        } else {
            EXPECT_EQ(begun.kind(), c.refused) << named << ": " << begun.ToString();
            EXPECT_NE(begun.message().find(c.arguments[c.arguments[0] == "--headless" ? 2 : 1]),
                      std::string::npos)
                << "names the file: " << begun.message();
        }
    }
    StationStart headless;
    headless.arguments.headless = true;
    headless.settingsFile = damaged;
    EXPECT_TRUE(EndStation(headless, {}).ok());
    std::ifstream kept(damaged);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "{\"ports\": ")
        << "a station without a window keeps nothing";
}

// The settings the Debian package ships for the service (packaging/station.json) are a settings
// file that --settings reads as it is: no ports yet, and the record in the service's state
// folder.
TEST(StationSettings, ThePackagedServiceSettingsAreUsedAsTheyAre) {
    StationSetup setup;
    const Status status = ReadStationSetup(QVLINK_PACKAGED_SETTINGS, &setup);
    EXPECT_TRUE(status.ok()) << status.ToString();
    EXPECT_TRUE(setup.ports.empty());
    EXPECT_EQ(setup.recordPath, "/var/lib/quorvane-link/record.jsonl");
}

}  // namespace
}  // namespace qvlink
