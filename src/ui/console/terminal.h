// What the display needs of the terminal on stdout: its size, so that no line wraps and the
// board never has more rows than the screen, and the escape sequences that move the cursor back
// over the lines already drawn.
#pragma once

#include <cstddef>

namespace qvlink::cli {

struct TerminalSize {
    std::size_t columns = 80;
    std::size_t rows = 24;
};

// Whether stdout is a terminal (else a file or a pipe: no cursor movement there).
bool StdoutIsTerminal();

// The terminal on stdout; 80 columns and 24 rows where it does not say.
TerminalSize StdoutTerminalSize();

// Makes the terminal on stdout act on cursor-movement escape sequences (Windows consoles need
// to be asked; POSIX terminals always do).
void EnableCursorMovement();

}  // namespace qvlink::cli
