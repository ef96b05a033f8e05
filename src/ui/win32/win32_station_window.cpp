#include "win32_station_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "station_panel.h"
#include "station_resource.h"
#include "wide_text.h"
#include "win32_boxes.h"
#include "win32_port_chooser.h"

namespace qvlink {
namespace {

constexpr wchar_t WINDOW_CLASS[] = L"QVLinkStationWindow";
constexpr wchar_t TILES_CLASS[] = L"QVLinkStationTiles";
constexpr wchar_t TITLE[] = L"Quorvane Link Station";
constexpr UINT_PTR REFRESH_TIMER = 1;
constexpr int GAP = 4;           // pixels between tiles and around them
constexpr int LINE_MARGIN = 8;   // pixels right of a stretched header line
constexpr int MOST_COLUMNS = 6;  // of the first size; a wider window shows more

void RegisterClasses(HINSTANCE instance, WNDPROC windowProc, WNDPROC tilesProc) {
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = windowProc;
    window.hInstance = instance;
    window.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_STATION));
    window.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = WINDOW_CLASS;
    RegisterClassExW(&window);
    WNDCLASSEXW tiles = window;
    tiles.lpfnWndProc = tilesProc;
    tiles.hIcon = nullptr;
    tiles.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    tiles.lpszClassName = TILES_CLASS;
    RegisterClassExW(&tiles);
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Sets a control's text only when it changes, so that an unchanged line is not repainted.
void SetTextIfChanged(HWND dialog, int id, const std::string& text) {
    const HWND control = GetDlgItem(dialog, id);
    const std::wstring wide = WideFromUtf8(text);
    if (TextOf(control) != wide) SetWindowTextW(control, wide.c_str());
}

bool IsPushButton(HWND control) {
    const auto code = SendMessageW(control, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

}  // namespace

template <typename Modal>
auto Win32StationWindow::RunModal(Modal modal) {
    ++modalDepth_;
    auto answer = modal();
    --modalDepth_;
    if (modalDepth_ == 0 && closeAsked_ && window_ != nullptr) {
        closeAsked_ = false;
        PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    return answer;
}

Win32StationWindow::Win32StationWindow(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClasses(instance, &WindowProc, &TilesProc);
    CreateWindowExW(WS_EX_CONTROLPARENT, WINDOW_CLASS, TITLE, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                    CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, this);
    if (window_ == nullptr) return;
    header_ =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_STATION_HEADER), window_, &HeaderProc, 0);
    tileArea_ = CreateWindowExW(WS_EX_CONTROLPARENT, TILES_CLASS, nullptr,
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                window_, nullptr, instance, this);
    keys_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_STATION_KEYS));
    if (header_ == nullptr || tileArea_ == nullptr || keys_ == nullptr) {
        DestroyWindow(window_);
        return;
    }
    RECT header{};
    GetWindowRect(header_, &header);
    headerHeight_ = header.bottom - header.top;
    RECT tile{0, 0, 124, 56};  // the tile template's size, until a tile is made
    MapDialogRect(header_, &tile);
    tileWidth_ = tile.right + 2;
    tileHeight_ = tile.bottom + 2;
    Layout();
}

Win32StationWindow::~Win32StationWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK Win32StationWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32StationWindow*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<Win32StationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(message, wParam, lParam)
                : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32StationWindow::TilesProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32StationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self && self->tileArea_ == window ? self->HandleTiles(message, wParam, lParam)
                                             : DefWindowProcW(window, message, wParam, lParam);
}

// The header's buttons are the window's commands, as the keys are.
INT_PTR CALLBACK Win32StationWindow::HeaderProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message != WM_COMMAND) return FALSE;
    SendMessageW(GetParent(window), WM_COMMAND, wParam, lParam);
    return TRUE;
}

