#include <sys/ioctl.h>
#include <unistd.h>

#include "terminal.h"

namespace qvlink::cli {

bool StdoutIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

TerminalSize StdoutTerminalSize() {
    TerminalSize size;
    winsize window{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &window) == 0) {
        if (window.ws_col > 0) size.columns = window.ws_col;
        if (window.ws_row > 0) size.rows = window.ws_row;
    }
    return size;
}

void EnableCursorMovement() {}

}  // namespace qvlink::cli
