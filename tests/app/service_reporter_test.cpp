// What a station tells its service manager, heard on a real AF_UNIX datagram socket: READY with
// the status, the totals at most once a second and only when they change, the watchdog's pings
// only while every port answers, and a manager that cannot be reached said once.
#include "service_reporter.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "firmware_fixtures.h"

namespace qvlink {
namespace {

using namespace std::chrono_literals;
using Clock = ServiceReporter::Clock;

// The manager's end: a datagram socket bound in a scratch folder.
class ManagerSocket {
  public:
    explicit ManagerSocket(const std::filesystem::path& path) : path_(path.string()) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        bound_ = bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~ManagerSocket() { close(fd_); }
    bool Bound() const { return bound_; }
    const std::string& Path() const { return path_; }
    // Every datagram sent so far (a local datagram is queued before its send returns).
    std::vector<std::string> Heard() {
        std::vector<std::string> heard;
        char buffer[4096];
        for (ssize_t got; (got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
            heard.emplace_back(buffer, static_cast<std::size_t>(got));
        return heard;
    }

  private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
};

class ServiceReporterTest : public ::testing::Test {
  protected:
    ServiceReporter Reporter(std::chrono::microseconds watchdog) {
        return ServiceReporter(ServiceManager(socket_.Path(), watchdog),
                               [this](const std::string& text) { said_.push_back(text); });
    }
    test::ScratchDir dir_;
    ManagerSocket socket_{dir_.Path() / "notify"};
    std::vector<std::string> said_;
    const Clock::time_point t0_ = Clock::now();
};

TEST_F(ServiceReporterTest, TheTotalsGoWhenTheyChangeAtMostOnceASecond) {
    ASSERT_TRUE(socket_.Bound());
    ServiceReporter reporter = Reporter(0us);
    reporter.Ready("completed 0", t0_);
    EXPECT_EQ(socket_.Heard(), std::vector<std::string>{"READY=1\nSTATUS=completed 0"});
    EXPECT_EQ(reporter.Tend(t0_ + 2s, "completed 0", {}), std::nullopt) << "nothing changed";
    EXPECT_EQ(reporter.Tend(t0_ + 3s, "completed 1", {}), std::nullopt);
    // Two changes within the second: the later one goes when the second is over.
    EXPECT_EQ(reporter.Tend(t0_ + 3s + 200ms, "completed 2", {}), t0_ + 4s);
    EXPECT_EQ(reporter.Tend(t0_ + 3s + 400ms, "completed 3", {}), t0_ + 4s);
    EXPECT_EQ(reporter.Tend(t0_ + 4s, "completed 3", {}), std::nullopt);
    EXPECT_EQ(socket_.Heard(),
              (std::vector<std::string>{"STATUS=completed 1", "STATUS=completed 3"}));
    reporter.Stopping();
    EXPECT_EQ(socket_.Heard().at(0).rfind("STOPPING=1\n", 0), 0u);
    EXPECT_TRUE(said_.empty());
}

TEST_F(ServiceReporterTest, TheWatchdogIsPingedAtHalfItsTimeOnlyWhileEveryPortAnswers) {
    ASSERT_TRUE(socket_.Bound());
    ServiceReporter reporter = Reporter(10s);
    EXPECT_EQ(reporter.WatchdogLimit(), 10s);
    reporter.Ready("s", t0_);
    EXPECT_EQ(socket_.Heard(), (std::vector<std::string>{"READY=1\nSTATUS=s", "WATCHDOG=1"}));
    EXPECT_EQ(reporter.Tend(t0_ + 4s, "s", {}), t0_ + 5s) << "not due yet";
    EXPECT_EQ(reporter.Tend(t0_ + 5s, "s", {}), t0_ + 10s);
    EXPECT_EQ(socket_.Heard(), std::vector<std::string>{"WATCHDOG=1"});
    // A port thread that hangs holds the pings back, said once, until it answers again.
    EXPECT_EQ(reporter.Tend(t0_ + 10s, "s", {"COM3"}), t0_ + 15s);
    EXPECT_EQ(reporter.Tend(t0_ + 15s, "s", {"COM3"}), t0_ + 20s);
    EXPECT_TRUE(socket_.Heard().empty());
    ASSERT_EQ(said_.size(), 1u);
    EXPECT_NE(said_[0].find("COM3 does not answer"), std::string::npos) << said_[0];
    reporter.Tend(t0_ + 20s, "s", {});
    EXPECT_EQ(socket_.Heard(), std::vector<std::string>{"WATCHDOG=1"});
}

TEST_F(ServiceReporterTest, AManagerThatCannotBeReachedIsSaidOnceAndNothingElseChanges) {
    ServiceReporter reporter(ServiceManager((dir_.Path() / "nobody").string(), 0us),
                             [this](const std::string& text) { said_.push_back(text); });
    reporter.Ready("a", t0_);
    reporter.Tend(t0_ + 2s, "b", {});
    reporter.Stopping();
    ASSERT_EQ(said_.size(), 1u);
    EXPECT_NE(said_[0].find("cannot tell the service manager"), std::string::npos) << said_[0];
    EXPECT_NE(said_[0].find("the station serves on"), std::string::npos) << said_[0];
}

TEST(ServiceManager, TheEnvironmentNamesTheSocketAndAWatchdogMeantForThisProcess) {
    struct Case {
        const char* socket;
        const char* usec;
        std::string pid;
        bool present;
        std::chrono::microseconds watchdog;
    };
    const std::string self = std::to_string(getpid());
    for (const Case& c : std::vector<Case>{{nullptr, "1000", "", false, 0us},
                                           {"@abstract", nullptr, "", true, 0us},
                                           {"/run/notify", "30000000", "", true, 30s},
                                           {"/run/notify", "30000000", self, true, 30s},
                                           {"/run/notify", "30000000", "1", true, 0us},
                                           {"/run/notify", "ten", "", true, 0us}}) {
        c.socket ? setenv("NOTIFY_SOCKET", c.socket, 1) : unsetenv("NOTIFY_SOCKET");
        c.usec ? setenv("WATCHDOG_USEC", c.usec, 1) : unsetenv("WATCHDOG_USEC");
        c.pid.empty() ? unsetenv("WATCHDOG_PID") : setenv("WATCHDOG_PID", c.pid.c_str(), 1);
        const ServiceManager manager = ServiceManager::FromEnvironment();
        EXPECT_EQ(manager.Present(), c.present) << (c.socket ? c.socket : "unset");
        EXPECT_EQ(manager.Watchdog(), c.watchdog) << c.pid;
    }
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");
    unsetenv("WATCHDOG_PID");
}

}  // namespace
}  // namespace qvlink
