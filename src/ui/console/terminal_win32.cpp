#include <io.h>
#include <windows.h>

#include <cstdio>

#include "terminal.h"

namespace qvlink::cli {

bool StdoutIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

TerminalSize StdoutTerminalSize() {
    TerminalSize size;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        const int rows = info.srWindow.Bottom - info.srWindow.Top + 1;
        if (columns > 0) size.columns = static_cast<std::size_t>(columns);
        if (rows > 0) size.rows = static_cast<std::size_t>(rows);
    }
    return size;
}

void EnableCursorMovement() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace qvlink::cli
