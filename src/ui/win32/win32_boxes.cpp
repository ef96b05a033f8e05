#include "win32_boxes.h"

#include <commdlg.h>

#include <filesystem>

#include "status_texts.h"
#include "wide_text.h"

namespace qvlink {
namespace {

// The explorer-style chooser; an existing file must be picked; no read-only box.
constexpr DWORD CHOOSER_FLAGS =
    OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
static_assert(CHOOSER_FLAGS == 0x81006);

std::wstring ProgramName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).stem().wstring();
}

}  // namespace

void ShowMessageBox(HWND dialog, BoxKind kind, const std::string& text,
                    const std::string& plainCaption) {
    const std::wstring wideText = WideFromUtf8(text);
    switch (kind) {
        case BoxKind::Dialog:
            MessageBoxW(dialog, wideText.c_str(), WideFromUtf8(PRODUCT_TITLE).c_str(), MB_OK);
            return;
        case BoxKind::Application:
            MessageBoxW(dialog, wideText.c_str(), ProgramName().c_str(),
                        MB_OK | MB_ICONEXCLAMATION);
            return;
        case BoxKind::Plain:
            MessageBoxW(nullptr, wideText.c_str(), WideFromUtf8(plainCaption).c_str(), MB_OK);
            return;
    }
}

std::optional<std::string> ChooseFirmwareFile(HWND dialog) {
    // One entry: description and pattern, each ended by a null, and a null after the last.
    static constexpr wchar_t FILTER[] = L"quorvane upgrade file(*.bin)\0*.bin\0";
    std::wstring name = L"quorvane.bin";
    name.resize(32 * 1024);  // room for the longest path the system hands back
    OPENFILENAMEW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = dialog;
    chooser.lpstrFilter = FILTER;
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = name.data();
    chooser.nMaxFile = static_cast<DWORD>(name.size());
    chooser.lpstrTitle = L"open quorvane upgrade file(*.bin)";
    chooser.Flags = CHOOSER_FLAGS;
    if (!GetOpenFileNameW(&chooser)) return std::nullopt;
    name.resize(name.find(L'\0'));
    return Utf8FromWide(name);
}

std::optional<std::string> ChooseRecordFile(HWND owner) {
    static constexpr wchar_t FILTER[] = L"station record(*.jsonl)\0*.jsonl\0all files(*.*)\0*.*\0";
    std::wstring name(32 * 1024, L'\0');
    OPENFILENAMEW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = owner;
    chooser.lpstrFilter = FILTER;
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = name.data();
    chooser.nMaxFile = static_cast<DWORD>(name.size());
    chooser.lpstrTitle = L"record file";
    chooser.lpstrDefExt = L"jsonl";
    chooser.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&chooser)) return std::nullopt;
    name.resize(name.find(L'\0'));
    return Utf8FromWide(name);
}

}  // namespace qvlink
