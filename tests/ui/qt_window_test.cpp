// The real Qt window on the offscreen platform: its layout, its keys and boxes, and upgrades
// against qvlink-sim driven by clicks, with the chooser and the boxes injected.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "firmware_fixtures.h"
#include "qt_dialog_window.h"
#include "sim_process.h"
#include "upgrade_dialog.h"

namespace qvlink {
namespace {

struct ShownBox {
    BoxKind kind;
    QString text;
};

class QtWindowTest : public ::testing::Test {
  protected:
    QtWindowTest()
        : dialog_(selectedPort_),
          window_(
              dialog_,
              [this](BoxKind kind, const QString& text, const QString&) {
                  boxes_.push_back({kind, text});
              },
              [this]() -> std::optional<QString> { return chosen_; }) {
        firmware_ = QString::fromStdString(
            dir_.Write("quorvane.bin", test::PatternFirmwareFile(0x100000)).string());
        chosen_ = firmware_;
        setenv("QVLINK_COM1", "/dev/qvlink-no-such-device", 1);
        window_.show();
    }
    ~QtWindowTest() override {
        if (window_.isVisible() && dialog_.Running()) {
            window_.StartStopButton()->click();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog_.Running(); }, 10000));
        }
        unsetenv("QVLINK_COM1");
    }

    std::unique_ptr<test::SimProcess> StartReceiver(std::vector<std::string> options) {
        options.push_back(firmware_.toStdString());
        auto sim = std::make_unique<test::SimProcess>(options);
        setenv("QVLINK_COM1", sim->DevicePath().c_str(), 1);
        return sim;
    }

    test::ScratchDir dir_;
    QString firmware_;
    std::optional<QString> chosen_;
    std::vector<ShownBox> boxes_;
    int selectedPort_ = 0;
    UpgradeDialog dialog_;
    QtDialogWindow window_;
};

TEST_F(QtWindowTest, ShowsTheTemplatesControlsReadyWithTheStoredPort) {
    EXPECT_EQ(window_.windowTitle(), "Quorvane Link 1.1  2006-FEB-9");
    EXPECT_EQ(window_.StatusLine()->text(), "ready");
    EXPECT_EQ(window_.StartStopButton()->text(), "Upgrade Software");
    EXPECT_EQ(window_.ExitButton()->text(), "Exit");
    EXPECT_EQ(window_.ContinuousCheck()->text(), "Continuously Upgrade");
    EXPECT_FALSE(window_.ContinuousCheck()->isChecked());
    EXPECT_FALSE(window_.ResultLine()->isVisible());
    EXPECT_TRUE(window_.PortRadio(0)->isChecked());
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(window_.PortRadio(i)->text(), QString("COM%1").arg(i + 1));
        EXPECT_FALSE(window_.PortRadio(i)->toolTip().isEmpty());
    }
    EXPECT_EQ(window_.PortRadio(0)->toolTip(), "/dev/qvlink-no-such-device")
        << "names the device COM1 maps to";
    EXPECT_EQ(window_.minimumSize(), window_.maximumSize()) << "not resizable";
    // Dialog units: the bar is 295 wide and the window 367, the buttons sit side by side.
    EXPECT_NEAR(window_.ProgressBar()->width() * 367.0 / window_.width(), 295.0, 2.0);
    EXPECT_LT(window_.StartStopButton()->x(), window_.ExitButton()->x());
    EXPECT_EQ(window_.StartStopButton()->y(), window_.ExitButton()->y());
}

TEST_F(QtWindowTest, TabOrderFollowsTheTemplate) {
    QApplication::setActiveWindow(&window_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    window_.StartStopButton()->setFocus();
    std::vector<QWidget*> visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, (std::vector<QWidget*>{window_.ExitButton(), window_.PortRadio(0),
                                              window_.ProgressBar(), window_.ContinuousCheck()}));
}

TEST_F(QtWindowTest, EnterOutsideTheButtonsDoesNothingAndEscapeExits) {
    window_.PortRadio(3)->setFocus();
    QTest::keyClick(&window_, Qt::Key_Return);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_TRUE(boxes_.empty());
    QTest::keyClick(&window_, Qt::Key_Escape);
    EXPECT_FALSE(window_.isVisible());
}

TEST_F(QtWindowTest, RadioButtonsWriteTheSelectedPort) {
    QTest::mouseClick(window_.PortRadio(6), Qt::LeftButton);
    EXPECT_EQ(selectedPort_, 6);
}

TEST_F(QtWindowTest, RefusedFileShowsItsMessageInItsBox) {
    auto broken = test::PatternFirmwareFile(0x100000);
    broken[500] ^= 1;
    chosen_ = QString::fromStdString(dir_.Write("broken.bin", broken).string());
    window_.StartStopButton()->click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, BoxKind::Dialog);
    EXPECT_EQ(boxes_[0].text, "File Data Error [4]");
    EXPECT_EQ(window_.StartStopButton()->text(), "Upgrade Software");
}

