#include "win32_tile.h"

#include <commctrl.h>

#include <utility>

#include "station_resource.h"
#include "wide_text.h"

namespace qvlink {
namespace {

HFONT MakeFont(int points, int weight) {
    const HDC screen = GetDC(nullptr);
    const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

// The phase line says why a port that does not run stopped, when there is something to say.
std::string PhaseLine(const TileView& tile) {
    if (tile.note.empty()) return tile.phase;
    if (tile.phase.empty()) return tile.note;
    return tile.phase + ": " + tile.note;
}

}  // namespace

TileLook::TileLook() : nameFont_(MakeFont(9, FW_BOLD)), resultFont_(MakeFont(12, FW_BOLD)) {
    for (const Tone tone : {Tone::Waiting, Tone::Completed, Tone::Failed, Tone::Lost})
        brushes_[static_cast<int>(tone)] = CreateSolidBrush(Colour(tone));
}

TileLook::~TileLook() {
    DeleteObject(nameFont_);
    DeleteObject(resultFont_);
    for (const HBRUSH brush : brushes_)
        if (brush != nullptr) DeleteObject(brush);
}

HBRUSH TileLook::Brush(Tone tone) const {
    return brushes_[static_cast<int>(tone)];
}

COLORREF TileLook::Colour(Tone tone) {
    switch (tone) {
        case Tone::Waiting:
            return RGB(0xC6, 0xE2, 0xFF);  // light blue
        case Tone::Completed:
            return RGB(0x8F, 0xD8, 0x8F);  // green
        case Tone::Failed:
            return RGB(0xF2, 0x7C, 0x7C);  // red
        case Tone::Lost:
            return RGB(0xFF, 0xC8, 0x4A);  // amber
        case Tone::Idle:
            break;
    }
    return GetSysColor(COLOR_BTNFACE);
}

Win32Tile::Win32Tile(HINSTANCE instance, HWND parent, const TileLook& look,
                     std::function<void(bool)> onEnabled)
    : look_(look), onEnabled_(std::move(onEnabled)) {
    window_ = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_STATION_TILE), parent, &DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) return;
    SendDlgItemMessageW(window_, IDC_TILE_NAME, WM_SETFONT,
                        reinterpret_cast<WPARAM>(look_.NameFont()), FALSE);
    SendDlgItemMessageW(window_, IDC_TILE_RESULT, WM_SETFONT,
                        reinterpret_cast<WPARAM>(look_.ResultFont()), FALSE);
    SendDlgItemMessageW(window_, IDC_TILE_PROGRESS, PBM_SETRANGE32, 0, 100);
    CheckDlgButton(window_, IDC_TILE_ENABLED, shown_.enabled ? BST_CHECKED : BST_UNCHECKED);
}

Win32Tile::~Win32Tile() {
    if (window_ != nullptr) DestroyWindow(window_);
}

INT_PTR CALLBACK Win32Tile::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return FALSE;  // the tile takes no focus of its own
    }
    auto* self = reinterpret_cast<Win32Tile*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR Win32Tile::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC: {
            const HBRUSH brush = look_.Brush(shown_.tone);
            if (reinterpret_cast<HWND>(lParam) != GetDlgItem(window_, IDC_TILE_RESULT) ||
                brush == nullptr)
                return FALSE;
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, TileLook::Colour(shown_.tone));
            SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<INT_PTR>(brush);
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_TILE_ENABLED && HIWORD(wParam) == BN_CLICKED) {
                shown_.enabled = IsDlgButtonChecked(window_, IDC_TILE_ENABLED) == BST_CHECKED;
                if (onEnabled_) onEnabled_(shown_.enabled);
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            window_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void Win32Tile::SetText(int id, const std::string& text, const std::string& was) {
    if (text != was) SetDlgItemTextW(window_, id, WideFromUtf8(text).c_str());
}

void Win32Tile::Show(const TileView& tile) {
    if (window_ == nullptr) return;
    SetText(IDC_TILE_NAME, tile.name, shown_.name);
    SetText(IDC_TILE_DEVICE, tile.device, shown_.device);
    SetText(IDC_TILE_PHASE, PhaseLine(tile), PhaseLine(shown_));
    SetText(IDC_TILE_SINCE, tile.sinceContact, shown_.sinceContact);
    SetText(IDC_TILE_COUNTS, tile.counts, shown_.counts);
    if (tile.percent != shown_.percent)
        SendDlgItemMessageW(window_, IDC_TILE_PROGRESS, PBM_SETPOS,
                            static_cast<WPARAM>(tile.percent), 0);
    const bool toneChanged = tile.tone != shown_.tone;
    if (tile.enabled != shown_.enabled)
        CheckDlgButton(window_, IDC_TILE_ENABLED, tile.enabled ? BST_CHECKED : BST_UNCHECKED);
    const std::string wasResult = shown_.result;
    shown_ = tile;  // the result line's colour is read from here while it paints
    if (tile.result != wasResult)
        SetDlgItemTextW(window_, IDC_TILE_RESULT, WideFromUtf8(tile.result).c_str());
    else if (toneChanged)
        InvalidateRect(GetDlgItem(window_, IDC_TILE_RESULT), nullptr, TRUE);
}

}  // namespace qvlink
