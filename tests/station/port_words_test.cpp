// The station's words for outcomes, checked against the one table every front end's test uses;
// how a port's state moves on each event; the totals' figures.
#include <gtest/gtest.h>

#include "outcome_table.h"
#include "port_state.h"
#include "station_totals.h"

namespace qvlink::station {
namespace {

TEST(OutcomeWords, EachResultCountsTonesAndReadsAsTheTableSays) {
    for (const test::OutcomeRow& row : test::OutcomeTable()) {
        SCOPED_TRACE(row.word);
        EXPECT_EQ(CountedAs(row.result), row.counted);
        EXPECT_EQ(ToneOf(row.result), row.tone);
        const PortSnapshot port = test::PortAfter(row);
        EXPECT_EQ(WordOf(port), (PortWord{row.word, row.tone}));
        EXPECT_EQ(CountsText(port.counts, false), row.counts);
        EXPECT_EQ(CountsText(port.counts, true), row.countsWithCauses);
    }
}

TEST(OutcomeWords, HowAPortEndedOutranksItsLastReceiver) {
    struct Case {
        PortActivity activity;
        PortEnd end;
        PortWord word;
        const char* trouble;
    };
    const Case cases[] = {
        {PortActivity::Closed, PortEnd::NotOpened, {"Cannot open", Tone::Lost}, "not opened"},
        {PortActivity::Ended,
         PortEnd::OutOfService,
         {"Out of service", Tone::Lost},
         "out of service"},
        {PortActivity::Ended, PortEnd::LineLost, {"Port Lost", Tone::Lost}, "port lost"},
        {PortActivity::Ended, PortEnd::RecordLost, {"Stopped", Tone::Lost}, "record line lost"},
        {PortActivity::Ended, PortEnd::StartFailed, {"Stopped", Tone::Lost}, "could not start"},
        // The operator's stop and a port that served what it was asked: the last receiver.
        {PortActivity::Ended, PortEnd::Stopped, {"Checksum Error", Tone::Failed}, ""},
        {PortActivity::Ended, PortEnd::Finished, {"Checksum Error", Tone::Failed}, ""},
    };
    for (const Case& c : cases) {
        PortSnapshot port = test::PortAfter(test::OutcomeTable()[1]);
        port.activity = c.activity;
        port.end = c.end;
        EXPECT_EQ(WordOf(port), c.word) << c.word.text;
        EXPECT_EQ(TroubleText(c.end), c.trouble);
    }
    PortSnapshot waiting;
    waiting.activity = PortActivity::Running;
    EXPECT_EQ(WordOf(waiting), (PortWord{"Waiting", Tone::Waiting}));
    waiting.elapsedSeconds = 3;
    EXPECT_EQ(WordOf(waiting), (PortWord{"Upgrading", Tone::Waiting}));
}

TEST(PortState, ATakenResultCallsForTheMostSeriousEndFirst) {
    struct Case {
        const char* name;
        std::vector<Counted> before;
        port_event::Taken taken;
        PortEnd calledFor;
    };
    const port_event::Taken failed{Counted::Failed, DEVICE_CHECKSUM_ERROR, 0, "", 2, 0};
    port_event::Taken unrecorded = failed;
    unrecorded.unrecorded = "receiver 2 failed (Checksum Error), its record line ...";
    const port_event::Taken lastWanted{Counted::Completed, BULK_COMPLETED, 30, "", 2, 2};
    const port_event::Taken cancel{Counted::ReceiverAbort, RECEIVER_ABORT, 0, "", 0, 1};
    const Case cases[] = {
        {"first failure", {}, failed, PortEnd::None},
        {"second in a row", {Counted::Failed}, failed, PortEnd::OutOfService},
        {"a completed one between", {Counted::Failed, Counted::Completed}, failed, PortEnd::None},
        {"record lost outranks", {Counted::Failed}, unrecorded, PortEnd::RecordLost},
        {"the wanted number", {Counted::Failed}, lastWanted, PortEnd::Finished},
        {"a cancel is no finish", {}, cancel, PortEnd::None},
    };
    for (const Case& c : cases) {
        PortState state;
        Advance(state, port_event::Started{});
        for (Counted counted : c.before)
            Advance(state, port_event::Taken{counted, DEVICE_CHECKSUM_ERROR, 0, "", 0, 0});
        EXPECT_EQ(Advance(state, c.taken), c.calledFor) << c.name;
    }
}

TEST(PortState, StartingAgainGivesANewRunOfChancesAndKeepsTheCounts) {
    PortState state;
    Advance(state, port_event::Opened{Status::Error(StatusKind::NotFound, "open /dev/x error!")});
    EXPECT_EQ(state.snapshot.end, PortEnd::NotOpened);
    Advance(state, port_event::Started{});
    Advance(state, port_event::Taken{Counted::Completed, BULK_COMPLETED, 42, "", 2, 0});
    Advance(state, port_event::Taken{Counted::Failed, TIME_OUT, 0, "", 2, 0});
    Advance(state, port_event::NextReceiver{});
    Advance(state, port_event::Ended{PortEnd::Stopped});
    EXPECT_EQ(state.snapshot.activity, PortActivity::Ended);
    EXPECT_EQ(state.snapshot.receiver, 2);
    Advance(state, port_event::Started{});
    EXPECT_EQ(state.snapshot.end, PortEnd::None);
    EXPECT_EQ(state.snapshot.receiver, 1);
    EXPECT_EQ(state.snapshot.counts.consecutiveFailures, 0);
    EXPECT_EQ(state.snapshot.counts.Recorded(), 2);
}

TEST(StationTotals, ThePercentileIsTheNearestRank) {
    struct Case {
        std::vector<double> seconds;
        double mean, p95;
    };
    const std::vector<Case> cases = {
        {{}, 0, 0},
        {{42}, 42, 42},
        {{30, 10, 20}, 20, 30},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, 10.5, 19},
    };
    for (const Case& c : cases) {
        StationTotals totals;
        totals.AddCompletedSeconds(c.seconds);
        EXPECT_DOUBLE_EQ(totals.MeanSeconds(), c.mean);
        EXPECT_DOUBLE_EQ(totals.P95Seconds(), c.p95);
    }
    EXPECT_EQ(StationTotals::DurationText(65.4), "1 min 05 s");
}

TEST(StationTotals, TheLineSaysWhatTheHeaderSays) {
    StationTotals totals;
    PortCounts counts;
    counts.Add(Counted::Completed, BULK_COMPLETED);
    counts.Add(Counted::ReceiverAbort, RECEIVER_ABORT);
    totals.SetCounts(counts);
    totals.AddCompletedSeconds({65});
    EXPECT_EQ(totals.Line(), "completed 1  failed 1   mean 1 min 05 s   95 % within 1 min 05 s");
    totals.SetServingSeconds(1800);
    EXPECT_EQ(totals.Text(), (TotalsText{"1", "1", "2.0 per hour", "1 min 05 s", "1 min 05 s"}));
    EXPECT_EQ(totals.Line(),
              "completed 1  failed 1   2.0 per hour   mean 1 min 05 s   95 % within 1 min 05 s");
}

}  // namespace
}  // namespace qvlink::station
