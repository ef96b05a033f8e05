// What the several-port display needs of the terminal on stdout: its width, so that no line
// wraps, and the escape sequences that move the cursor back over the lines already drawn.
#pragma once

#include <cstddef>

namespace qvlink::cli {

// Columns of the terminal on stdout; 80 when it does not say.
std::size_t TerminalWidth();

// Makes the terminal on stdout act on cursor-movement escape sequences (Windows consoles need
// to be asked; POSIX terminals always do).
void EnableCursorMovement();

}  // namespace qvlink::cli
