// SetThreadDescription came with Windows 10 (1607): looked up at run time, so that the programs
// still start on older Windows (and under Wine), where the thread keeps no name.
#include <windows.h>

#include <string>

#include "thread_name.h"

namespace qvlink::records {
namespace {

using SetThreadDescriptionCall = HRESULT(WINAPI*)(HANDLE, PCWSTR);

SetThreadDescriptionCall FindSetThreadDescription() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    // Through void(*)(), which converts to any function pointer without a warning.
    return reinterpret_cast<SetThreadDescriptionCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetThreadDescription")));
}

}  // namespace

void NameThisThread(const char* name) {
    static const SetThreadDescriptionCall describe = FindSetThreadDescription();
    if (describe == nullptr) return;
    std::wstring wide;
    for (const char* c = name; *c && wide.size() < 15; ++c)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    describe(GetCurrentThread(), wide.c_str());
}

}  // namespace qvlink::records
