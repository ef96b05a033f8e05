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
constexpr wchar_t TITLE[] = L"Quorvane Link Station";
constexpr UINT_PTR REFRESH_TIMER = 1;
constexpr int LINE_MARGIN = 8;   // pixels right of a stretched header line
constexpr int MOST_COLUMNS = 6;  // of the first size; a wider window shows more

void RegisterWindowClass(HINSTANCE instance, WNDPROC windowProc) {
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = windowProc;
    window.hInstance = instance;
    window.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_STATION));
    window.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = WINDOW_CLASS;
    RegisterClassExW(&window);
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
    RegisterWindowClass(instance, &WindowProc);
    CreateWindowExW(WS_EX_CONTROLPARENT, WINDOW_CLASS, TITLE, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                    CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, this);
    if (window_ == nullptr) return;
    header_ =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_STATION_HEADER), window_, &HeaderProc, 0);
    grid_ = std::make_unique<Win32TileGrid>(instance, window_, [this](std::size_t i, bool on) {
        if (panel_ != nullptr) panel_->SetPortEnabled(i, on);
    });
    keys_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_STATION_KEYS));
    if (header_ == nullptr || grid_->Window() == nullptr || keys_ == nullptr) {
        DestroyWindow(window_);
        return;
    }
    RECT header{}, database{};
    GetWindowRect(header_, &header);
    GetWindowRect(GetDlgItem(header_, IDC_DATABASE_NAME), &database);
    fullHeaderHeight_ = header.bottom - header.top;
    shortHeaderHeight_ = database.top - header.top;
    headerHeight_ = shortHeaderHeight_;
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
            return SendMessageW(grid_->Window(), message, wParam, lParam);
        case WM_DESTROY:
            grid_->Clear();
            KillTimer(window_, REFRESH_TIMER);
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            const HWND window = std::exchange(window_, nullptr);
            header_ = nullptr;
            return DefWindowProcW(window, message, wParam, lParam);
        }
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
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
    if (window_ == nullptr || header_ == nullptr || grid_->Window() == nullptr) return;
    RECT client{};
    GetClientRect(window_, &client);
    SetWindowPos(header_, nullptr, 0, 0, client.right, headerHeight_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (const int id : {IDC_FIRMWARE_TEXT, IDC_RECORD_TEXT, IDC_NOTICE, IDC_DATABASE_TEXT})
        StretchHeaderLine(id, client.right);
    SetWindowPos(grid_->Window(), nullptr, 0, headerHeight_, client.right,
                 std::max(0, static_cast<int>(client.bottom) - headerHeight_),
                 SWP_NOZORDER | SWP_NOACTIVATE);
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
    const int frameWidth = frame.right - frame.left - 100;
    const int frameHeight = frame.bottom - frame.top - 100;
    const int count = std::max<int>(1, static_cast<int>(grid_->Count()));
    const int wanted = static_cast<int>(std::ceil(std::sqrt(2.0 * count)));
    const int fitting = grid_->ColumnsIn(work.right - work.left - frameWidth);
    const int columns = std::max(1, std::min({count, std::max(4, wanted), fitting}));
    const SIZE tiles = grid_->SizeFor(columns, (count + columns - 1) / columns);
    RECT header{};
    GetWindowRect(header_, &header);
    const int clientWidth =
        std::max(static_cast<int>(header.right - header.left), static_cast<int>(tiles.cx));
    const int clientHeight = headerHeight_ + static_cast<int>(tiles.cy);
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
    if (const std::wstring title = WideFromUtf8(header.title); TextOf(window_) != title)
        SetWindowTextW(window_, title.c_str());
    SetTextIfChanged(header_, IDC_FIRMWARE_TEXT, header.firmware);
    SetTextIfChanged(header_, IDC_RECORD_TEXT, header.record);
    SetTextIfChanged(header_, IDC_COMPLETED, header.completed);
    SetTextIfChanged(header_, IDC_FAILED, header.failed);
    SetTextIfChanged(header_, IDC_PER_HOUR, header.perHour);
    SetTextIfChanged(header_, IDC_MEAN_TIME, header.meanTime);
    SetTextIfChanged(header_, IDC_P95_TIME, header.p95Time);
    ShowDatabaseLine(header.database);
    // What is offered is enabled first, so that the focus can move to it.
    EnableWindow(GetDlgItem(header_, IDC_START_ALL), header.canStart);
    EnableWindow(GetDlgItem(header_, IDC_STOP_ALL), header.running);
    for (const int id : {IDC_FIRMWARE_BUTTON, IDC_RECORD_BUTTON, IDC_PORTS_BUTTON})
        EnableWindow(GetDlgItem(header_, id), !header.running);
    KeepFocusUsable();
}

// The database line is there only while the record goes to a database: the header, and a
// window of the operator's size with it, grows by it when it appears and shrinks when it goes.
void Win32StationWindow::ShowDatabaseLine(const std::string& text) {
    SetTextIfChanged(header_, IDC_DATABASE_TEXT, text);
    const int height = text.empty() ? shortHeaderHeight_ : fullHeaderHeight_;
    if (height == headerHeight_) return;
    const int grown = height - headerHeight_;
    headerHeight_ = height;
    for (const int id : {IDC_DATABASE_NAME, IDC_DATABASE_TEXT})
        ShowWindow(GetDlgItem(header_, id), text.empty() ? SW_HIDE : SW_SHOWNA);
    RECT frame{};
    if (IsWindowVisible(window_) && !IsZoomed(window_) && GetWindowRect(window_, &frame))
        SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top + grown,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);  // lays out anew
    else
        Layout();
}

void Win32StationWindow::SetTileCount(std::size_t count) {
    if (window_ == nullptr) return;
    grid_->SetCount(count);
    KeepFocusUsable();
}

void Win32StationWindow::ShowTile(std::size_t index, const TileView& tile) {
    if (window_ != nullptr) grid_->Show(index, tile);
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
