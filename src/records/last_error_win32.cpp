#include "last_error_win32.h"

#include <windows.h>

namespace qvlink::records {

std::string WindowsErrorText(unsigned long code) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string words(text, length);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
        words.pop_back();
    return words.empty() ? "Windows error " + std::to_string(code) : words;
}

}  // namespace qvlink::records
