// qvlink-cli's summary only words what the station decides: each result's counts and causes,
// each port's trouble, and the totals.
#include "run_end.h"

#include <gtest/gtest.h>

#include "outcome_table.h"

namespace qvlink::cli {
namespace {

using station::PortEnd;
using station::PortSummary;

TEST(Summary, EachResultReadsAsTheStationSays) {
    for (const test::OutcomeRow& row : test::OutcomeTable()) {
        const station::PortCounts counts = test::PortAfter(row).counts;
        station::StationTotals totals;
        totals.SetCounts(counts);
        const std::string text =
            SummaryText({PortSummary{"COM3", "COM3", counts, PortEnd::Finished, ""}}, totals);
        EXPECT_EQ(text, "summary\n  COM3   " + std::string(row.countsWithCauses) +
                            "\n  total  " + row.countsWithCauses + "\n");
    }
}

TEST(Summary, APortsTroubleFollowsItsCountsAndItsUnrecordedReceiverIsNamed) {
    station::PortCounts one;
    one.Add(station::Counted::Completed, BULK_COMPLETED);
    const std::vector<PortSummary> ports = {
        {"COM1", "COM1", one, PortEnd::OutOfService, ""},
        {"COM2", "COM2", {}, PortEnd::NotOpened, ""},
        {"COM10", "COM10", one, PortEnd::RecordLost,
         "receiver 2 completed, its record line could not be written"},
        {"COM4", "COM4", one, PortEnd::Stopped, ""},
    };
    station::StationTotals totals;
    totals.SetCounts([&] {
        station::PortCounts total;
        for (const PortSummary& port : ports) total.AddUp(port.counts);
        return total;
    }());
    totals.AddCompletedSeconds({20, 30, 40});
    totals.SetServingSeconds(3600);
    EXPECT_EQ(SummaryText(ports, totals),
              "summary\n"
              "  COM1   completed 1  failed 0   out of service\n"
              "  COM2   not opened\n"
              "  COM10  completed 1  failed 0   record line lost\n"
              "  COM4   completed 1  failed 0\n"
              "  total  completed 3  failed 0   3.0 per hour   mean 30 s   95 % within 40 s\n"
              "  COM10 receiver 2 completed, its record line could not be written\n");
}

}  // namespace
}  // namespace qvlink::cli
