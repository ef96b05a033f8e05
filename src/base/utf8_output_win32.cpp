#include <windows.h>
// io.h after windows.h, as the rest of the Windows files.
#include <io.h>

#include <algorithm>

#include "utf8_output.h"
#include "wide_text.h"

namespace qvlink {
namespace {

// The console behind `stream`, or null when it leads to a file, a pipe or nowhere.
HANDLE ConsoleOf(std::FILE* stream) {
    const int descriptor = _fileno(stream);
    if (descriptor < 0) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

}  // namespace

bool WriteUtf8(std::FILE* stream, const std::string& text) {
    const HANDLE console = ConsoleOf(stream);
    if (console == nullptr) {
        const bool written = text.empty() || std::fputs(text.c_str(), stream) >= 0;
        return std::fflush(stream) == 0 && written;
    }
    if (std::fflush(stream) != 0) return false;
    const std::wstring wide = WideFromUtf8(text);
    std::size_t done = 0;
    while (done < wide.size()) {
        DWORD wrote = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
        if (!WriteConsoleW(console, wide.data() + done, part, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

}  // namespace qvlink
