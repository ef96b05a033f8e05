// The wide command line is split by CommandLineToArgvW, the system's own rules for quotes and
// backslashes, the same rules that made `argv`. Should it fail (no memory), `argv` is taken as
// it came: the program still runs, only characters outside the code page are lost.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "utf8_arguments.h"
#include "wide_text.h"

namespace qvlink {

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) texts_.push_back(Utf8FromWide(wide[i]));
        LocalFree(wide);
    } else {
        texts_.assign(argv, argv + argc);
    }
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

}  // namespace qvlink
