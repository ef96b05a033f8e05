#include "win32_dialog_window.h"

#include <commctrl.h>

#include <array>
#include <utility>

#include "dialog_ids.h"
#include "upgrade_dialog.h"
#include "wide_text.h"
#include "win32_boxes.h"

namespace qvlink {
namespace {

// Posted to the dialog when calls from another thread are waiting in the queue.
constexpr UINT WM_RUN_QUEUED_CALLS = WM_APP + 1;

// COM1 to COM8, in the order of their port indexes.
constexpr std::array<int, 8> PORT_RADIOS = {IDC_PORT_COM1, IDC_PORT_COM2, IDC_PORT_COM3,
                                            IDC_PORT_COM4, IDC_PORT_COM5, IDC_PORT_COM6,
                                            IDC_PORT_COM7, IDC_PORT_COM8};

void RepaintNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// Centred on the work area of the screen it is on, as a dialog without owner is.
void CenterOnScreen(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int x = area.left + ((area.right - area.left) - (frame.right - frame.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (frame.bottom - frame.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(UpgradeDialog& dialog, HINSTANCE instance)
    : dialog_(dialog), instance_(instance) {}

void Win32DialogWindow::RunModal() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_UPGRADE), nullptr, &DialogProc,
                    reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Win32DialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<Win32DialogWindow*>(lParam)->OnInitDialog(window);
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR Win32DialogWindow::Handle(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            dialog_.OnTimer(static_cast<int>(wParam));
            return FALSE;
        case WM_RUN_QUEUED_CALLS:
            RunQueuedCalls();
            return TRUE;
        case WM_DESTROY:
            window_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void Win32DialogWindow::OnInitDialog(HWND window) {
    window_ = window;
    dialog_.Attach(*this);
    const auto icon = reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(IDI_QVLINK)));
    SendMessageW(window, WM_SETICON, ICON_SMALL, icon);
    SendMessageW(window, WM_SETICON, ICON_BIG, icon);
    dialog_.OnInitDialog();
    CenterOnScreen(window);
}

int Win32DialogWindow::FocusedPushButton() const {
    const HWND focus = GetFocus();
    if (focus == nullptr || !IsChild(window_, focus)) return 0;
    const auto code = SendMessageW(focus, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0 ? GetDlgCtrlID(focus) : 0;
}

// Enter on a focused push button presses it; Enter elsewhere is the OK command, which the
// dialog ignores. Some systems report Enter on the button that got the first focus as the OK
// command too, so OK with a push button focused presses that button. Escape and the close box
// arrive as IDCANCEL, the Exit button's id.
void Win32DialogWindow::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDC_START_STOP:
            dialog_.OnStartStop();
            return;
        case IDC_CONTINUOUS:
            dialog_.OnContinuousCheck();
            return;
        case IDCANCEL:
            dialog_.OnCancel();
            return;
        case IDOK:
            if (const int focused = FocusedPushButton(); focused != 0)
                OnCommand(focused, BN_CLICKED);
            else
                dialog_.OnOK();
            return;
        default:
            break;
    }
    for (std::size_t index = 0; index < PORT_RADIOS.size(); ++index)
        if (PORT_RADIOS[index] == id) dialog_.OnPortRadio(static_cast<int>(index));
}

std::string Win32DialogWindow::Title() const {
    std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
    title.resize(static_cast<std::size_t>(
        GetWindowTextW(window_, title.data(), static_cast<int>(title.size()))));
    return Utf8FromWide(title);
}

void Win32DialogWindow::SetTitle(const std::string& title, bool repaintNow) {
    SetWindowTextW(window_, WideFromUtf8(title).c_str());
    if (repaintNow)
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
}

void Win32DialogWindow::SetControlText(int id, const std::string& text) {
    SetWindowTextW(Control(id), WideFromUtf8(text).c_str());
    RepaintNow(Control(id));
}

void Win32DialogWindow::SetStatusLine(const std::string& text) {
    SetControlText(IDC_STATUS_LINE, text);
}

int Win32DialogWindow::ProgressPosition() const {
    return static_cast<int>(SendMessageW(Control(IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

void Win32DialogWindow::SetProgressPosition(int position) {
    SendMessageW(Control(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position), 0);
    RepaintNow(Control(IDC_PROGRESS));
}

void Win32DialogWindow::SetElapsedText(const std::string& text) {
    SetControlText(IDC_ELAPSED, text);
}

void Win32DialogWindow::SetResultLine(const std::string& text) {
    SetControlText(IDC_RESULT_LINE, text);
}

void Win32DialogWindow::SetResultLineVisible(bool visible) {
    ShowWindow(Control(IDC_RESULT_LINE), visible ? SW_SHOW : SW_HIDE);
}

void Win32DialogWindow::SetStartStopCaption(const std::string& caption) {
    SetControlText(IDC_START_STOP, caption);
}

void Win32DialogWindow::SetLockableControlsEnabled(bool enabled) {
    EnableWindow(Control(IDC_CONTINUOUS), enabled);
    for (const int id : PORT_RADIOS) EnableWindow(Control(id), enabled);
}

void Win32DialogWindow::SetPortChoice(int portIndex) {
    for (std::size_t index = 0; index < PORT_RADIOS.size(); ++index) {
        const bool chosen = static_cast<int>(index) == portIndex;
        SendMessageW(Control(PORT_RADIOS[index]), BM_SETCHECK, chosen ? BST_CHECKED : BST_UNCHECKED,
                     0);
    }
}

bool Win32DialogWindow::ContinuousChecked() const {
    return IsDlgButtonChecked(window_, IDC_CONTINUOUS) == BST_CHECKED;
}

void Win32DialogWindow::StartTimer(TimerId id, int periodMs) {
    SetTimer(window_, static_cast<UINT_PTR>(id), static_cast<UINT>(periodMs), nullptr);
}

void Win32DialogWindow::StopTimer(TimerId id) {
    KillTimer(window_, static_cast<UINT_PTR>(id));
}

std::optional<std::string> Win32DialogWindow::ChooseFirmwareFile() {
    return qvlink::ChooseFirmwareFile(window_);
}

void Win32DialogWindow::ShowMessage(BoxKind kind, const std::string& text,
                                    const std::string& plainCaption) {
    ShowMessageBox(window_, kind, text, plainCaption);
}

void Win32DialogWindow::Close() {
    EndDialog(window_, IDCANCEL);
}

// One posted message stands for every call queued since; the calls run one at a time and in
// order, also when one of them opens a modal box.
void Win32DialogWindow::RunOnWindowThread(std::function<void()> call) {
    bool post = false;
    {
        const std::lock_guard lock(callsMutex_);
        calls_.push_back(std::move(call));
        post = !std::exchange(callsPosted_, true);
    }
    // A message that could not be posted (a full queue) must not leave the calls stranded: the
    // next call posts again.
    if (post && !PostMessageW(window_, WM_RUN_QUEUED_CALLS, 0, 0)) {
        const std::lock_guard lock(callsMutex_);
        callsPosted_ = false;
    }
}

void Win32DialogWindow::RunQueuedCalls() {
    for (;;) {
        std::function<void()> call;
        {
            const std::lock_guard lock(callsMutex_);
            if (calls_.empty()) {
                callsPosted_ = false;
                return;
            }
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
    }
}

}  // namespace qvlink
