// Conversions between the program's UTF-8 texts and the UTF-16 texts of the Windows API, so that
// every text and every path, the full-width "！" and a folder named "产线3" included, reaches the
// system and comes back as written. Windows only: elsewhere the system takes UTF-8 as it is.
// Text that is not valid UTF-8 (or UTF-16) keeps what is valid; each broken sequence becomes
// U+FFFD.
#pragma once

#include <string>

namespace qvlink {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

}  // namespace qvlink
