// The texts with which the operator follows a run, shared by every front end: the window title
// and status line for each kind of status report, the elapsed time since contact, and the
// message for each result.
#pragma once

#include <string>

#include "upgrade_types.h"

namespace qvlink {

inline constexpr const char* PRODUCT_TITLE = "Quorvane Link 1.1";
inline constexpr const char* BUILD_DATE = "2006-FEB-9";
inline constexpr const char* WAITING_TITLE = "Waiting...";
inline constexpr const char* WAITING_TEXT = "waiting for connection .....";

// The status line for a report; empty for an unknown kind.
std::string StatusLineText(const StatusReport& report);

// The window title for a transfer or burn report ("[step 1/2]  %42"); READY and WAITING have
// fixed titles (ReadyTitle, WAITING_TITLE); empty for an unknown kind.
std::string StatusTitle(const StatusReport& report);
std::string ReadyTitle();

// "mm : ss" with no hour field, so 3725 s is "62 : 05" and 6000 s "100 : 00".
std::string ElapsedText(int seconds);

// The operator's message for a run's result; empty where nothing is to be said.
std::string ResultText(UpgradeResult result, bool continuousMode);

}  // namespace qvlink
