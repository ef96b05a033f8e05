#include "cli_options.h"

#include <cstdlib>

#include "firmware_argument.h"

namespace qvlink::cli {

const char* const CLI_USAGE =
    "usage: qvlink-cli --port PORT [--continuous] [--count N] [--trace FILE] FILE.bin\n"
    "Writes the firmware in FILE.bin into a receiver on PORT.\n"
    "\n"
    "  --port PORT    COM1..COM8 (on Linux /dev/ttyS0../dev/ttyS7, or the device named by the\n"
    "                 environment variable QVLINK_COM<n>), or a device path\n"
    "  --continuous   after each receiver, wait for the next one on the same port\n"
    "  --count N      stop after N receivers have finished (a receiver's cancel does not count)\n"
    "  --trace FILE   write a timestamped transcript of every byte sent and received\n"
    "  --help         show this text\n"
    "\n"
    "The file is checked exactly as the dialog checks it. Then the tool waits for the receiver\n"
    "to announce itself, sends the image, and follows the burn; it prints one result line per\n"
    "receiver. After \"Receiver Abort\" (the receiver cancelled) it waits for the receiver to\n"
    "start again, with or without --continuous. Ctrl-C (SIGINT) or SIGTERM stops the run.\n"
    "\n"
    "Exit status: 0 every finished receiver ended \"Upgrade Completed\"; 1 a receiver reported a\n"
    "failure; 2 usage error; 3 the firmware file was refused; 4 the port could not be opened,\n"
    "or it went away during a run (\"Port Lost\"); 130 stopped by the operator.\n";

std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error,
                                          bool& helpAsked) {
    CliOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            helpAsked = true;
            return std::nullopt;
        } else if (arg == "--continuous") {
            options.continuous = true;
        } else if ((arg == "--port" || arg == "--trace") && hasValue) {
            (arg == "--port" ? options.port : options.tracePath) = argv[++i];
        } else if (arg == "--count" && hasValue) {
            char* end = nullptr;
            const long count = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || count < 1 || count > 1'000'000) {
                error = "--count needs a whole number from 1";
                return std::nullopt;
            }
            options.count = static_cast<int>(count);
        } else if (error = tools::TakeFirmwareArgument(arg, options.firmwarePath); !error.empty()) {
            return std::nullopt;
        }
    }
    if (options.port.empty() || options.firmwarePath.empty()) {
        error = "--port and a firmware file are needed";
        return std::nullopt;
    }
    return options;
}

}  // namespace qvlink::cli