LRESULT Win32StationWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == REFRESH_TIMER && panel_ != nullptr) panel_->Refresh();
            return 0;
        case WM_CLOSE:
            // The panel stops the ports and closes the window once they have ended.
            if (modalDepth_ > 0)
                closeAsked_ = true;
            else if (panel_ != nullptr)
                panel_->RequestClose();
            else
                DestroyWindow(window_);
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_SETFOCUS:
            KeepFocusUsable();
            return 0;
        case WM_MOUSEWHEEL:
            return SendMessageW(tileArea_, message, wParam, lParam);
        case WM_DESTROY:
            tiles_.clear();
            KillTimer(window_, REFRESH_TIMER);
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            const HWND window = std::exchange(window_, nullptr);
            header_ = tileArea_ = nullptr;
            return DefWindowProcW(window, message, wParam, lParam);
        }
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT Win32StationWindow::HandleTiles(UINT message, WPARAM wParam, LPARAM lParam) {
    const int line = tileHeight_ / 4;
    switch (message) {
        case WM_SIZE:
            LayoutTiles();
            return 0;
        case WM_VSCROLL: {
            SCROLLINFO bar{};
            bar.cbSize = sizeof bar;
            bar.fMask = SIF_ALL;
            GetScrollInfo(tileArea_, SB_VERT, &bar);
            const int page = static_cast<int>(bar.nPage);
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    ScrollTo(scrollY_ - line);
                    break;
                case SB_LINEDOWN:
                    ScrollTo(scrollY_ + line);
                    break;
                case SB_PAGEUP:
                    ScrollTo(scrollY_ - page);
                    break;
                case SB_PAGEDOWN:
                    ScrollTo(scrollY_ + page);
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    ScrollTo(bar.nTrackPos);
                    break;
                case SB_TOP:
                    ScrollTo(0);
                    break;
                case SB_BOTTOM:
                    ScrollTo(ContentHeight());
                    break;
                default:
                    break;
            }
            return 0;
        }
        case WM_MOUSEWHEEL:
            ScrollTo(scrollY_ - GET_WHEEL_DELTA_WPARAM(wParam) * 3 * line / WHEEL_DELTA);
            return 0;
        default:
            return DefWindowProcW(tileArea_, message, wParam, lParam);
    }
}

void Win32StationWindow::OnCommand(int id) {
    if (panel_ == nullptr) return;
    switch (id) {
        case IDC_FIRMWARE_BUTTON:
            panel_->ChooseFirmware();
            break;
        case IDC_RECORD_BUTTON:
            panel_->ChooseRecord();
            break;
        case IDC_PORTS_BUTTON:
            panel_->ChoosePorts();
            break;
        case IDC_START_ALL:
            panel_->StartAll();
            break;
        case IDC_STOP_ALL:
            panel_->StopAll();
            break;
        case IDOK:  // Enter: presses the focused push button, if one has the focus
            if (const HWND focus = GetFocus();
                focus != nullptr && IsChild(header_, focus) && IsPushButton(focus))
                SendMessageW(focus, BM_CLICK, 0, 0);
            break;
        default:
            break;  // Escape does not close a station
    }
}

void Win32StationWindow::OnActivate(bool active) {
    if (!active) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
        return;
    }
    if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsChild(window_, lastFocus_))
        SetFocus(lastFocus_);
    KeepFocusUsable();
}

// The keys must reach the window whatever was disabled or rebuilt under the focus: a focus on a
// disabled button or on nothing would leave F5 and F6 unheard.
void Win32StationWindow::KeepFocusUsable() {
    if (window_ == nullptr || GetActiveWindow() != window_) return;
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus) && IsWindowEnabled(focus) &&
        IsWindowVisible(focus))
        return;
    for (const int id : {IDC_STOP_ALL, IDC_START_ALL, IDC_FIRMWARE_BUTTON}) {
        const HWND button = GetDlgItem(header_, id);
        if (IsWindowEnabled(button)) {
            SetFocus(button);
            return;
        }
    }
    SetFocus(GetDlgItem(header_, IDC_PORTS_BUTTON));
}

