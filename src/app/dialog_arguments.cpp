#include "dialog_arguments.h"

#include <cstdio>
#include <string_view>

#include "program_version.h"

namespace qvlink {
namespace {

const char* const DIALOG_USAGE =
    "Usage: qvlink [--help | --version]\n"
    "Opens the operator's dialog for upgrading the firmware of a receiver on a serial port. Pick\n"
    "the port (COM1..COM8), press \"Upgrade Software\", pick the firmware file and plug in the\n"
    "receiver; the dialog follows the transfer and the burn and shows the outcome. \"Continuously\n"
    "Upgrade\" takes one receiver after another. On Linux COM1..COM8 are /dev/ttyS0../dev/ttyS7,\n"
    "or the device named by the environment variable QVLINK_COM<n>. The chosen port is kept in\n"
    "QVLink.cfg in the directory that was current when the program started.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  print the program's name and version\n";

}  // namespace

std::optional<int> AnswerDialogArguments(int argc, char** argv) {
    if (PrintVersionIfAsked(argc, argv, "qvlink")) return 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(DIALOG_USAGE, stdout);
            std::fflush(stdout);
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace qvlink
