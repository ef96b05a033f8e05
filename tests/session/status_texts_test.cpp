#include "status_texts.h"

#include <gtest/gtest.h>

namespace qvlink {
namespace {

struct StatusCase {
    StatusReport report;
    const char* line;
    const char* title;
};

class StatusTexts : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusTexts, LineAndTitle) {
    EXPECT_EQ(StatusLineText(GetParam().report), GetParam().line);
    EXPECT_EQ(StatusTitle(GetParam().report), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusTexts,
    ::testing::Values(
        StatusCase{{STATUS_READY, 0, -1, -1}, "ready", "Quorvane Link 1.1  2006-FEB-9"},
        StatusCase{{STATUS_WAITING, 0, -1, -1}, "waiting for connection .....", "Waiting..."},
        StatusCase{{STATUS_TRANSFER, 42, -1, -1},
                   "[step 1/2] transfering data ... % 42",
                   "[step 1/2]  %42"},
        StatusCase{{STATUS_TRANSFER, 39, 100, 257},
                   "[step 1/2] transfering data ... % 39 -- 100/257",
                   "[step 1/2]  %39"},
        StatusCase{
            {STATUS_TRANSFER, 7, 3, -1}, "[step 1/2] transfering data ... % 7", "[step 1/2]  %7"},
        StatusCase{
            {STATUS_TRANSFER, 7, -1, 257}, "[step 1/2] transfering data ... % 7", "[step 1/2]  %7"},
        StatusCase{{STATUS_TRANSFER, 100, 257, 257},
                   "[step 1/2] transfering data ... % 100 -- 257/257",
                   "[step 1/2]  %100"},
        StatusCase{
            {STATUS_BURN, 100, -1, -1}, "[step 2/2] burning data ... % 100", "[step 2/2]  %100"},
        StatusCase{{4, 50, -1, -1}, "", ""}, StatusCase{{-1, 50, -1, -1}, "", ""}));

TEST(ElapsedText, MinutesAndSecondsWithoutAnHourField) {
    const std::pair<int, const char*> cases[] = {
        {0, "00 : 00"}, {7, "00 : 07"}, {61, "01 : 01"}, {3725, "62 : 05"}, {6000, "100 : 00"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(ElapsedText(seconds), text) << seconds;
}

struct ResultCase {
    int code;
    const char* text;
    const char* continuousText;
};

class ResultTexts : public ::testing::TestWithParam<ResultCase> {};

TEST_P(ResultTexts, TextForEachCode) {
    EXPECT_EQ(ResultText(static_cast<UpgradeResult>(GetParam().code), false), GetParam().text);
    EXPECT_EQ(ResultText(static_cast<UpgradeResult>(GetParam().code), true),
              GetParam().continuousText);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResultTexts,
    ::testing::Values(ResultCase{0, "Upgrade Completed", "Upgrade Completed"},
                      ResultCase{1000, "Upgrade Completed", "Upgrade Completed"},
                      ResultCase{3, "Checksum Error", "Checksum Error"},
                      ResultCase{4, "Allow Memory Error", "Allow Memory Error"},
                      ResultCase{5, "SDram Error", "SDram Error"},
                      ResultCase{254, "Burning Error", "Burning Error"},
                      ResultCase{1005, "Burning Error", "Burning Error"},
                      ResultCase{255, "Unknow Error", "Unknow Error"},
                      ResultCase{1001, "TimeOut", "TimeOut"},
                      ResultCase{1002, "", "Receiver Abort"},
                      ResultCase{1004, "Transfering Error", "Transfering Error"},
                      ResultCase{1006, "Upgrade Error", "Upgrade Error"},
                      ResultCase{1007, "Port Lost", "Port Lost"}, ResultCase{253, "", ""},
                      ResultCase{1003, "", ""}, ResultCase{-1, "", ""}, ResultCase{2000, "", ""}));

}  // namespace
}  // namespace qvlink
