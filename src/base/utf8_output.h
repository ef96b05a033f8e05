// Writing the program's UTF-8 text to stdout or stderr so that it reads as written, a path named
// "产线3" included. On Windows a console shows the bytes a program writes in its own code page
// (an OEM one such as 437 or 850), and the C runtime's console output translates them byte by
// byte, so text for a console goes to it in UTF-16 through the console's own call; a file or a
// pipe gets the UTF-8 bytes as they are, as on POSIX. Whatever the stream holds buffered is
// written first. Called from any thread; a caller that writes from several threads keeps them
// apart itself.
#pragma once

#include <cstdio>
#include <string>

namespace qvlink {

// Writes `text` to `stream` and flushes it; false when it could not all be written.
bool WriteUtf8(std::FILE* stream, const std::string& text);

}  // namespace qvlink
