// What a Windows service tells its control manager, from the states a station tells any manager:
// one run's sequence of states against the reports the manager must see, and the exit statuses.
#include "scm_status.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qvlink {
namespace {

struct Step {
    std::string told;
    std::optional<ScmReport> expected;  // nullopt: the manager hears nothing
};

ScmReport Pending(ScmState state, std::uint32_t checkpoint, std::uint32_t hintMs) {
    ScmReport report;
    report.state = state;
    report.checkpoint = checkpoint;
    report.waitHintMs = hintMs;
    return report;
}

ScmReport RunningReport() {
    ScmReport report;
    report.state = ScmState::Running;
    report.acceptsControls = true;
    return report;
}

void ExpectSame(const ScmReport& got, const ScmReport& expected, const std::string& told) {
    EXPECT_EQ(got.state, expected.state) << told;
    EXPECT_EQ(got.acceptsControls, expected.acceptsControls) << told;
    EXPECT_EQ(got.checkpoint, expected.checkpoint) << told;
    EXPECT_EQ(got.waitHintMs, expected.waitHintMs) << told;
    EXPECT_EQ(got.win32ExitCode, expected.win32ExitCode) << told;
    EXPECT_EQ(got.serviceExitCode, expected.serviceExitCode) << told;
}

TEST(ScmStatus, ARunFromStartToStop) {
    // As the headless station tells it: ready with its totals, totals and pings while it serves,
    // the stop, and the database's drain after the ports have stopped.
    const std::vector<Step> steps = {
        {"EXTEND_TIMEOUT_USEC=45000000", Pending(ScmState::StartPending, 2, 45000)},
        {"READY=1\nSTATUS=2 of 2 ports serving; completed 0", RunningReport()},
        {"STATUS=2 of 2 ports serving; completed 3", std::nullopt},
        {"WATCHDOG=1", std::nullopt},
        {"EXTEND_TIMEOUT_USEC=1000000", std::nullopt},  // nothing is pending while running
        {"READY=1", std::nullopt},                      // running already
        {"STOPPING=1\nSTATUS=stopping: every port stops",
         Pending(ScmState::StopPending, 1, SCM_DEFAULT_WAIT_HINT_MS)},
        {"READY=1", std::nullopt},  // a stop is not undone
        {"EXTEND_TIMEOUT_USEC=15000000\nSTATUS=stopping: sending what is left to the database",
         Pending(ScmState::StopPending, 2, 15000)},
        {"EXTEND_TIMEOUT_USEC=many", std::nullopt},
        {"STOPPING=1\nEXTEND_TIMEOUT_USEC=9000", Pending(ScmState::StopPending, 3, 9)},
    };
    ScmProgress progress;
    ExpectSame(progress.Starting(), Pending(ScmState::StartPending, 1, SCM_DEFAULT_WAIT_HINT_MS),
               "the start");
    for (const Step& step : steps) {
        const std::optional<ScmReport> got = progress.Take(step.told);
        ASSERT_EQ(got.has_value(), step.expected.has_value()) << step.told;
        if (got) ExpectSame(*got, *step.expected, step.told);
    }
}

TEST(ScmStatus, AStopBeforeReadyIsPendingAtOnce) {
    ScmProgress progress;
    (void)progress.Starting();
    const std::optional<ScmReport> got = progress.Take("STOPPING=1");
    ASSERT_TRUE(got.has_value());
    ExpectSame(*got, Pending(ScmState::StopPending, 1, SCM_DEFAULT_WAIT_HINT_MS), "STOPPING=1");
}

TEST(ScmStatus, TheExitStatusIsTheServicesOwnError) {
    // 0 a clean stop; 2 settings that cannot serve, which recovery must not take for a crash.
    const struct {
        int exitStatus;
        std::uint32_t win32ExitCode;
        std::uint32_t serviceExitCode;
    } cases[] = {{0, 0, 0}, {2, SCM_SERVICE_SPECIFIC_ERROR, 2}, {1, SCM_SERVICE_SPECIFIC_ERROR, 1}};
    for (const auto& c : cases) {
        const ScmReport report = ScmProgress::Stopped(c.exitStatus);
        EXPECT_EQ(report.state, ScmState::Stopped);
        EXPECT_FALSE(report.acceptsControls);
        EXPECT_EQ(report.win32ExitCode, c.win32ExitCode) << c.exitStatus;
        EXPECT_EQ(report.serviceExitCode, c.serviceExitCode) << c.exitStatus;
    }
}

}  // namespace
}  // namespace qvlink
