// The station window's port chooser on Windows: a modal dialog from the port chooser template
// with the system's serial ports in a list box (several may be picked) and the ports to serve
// as one comma-separated line the operator may edit. A USB adapter's port shows the location it
// is plugged in at, and is offered by that location too: a name that stays with the slot.
// Picking in the list adds or removes those names in the line; what the line names otherwise
// (ranges, devices the system does not list) is kept.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qvlink {

// The line's items when the operator pressed OK, nullopt when cancelled. Returns when the
// dialog has closed; `owner` is disabled meanwhile.
std::optional<std::vector<std::string>> ChoosePortsModal(HINSTANCE instance, HWND owner,
                                                         const std::vector<std::string>& current,
                                                         const std::vector<std::string>& offered);

}  // namespace qvlink
