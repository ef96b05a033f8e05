// The Qt station window on the offscreen platform, wired to its panel, against four virtual
// receivers: F5 starts every port, the tiles end as the ports did, F6 stops a paced transfer
// and closing waits for the ports.
#include "qt_station_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "firmware_fixtures.h"
#include "qt_station_tile.h"
#include "sim_process.h"
#include "station_panel.h"

namespace qvlink {
namespace {

class QtStationWindowTest : public ::testing::Test {
  protected:
    QtStationWindowTest() : panel_(window_, clock_, {"qt-station-test", "9.9", "bench", {}}) {
        firmware_ = dir_.Write("quorvane.bin", test::PatternFirmwareFile(0x100000)).string();
        window_.Attach(&panel_);
        window_.show();
    }
    // Four receivers' ports, each serving with `options`; the panel opened on them.
    void OpenOnReceivers(const std::vector<std::string>& options) {
        StationSetup setup;
        for (int i = 0; i < 4; ++i) {
            std::vector<std::string> arguments = options;
            arguments.push_back(firmware_);
            sims_.push_back(std::make_unique<test::SimProcess>(arguments));
            setup.ports.push_back(sims_.back()->DevicePath());
        }
        setup.firmwarePath = firmware_;
        setup.recordPath = (dir_.Path() / "record.jsonl").string();
        panel_.Open(setup);
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));  // F5 and F6 are the window's keys
    }
    const std::vector<QtStationTile*>& Tiles() { return window_.Tiles(); }
    std::size_t RecordLines() {
        std::ifstream file(dir_.Path() / "record.jsonl");
        std::size_t lines = 0;
        for (std::string line; std::getline(file, line);) ++lines;
        return lines;
    }

    test::ScratchDir dir_;
    std::string firmware_;
    station::SystemClock clock_;
    std::vector<std::unique_ptr<test::SimProcess>> sims_;
    QtStationWindow window_;
    StationPanel panel_;
};

TEST_F(QtStationWindowTest, F5UpgradesTwoReceiversOnEachOfFourPorts) {
    OpenOnReceivers({"--devices", "2"});
    ASSERT_EQ(Tiles().size(), 4u);
    QTest::keyClick(&window_, Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return RecordLines() == 8; }, 60000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QtStationTile* tile : Tiles())
                if (tile->Shown().counts != "completed 2  failed 0") return false;
            return true;
        },
        10000));
    for (QtStationTile* tile : Tiles()) {
        EXPECT_EQ(tile->Shown().result, "Upgrade Completed");
        EXPECT_EQ(tile->Shown().tone, Tone::Completed);
    }
    EXPECT_EQ(window_.findChild<QPushButton*>("startAll")->isEnabled(), false);
    window_.close();  // stops the ports, which wait for a third receiver, then closes
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.isVisible(); }, 10000));
    for (auto& sim : sims_) EXPECT_EQ(sim->Wait(), 0) << sim->AllVerdicts();
}

TEST_F(QtStationWindowTest, F6StopsEveryPortInTheMiddleOfATransfer) {
    OpenOnReceivers({"--baud", "115200", "--timeout", "60"});
    QTest::keyClick(&window_, Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QtStationTile* tile : Tiles())
                if (tile->Shown().percent < 3) return false;
            return true;
        },
        60000));
    QTest::keyClick(&window_, Qt::Key_F6);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QtStationTile* tile : Tiles())
                if (tile->Shown().phase != "stopped") return false;
            return true;
        },
        5000));
    for (auto& sim : sims_) {
        sim->Wait();
        EXPECT_NE(sim->AllVerdicts().find("cancelled (CAN CAN)"), std::string::npos)
            << sim->AllVerdicts();
    }
    EXPECT_EQ(RecordLines(), 4u) << "each stopped receiver has its line";
    EXPECT_TRUE(window_.findChild<QPushButton*>("startAll")->isEnabled());
}

}  // namespace
}  // namespace qvlink

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
