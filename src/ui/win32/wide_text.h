// Conversions between the program's UTF-8 texts and the UTF-16 texts of the Windows API, so
// that every text, the full-width "！" included, shows as written.
#pragma once

#include <string>

namespace qvlink {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

}  // namespace qvlink
