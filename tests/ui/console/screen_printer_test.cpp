// What the flasher's display writes where a log reads it (stdout no terminal), driven by a
// station whose receivers are played on in-memory lines: every result and the wait after it
// are lines of their own, and a stdout that was closed ends the display, not the run.
#include "screen_printer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>

#include "firmware_fixtures.h"
#include "played_receivers.h"
#include "status_texts.h"

namespace qvlink::cli {
namespace {

using test::Play;

class RecordingSink final : public PrinterSink {
  public:
    explicit RecordingSink(bool closed = false) : closed_(closed) {}
    bool Out(const std::string& text) override {
        std::lock_guard lock(mutex_);
        ++outCalls;
        if (!closed_) out += text;
        return !closed_;
    }
    void Err(const std::string& text) override {
        std::lock_guard lock(mutex_);
        err += text;
    }
    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    std::string out, err;
    int outCalls = 0;

  private:
    const bool closed_;
    std::mutex mutex_;
};

// One port playing `plays` to the end with `sink` showing it as lines; its counts.
station::PortCounts RunShown(const std::vector<Play>& plays, RecordingSink& sink) {
    test::ScratchDir dir;
    const auto firmware = dir.Write("fw.bin", test::PatternFirmwareFile(0x100000));
    test::FakeClock clock;
    std::unique_ptr<station::Station> line;
    line = std::make_unique<station::Station>(
        std::vector<std::string>{"COM1"}, clock, station::RecordSource{"test", "1", "host", {}},
        [&](const std::string&, std::unique_ptr<SerialLine>* opened) {
            *opened = std::make_unique<test::PlayedLine>(plays, clock, [&] { line->StopPort(0); });
            return Status::Ok();
        });
    EXPECT_TRUE(line->LoadFirmware(firmware).ok());
    EXPECT_TRUE(line->OpenPort(0).ok());
    ScreenPrinter printer(*line, ScreenPrinter::Mode::Lines, sink);
    line->SetObserver(&printer);
    printer.Start();
    station::StationOptions options;
    options.continuous = true;
    EXPECT_EQ(line->StartAll(options), 1u);
    line->WaitAll();
    printer.Stop();
    return line->Snapshot(0).counts;
}

TEST(ScreenPrinter, ALogGetsEveryResultAndTheWaitAfterIt) {
    RecordingSink sink;
    RunShown({Play::Cancels, Play::BulkChecksumError, Play::BlockCompleted}, sink);
    const std::string waiting = StatusLineText({STATUS_WAITING});
    const std::vector<std::string> lines = sink.OutLines();
    std::vector<std::string> results;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != "Receiver Abort" && lines[i] != "Checksum Error" &&
            lines[i] != "Upgrade Completed")
            continue;
        results.push_back(lines[i]);
        ASSERT_LT(i + 1, lines.size()) << "nothing after " << lines[i] << "\n" << sink.out;
        EXPECT_EQ(lines[i + 1], waiting) << "after " << lines[i] << "\n" << sink.out;
    }
    EXPECT_EQ(results,
              (std::vector<std::string>{"Receiver Abort", "Checksum Error", "Upgrade Completed"}));
    EXPECT_EQ(lines.front(), waiting);
}

TEST(ScreenPrinter, AClosedOutputEndsTheDisplayNotTheRun) {
    RecordingSink sink(true);
    EXPECT_EQ(RunShown({Play::BlockCompleted, Play::BlockCompleted}, sink).completed, 2);
    EXPECT_EQ(sink.outCalls, 1) << "nothing more is written to a closed output";
    EXPECT_NE(sink.err.find("the output was closed"), std::string::npos) << sink.err;
    EXPECT_EQ(sink.err.find("the output was closed"), sink.err.rfind("the output was closed"));
}

}  // namespace
}  // namespace qvlink::cli