TEST_F(QtWindowTest, UpgradeEndsUpgradeCompletedInTheApplicationsBox) {
    auto sim = StartReceiver({"--protocol", "block-crc"});
    window_.StartStopButton()->click();
    EXPECT_EQ(window_.StartStopButton()->text(), "Stop");
    EXPECT_FALSE(window_.PortRadio(0)->isEnabled());
    EXPECT_FALSE(window_.ContinuousCheck()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes_.empty(); }, 30000));
    EXPECT_EQ(boxes_[0].kind, BoxKind::Application);
    EXPECT_EQ(boxes_[0].text, "Upgrade Completed");
    EXPECT_EQ(window_.StartStopButton()->text(), "Upgrade Software");
    EXPECT_TRUE(window_.PortRadio(0)->isEnabled());
    EXPECT_EQ(window_.StatusLine()->text(), "ready");
    EXPECT_EQ(sim->Wait(), 0) << sim->AllVerdicts();
}

TEST_F(QtWindowTest, StopMidTransferGoesIdleWithoutAMessage) {
    auto sim = StartReceiver({"--protocol", "bulk", "--stall-at", "100"});
    window_.StartStopButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.ProgressBar()->value() >= 30; }, 30000));
    EXPECT_TRUE(window_.StatusLine()->text().startsWith("[step 1/2] transfering data ... % "));
    window_.StartStopButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog_.Running(); }, 10000));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(window_.StartStopButton()->text(), "Upgrade Software");
    EXPECT_EQ(sim->Wait(), 1);
}

TEST_F(QtWindowTest, ContinuousModeShowsTheResultLineAndWaitsForTheNextReceiver) {
    QTest::mouseClick(window_.ContinuousCheck(), Qt::LeftButton);
    EXPECT_TRUE(window_.ResultLine()->isVisible());
    auto sim = StartReceiver({"--protocol", "bulk", "--devices", "2"});
    window_.StartStopButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.ResultLine()->text() == "Upgrade Completed"; },
                                30000));
    EXPECT_EQ(window_.StartStopButton()->text(), "Stop");
    // The event loop may take the second receiver's contact and result in one go, so the empty
    // line between them need not be seen here (the dialog's own test follows it call by call):
    // wait for the second result itself.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dialog_.Session().RunsFinished() == 2; }, 30000));
    EXPECT_EQ(window_.ResultLine()->text(), "Upgrade Completed");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.windowTitle() == "Waiting..."; }, 10000));
    EXPECT_TRUE(boxes_.empty());
    window_.StartStopButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog_.Running(); }, 10000));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(sim->Wait(), 0) << sim->AllVerdicts();
}

TEST_F(QtWindowTest, ExitDuringARunStopsItAndClosesWithoutAResult) {
    auto sim = StartReceiver({"--protocol", "silent"});
    window_.StartStopButton()->click();
    ASSERT_TRUE(dialog_.Running());
    window_.ExitButton()->click();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(dialog_.Session().Flags().workerIdle.load(), 1);
    QTest::qWait(50);
    EXPECT_TRUE(boxes_.empty());
}

// Pictures of the window for the README: QVLINK_SCREENSHOT_DIR names where they go.
TEST_F(QtWindowTest, RendersTheReadyAndTransferStatesToPictures) {
    const char* where = std::getenv("QVLINK_SCREENSHOT_DIR");
    const std::filesystem::path directory = where != nullptr ? where : dir_.Path().string();
    ASSERT_TRUE(
        window_.grab().save(QString::fromStdString((directory / "dialog-ready.png").string())));
    auto sim = StartReceiver({"--protocol", "bulk", "--stall-at", "110"});
    window_.StartStopButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.ElapsedLabel()->text().isEmpty(); }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.ProgressBar()->value() >= 42; }, 30000));
    const auto transfer = directory / "dialog-transfer.png";
    ASSERT_TRUE(window_.grab().save(QString::fromStdString(transfer.string())));
    EXPECT_GT(std::filesystem::file_size(transfer), 1000u);
}

TEST(QtBoxes, EachKindHasItsCaptionAndIcon) {
    QWidget owner;
    const auto dialogBox = MakeMessageBox(BoxKind::Dialog, "open port3 error!", {}, &owner);
    EXPECT_EQ(dialogBox->windowTitle(), "Quorvane Link 1.1");
    EXPECT_EQ(dialogBox->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(dialogBox->parentWidget(), &owner);
    const auto appBox = MakeMessageBox(BoxKind::Application, "Upgrade Completed", {}, &owner);
    EXPECT_EQ(appBox->windowTitle(), QCoreApplication::applicationName());
    EXPECT_EQ(appBox->icon(), QMessageBox::Warning);
    const auto plainBox =
        MakeMessageBox(BoxKind::Plain, QString::fromUtf8("save data error！"), "error", &owner);
    EXPECT_EQ(plainBox->windowTitle(), "error");
    EXPECT_EQ(plainBox->parentWidget(), nullptr);
    EXPECT_EQ(plainBox->text(), QString::fromUtf8("save data error\xEF\xBC\x81"));
}

TEST(QtChooser, OffersTheFirmwareNameFilterAndTitle) {
    const auto chooser = MakeFirmwareChooser(nullptr);
    EXPECT_EQ(chooser->windowTitle(), "open quorvane upgrade file(*.bin)");
    EXPECT_EQ(chooser->nameFilters(), QStringList{"quorvane upgrade file(*.bin)"});
    EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(chooser->acceptMode(), QFileDialog::AcceptOpen);
}

}  // namespace
}  // namespace qvlink

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    application.setApplicationName("qvlink");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
