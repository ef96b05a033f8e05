#include "win32_port_chooser.h"

#include <algorithm>

#include "port_list.h"
#include "port_locations.h"
#include "port_names.h"
#include "station_resource.h"
#include "wide_text.h"

namespace qvlink {
namespace {

// One row of the list: the name a pick puts in the line, and what the row reads.
struct Choice {
    std::string name;
    std::string text;
};

struct Chooser {
    const std::vector<std::string>& current;
    std::vector<Choice> offered;
    std::vector<std::string> chosen;
};

// The offered ports, each with the USB location it is plugged in at beside it ("COM7  at
// USBROOT(0)#USB(1)#USB(4), Port_#0004.Hub_#0001"); after a located port, its location as a
// name of its own, which stays with the slot whatever COM port the adapter there gets.
std::vector<Choice> ChoicesOf(const std::vector<std::string>& offered,
                              const std::vector<PortLocation>& locations) {
    std::vector<Choice> choices;
    for (const std::string& port : offered) {
        const auto located =
            std::find_if(locations.begin(), locations.end(),
                         [&port](const PortLocation& each) { return each.port == port; });
        if (located == locations.end() || (located->path.empty() && located->information.empty())) {
            choices.push_back({port, port});
            continue;
        }
        std::string where = located->path.empty() ? "" : SlotNames({located->path}).front();
        if (!located->information.empty())
            where += (where.empty() ? "" : ", ") + located->information;
        choices.push_back({port, port + "  at " + where});
        if (!located->path.empty())
            choices.push_back({located->path, located->path + "  (now " + port + ")"});
    }
    return choices;
}

// Port names are compared as Windows compares them: without case.
bool SameName(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(WideFromUtf8(a).c_str(), -1, WideFromUtf8(b).c_str(), -1, TRUE) ==
           CSTR_EQUAL;
}

bool Names(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&name](const std::string& each) { return SameName(each, name); });
}

bool Offers(const std::vector<Choice>& choices, const std::string& name) {
    return std::any_of(choices.begin(), choices.end(),
                       [&name](const Choice& choice) { return SameName(choice.name, name); });
}

std::string JoinPorts(const std::vector<std::string>& items) {
    std::string line;
    for (const std::string& item : items) line += (line.empty() ? "" : ", ") + item;
    return line;
}

std::string LineText(HWND dialog) {
    const HWND edit = GetDlgItem(dialog, IDC_PORTS_EDIT);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

void Init(HWND dialog, const Chooser& chooser) {
    const HWND list = GetDlgItem(dialog, IDC_PORTS_OFFERED);
    std::vector<std::string> items;
    for (const std::string& entry : chooser.current)
        for (std::string& item : station::SplitPortList(entry)) items.push_back(std::move(item));
    for (const Choice& choice : chooser.offered) {
        const auto at = SendMessageW(list, LB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(WideFromUtf8(choice.text).c_str()));
        if (at >= 0 && Names(items, choice.name)) SendMessageW(list, LB_SETSEL, TRUE, at);
    }
    SetDlgItemTextW(dialog, IDC_PORTS_EDIT, WideFromUtf8(JoinPorts(items)).c_str());
}

// The line after a pick in the list: what it named that the list does not offer, then every
// picked port in the list's order.
void TakePicks(HWND dialog, const Chooser& chooser) {
    std::vector<std::string> items;
    for (std::string& item : station::SplitPortList(LineText(dialog)))
        if (!Offers(chooser.offered, item)) items.push_back(std::move(item));
    const HWND list = GetDlgItem(dialog, IDC_PORTS_OFFERED);
    for (std::size_t i = 0; i < chooser.offered.size(); ++i)
        if (SendMessageW(list, LB_GETSEL, i, 0) > 0) items.push_back(chooser.offered[i].name);
    SetDlgItemTextW(dialog, IDC_PORTS_EDIT, WideFromUtf8(JoinPorts(items)).c_str());
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        Init(dialog, *reinterpret_cast<Chooser*>(lParam));
        return TRUE;
    }
    auto* chooser = reinterpret_cast<Chooser*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (chooser == nullptr || message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_PORTS_OFFERED:
            if (HIWORD(wParam) == LBN_SELCHANGE) TakePicks(dialog, *chooser);
            return TRUE;
        case IDOK:
            chooser->chosen = station::SplitPortList(LineText(dialog));
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

std::optional<std::vector<std::string>> ChoosePortsModal(HINSTANCE instance, HWND owner,
                                                         const std::vector<std::string>& current,
                                                         const std::vector<std::string>& offered) {
    Chooser chooser{current, ChoicesOf(offered, SystemPortLocations()), {}};
    const INT_PTR answer = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_STATION_PORTS), owner,
                                           &ChooserProc, reinterpret_cast<LPARAM>(&chooser));
    if (answer != IDOK) return std::nullopt;
    return chooser.chosen;
}

}  // namespace qvlink
