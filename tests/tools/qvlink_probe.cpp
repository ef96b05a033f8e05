// qvlink-probe.exe: reads the operator's dialog from outside, for the tests that drive
// qvlink.exe under Wine. It prints, one line each and tab-separated, what a person would see:
//   qvlink-probe template EXE  the dialog template 140 stored in EXE: the window, then every
//                              control in tab order (id, class, style, position, text)
//   qvlink-probe dialog        the running dialog: its title, then every control (id, class,
//                              state, centre on the screen, text; a progress bar's position)
//   qvlink-probe window TITLE  the shown top-level window titled TITLE (or, when there is none,
//                              "TITLE - " and more, as a window that counts in its title):
//                              its owner's title, then every control within it, as for `dialog`
//   qvlink-probe windows       the titles of all shown top-level windows
//   qvlink-probe foreground    the title of the window that takes the keyboard now
//   qvlink-probe focus         the control that has the keyboard focus in that window: its
//                              id and class
// Exit status 0, or 1 when the template or window is not there. Texts are printed in UTF-8.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "wide_text.h"

namespace {

constexpr int TEMPLATE_ID = 140;
constexpr int DIALOG_RESOURCE_TYPE = 5;  // RT_DIALOG
constexpr int START_STOP_ID = 1107;      // a control only the operator's dialog has

using qvlink::Utf8FromWide;
using qvlink::WideFromUtf8;

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

// Asks the window itself, so that edit boxes of other processes answer too.
std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return Utf8FromWide(name);
}

// checked, disabled, hidden, icon (a static showing an icon), or "-".
std::string StateOf(HWND window, const std::string& className) {
    std::string state;
    auto add = [&state](const char* word) {
        if (!state.empty()) state += ',';
        state += word;
    };
    if (className == "Button" && SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED)
        add("checked");
    if (!IsWindowEnabled(window)) add("disabled");
    if (!IsWindowVisible(window)) add("hidden");
    if (className == "Static" && SendMessageW(window, STM_GETICON, 0, 0) != 0) add("icon");
    return state.empty() ? "-" : state;
}

std::string CentreOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return std::to_string((rect.left + rect.right) / 2) + "," +
           std::to_string((rect.top + rect.bottom) / 2);
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    const std::string className = ClassOf(control);
    const std::string text = className == "msctls_progress32"
                                 ? std::to_string(SendMessageW(control, PBM_GETPOS, 0, 0))
                                 : Utf8FromWide(TextOf(control));
    PrintLine(std::to_string(static_cast<int>(GetDlgCtrlID(control))) + "\t" + className + "\t" +
              StateOf(control, className) + "\t" + CentreOf(control) + "\t" + text);
    return TRUE;
}

void PrintWindow(HWND window) {
    const HWND owner = GetWindow(window, GW_OWNER);
    PrintLine("title\t" + Utf8FromWide(TextOf(window)));
    PrintLine("owner\t" + (owner ? Utf8FromWide(TextOf(owner)) : std::string("-")));
    EnumChildWindows(window, &PrintControl, 0);
}

