#include "status_texts.h"

#include <cstdio>

namespace qvlink {
namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

std::string StatusLineText(const StatusReport& report) {
    switch (report.kind) {
        case STATUS_READY:
            return "ready";
        case STATUS_WAITING:
            return WAITING_TEXT;
        case STATUS_TRANSFER:
            if (report.count != -1 && report.total != -1)
                return Format("[step 1/2] transfering data ... %% %d -- %d/%d", report.percentage,
                              report.count, report.total);
            return Format("[step 1/2] transfering data ... %% %d", report.percentage);
        case STATUS_BURN:
            return Format("[step 2/2] burning data ... %% %d", report.percentage);
        default:
            return {};
    }
}

std::string StatusTitle(const StatusReport& report) {
    switch (report.kind) {
        case STATUS_READY:
            return ReadyTitle();
        case STATUS_WAITING:
            return WAITING_TITLE;
        case STATUS_TRANSFER:
            return Format("[step 1/2]  %%%d", report.percentage);
        case STATUS_BURN:
            return Format("[step 2/2]  %%%d", report.percentage);
        default:
            return {};
    }
}

std::string ReadyTitle() {
    return Format("%s  %s", PRODUCT_TITLE, BUILD_DATE);
}

std::string ElapsedText(int seconds) {
    return Format("%02d : %02d", seconds / 60, seconds % 60);
}

std::string ResultText(UpgradeResult result, bool continuousMode) {
    switch (result) {
        case BULK_COMPLETED:
        case BLOCK_COMPLETED:
            return "Upgrade Completed";
        case DEVICE_CHECKSUM_ERROR:
            return "Checksum Error";
        case DEVICE_MEMORY_ERROR:
            return "Allow Memory Error";
        case DEVICE_SDRAM_ERROR:
            return "SDram Error";
        case BULK_BURN_ERROR:
        case BLOCK_BURN_ERROR:
            return "Burning Error";
        case UNKNOWN_ERROR:
            return "Unknow Error";
        case TIME_OUT:
            return "TimeOut";
        case RECEIVER_ABORT:
            return continuousMode ? "Receiver Abort" : "";
        case TRANSFER_ERROR:
            return "Transfering Error";
        case UPGRADE_ERROR:
            return "Upgrade Error";
        case PORT_LOST:
            return "Port Lost";
        default:
            return {};
    }
}

}  // namespace qvlink
