// The dialog's command line, the same for the Qt and the Win32 window: the dialog itself takes
// no arguments, but answers --help and --version on stdout before any window or display is
// needed. Anything else on the command line is left to the toolkit (Qt's -platform, ...).
#pragma once

#include <optional>

namespace qvlink {

// The status to end the program with when the arguments asked for the help or the version
// (which are printed by then); nullopt when the dialog should open.
std::optional<int> AnswerDialogArguments(int argc, char** argv);

}  // namespace qvlink
