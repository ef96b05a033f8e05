#include <sys/ioctl.h>
#include <unistd.h>

#include "terminal.h"

namespace qvlink::cli {

std::size_t TerminalWidth() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

void EnableCursorMovement() {}

}  // namespace qvlink::cli