std::vector<HWND> ShownTopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM found) {
            if (IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

int PrintDialog() {
    for (HWND window : ShownTopLevelWindows()) {
        if (GetDlgItem(window, START_STOP_ID) == nullptr) continue;
        PrintWindow(window);
        return 0;
    }
    return 1;
}

int PrintNamedWindow(const std::wstring& title) {
    const std::vector<HWND> shown = ShownTopLevelWindows();
    for (HWND window : shown) {
        if (TextOf(window) != title) continue;
        PrintWindow(window);
        return 0;
    }
    for (HWND window : shown) {
        if (TextOf(window).rfind(title + L" - ", 0) != 0) continue;
        PrintWindow(window);
        return 0;
    }
    return 1;
}

int PrintForegroundTitle() {
    const HWND window = GetForegroundWindow();
    if (window == nullptr) return 1;
    PrintLine(Utf8FromWide(TextOf(window)));
    return 0;
}

int PrintFocus() {
    const HWND window = GetForegroundWindow();
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (window == nullptr ||
        !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) ||
        thread.hwndFocus == nullptr)
        return 1;
    PrintLine(std::to_string(GetDlgCtrlID(thread.hwndFocus)) + "\t" + ClassOf(thread.hwndFocus));
    return 0;
}

int PrintWindowTitles() {
    for (HWND window : ShownTopLevelWindows()) PrintLine(Utf8FromWide(TextOf(window)));
    return 0;
}

// Reads a classic dialog template: header, menu, class, caption, font, then the controls,
// each aligned to 4 bytes.
class TemplateReader {
  public:
    explicit TemplateReader(const std::uint8_t* bytes) : at_(bytes) {}

    template <typename T>
    T Take() {
        T value;
        std::memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    // A string or an ordinal (0xFFFF and a number).
    std::string TakeName() {
        if (Peek() == 0xFFFF) {
            Take<std::uint16_t>();
            std::string ordinal = "#";
            ordinal += std::to_string(Take<std::uint16_t>());
            return ordinal;
        }
        std::wstring text;
        while (const auto c = Take<std::uint16_t>()) text += static_cast<wchar_t>(c);
        return Utf8FromWide(text);
    }
    void AlignTo4(const std::uint8_t* base) {
        while ((at_ - base) % 4 != 0) ++at_;
    }

  private:
    std::uint16_t Peek() const {
        std::uint16_t value;
        std::memcpy(&value, at_, sizeof value);
        return value;
    }
    const std::uint8_t* at_;
};

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string ControlClass(const std::string& name) {
    static const char* const PREDEFINED[] = {"Button",  "Edit",      "Static",
                                             "ListBox", "ScrollBar", "ComboBox"};
    if (name.size() > 1 && name[0] == '#') {
        const int atom = std::stoi(name.substr(1));
        if (atom >= 0x80 && atom <= 0x85) return PREDEFINED[atom - 0x80];
    }
    return name;
}

int PrintTemplate(const std::wstring& exe) {
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(TEMPLATE_ID),
                                               MAKEINTRESOURCEW(DIALOG_RESOURCE_TYPE))
                               : nullptr;
    if (!found) return 1;
    const auto* base = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    TemplateReader reader(base);
    const auto style = reader.Take<std::uint32_t>();
    const auto extendedStyle = reader.Take<std::uint32_t>();
    const auto count = reader.Take<std::uint16_t>();
    const auto x = reader.Take<std::int16_t>(), y = reader.Take<std::int16_t>();
    const auto width = reader.Take<std::int16_t>(), height = reader.Take<std::int16_t>();
    const std::string menu = reader.TakeName(), windowClass = reader.TakeName();
    const std::string caption = reader.TakeName();
    std::string font = "-";
    if (style & DS_SETFONT) {
        const auto points = reader.Take<std::uint16_t>();
        font = std::to_string(points) + " " + reader.TakeName();
    }
    PrintLine("dialog\t" + Hex(style) + "\t" + Hex(extendedStyle) + "\t" + std::to_string(x) + "," +
              std::to_string(y) + "," + std::to_string(width) + "," + std::to_string(height) +
              "\tfont " + font + "\tmenu '" + menu + "'\tclass '" + windowClass + "'");
    for (int i = 0; i < count; ++i) {
        reader.AlignTo4(base);
        const auto controlStyle = reader.Take<std::uint32_t>();
        reader.Take<std::uint32_t>();  // extended style
        const auto cx = reader.Take<std::int16_t>(), cy = reader.Take<std::int16_t>();
        const auto cw = reader.Take<std::int16_t>(), ch = reader.Take<std::int16_t>();
        const auto id = reader.Take<std::int16_t>();
        const std::string className = ControlClass(reader.TakeName());
        const std::string text = reader.TakeName();
        const auto extra = reader.Take<std::uint16_t>();
        for (int skip = 0; skip < extra; ++skip) reader.Take<std::uint8_t>();
        PrintLine(std::to_string(id) + "\t" + className + "\t" + Hex(controlStyle) + "\t" +
                  std::to_string(cx) + "," + std::to_string(cy) + "," + std::to_string(cw) + "," +
                  std::to_string(ch) + "\t" + text);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "template" && argc == 3) return PrintTemplate(WideFromUtf8(argv[2]));
    if (command == "dialog" && argc == 2) return PrintDialog();
    if (command == "window" && argc == 3) return PrintNamedWindow(WideFromUtf8(argv[2]));
    if (command == "windows" && argc == 2) return PrintWindowTitles();
    if (command == "foreground" && argc == 2) return PrintForegroundTitle();
    if (command == "focus" && argc == 2) return PrintFocus();
    std::fputs(
        "usage: qvlink-probe template EXE | dialog | window TITLE | windows | foreground | "
        "focus\n",
        stderr);
    return 2;
}
