// Windows' error codes in words, converted in one place for the record database's Windows files.
#pragma once

#include <string>

namespace qvlink::records {

// The system's text for `code` (a GetLastError value), on one line.
std::string WindowsErrorText(unsigned long code);

}  // namespace qvlink::records