void Win32StationWindow::StretchHeaderLine(int id, int width) {
    const HWND line = GetDlgItem(header_, id);
    RECT at{};
    GetWindowRect(line, &at);
    MapWindowPoints(nullptr, header_, reinterpret_cast<POINT*>(&at), 2);
    const int stretched = std::max(static_cast<int>(at.right - at.left) / 4,
                                   width - static_cast<int>(at.left) - LINE_MARGIN);
    SetWindowPos(line, nullptr, 0, 0, stretched, at.bottom - at.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32StationWindow::Layout() {
    if (window_ == nullptr || header_ == nullptr || tileArea_ == nullptr) return;
    RECT client{};
    GetClientRect(window_, &client);
    SetWindowPos(header_, nullptr, 0, 0, client.right, headerHeight_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (const int id : {IDC_FIRMWARE_TEXT, IDC_RECORD_TEXT, IDC_NOTICE})
        StretchHeaderLine(id, client.right);
    SetWindowPos(tileArea_, nullptr, 0, headerHeight_, client.right,
                 std::max(0, static_cast<int>(client.bottom) - headerHeight_),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32StationWindow::Columns() const {
    RECT area{};
    GetClientRect(tileArea_, &area);
    return std::max(1, static_cast<int>(area.right - GAP) / (tileWidth_ + GAP));
}

int Win32StationWindow::ContentHeight() const {
    const int columns = Columns();
    const int rows = (static_cast<int>(tiles_.size()) + columns - 1) / columns;
    return GAP + rows * (tileHeight_ + GAP);
}

// The scroll bar is always there (greyed when everything fits), so the width the tiles have
// never changes with their number.
void Win32StationWindow::LayoutTiles() {
    if (tileArea_ == nullptr) return;
    RECT area{};
    GetClientRect(tileArea_, &area);
    const int columns = Columns();
    const int content = ContentHeight();
    scrollY_ = std::clamp(scrollY_, 0, std::max(0, content - static_cast<int>(area.bottom)));
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    bar.nMax = std::max(0, content - 1);
    bar.nPage = static_cast<UINT>(area.bottom);
    bar.nPos = scrollY_;
    SetScrollInfo(tileArea_, SB_VERT, &bar, TRUE);
    HDWP moves = BeginDeferWindowPos(static_cast<int>(tiles_.size()));
    for (std::size_t i = 0; i < tiles_.size() && moves != nullptr; ++i) {
        const int column = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
        moves =
            DeferWindowPos(moves, tiles_[i]->Window(), nullptr, GAP + column * (tileWidth_ + GAP),
                           GAP + row * (tileHeight_ + GAP) - scrollY_, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves != nullptr) EndDeferWindowPos(moves);
}

void Win32StationWindow::ScrollTo(int position) {
    RECT area{};
    GetClientRect(tileArea_, &area);
    position =
        std::clamp(position, 0, std::max(0, ContentHeight() - static_cast<int>(area.bottom)));
    if (position == scrollY_) return;
    const int by = scrollY_ - position;
    scrollY_ = position;
    SetScrollPos(tileArea_, SB_VERT, scrollY_, TRUE);
    ScrollWindowEx(tileArea_, 0, by, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

// The first size shows every tile when the screen allows, roughly twice as wide as high: 4
// ports in a row, 8 in two rows of four, 32 in six columns.
void Win32StationWindow::Show(int showCommand) {
    if (window_ == nullptr) return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    RECT frame{0, 0, 100, 100};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
    const int frameWidth = frame.right - frame.left - 100,
              frameHeight = frame.bottom - frame.top - 100;
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    const int count = std::max<int>(1, static_cast<int>(tiles_.size()));
    const int wanted = static_cast<int>(std::ceil(std::sqrt(2.0 * count)));
    const int fitting = (work.right - work.left - frameWidth - bar - GAP) / (tileWidth_ + GAP);
    const int columns = std::max(1, std::min({count, std::max(4, wanted), fitting}));
    const int rows = (count + columns - 1) / columns;
    RECT header{};
    GetWindowRect(header_, &header);
    const int clientWidth = std::max(static_cast<int>(header.right - header.left),
                                     GAP + columns * (tileWidth_ + GAP) + bar);
    const int clientHeight = headerHeight_ + GAP + rows * (tileHeight_ + GAP);
    // The frame a window manager gives may differ from the estimate: the size is set twice.
    int width = clientWidth + frameWidth, height = clientHeight + frameHeight;
    for (int pass = 0; pass < 2; ++pass) {
        width = std::min(width, static_cast<int>(work.right - work.left));
        height = std::min(height, static_cast<int>(work.bottom - work.top));
        SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                     work.top + (work.bottom - work.top - height) / 2, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        GetClientRect(window_, &client);
        width += clientWidth - client.right;
        height += clientHeight - client.bottom;
    }
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

int Win32StationWindow::RunMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window_ != nullptr && TranslateAcceleratorW(window_, keys_, &message)) continue;
        if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void Win32StationWindow::ShowHeader(const HeaderView& header) {
    if (header_ == nullptr) return;
    SetTextIfChanged(header_, IDC_FIRMWARE_TEXT, header.firmware);
    SetTextIfChanged(header_, IDC_RECORD_TEXT, header.record);
    SetTextIfChanged(header_, IDC_COMPLETED, header.completed);
    SetTextIfChanged(header_, IDC_FAILED, header.failed);
    SetTextIfChanged(header_, IDC_PER_HOUR, header.perHour);
    SetTextIfChanged(header_, IDC_MEAN_TIME, header.meanTime);
    SetTextIfChanged(header_, IDC_P95_TIME, header.p95Time);
    // What is offered is enabled first, so that the focus can move to it.
    EnableWindow(GetDlgItem(header_, IDC_START_ALL), header.canStart);
    EnableWindow(GetDlgItem(header_, IDC_STOP_ALL), header.running);
    for (const int id : {IDC_FIRMWARE_BUTTON, IDC_RECORD_BUTTON, IDC_PORTS_BUTTON})
        EnableWindow(GetDlgItem(header_, id), !header.running);
    KeepFocusUsable();
}

void Win32StationWindow::SetTileCount(std::size_t count) {
    if (tileArea_ == nullptr) return;
    tiles_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        tiles_.push_back(
            std::make_unique<Win32Tile>(instance_, tileArea_, look_, [this, i](bool on) {
                if (panel_ != nullptr) panel_->SetPortEnabled(i, on);
            }));
    }
    if (!tiles_.empty() && tiles_.front()->Window() != nullptr) {
        RECT tile{};
        GetWindowRect(tiles_.front()->Window(), &tile);
        tileWidth_ = tile.right - tile.left;
        tileHeight_ = tile.bottom - tile.top;
    }
    scrollY_ = 0;
    LayoutTiles();
    for (const auto& tile : tiles_) ShowWindow(tile->Window(), SW_SHOWNA);
    KeepFocusUsable();
}

void Win32StationWindow::ShowTile(std::size_t index, const TileView& tile) {
    if (index < tiles_.size()) tiles_[index]->Show(tile);
}

// The notices of one start (a settings file not used, ports or a firmware left out) stand side
// by side: none replaces another.
void Win32StationWindow::ShowNotice(const std::string& text) {
    if (header_ == nullptr || text.empty()) return;
    notice_ += (notice_.empty() ? "" : "   ") + text;
    SetTextIfChanged(header_, IDC_NOTICE, notice_);
}

void Win32StationWindow::ShowMessage(const std::string& text) {
    RunModal([&] {
        return MessageBoxW(window_, WideFromUtf8(text).c_str(), TITLE, MB_OK | MB_ICONEXCLAMATION);
    });
}

// The firmware chooser moves the current folder to the one it was confirmed in; the station's
// settings file and the relative paths it was given are read from the folder it started in.
std::optional<std::string> Win32StationWindow::ChooseFirmwareFile() {
    return RunModal([this] {
        std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
        folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
        auto chosen = qvlink::ChooseFirmwareFile(window_);
        if (!folder.empty()) SetCurrentDirectoryW(folder.c_str());
        return chosen;
    });
}

std::optional<std::string> Win32StationWindow::ChooseRecordFile() {
    return RunModal([this] { return qvlink::ChooseRecordFile(window_); });
}

std::optional<std::vector<std::string>> Win32StationWindow::ChoosePorts(
    const std::vector<std::string>& current, const std::vector<std::string>& offered) {
    return RunModal([&] { return ChoosePortsModal(instance_, window_, current, offered); });
}

void Win32StationWindow::StartRefreshTimer(int periodMs) {
    if (window_ != nullptr) SetTimer(window_, REFRESH_TIMER, static_cast<UINT>(periodMs), nullptr);
}

void Win32StationWindow::Close() {
    if (window_ != nullptr) DestroyWindow(window_);
}

}  // namespace qvlink
