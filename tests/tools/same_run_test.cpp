// One run of a station, shown by the three front ends that show it: the window's tiles, the
// board and the summary give every port the same counts and the same word, and the totals agree.
#include <gtest/gtest.h>

#include "firmware_fixtures.h"
#include "played_receivers.h"
#include "port_names.h"
#include "run_end.h"
#include "screen_format.h"
#include "station.h"
#include "tile_text.h"

namespace qvlink {
namespace {

using station::PortSnapshot;
using test::Play;

TEST(SameRun, TheWindowTheBoardAndTheSummaryAgree) {
    test::ScratchDir dir;
    test::FakeClock clock;
    const std::vector<std::vector<Play>> plays = {
        // COM1 and COM2 are stopped while they wait for a third receiver.
        {Play::BlockCompleted, Play::BulkChecksumError},  // COM1: completed, failed
        {Play::Cancels, Play::BulkCompleted},             // COM2: cancelled, completed
        {Play::LostInTransfer},                           // COM3: lost under its receiver, one-shot
        {Play::StoppedInBurn},                            // COM4: stopped by the operator
        {Play::BulkChecksumError, Play::BulkChecksumError},  // COM5: out of service
        {},                                                  // COM6: cannot be opened
    };
    std::unique_ptr<station::Station> line;
    std::size_t opened = 0;
    line = std::make_unique<station::Station>(
        std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}, clock,
        station::RecordSource{"same-run", "9.9", "bench", {}},
        [&](const std::string& device, std::unique_ptr<SerialLine>* opening) {
            if (device == DeviceForName("COM6"))
                return Status::Error(StatusKind::NotFound, "open COM6 error!", "no such port");
            const std::size_t port = opened++;
            *opening = std::make_unique<test::PlayedLine>(plays[port], clock,
                                                          [&line, port] { line->StopPort(port); });
            return Status::Ok();
        });
    ASSERT_TRUE(line->LoadFirmware(dir.Write("fw.bin", test::PatternFirmwareFile(0x100000))).ok());
    // Every port opens but COM6, the last, which the opener refuses.
    for (std::size_t i = 0; i < line->PortCount(); ++i)
        EXPECT_EQ(line->OpenPort(i).ok(), i + 1 < line->PortCount()) << i;
    station::StationOptions options;
    options.continuous = true;
    options.outOfServiceAfter = 2;
    // COM3 serves one receiver only, so that its lost line ends it instead of being waited for.
    station::StationOptions oneShot = options;
    oneShot.continuous = false;
    for (std::size_t i = 0; i < 5; ++i)
        ASSERT_TRUE(line->StartPort(i, i == 2 ? oneShot : options).ok()) << i;
    line->WaitAll();

    struct Expected {
        const char* counts;
        const char* word;
        const char* summary;  // the summary's words after the name
    };
    const Expected expected[] = {
        {"completed 1  failed 1", "Stopped", "completed 1  failed 1 (Checksum Error 1)"},
        {"completed 1  failed 1", "Stopped", "completed 1  failed 1 (Receiver Abort 1)"},
        {"completed 0  failed 1", "Port Lost", "completed 0  failed 1 (Port Lost 1)   port lost"},
        {"completed 0  failed 0  stopped 1", "Stopped", "completed 0  failed 0  stopped 1"},
        {"completed 0  failed 2", "Out of service",
         "completed 0  failed 2 (Checksum Error 2)   out of service"},
        {"completed 0  failed 0", "Cannot open", "not opened"},
    };
    station::Station::View view = line->Look();
    const std::vector<PortSnapshot> board(view.ports.begin(), view.ports.begin() + 5);
    const station::StationTotals& totals = view.totals;
    const std::vector<std::string> names = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"};
    cli::ScreenState screen;
    screen.mode = cli::ScreenMode::Board;
    cli::ScreenInput input;
    input.names = names;
    input.board = board;
    input.totals = totals.Line();
    input.rows = 24;
    std::string boardText;
    for (const auto& piece : cli::FormatDraw(input, screen).pieces) boardText += piece.text;
    const std::string summary = cli::SummaryText(line->Summary(), totals);

    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(names[i]);
        const TileView tile = TileOf(line->Snapshot(i), true);
        EXPECT_EQ(tile.counts, expected[i].counts);
        EXPECT_EQ(tile.result, expected[i].word);
        EXPECT_NE(summary.find("  " + names[i] + "   " + expected[i].summary + "\n"),
                  std::string::npos)
            << summary;
        if (i < 5) {  // the board shows the ports that opened; every one has ended
            const std::string row =
                "\r" + names[i] + "   " + expected[i].word + "   " + expected[i].counts;
            EXPECT_NE(boardText.find(row), std::string::npos) << boardText;
        }
    }
    const station::TotalsText figures = totals.Text();
    EXPECT_EQ(figures.completed, "2");
    EXPECT_EQ(figures.failed, "5");
    EXPECT_NE(boardText.find("\rtotal  completed 2  failed 5  stopped 1"), std::string::npos)
        << boardText;
    EXPECT_NE(summary.find("  total  completed 2  failed 5 (Checksum Error 3, Port Lost 1, "
                           "Receiver Abort 1)  stopped 1"),
              std::string::npos)
        << summary;
}

}  // namespace
}  // namespace qvlink
